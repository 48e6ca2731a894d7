#pragma once

#include <QByteArray>
#include <QString>

// Outcome of comparing this client's version with the server's.
enum VersionMatch {
    VersionCompatible = 0,
    ClientVersionTooLow = 1,
    ClientVersionTooHigh = 2,
    ServerVersionInvalid = 3,
    ClientVersionInvalid = 4,
};

// The version this client was built as ("1.0" when the build gave none).
QString clientVersion();

// The version last reported by the server, kept for the whole process.
QByteArray serverVersion();
void setServerVersion(const QByteArray &version);

// The compatibility rule for the stored server version and this client.
int isVersionMatch();
int isVersionMatch(const QString &client, const QByteArray &server);
