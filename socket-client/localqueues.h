#pragma once

#include <QString>
#include <QStringList>

// The local print queues that stand for server printers, managed with the
// CUPS tools on localhost. Tools get the queue name as one argument of their
// own: names come from the server and never pass through a shell.
class LocalQueues
{
public:
    LocalQueues(const QString &ppdDir, const QString &queuePpd);

    // Queues with a PPD file, by name: the queues that count as added.
    QStringList withPpd() const;
    // A queue made by this client: its device is the client's backend.
    static bool isClientQueue(const QString &name);

    void add(const QString &name) const;
    static void remove(const QString &name);
    // Removes the client's queues among those with a PPD that keep is
    // without; returns the names that stay.
    QStringList removeClientQueuesExcept(const QStringList &keep) const;

    static const QString deviceUri;

private:
    QString m_ppdDir;
    QString m_queuePpd;
};
