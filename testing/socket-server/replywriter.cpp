#include "replywriter.h"

#include <QPointer>
#include <QTcpSocket>
#include <QTextCodec>
#include <QTimer>

void ReplyWriter::write(QTcpSocket *socket, Role role, const QString &text, QTextCodec *codec)
{
    QByteArray bytes = codec->fromUnicode(text);
    if (m_merge && !m_held) {
        m_merge = false;
        m_held = Held{role, bytes};
        return;
    }
    if (m_held && m_held->role == role) {
        bytes.prepend(m_held->bytes);
        m_held.reset();
    }
    if (m_split > 0 && m_split < bytes.size()) {
        QTimer::singleShot(300, this, [this, socket = QPointer<QTcpSocket>(socket), role, rest = bytes.mid(m_split), codec] {
            if (socket)
                put(socket, role, rest, codec);
        });
        bytes.truncate(m_split);
    }
    m_split = 0;
    put(socket, role, bytes, codec);
}

void ReplyWriter::put(QTcpSocket *socket, Role role, const QByteArray &bytes, QTextCodec *codec)
{
    socket->write(bytes);
    writeEvent({QStringLiteral("sent"), roleName(role), codec->toUnicode(bytes)});
}
