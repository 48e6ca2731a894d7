#pragma once

#include "Print_types.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A queue as the private cupsd reports it.
struct QueueState
{
    bool exists = false;
    QString deviceUri;
    bool shared = true;
    QString errorPolicy;
    int state = 0;  // 3 idle, 4 processing, 5 stopped
    bool accepting = false;
};

QueueState queueState(const QString& queue);
// A server printer record as the RPC session builds it, for a server at
// 10.0.0.5:9100: Addr holds the ID percent-encoded except for unreserved
// characters, ":" and "/".
cloudprint::Printer printerRecord(const QString& id, const QString& portName = QString());
// The PPD the private cupsd keeps for the queue.
QByteArray queuePpd(const QString& queue);
// Runs the real lpadmin against the private server; true on exit code 0.
bool lpadmin(const QStringList& arguments);
bool addQueue(const QString& queue, const QString& deviceUri);
// Removes every queue; true when none is left.
bool removeAllQueues();

// A directory of stand-in tools. Each one appends its name and arguments to
// "calls" and then runs the given shell body.
class StandInTools
{
public:
    bool add(const QString& tool, const QString& body);
    QString path() const { return m_dir.path(); }
    QStringList calls() const;

private:
    QTemporaryDir m_dir;
};
