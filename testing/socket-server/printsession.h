#pragma once

#include "events.h"
#include "options.h"
#include "uploadqueue.h"

#include <QObject>

#include <array>

class QTcpServer;
class QTcpSocket;
class QTextCodec;
class ReplyWriter;

// The server side of a socket client session: the three listeners, the newest
// connection of each role, the protocol and the files received.
class PrintSession : public QObject
{
    Q_OBJECT
public:
    // How the session answers; changed by control commands.
    struct Behaviour
    {
        int verifyReply = 0; // 0: by the auth code
        int headerReply = 5;
        int fileReply = 8;
    };

    explicit PrintSession(ServerOptions options, QObject *parent = nullptr);

    // False with `error` set when a port cannot be bound.
    bool listen(QString *error);
    quint16 port(Role role) const;

    Behaviour &behaviour() { return m_behaviour; }
    ReplyWriter *writer() const { return m_writer; }
    // Writes `text` on the connection of `role`: GBK on the file socket, UTF-8
    // otherwise. Returns an error text, empty on success.
    QString send(Role role, const QString &text);
    // Close or stop reading the file socket once the current upload has this many bytes.
    void closeAfter(qint64 bytes);
    void stallAfter(qint64 bytes);
    void resume();

private:
    void accept(Role role);
    void release(Role role);
    void read(Role role);
    void verify(QTcpSocket *socket, const QString &message);
    void header(QTcpSocket *socket, const QString &message);
    void readFile();
    QTcpSocket *&socket(Role role) { return m_sockets[size_t(role)]; }

    const ServerOptions m_options;
    Behaviour m_behaviour;
    UploadQueue m_uploads;
    ReplyWriter *m_writer;
    QTextCodec *m_gbk;
    QTextCodec *m_utf8;
    std::array<QTcpServer *, 3> m_servers{};
    std::array<QTcpSocket *, 3> m_sockets{};
    qint64 m_closeAfter = -1;
    qint64 m_stallAfter = -1;
    bool m_stalled = false;
};
