#pragma once

#include <QByteArray>
#include <QtEndian>

// Builds Thrift binary-protocol bytes by hand, for replies no correct server
// would send.
class Wire
{
public:
    enum Type : char { Stop = 0, Bool = 2, I32 = 8, String = 11, Struct = 12, List = 15 };
    enum MessageType { Reply = 2, Exception = 3 };

    Wire &byte(int value)
    {
        m_bytes.append(char(value));
        return *this;
    }
    Wire &i16(int value)
    {
        char b[2];
        qToBigEndian<qint16>(qint16(value), b);
        m_bytes.append(b, 2);
        return *this;
    }
    Wire &i32(qint64 value)
    {
        char b[4];
        qToBigEndian<quint32>(quint32(value), b);
        m_bytes.append(b, 4);
        return *this;
    }
    Wire &str(const QByteArray &text) { return i32(text.size()).raw(text); }
    Wire &raw(const QByteArray &bytes)
    {
        m_bytes.append(bytes);
        return *this;
    }
    Wire &field(Type type, int id) { return byte(type).i16(id); }
    Wire &stop() { return byte(Stop); }

    // Strict header: version word, name, sequence id.
    Wire &reply(const QByteArray &method, MessageType type = Reply)
    {
        return i32(0x80010000u | unsigned(type)).str(method).i32(0);
    }
    // Header without version, as old peers write it.
    Wire &oldReply(const QByteArray &method) { return str(method).byte(Reply).i32(0); }

    QByteArray bytes() const { return m_bytes; }
    QString hex() const { return QString::fromLatin1(m_bytes.toHex()); }

private:
    QByteArray m_bytes;
};
