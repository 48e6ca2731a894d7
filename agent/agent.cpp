#include "agent.h"

#include "agentadaptor.h"
#include "agentlog.h"
#include "authcodeinputdialog.h"
#include "config.h"
#include "jobnotification.h"
#include "rsahelper.h"

namespace {

QString encoded(const QString &code)
{
    return QString::fromStdString(RsaHelper::rsaEncryptToBase64(code.toStdString()));
}

} // namespace

class AgentPrivate
{
public:
    AuthcodeInputDialog dialog;
};

Agent::Agent(QObject *parent)
    : QObject(parent)
    , d(std::make_unique<AgentPrivate>())
{
    new AgentAdaptor(this);
}

Agent::~Agent() = default;

AuthcodeInputDialog *Agent::inputDialog() const
{
    return &d->dialog;
}

QString Agent::RequestAuthcode(const QString &address)
{
    const Config config;
    const auto server = config.servers.constFind(address);
    if (server == config.servers.constEnd()) {
        qCCritical(lcAgent).noquote() << QStringLiteral("server conf has no config information for %1").arg(address);
        return {};
    }
    return encoded(server->Authcode);
}

QString Agent::RequestInputAuthcode(const QString &address)
{
    // A prompt is already open: relabelling it would let the user's answer be
    // saved under a server the user was not asked about.
    if (d->dialog.isVisible()) {
        qCWarning(lcAgent).noquote() << "RequestInputAuthcode: a prompt is already open, not asking for" << address;
        return {};
    }
    d->dialog.setAddress(address);
    // Only a code the user confirmed now goes back: a dialog closed by its
    // window control, Escape or a finished job must not hand out the code of
    // an earlier prompt.
    if (d->dialog.exec() != AuthcodeInputDialog::PrintButton)
        return {};
    return encoded(d->dialog.authcode());
}

void Agent::NotifyJobFinish(const QString &, const QString &job, const QString &error)
{
    qCDebug(lcAgent).noquote() << "NotifyJobFinish" << job << error;
    d->dialog.hide();
    JobNotification::forJob(job, error).send();
}
