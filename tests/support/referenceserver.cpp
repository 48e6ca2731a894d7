#include "referenceserver.h"

#include <QDir>
#include <QJsonDocument>

namespace cloudprinttest {

ReferenceServer::ReferenceServer(const TestCertificates &certificates, TestCertificates::Server certificate)
    : m_config{{QStringLiteral("certificate"), certificates.serverFile(certificate, "pem")},
               {QStringLiteral("key"), certificates.serverFile(certificate, "key")},
               {QStringLiteral("version"), QStringLiteral("5.3.6")}}
    , m_dir(QDir::tempPath() + QStringLiteral("/cloudprint-server-XXXXXX"))
{ }

QJsonObject ReferenceServer::printer(const QString &id, int status, int jobs, const QString &driver)
{
    QJsonObject p{{QStringLiteral("ID"), id}, {QStringLiteral("Status"), status}, {QStringLiteral("cJobs"), jobs}};
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

void ReferenceServer::stop()
{
    m_process.kill();
    m_process.waitForFinished(5000);
    m_port = 0;
}

} // namespace cloudprinttest
