#include "referenceserver.h"

#include <QDir>
#include <QJsonDocument>

namespace cloudprinttest {

ReferenceServer::ReferenceServer(const TestCertificates &certificates, TestCertificates::Server certificate)
    : m_config{{QStringLiteral("certificate"), certificates.certificateFile(certificate)},
               {QStringLiteral("key"), certificates.keyFile(certificate)},
               {QStringLiteral("version"), QStringLiteral("5.3.6")}}
    , m_dir(QDir::tempPath() + QStringLiteral("/cloudprint-server-XXXXXX"))
{ }

ReferenceServer::~ReferenceServer()
{
    stop();
}

void ReferenceServer::addPrinter(const QJsonObject &printer)
{
    QJsonArray printers = m_config.value(QStringLiteral("printers")).toArray();
    printers.append(printer);
    m_config.insert(QStringLiteral("printers"), printers);
}

void ReferenceServer::generatePrinters(int count, int commentBytes)
{
    m_config.insert(QStringLiteral("generatePrinters"),
                    QJsonObject{{QStringLiteral("count"), count}, {QStringLiteral("commentBytes"), commentBytes}});
}

void ReferenceServer::setFault(const QString &method, const QJsonObject &fault)
{
    QJsonObject faults = m_config.value(QStringLiteral("faults")).toObject();
    faults.insert(method, fault);
    m_config.insert(QStringLiteral("faults"), faults);
}

QJsonObject ReferenceServer::printer(const QString &id, int status, int jobs, const QString &driver)
{
    QJsonObject p{
        {QStringLiteral("ID"), id},
        {QStringLiteral("ServerName"), QStringLiteral("print-server-01")},
        {QStringLiteral("ShareName"), id.section(QLatin1Char('\\'), -1)},
        {QStringLiteral("DriverName"), QStringLiteral("Generic PostScript Printer")},
        {QStringLiteral("Status"), status},
        {QStringLiteral("cJobs"), jobs},
    };
    if (!driver.isEmpty())
        p.insert(QStringLiteral("driver"), driver);
    return p;
}

bool ReferenceServer::fail(const QString &error)
{
    m_error = error + QLatin1Char(' ') + QString::fromLocal8Bit(m_process.readAllStandardError());
    stop();
    return false;
}

bool ReferenceServer::start()
{
    stop();
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

void ReferenceServer::stop()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
    m_port = 0;
}

QString ReferenceServer::url() const
{
    return QStringLiteral("tqp://127.0.0.1:%1").arg(m_port);
}

} // namespace cloudprinttest
