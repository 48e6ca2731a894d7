#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <memory>

// Executables by which the daemon recognises the processes it forwards to.
struct ForwardTargets
{
    QByteArray agentExe;
    QByteArray signerExe;

    // The installed locations fixed at build time.
    static ForwardTargets installed();
};

class ServicePrivate;

// The daemon's bus object: passes each request of the print backend on to
// the agent (or signing service) of the user the request is made for.
// Callers never see a bus error; failures become empty replies and log lines.
class Service : public QObject
{
    Q_OBJECT

public:
    explicit Service(const ForwardTargets &targets, QObject *parent = nullptr);
    ~Service() override;

    // Methods of com.quorvia.cloud.print.daemon, called by the generated adaptor.
    QString RequestAuthcode(const QString &address, const QString &user);
    QString RequestInputAuthcode(const QString &address, const QString &user);
    void NotifyJobFinish(const QString &printerID, const QString &job, const QString &error, const QString &user);
    void RemoteLog(const QString &msg, const QString &user);
    QString SignData(const QString &data, const QString &user);

private:
    std::unique_ptr<ServicePrivate> d;
};
