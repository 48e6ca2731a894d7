#include "service.h"

#include "agentinterface.h"
#include "buildconfig.h"
#include "daemonadaptor.h"
#include "daemonlog.h"
#include "dbushelper.h"
#include "signerinterface.h"

#include <QDBusConnection>
#include <QDBusPendingReply>

namespace {

const QString agentObjectPath = QStringLiteral("/com/quorvia/cloud/print/agent");
const QString signerObjectPath = QStringLiteral("/com/quorvia/splash/verify");

template<typename Reply>
bool succeeded(Reply &reply, const char *errorPrefix)
{
    reply.waitForFinished();
    if (!reply.isError())
        return true;
    qCWarning(lcDaemon).noquote() << errorPrefix << reply.error().name() << reply.error().message();
    return false;
}

} // namespace

ForwardTargets ForwardTargets::installed()
{
    return {QByteArrayLiteral(QUORVIA_AGENT_PATH), QByteArrayLiteral(QUORVIA_SIGNER_PATH)};
}

class ServicePrivate
{
public:
    explicit ServicePrivate(const ForwardTargets &targets)
        : targets(targets)
    { }

    // Unique name of the user's connection that runs exe; empty if none.
    // Searched afresh for every request, so a restarted agent is found.
    static QString find(const char *method, const QByteArray &exe, const QString &user)
    {
        const QString name = QString::fromUtf8(DBusHelper::findByUserExec(exe, user.toUtf8()));
        qCDebug(lcDaemon).noquote() << method << "find" << name;
        return name;
    }

    // An empty name gives a proxy whose calls fail at once.
    AgentProxy agentOf(const char *method, const QString &user) const
    {
        return AgentProxy(find(method, targets.agentExe, user), agentObjectPath, QDBusConnection::systemBus());
    }

    const ForwardTargets targets;
};

Service::Service(const ForwardTargets &targets, QObject *parent)
    : QObject(parent)
    , d(std::make_unique<ServicePrivate>(targets))
{
    new DaemonAdaptor(this);
}

Service::~Service() = default;

QString Service::RequestAuthcode(const QString &address, const QString &user)
{
    auto agent = d->agentOf("RequestAuthcode", user);
    QDBusPendingReply<QString> reply = agent.RequestAuthcode(address);
    return succeeded(reply, "RequestAuthcode D-Bus Error:") ? reply.value() : QString();
}

QString Service::RequestInputAuthcode(const QString &address, const QString &user)
{
    auto agent = d->agentOf("RequestInputAuthcode", user);
    QDBusPendingReply<QString> reply = agent.RequestInputAuthcode(address);
    return succeeded(reply, "RequestInputAuthcode D-Bus Error:") ? reply.value() : QString();
}

void Service::NotifyJobFinish(const QString &printerID, const QString &job, const QString &error, const QString &user)
{
    auto agent = d->agentOf("NotifyJobFinish", user);
    QDBusPendingReply<> reply = agent.NotifyJobFinish(printerID, job, error);
    succeeded(reply, "NotifyJobFinish D-Bus Error:");
}

void Service::RemoteLog(const QString &msg, const QString &user)
{
    qCInfo(lcDaemon).noquote() << "RemoteLog:" << user << msg;
}

QString Service::SignData(const QString &data, const QString &user)
{
    SignerProxy signer(ServicePrivate::find("SignData", d->targets.signerExe, user), signerObjectPath,
                       QDBusConnection::systemBus());
    QDBusPendingReply<QString> reply = signer.SignData(data);
    return succeeded(reply, "SignData D-Bus Error:") ? reply.value() : QString();
}
