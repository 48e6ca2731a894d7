// Reference socket print server: stands in for the socket client's print
// server in tests. See README.md for options, control commands and events.
#include <QtNetwork>

#include <array>
#include <cstdio>
#include <unistd.h>
#include <utility>

namespace {

// The three connections of a session, one listening port each.
enum Role { Verify, Info, File };
const QStringList roleNames{QStringLiteral("verify"), QStringLiteral("info"), QStringLiteral("file")};
const QString separator = QStringLiteral("##");
const QString authCode = QStringLiteral("ABCDEF123456");
// While stalled, Qt buffers no more than this, so the kernel buffers fill up
// and the client's writes block.
constexpr qint64 stalledBuffer = 4096;

// One event line: fields joined by TAB, flushed at once so a test reading the
// pipe sees it immediately.
void writeEvent(const QStringList &fields)
{
    const QByteArray line = fields.join(QLatin1Char('\t')).toUtf8() + '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fflush(stdout);
}

// The server side of a socket client session: the three listeners, the newest
// connection of each role, the protocol, the files received and the faults a
// test asks for.
class Server : public QObject
{
public:
    // `printers`: one name a line.
    Server(QString outDir, const QString &printers)
        : m_outDir(std::move(outDir))
        , m_printers(printers.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
    { }

    // Reports the bound ports once all three listen; false when a port cannot be bound.
    bool listen(const QStringList &ports)
    {
        QStringList listening{QStringLiteral("listening")};
        for (Role role : {Verify, Info, File}) {
            m_servers[role] = new QTcpServer(this);
            connect(m_servers[role], &QTcpServer::newConnection, this, [this, role] { accept(role); });
            if (!m_servers[role]->listen(QHostAddress::LocalHost, ports.value(role).toUShort())) {
                std::fprintf(stderr, "olvenka-reference-server: cannot listen on port %s: %s\n",
                             qPrintable(ports.value(role)), qPrintable(m_servers[role]->errorString()));
                return false;
            }
            listening << QString::number(m_servers[role]->serverPort());
        }
        writeEvent(listening);
        return true;
    }

    // Carries out one control command; false when it is unknown or cannot be done now.
    bool execute(const QString &line)
    {
        const QString word = line.section(QLatin1Char(' '), 0, 0);
        const int number = line.section(QLatin1Char(' '), 1, 1).toInt();
        if (word == QLatin1String("status") && m_sockets[File]) {
            // Text after a '|' goes out 300 ms later, in a write of its own.
            const QString reply = line.section(QLatin1Char(' '), 1, 1) + separator + line.section(QLatin1Char(' '), 2);
            write(File, reply.section(QLatin1Char('|'), 0, 0));
            if (reply.contains(QLatin1Char('|')))
                QTimer::singleShot(300, m_sockets[File],
                                   [this, rest = reply.section(QLatin1Char('|'), 1)] { write(File, rest); });
        } else if (word == QLatin1String("header-reply")) {
            m_headerReply = number;
        } else if (word == QLatin1String("file-reply")) {
            m_fileReply = number;
        } else if (word == QLatin1String("stall") || word == QLatin1String("resume")) {
            m_stalled = word == QLatin1String("stall");
            if (m_sockets[File])
                m_sockets[File]->setReadBufferSize(m_stalled ? stalledBuffer : 0);
            readFile();
        } else {
            return false;
        }
        return true;
    }

private:
    void accept(Role role)
    {
        while (QTcpSocket *next = m_servers[role]->nextPendingConnection()) {
            // Only one client session matters: the newest connection replaces the older one.
            release(role);
            m_sockets[role] = next;
            next->setSocketOption(QAbstractSocket::LowDelayOption, 1);
            writeEvent({QStringLiteral("connected"), roleNames[role]});
            connect(next, &QTcpSocket::readyRead, this, [this, role] { role == File ? readFile() : read(role); });
            connect(next, &QTcpSocket::disconnected, this, [this, role, next] {
                if (m_sockets[role] == next)
                    release(role);
            });
            if (role == File)
                readFile();
        }
    }

    void release(Role role)
    {
        QTcpSocket *old = std::exchange(m_sockets[role], nullptr);
        if (!old)
            return;
        old->disconnect(this);
        old->abort();
        old->deleteLater();
        writeEvent({QStringLiteral("disconnected"), roleNames[role]});
        // The client never sends a file twice: bytes of the current upload that
        // went with this connection are lost, later uploads come on a new one.
        if (role == File && m_size >= 0) {
            writeEvent({QStringLiteral("partial"), m_tag, QString::number(m_data.size())});
            m_size = -1;
            m_data.clear();
        }
    }

    void read(Role role)
    {
        // No framing: whatever is readable now is one message.
        const QString message = QString::fromUtf8(m_sockets[role]->readAll());
        const QString code = message.section(separator, 0, 0);
        if (role == Verify && code == QLatin1String("1"))
            verify(message);
        else if (role == Info && code == QLatin1String("4"))
            header(message);
        else if (role == Info && (code == QLatin1String("14") || code == QLatin1String("15")))
            writeEvent(
                {QStringLiteral("command"), code, message.section(separator, 1, 1), message.section(separator, 2)});
    }

    void verify(const QString &message)
    {
        const QString code = message.section(separator, 1, 1);
        const bool accepted = code == authCode;
        writeEvent({QStringLiteral("verify"), code, message.section(separator, 2),
                    accepted ? QStringLiteral("2") : QStringLiteral("3")});
        // Every name is followed by the separator, so the last field is empty.
        write(Verify, accepted ? QStringLiteral("2##") + m_printers.join(separator) + separator : QStringLiteral("3"));
    }

    void header(const QString &message)
    {
        const QStringList fields = message.split(separator);
        const QString reply = QString::number(std::exchange(m_headerReply, 5));
        writeEvent({QStringLiteral("header"), fields.value(1), fields.value(2), fields.value(3), fields.value(4),
                    message.section(separator, 5), reply});
        write(Info, reply);
        if (reply == QLatin1String("5")) {
            m_tag = fields.value(4);
            m_size = fields.value(3).toLongLong();
            readFile();
        }
    }

    void readFile()
    {
        // Bytes without an accepted header wait in the socket until one comes.
        if (!m_sockets[File] || m_size < 0 || m_stalled)
            return;
        m_data.append(m_sockets[File]->read(m_size - m_data.size()));
        if (m_data.size() < m_size)
            return;
        // Saved under its job tag, kept inside the output directory, and
        // flushed before the event tells the test to read it.
        QFile file(QDir(m_outDir).filePath(QString(m_tag).replace(QLatin1Char('/'), QLatin1Char('_'))));
        const bool saved = file.open(QIODevice::WriteOnly) && file.write(m_data) == m_data.size() && file.flush();
        m_data.clear();
        write(File, QString::number(m_fileReply));
        writeEvent({QStringLiteral("received"), m_tag, QString::number(std::exchange(m_size, -1)),
                    saved ? file.fileName() : QString()});
    }

    void write(Role role, const QString &text) { m_sockets[role]->write(m_gbk->fromUnicode(text)); }

    const QString m_outDir;
    const QStringList m_printers;
    QTextCodec *const m_gbk = QTextCodec::codecForName("GBK");
    std::array<QTcpServer *, 3> m_servers{};
    std::array<QTcpSocket *, 3> m_sockets{};
    int m_headerReply = 5;
    int m_fileReply = 8;
    // The upload of the accepted header (the client sends one at a time), and
    // its bytes so far; no upload while the size is negative.
    QString m_tag;
    qint64 m_size = -1;
    QByteArray m_data;
    bool m_stalled = false;
};

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    // The last one wins, so a caller's options override a launcher's.
    const auto option = [&arguments](const char *name, const QString &fallback = QString()) {
        const int at = arguments.lastIndexOf(QLatin1String(name));
        return at > 0 ? arguments.value(at + 1) : fallback;
    };
    const QString outDir = option("--out");
    if (outDir.isEmpty() || !QDir(outDir).exists()) {
        std::fprintf(stderr, "usage: olvenka-reference-server --out DIR [--ports V,I,F] [--printers NAMES]\n");
        return 1;
    }
    Server server(outDir, option("--printers", QStringLiteral("Office\n财务打印机\nSay \"hi\"")));
    if (!server.listen(option("--ports", QStringLiteral("8888,8848,8818")).split(QLatin1Char(','))))
        return 1;

    // Control over stdin, one command per line, each answered once it took
    // effect. End of input ends the program, so it never outlives its test.
    // Unbuffered, so lines not read yet stay in the pipe and wake the notifier.
    QFile input;
    input.open(STDIN_FILENO, QIODevice::ReadOnly | QIODevice::Unbuffered);
    QSocketNotifier notifier(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, &server, [&] {
        const QByteArray raw = input.readLine();
        if (raw.isEmpty())
            return QCoreApplication::exit(0);
        const QString line = QString::fromUtf8(raw).trimmed();
        writeEvent(server.execute(line) ? QStringList{QStringLiteral("ok"), line.section(QLatin1Char(' '), 0, 0)}
                                        : QStringList{QStringLiteral("error"), QStringLiteral("refused: ") + line});
    });
    return QCoreApplication::exec();
}
