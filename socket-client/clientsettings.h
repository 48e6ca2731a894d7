#pragma once

#include <QString>
#include <QtGlobal>

// The fixed places and ports the client works with. The program uses the
// defaults; tests hand the window private ones.
struct ClientSettings
{
    QString spoolDir = QStringLiteral("/var/spool/olvenka-cloud-printer/outfile");
    QString ppdDir = QStringLiteral("/etc/cups/ppd");
    // The PPD the client's queues are made with.
    QString queuePpd = QStringLiteral("/usr/share/ppd/olvenka-cloud-printer/RZP.ppd");
    // Home directory followed by "/.config/olvenka-cloud-printer".
    QString configDir;
    QString databaseFile;
    quint16 verifyPort = 8888;
    quint16 fileInfoPort = 8848;
    quint16 filePort = 8818;
    // How long one chunk of an upload may take to leave the client.
    int writeTimeoutMs = 30000;

    static ClientSettings defaults();
};
