#include "agentcheck.h"

#include "configuratorlog.h"

#include <QFileInfo>
#include <QProcess>

namespace {
constexpr int listingTimeoutMs = 30000;
}

AgentCheck::AgentCheck(const QString &agentPath)
    : m_agentPath(agentPath)
{
}

bool AgentCheck::isRunning() const
{
    // The listing always holds the grep command itself, which names the agent
    // by file name only; the full path shows only for a running agent. Only
    // this user's processes count: another user's agent does not serve this
    // user's print jobs.
    QProcess query;
    query.start(QStringLiteral("bash"),
                {QStringLiteral("-c"), QStringLiteral("ps ux | grep ") + QFileInfo(m_agentPath).fileName()});
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
        qCWarning(lcConfigurator) << "cannot start the agent" << m_agentPath << agent.errorString();
        return false;
    }
    return true;
}
