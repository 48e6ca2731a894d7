#include "printsession.h"

#include "replywriter.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTextCodec>

namespace {

const QString kSeparator = QStringLiteral("##");
// While stalled, Qt buffers no more than this, so the kernel buffers fill up
// and the client's writes block.
constexpr qint64 kStalledBuffer = 4096;

} // namespace

PrintSession::PrintSession(ServerOptions options, QObject *parent)
    : QObject(parent)
    , m_options(std::move(options))
    , m_uploads(m_options.outDir)
    , m_writer(new ReplyWriter(this))
    , m_gbk(QTextCodec::codecForName("GBK"))
    , m_utf8(QTextCodec::codecForName("UTF-8"))
{
    for (Role role : kRoles) {
        auto *server = new QTcpServer(this);
        m_servers[size_t(role)] = server;
        connect(server, &QTcpServer::newConnection, this, [this, role] { accept(role); });
    }
}

bool PrintSession::listen(QString *error)
{
    if (!m_gbk) {
        *error = QStringLiteral("no GBK text codec");
        return false;
    }
    for (Role role : kRoles) {
        QTcpServer *server = m_servers[size_t(role)];
        if (!server->listen(m_options.listen, m_options.ports[size_t(role)])) {
            *error = QStringLiteral("cannot listen on %1 port %2: %3")
                         .arg(m_options.listen.toString())
                         .arg(m_options.ports[size_t(role)])
                         .arg(server->errorString());
            return false;
        }
    }
    return true;
}

quint16 PrintSession::port(Role role) const
{
    return m_servers[size_t(role)]->serverPort();
}

void PrintSession::accept(Role role)
{
    while (QTcpSocket *next = m_servers[size_t(role)]->nextPendingConnection()) {
        // Only one client session matters: the newest connection replaces the older one.
        release(role);
        socket(role) = next;
        next->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        writeEvent({QStringLiteral("connected"), roleName(role)});
        connect(next, &QTcpSocket::readyRead, this, [this, role] { read(role); });
        connect(next, &QTcpSocket::disconnected, this, [this, role, next] {
            if (socket(role) == next)
                release(role);
        });
        if (role == Role::File) {
            if (m_stalled)
                next->setReadBufferSize(kStalledBuffer);
            readFile();
        }
    }
}

void PrintSession::release(Role role)
{
    QTcpSocket *old = socket(role);
    if (!old)
        return;
    socket(role) = nullptr;
    old->disconnect(this);
    old->abort();
    old->deleteLater();
    m_writer->forget(role);
    writeEvent({QStringLiteral("disconnected"), roleName(role)});
    // The client never sends a file twice: bytes of the current upload that
    // went with this connection are lost, later uploads come on a new one.
    if (role == Role::File && !m_uploads.isEmpty()) {
        writeEvent({QStringLiteral("partial"), m_uploads.currentTag(), QString::number(m_uploads.received())});
        m_uploads.dropCurrent();
    }
}

void PrintSession::read(Role role)
{
    if (role == Role::File) {
        readFile();
        return;
    }
    // No framing: whatever is readable now is one message.
    QTcpSocket *from = socket(role);
    const QString message = QString::fromUtf8(from->readAll());
    const QString code = message.section(kSeparator, 0, 0);
    if (role == Role::Verify && code == QLatin1String("1")) {
        verify(from, message);
    } else if (role == Role::Info && code == QLatin1String("4")) {
        header(from, message);
    } else if (role == Role::Info && (code == QLatin1String("14") || code == QLatin1String("15"))) {
        writeEvent({QStringLiteral("command"), code, message.section(kSeparator, 1, 1), message.section(kSeparator, 2)});
    } else {
        qCWarning(lcSocketServer) << "ignored on" << roleName(role) << message;
    }
}

void PrintSession::verify(QTcpSocket *socket, const QString &message)
{
    const QString code = message.section(kSeparator, 1, 1);
    const bool accepted = m_behaviour.verifyReply == 0 ? code == m_options.code : m_behaviour.verifyReply == 2;
    writeEvent({QStringLiteral("verify"), code, message.section(kSeparator, 2),
                accepted ? QStringLiteral("2") : QStringLiteral("3")});
    if (!accepted) {
        m_writer->write(socket, Role::Verify, QStringLiteral("3"), m_utf8);
        return;
    }
    m_uploads.clear();
    // Every name is followed by the separator, so the last field is empty.
    QString reply = QStringLiteral("2##");
    for (const QString &printer : m_options.printers)
        reply += printer + kSeparator;
    m_writer->write(socket, Role::Verify, reply, m_gbk);
}

void PrintSession::header(QTcpSocket *socket, const QString &message)
{
    const QStringList fields = message.split(kSeparator);
    bool sizeOk = false;
    const qint64 size = fields.value(3).toLongLong(&sizeOk);
    const bool accepted = sizeOk && size >= 0 && m_behaviour.headerReply == 5;
    const QString tag = fields.value(4);
    writeEvent({QStringLiteral("header"), fields.value(1), fields.value(2), fields.value(3), tag,
                message.section(kSeparator, 5), accepted ? QStringLiteral("5") : QStringLiteral("6")});
    m_writer->write(socket, Role::Info, accepted ? QStringLiteral("5") : QStringLiteral("6"), m_utf8);
    if (accepted) {
        m_uploads.add(tag, size);
        readFile();
    }
}

void PrintSession::readFile()
{
    QTcpSocket *file = socket(Role::File);
    while (file) {
        while (const auto saved = m_uploads.takeComplete()) {
            m_writer->write(file, Role::File, QString::number(m_behaviour.fileReply), m_gbk);
            writeEvent({QStringLiteral("received"), saved->tag, QString::number(saved->size), saved->path});
        }
        // Bytes without an accepted header wait in the socket until one comes.
        if (m_stalled || m_uploads.isEmpty())
            return;
        const qint64 received = m_uploads.received();
        qint64 limit = m_uploads.missing();
        if (m_closeAfter >= 0) {
            if (received >= m_closeAfter) {
                m_closeAfter = -1;
                release(Role::File);
                return;
            }
            limit = qMin(limit, m_closeAfter - received);
        }
        if (m_stallAfter >= 0) {
            if (received >= m_stallAfter) {
                m_stallAfter = -1;
                m_stalled = true;
                file->setReadBufferSize(kStalledBuffer);
                writeEvent({QStringLiteral("stalled"), m_uploads.currentTag(), QString::number(received)});
                return;
            }
            limit = qMin(limit, m_stallAfter - received);
        }
        const QByteArray bytes = file->read(limit);
        if (bytes.isEmpty())
            return;
        m_uploads.append(bytes);
    }
}

QString PrintSession::send(Role role, const QString &text)
{
    QTcpSocket *to = socket(role);
    if (!to)
        return QStringLiteral("no %1 connection").arg(roleName(role));
    m_writer->write(to, role, text, role == Role::File ? m_gbk : m_utf8);
    return QString();
}

void PrintSession::closeAfter(qint64 bytes)
{
    m_closeAfter = bytes;
    readFile();
}

void PrintSession::stallAfter(qint64 bytes)
{
    m_stallAfter = bytes;
    readFile();
}

void PrintSession::resume()
{
    m_stalled = false;
    if (QTcpSocket *file = socket(Role::File))
        file->setReadBufferSize(0);
    readFile();
}
