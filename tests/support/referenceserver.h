#pragma once

#include "testcertificates.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

namespace cloudprinttest {

// Runs testing/cloudprint-server (cloudprint-reference-server) as a child
// process on 127.0.0.1 with a port it picks itself. Configure first, then
// start(); the destructor stops it by its PID.
class ReferenceServer
{
public:
    explicit ReferenceServer(const TestCertificates &certificates,
                             TestCertificates::Server certificate = TestCertificates::VendorDomain);
    ~ReferenceServer() { stop(); }

    // Codes that Verfiy accepts; all other calls throw cloudprint::Exception
    // (Code 401) for other codes. Empty (the default): every code is accepted.
    void setCodes(const QStringList &codes) { m_config[QStringLiteral("codes")] = QJsonArray::fromStringList(codes); }
    void setVersion(const QString &version) { m_config[QStringLiteral("version")] = version; }
    // Driver description text returned by GetPpdDrv for printers without their own.
    void setDefaultDriver(const QString &text) { m_config[QStringLiteral("defaultDriver")] = text; }
    // A printer as made by printer() or any JSON object with the fields of
    // cloudprint::Printer, plus optional "cJobsSequence" and "driver".
    void addPrinter(const QJsonObject &printer) { m_printers.append(printer); }
    // Appends `count` generated printers ("192.168.x.y\Printer N").
    void generatePrinters(int count, int commentBytes = 0)
    {
        m_config[QStringLiteral("generatePrinters")] =
            QJsonObject{{QStringLiteral("count"), count}, {QStringLiteral("commentBytes"), commentBytes}};
    }
    // Makes `method` misbehave; see testing/cloudprint-server/README.md for the modes.
    void setFault(const QString &method, const QJsonObject &fault) { m_faults[method] = fault; }

    static QJsonObject printer(const QString &id, int status = 0, int jobs = 0, const QString &driver = QString());

    // Starts the server and waits until it listens; false with errorString() on failure.
    bool start();
    // Stops the server (SIGKILL: it keeps nothing to clean up) and waits for it.
    void stop();

    quint16 port() const { return m_port; }
    // "tqp://127.0.0.1:<port>", the address form the configurator hands to its RPC client.
    QString url() const { return QStringLiteral("tqp://127.0.0.1:%1").arg(m_port); }
    QString errorString() const { return m_error; }

private:
    bool fail(const QString &error);

    QJsonObject m_config;
    QJsonArray m_printers;
    QJsonObject m_faults;
    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_port = 0;
    QString m_error;
};

} // namespace cloudprinttest
