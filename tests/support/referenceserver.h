#pragma once

#include "testcertificates.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
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
                             TestCertificates::Server certificate = TestCertificates::VendorDomain)
        : m_config{{QStringLiteral("certificate"), certificates.serverFile(certificate, "pem")},
                   {QStringLiteral("key"), certificates.serverFile(certificate, "key")},
                   {QStringLiteral("version"), QStringLiteral("5.3.6")}}
        , m_dir(QDir::tempPath() + QStringLiteral("/cloudprint-server-XXXXXX"))
    { }
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

    static QJsonObject printer(const QString &id, int status = 0, int jobs = 0, const QString &driver = QString())
    {
        QJsonObject p{{QStringLiteral("ID"), id}, {QStringLiteral("Status"), status}, {QStringLiteral("cJobs"), jobs}};
        if (!driver.isEmpty())
            p.insert(QStringLiteral("driver"), driver);
        return p;
    }

    // Starts the server and waits until it listens; false with errorString() on failure.
    bool start()
    {
        stop();
        m_config[QStringLiteral("printers")] = m_printers;
        m_config[QStringLiteral("faults")] = m_faults;
        QFile file(m_dir.filePath(QStringLiteral("server.json")));
        if (!file.open(QIODevice::WriteOnly) || file.write(QJsonDocument(m_config).toJson()) < 0 || !file.flush())
            return fail(QStringLiteral("cannot write %1").arg(file.fileName()));

        m_process.start(QStringLiteral(CLOUDPRINT_REFERENCE_SERVER), {file.fileName()});
        // The server prints "port N" once it listens.
        while (!m_process.canReadLine() && m_process.waitForReadyRead(15000)) { }
        const QByteArray line = m_process.readLine().trimmed();
        m_port = line.startsWith("port ") ? quint16(line.mid(5).toUInt()) : 0;
        if (m_port == 0)
            return fail(QStringLiteral("server did not start listening: %1").arg(QString::fromLocal8Bit(line)));
        return true;
    }
    // Stops the server (SIGKILL: it keeps nothing to clean up) and waits for it.
    void stop()
    {
        m_process.kill();
        m_process.waitForFinished(5000);
        m_port = 0;
    }

    quint16 port() const { return m_port; }
    // "tqp://127.0.0.1:<port>", the address form the configurator hands to its RPC client.
    QString url() const { return QStringLiteral("tqp://127.0.0.1:%1").arg(m_port); }
    QString errorString() const { return m_error; }

private:
    bool fail(const QString &error)
    {
        m_error = error + QLatin1Char(' ') + QString::fromLocal8Bit(m_process.readAllStandardError());
        stop();
        return false;
    }

    QJsonObject m_config;
    QJsonArray m_printers;
    QJsonObject m_faults;
    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_port = 0;
    QString m_error;
};

} // namespace cloudprinttest
