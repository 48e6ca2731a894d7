#pragma once

#include <QtCore>

namespace sockettest {

// Runs testing/socket-server (olvenka-reference-server) as a child process on
// 127.0.0.1 with ports it picks itself, and collects its event lines. Every
// wait spins the Qt event loop, so a client on the test's thread keeps working.
class ReferenceSocketServer
{
public:
    // `extraArguments` follow the launcher's own, so they may override --ports.
    explicit ReferenceSocketServer(const QStringList &extraArguments = {})
        : m_dir(QDir::tempPath() + QStringLiteral("/socket-server-XXXXXX"))
    {
        m_arguments =
            QStringList{QStringLiteral("--ports"), QStringLiteral("0,0,0"), QStringLiteral("--out"), m_dir.path()}
            + extraArguments;
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QObject::connect(&m_process, &QProcess::readyReadStandardOutput, &m_process, [this] {
            while (m_process.canReadLine())
                m_events.append(QString::fromUtf8(m_process.readLine().chopped(1)).split(QLatin1Char('\t')));
        });
    }
    ~ReferenceSocketServer() { kill(); }

    // Starts the server and waits until it listens; false on failure, see errorString().
    bool start()
    {
        m_process.start(QStringLiteral(OLVENKA_REFERENCE_SERVER), m_arguments);
        m_ports = waitFor(QStringLiteral("listening"));
        return m_ports.size() == 3;
    }
    QString errorString() const
    {
        return QStringLiteral("server did not start listening: %1 (see its messages above)")
            .arg(m_process.errorString());
    }

    quint16 verifyPort() const { return m_ports.value(0).toUShort(); }
    quint16 infoPort() const { return m_ports.value(1).toUShort(); }
    quint16 filePort() const { return m_ports.value(2).toUShort(); }
    // All three as --ports takes them, for a server started on the same ones.
    QString ports() const { return m_ports.join(QLatin1Char(',')); }
    // Where the server stores received files (its --out).
    QString outDir() const { return m_dir.path(); }

    // Sends a control command and waits for its acknowledgement; false when it
    // is refused or not answered in time.
    bool command(const QString &line)
    {
        m_process.write(line.toUtf8() + '\n');
        // Commands are answered in order, and each is waited for.
        return take({QStringLiteral("ok"), QStringLiteral("error")}, 5000).value(0) == QLatin1String("ok");
    }
    // Fields after the event word of the first not yet consumed `event`, which
    // is then consumed; empty on time-out. Other events stay queued.
    QStringList waitFor(const QString &event, int timeoutMs = 10000) { return take({event}, timeoutMs).mid(1); }
    // Fields of every `event` not yet consumed.
    QList<QStringList> events(const QString &event) const
    {
        QList<QStringList> found;
        for (const QStringList &candidate : m_events) {
            if (candidate.at(0) == event)
                found.append(candidate.mid(1));
        }
        return found;
    }
    void clearEvents() { m_events.clear(); }

    // SIGKILL: how tests make the server vanish, and how it ends anyway.
    void kill()
    {
        m_process.kill();
        m_process.waitForFinished(5000);
    }

private:
    // Removes and returns the first event (its word, then its fields) whose
    // word is one of `words`, waiting for it while the server runs; empty on time-out.
    QStringList take(const QStringList &words, int timeoutMs)
    {
        const QDeadlineTimer deadline(timeoutMs);
        // Bounds each sleep of processEvents below when neither side has anything to do.
        QTimer wake;
        wake.start(20);
        for (;;) {
            for (int i = 0; i < m_events.size(); ++i) {
                if (words.contains(m_events.at(i).at(0)))
                    return m_events.takeAt(i);
            }
            // A stopped server sends nothing more; its last lines were read above.
            if (deadline.hasExpired() || m_process.state() == QProcess::NotRunning)
                return {};
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
    }

    QStringList m_arguments;
    QTemporaryDir m_dir;
    QList<QStringList> m_events;
    QStringList m_ports;
    QProcess m_process;
};

} // namespace sockettest
