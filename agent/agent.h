#pragma once

#include <QObject>
#include <QString>

#include <memory>

class AgentPrivate;
class AuthcodeInputDialog;

// The agent's object on the system bus: the daemon forwards to it every
// print-time request that needs the user's files or screen. Each request
// reads the server list afresh; failures show as empty replies and log
// lines, never as bus errors.
class Agent : public QObject
{
    Q_OBJECT

public:
    explicit Agent(QObject *parent = nullptr);
    ~Agent() override;

    AuthcodeInputDialog *inputDialog() const;

    // Methods of com.quorvia.cloud.print.agent, called by the generated adaptor.
    QString RequestAuthcode(const QString &address);
    QString RequestInputAuthcode(const QString &address);
    void NotifyJobFinish(const QString &printer, const QString &job, const QString &error);

private:
    std::unique_ptr<AgentPrivate> d;
};
