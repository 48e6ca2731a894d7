#pragma once

#include <QByteArray>
#include <QString>

// Finds a user's process among the connections of the system bus. The agent
// and the signing service own no well-known name, so the daemon recognises
// them by the account and the executable behind each unique connection.
class DBusHelper
{
public:
    // Both return 0 when the bus daemon cannot tell.
    static quint32 findDBusUid(const QString &name);
    static quint32 findDBusPid(const QString &name);

    // Unique name of the first connection, in the bus daemon's order, whose
    // process runs exe and belongs to the account user; empty if none does.
    static QByteArray findByUserExec(const QByteArray &exe, const QByteArray &user);
};

// Absolute path of the executable of process pid; empty when unknown. An
// executable that was deleted or replaced while the process runs still
// yields its original path.
QByteArray getProcIdExe(int pid);
