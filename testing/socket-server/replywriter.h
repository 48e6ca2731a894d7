#pragma once

#include "events.h"

#include <QObject>

class QTcpSocket;
class QTextCodec;

// Writes the server's replies and reports each write as a "sent" event. On
// request it splits a reply over two writes or merges two replies into one,
// as a network may do, since the client's messages have no framing.
class ReplyWriter : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    void write(QTcpSocket *socket, Role role, const QString &text, QTextCodec *codec);
    // The next reply goes out as its first `bytes` bytes, the rest 300 ms later.
    void splitNext(int bytes) { m_split = bytes; }
    // The next reply waits for the following one on the same socket and leaves with it.
    void mergeNext() { m_merge = true; }
    // A held reply goes with its connection.
    void forget(Role role)
    {
        if (m_held && m_held->role == role)
            m_held.reset();
    }

private:
    void put(QTcpSocket *socket, Role role, const QByteArray &bytes, QTextCodec *codec);

    struct Held
    {
        Role role;
        QByteArray bytes;
    };
    std::optional<Held> m_held;
    bool m_merge = false;
    int m_split = 0;
};
