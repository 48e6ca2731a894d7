#pragma once

#include <QList>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

namespace sockettest {

// Runs testing/socket-server (olvenka-reference-server) as a child process on
// 127.0.0.1 with ports it picks itself, and collects its event lines. Every
// wait spins the Qt event loop, so a client on the test's thread keeps working.
class ReferenceSocketServer
{
public:
    // `extraArguments` follow the launcher's own, so they may override --ports.
    explicit ReferenceSocketServer(const QStringList &extraArguments = {});
    ~ReferenceSocketServer() { kill(); }

    // Starts the server and waits until it listens; false with errorString() on failure.
    bool start();
    QString errorString() const { return m_error; }

    quint16 verifyPort() const { return m_ports.value(0).toUShort(); }
    quint16 infoPort() const { return m_ports.value(1).toUShort(); }
    quint16 filePort() const { return m_ports.value(2).toUShort(); }
    // Where the server stores received files (its --out).
    QString outDir() const { return m_dir.path(); }

    // Sends a control command and waits for its acknowledgement; false with
    // errorString() when it is refused or not answered in time.
    bool command(const QString &line, int timeoutMs = 5000);
    // Fields after the event word of the first not yet consumed `event`, which
    // is then consumed; empty on time-out. Other events stay queued.
    QStringList waitFor(const QString &event, int timeoutMs = 10000) { return take({event}, timeoutMs).mid(1); }
    // Fields of every `event` not yet consumed.
    QList<QStringList> events(const QString &event) const;
    void clearEvents() { m_events.clear(); }

    // SIGKILL: how tests make the server vanish, and how it ends anyway.
    void kill();

private:
    void readEvents();
    // Removes and returns the first event (its word, then its fields) whose
    // word is one of `words`, waiting for it while the server runs; empty on time-out.
    QStringList take(const QStringList &words, int timeoutMs);

    QStringList m_arguments;
    QTemporaryDir m_dir;
    QList<QStringList> m_events;
    QStringList m_ports;
    QString m_error;
    QProcess m_process;
};

} // namespace sockettest
