#include "verifyworker.h"

#include "cloudprintclient.h"
#include "config.h"
#include "configuratorlog.h"
#include "serveraddress.h"

#include <QDateTime>
#include <QMutexLocker>
#include <QThread>

namespace ConfiguratorWindowInnter {

Worker::Worker(QObject *parent)
    : QObject(parent)
{
    qRegisterMetaType<std::vector<Printer>>();
}

Worker::~Worker() = default;

void Worker::setAddress(const QString &address)
{
    QMutexLocker locker(&m_mutex);
    m_address = address;
}

QString Worker::address() const
{
    QMutexLocker locker(&m_mutex);
    return m_address;
}

void Worker::setAuthcode(const QString &authcode)
{
    QMutexLocker locker(&m_mutex);
    m_authcode = authcode;
}

QString Worker::authcode() const
{
    QMutexLocker locker(&m_mutex);
    return m_authcode;
}

std::vector<Printer> Worker::printers() const
{
    QMutexLocker locker(&m_mutex);
    return m_printers;
}

CloudPrintRPCClient *Worker::client() const
{
    return m_client.get();
}

const cloudprint::Auth *Worker::auth() const
{
    return m_auth.get();
}

std::vector<Printer> Worker::listPrinter()
{
    return m_client->ListPrinter(*m_auth);
}

void Worker::releaseMemory()
{
    m_client.reset();
    m_auth.reset();
    m_clientServer.clear();
}

void Worker::doListPrinterFor(const QString &address, const QString &authcode)
{
    setAddress(address);
    setAuthcode(authcode);
    doListPrinter();
}

void Worker::finish(Result code)
{
    emit listPrinterResult(code, printers());
    emit listPrinterFinish(code);
}

void Worker::doListPrinter()
{
    try {
        listPrinterRun();
    } catch (...) {
        // Only setting up TLS can still throw here (the RPC calls are
        // guarded); nothing may escape the worker thread's slot.
        releaseMemory();
        finish(ConnectFailed);
    }
}

void Worker::listPrinterRun()
{
    QThread::sleep(1);

    QString address;
    QString authcode;
    {
        QMutexLocker locker(&m_mutex);
        address = m_address;
        authcode = m_authcode;
    }
    const QString server = serverAddress(formatAddress(address)).toString();

    // A kept session belongs to the server it was made for; another address
    // needs a session of its own.
    if (m_client && m_clientServer != server)
        releaseMemory();
    if (!m_client) {
        m_client = std::make_unique<CloudPrintRPCClient>(server, this);
        m_clientServer = server;
    }
    if (!m_auth)
        m_auth = std::make_unique<cloudprint::Auth>();
    const QByteArray code = authcode.toUtf8();
    m_auth->__set_Authcode(std::string(code.constData(), static_cast<size_t>(code.size())));

    if (!m_client->Connect()) {
        releaseMemory();
        finish(ConnectFailed);
        return;
    }
    if (!m_client->Verfiy(*m_auth)) {
        releaseMemory();
        finish(VerifyFailed);
        return;
    }

    // Recorded before listing, so an accepted code is kept even when the
    // listing fails.
    recordServer(server);

    qCDebug(lcConfigurator, "listPrinter begin");
    std::vector<Printer> printers;
    try {
        printers = listPrinter();
    } catch (...) {
        qCWarning(lcConfigurator, "listPrinter failed");
        releaseMemory();
        finish(ListFailed);
        return;
    }
    {
        QMutexLocker locker(&m_mutex);
        m_printers = std::move(printers);
    }
    qCDebug(lcConfigurator, "listPrinter success");
    finish(Listed);
}

void Worker::recordServer(const QString &server)
{
    Config config;
    ServerConfig record;
    record.Authcode = QString::fromStdString(m_auth->Authcode);
    record.Address = server;
    record.LastUsed = QDateTime::currentDateTime();
    config.servers.insert(server, record);
    config.save();
}

} // namespace ConfiguratorWindowInnter
