#include "singleinstance.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QLoggingCategory>
#include <QStandardPaths>

#include <memory>

#include <sys/stat.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcInstance, "singleinstance")

namespace {

// The runtime directory is private to the user (mode 0700), which is what
// makes the key per-user. Without a usable one (none, or another account's,
// as after su) a folder of the user's own in the temporary folder stands in:
// a shared name there would let one account's process keep every other
// account's from starting.
QString runtimeDir()
{
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (!dir.isEmpty())
        return dir;
    const QString own = QDir::tempPath() + QStringLiteral("/singleinstance-") + QString::number(::getuid());
    ::mkdir(QFile::encodeName(own).constData(), 0700);
    const QFileInfo info(own);
    if (!info.isDir() || info.isSymLink() || info.ownerId() != ::getuid())
        qCWarning(lcInstance) << "no private folder for the instance lock:" << own;
    return own;
}

QString sanitisedKey(const QString &key)
{
    QString name = key;
    for (QChar &c : name) {
        if (!c.isLetterOrNumber() && c != QLatin1Char('-') && c != QLatin1Char('_') && c != QLatin1Char('.'))
            c = QLatin1Char('_');
    }
    return name;
}

} // namespace

SingleInstance::SingleInstance(const QString &key, QObject *parent)
    : QObject(parent)
    , m_key(key)
{ }

SingleInstance::~SingleInstance() = default;

QString SingleInstance::lockFilePath(const QString &key)
{
    return runtimeDir() + QLatin1Char('/') + sanitisedKey(key) + QStringLiteral(".lock");
}

QString SingleInstance::socketPath(const QString &key)
{
    return runtimeDir() + QLatin1Char('/') + sanitisedKey(key) + QStringLiteral(".socket");
}

bool SingleInstance::claim()
{
    if (isClaimed())
        return true;

    auto lock = std::make_unique<QLockFile>(lockFilePath(m_key));
    // Never treat a live holder as stale; a lock left by a dead process is
    // recognised by its PID and taken over.
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0)) {
        if (lock->error() != QLockFile::LockFailedError)
            qCWarning(lcInstance) << "cannot create lock file" << lockFilePath(m_key);
        return false;
    }
    m_lock = std::move(lock);

    // The lock proves that no other holder exists, so a socket file left
    // behind belongs to a dead process.
    const QString path = socketPath(m_key);
    QLocalServer::removeServer(path);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(path))
        qCWarning(lcInstance) << "cannot listen on" << path << m_server->errorString();
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::acceptConnection);
    return true;
}

bool SingleInstance::isClaimed() const
{
    return m_lock && m_lock->isLocked();
}

bool SingleInstance::sendMessage(const QByteArray &message, int timeoutMs) const
{
    QLocalSocket socket;
    socket.connectToServer(socketPath(m_key));
    if (!socket.waitForConnected(timeoutMs))
        return false;
    socket.write(message);
    while (socket.bytesToWrite() > 0) {
        if (!socket.waitForBytesWritten(timeoutMs))
            return false;
    }
    socket.disconnectFromServer();
    return socket.state() == QLocalSocket::UnconnectedState || socket.waitForDisconnected(timeoutMs);
}

void SingleInstance::acceptConnection()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        auto buffer = std::make_shared<QByteArray>();
        connect(socket, &QLocalSocket::readyRead, socket, [socket, buffer] { buffer->append(socket->readAll()); });
        // The sender closes its end once the whole message is written.
        connect(socket, &QLocalSocket::disconnected, this, [this, socket, buffer] {
            buffer->append(socket->readAll());
            socket->deleteLater();
            emit messageReceived(*buffer);
        });
    }
}
