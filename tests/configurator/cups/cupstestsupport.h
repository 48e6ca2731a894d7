#pragma once

#include "Print_types.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// What the private cupsd reports for the queue: "<device-uri> <state>
// <error policy> <shared> <accepting>", e.g. "tqp://h/x idle abort-job false
// true"; empty when there is no queue of exactly this name.
QString queueState(const QString &queue);
// A server printer record as the RPC session builds it, for a server at
// 10.0.0.5:9100: Addr holds the ID percent-encoded except for unreserved
// characters, ":" and "/".
cloudprint::Printer printerRecord(const QString &id, const QString &portName = QString());
// The PPD the private cupsd keeps for the queue.
QByteArray queuePpd(const QString &queue);
// Runs the real lpadmin against the private server; true on exit code 0.
bool lpadmin(const QStringList &arguments);
bool addQueue(const QString &queue, const QString &deviceUri);
// Removes every queue; true when none is left.
bool removeAllQueues();

// A directory of stand-in tools. Each one appends its name and arguments to
// "calls" and then runs the given shell body.
class StandInTools
{
public:
    bool add(const QString &tool, const QString &body);
    QString path() const { return m_dir.path(); }
    QStringList calls() const;

private:
    QTemporaryDir m_dir;
};
