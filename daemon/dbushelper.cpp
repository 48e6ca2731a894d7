#include "dbushelper.h"

#include "daemonlog.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusPendingReply>
#include <QDBusReply>
#include <QHash>
#include <QVector>

#include <cstdlib>
#include <memory>
#include <pwd.h>
#include <unistd.h>

namespace {

const QString getUserMethod = QStringLiteral("GetConnectionUnixUser");
const QString getPidMethod = QStringLiteral("GetConnectionUnixProcessID");

// The bus daemon's own proxy belongs to the connection and lives as long as
// the process; it is null only when the system bus is unreachable.
QDBusConnectionInterface *busDaemon()
{
    return QDBusConnection::systemBus().interface();
}

QDBusError unreachableBus()
{
    const QDBusError error = QDBusConnection::systemBus().lastError();
    return error.isValid() ? error : QDBusError(QDBusError::Disconnected, QStringLiteral("system bus not connected"));
}

void warnBusError(const QDBusError &error)
{
    qCWarning(lcDaemon).noquote() << "D-Bus Error:" << error.name() << error.message();
}

quint32 askUint(const QString &method, const QString &name)
{
    QDBusConnectionInterface *bus = busDaemon();
    if (!bus) {
        warnBusError(unreachableBus());
        return 0;
    }
    const QDBusReply<uint> reply = bus->call(method, name);
    if (!reply.isValid()) {
        warnBusError(reply.error());
        return 0;
    }
    return reply.value();
}

// Sends one query per name before waiting for any reply: a round trip per
// connection would make a search on a busy bus many times slower.
QVector<quint32> askUintForAll(const QString &method, const QStringList &names)
{
    QVector<quint32> values(names.size(), 0);
    QDBusConnectionInterface *bus = busDaemon();
    if (!bus) {
        warnBusError(unreachableBus());
        return values;
    }
    QVector<QDBusPendingReply<uint>> replies;
    replies.reserve(names.size());
    for (const QString &name : names)
        replies.append(bus->asyncCall(method, name));
    for (int i = 0; i < replies.size(); ++i) {
        replies[i].waitForFinished();
        if (replies[i].isError())
            warnBusError(replies[i].error());
        else
            values[i] = replies[i].value();
    }
    return values;
}

QStringList uniqueConnectionNames()
{
    QDBusConnectionInterface *bus = busDaemon();
    if (!bus) {
        warnBusError(unreachableBus());
        return {};
    }
    const QDBusReply<QStringList> reply = bus->registeredServiceNames();
    if (!reply.isValid()) {
        warnBusError(reply.error());
        return {};
    }
    QStringList names;
    for (const QString &name : reply.value()) {
        if (name.startsWith(QLatin1Char(':')))
            names.append(name);
    }
    return names;
}

// Login name of the account with this user id; empty when the user database
// has no entry for it.
QByteArray accountName(quint32 uid)
{
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    if (size <= 0)
        size = 16384;
    QByteArray buffer(int(size), '\0');
    passwd entry{};
    passwd *found = nullptr;
    while (::getpwuid_r(uid, &entry, buffer.data(), size_t(buffer.size()), &found) == ERANGE)
        buffer.resize(buffer.size() * 2);
    return found ? QByteArray(found->pw_name) : QByteArray();
}

} // namespace

quint32 DBusHelper::findDBusUid(const QString &name)
{
    return askUint(getUserMethod, name);
}

quint32 DBusHelper::findDBusPid(const QString &name)
{
    return askUint(getPidMethod, name);
}

QByteArray DBusHelper::findByUserExec(const QByteArray &exe, const QByteArray &user)
{
    if (exe.isEmpty())
        return {};

    // Narrow the connections down by account first; only the user's own
    // connections need their process and executable looked up. The first
    // match in the bus daemon's order is the same either way.
    const QStringList names = uniqueConnectionNames();
    const QVector<quint32> uids = askUintForAll(getUserMethod, names);
    QHash<quint32, QByteArray> accounts;
    QStringList candidates;
    for (int i = 0; i < names.size(); ++i) {
        auto account = accounts.constFind(uids[i]);
        if (account == accounts.constEnd())
            account = accounts.insert(uids[i], accountName(uids[i]));
        if (*account == user)
            candidates.append(names[i]);
    }

    const QVector<quint32> pids = askUintForAll(getPidMethod, candidates);
    for (int i = 0; i < candidates.size(); ++i) {
        const QByteArray path = getProcIdExe(int(pids[i]));
        if (!path.isEmpty() && path == exe)
            return candidates[i].toUtf8();
    }
    return {};
}

QByteArray getProcIdExe(int pid)
{
    if (pid <= 0)
        return {};
    const QByteArray link = QByteArrayLiteral("/proc/") + QByteArray::number(pid) + QByteArrayLiteral("/exe");

    const std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(link.constData(), nullptr), &std::free);
    if (resolved)
        return QByteArray(resolved.get());

    // The link no longer resolves when the file was deleted or replaced while
    // the process runs; its text still names the original path.
    static const QByteArray deletedSuffix = QByteArrayLiteral(" (deleted)");
    char text[4096] = {};
    const ssize_t length = ::readlink(link.constData(), text, sizeof(text) - 1);
    if (length <= 0)
        return {};
    QByteArray path(text, int(length));
    if (path.endsWith(deletedSuffix))
        path.chop(deletedSuffix.size());
    qCDebug(lcDaemon).noquote() << QString::fromLocal8Bit(path);
    return path;
}
