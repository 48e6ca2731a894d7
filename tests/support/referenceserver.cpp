#include "referenceserver.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QJsonDocument>
#include <QSaveFile>

#include <csignal>

namespace cloudprinttest {

ReferenceServer::ReferenceServer(const TestCertificates &certificates, TestCertificates::Server certificate)
    : m_certificates(certificates)
    , m_dir(QDir::tempPath() + QStringLiteral("/cloudprint-server-XXXXXX"))
{
    m_config.insert(QStringLiteral("listen"), QStringLiteral("127.0.0.1"));
    m_config.insert(QStringLiteral("port"), 0);
    m_config.insert(QStringLiteral("certificate"), certificates.certificateFile(certificate));
    m_config.insert(QStringLiteral("key"), certificates.keyFile(certificate));
    m_config.insert(QStringLiteral("version"), QStringLiteral("5.3.6"));
}

ReferenceServer::~ReferenceServer()
{
    stop();
}

void ReferenceServer::setCodes(const QStringList &codes)
{
    m_config.insert(QStringLiteral("codes"), QJsonArray::fromStringList(codes));
}

void ReferenceServer::setVersion(const QString &version)
{
    m_config.insert(QStringLiteral("version"), version);
}

void ReferenceServer::setDefaultDriver(const QString &text)
{
    m_config.insert(QStringLiteral("defaultDriver"), text);
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

QString ReferenceServer::executable()
{
    return QStringLiteral(CLOUDPRINT_REFERENCE_SERVER);
}

bool ReferenceServer::start(int timeoutMs)
{
    stop();
    m_error.clear();
    m_stderr.clear();
    if (!m_certificates.ok()) {
        m_error = m_certificates.errorString();
        return false;
    }
    const QString configPath = m_dir.filePath(QStringLiteral("server.json"));
    QSaveFile file(configPath);
    if (!file.open(QIODevice::WriteOnly) || file.write(QJsonDocument(m_config).toJson()) < 0 || !file.commit()) {
        m_error = QStringLiteral("cannot write %1").arg(configPath);
        return false;
    }

    m_process = std::make_unique<QProcess>();
    m_process->start(executable(), {configPath});
    if (!m_process->waitForStarted(timeoutMs)) {
        m_error = QStringLiteral("cannot start %1: %2").arg(executable(), m_process->errorString());
        m_process.reset();
        return false;
    }
    // The server prints "port N" once it listens.
    QByteArray out;
    const QDeadlineTimer deadline(timeoutMs);
    while (!out.contains('\n')) {
        if (m_process->state() != QProcess::Running || deadline.hasExpired()
            || (!m_process->waitForReadyRead(int(deadline.remainingTime())) && !m_process->bytesAvailable())) {
            m_error = QStringLiteral("server did not start listening: %1").arg(standardError());
            stop();
            return false;
        }
        out += m_process->readAllStandardOutput();
    }
    const QByteArray line = out.left(out.indexOf('\n')).trimmed();
    bool ok = false;
    m_port = line.startsWith("port ") ? quint16(line.mid(5).toUInt(&ok)) : 0;
    if (!ok || m_port == 0) {
        m_error = QStringLiteral("unexpected server output: %1").arg(QString::fromLocal8Bit(line));
        stop();
        return false;
    }
    return true;
}

void ReferenceServer::stop()
{
    if (!m_process)
        return;
    if (m_process->state() != QProcess::NotRunning) {
        const qint64 id = m_process->processId();
        ::kill(pid_t(id), SIGTERM);
        if (!m_process->waitForFinished(5000)) {
            ::kill(pid_t(id), SIGKILL);
            m_process->waitForFinished(5000);
        }
    }
    m_stderr += m_process->readAllStandardError();
    m_process.reset();
    m_port = 0;
}

bool ReferenceServer::isRunning() const
{
    return m_process && m_process->state() == QProcess::Running;
}

QString ReferenceServer::url() const
{
    return QStringLiteral("tqp://127.0.0.1:%1").arg(m_port);
}

qint64 ReferenceServer::pid() const
{
    return m_process ? m_process->processId() : 0;
}

QString ReferenceServer::standardError()
{
    if (m_process)
        m_stderr += m_process->readAllStandardError();
    return QString::fromLocal8Bit(m_stderr);
}

} // namespace cloudprinttest
