#pragma once

#include <QHostAddress>
#include <QStringList>

#include <array>

// Command line of the server: where it listens, what it accepts and where
// received files go.
struct ServerOptions
{
    QHostAddress listen{QHostAddress::LocalHost};
    std::array<quint16, 3> ports{8888, 8848, 8818}; // by Role; 0 picks a free port
    QString code = QStringLiteral("ABCDEF123456");
    QStringList printers{QStringLiteral("Office"), QStringLiteral("财务打印机"), QStringLiteral("Say \"hi\"")};
    QString outDir;

    // False with `error` set when the arguments are unusable.
    bool parse(const QStringList &arguments, QString *error);
};
