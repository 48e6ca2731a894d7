#include "agentcheck.h"

#include "configuratorlog.h"

#include <QFileInfo>
#include <QProcess>

namespace {
constexpr int listingTimeoutMs = 30000;
}

AgentCheck::AgentCheck(const QString &agentPath)
    : m_agentPath(agentPath)
{ }

bool AgentCheck::isRunning() const
{
    // The listing always holds the grep command itself, which names the agent
    // by file name only; the full path shows only for a running agent. Only
    // this user's processes count: another user's agent does not serve this
    // user's print jobs.
    // The name is quoted for the shell: a path set at build time may hold
    // spaces or shell characters.
    QString name = QFileInfo(m_agentPath).fileName();
    name.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
    QProcess query;
    query.start(QStringLiteral("bash"),
                {QStringLiteral("-c"), QStringLiteral("ps ux | grep -F -- '") + name + QLatin1Char('\'')});
    query.waitForFinished(listingTimeoutMs);
    const QString listing = QString::fromLocal8Bit(query.readAllStandardOutput());
    if (query.state() != QProcess::NotRunning) {
        query.kill();
        query.waitForFinished();
    }
    return listing.contains(m_agentPath, Qt::CaseSensitive);
}

bool AgentCheck::ensureRunning() const
{
    if (isRunning())
        return false;
    QProcess agent;
    agent.setProgram(m_agentPath);
    if (!agent.startDetached()) {
        // A detached start keeps no error of its own; say what is wrong
        // with the file.
        const QFileInfo file(m_agentPath);
        const QString reason = !file.exists()         ? QStringLiteral("no such file")
                               : !file.isExecutable() ? QStringLiteral("not executable")
                                                      : QStringLiteral("it could not be run");
        qCWarning(lcConfigurator).noquote() << "cannot start the agent" << m_agentPath << QLatin1Char(':') << reason;
        return false;
    }
    return true;
}
