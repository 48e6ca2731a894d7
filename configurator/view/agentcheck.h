#pragma once

#include <QString>

// Makes sure the session agent runs: a process listing that does not show
// the agent's installed path means it has to be started.
class AgentCheck
{
public:
    explicit AgentCheck(const QString &agentPath);

    // True when a process of the agent's path is listed.
    bool isRunning() const;
    // Starts the agent, detached, unless it runs. True when it was started.
    bool ensureRunning() const;

private:
    QString m_agentPath;
};
