#pragma once

#include <QList>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <optional>

namespace sockettest {

// Runs testing/socket-server (olvenka-reference-server) as a child process on
// 127.0.0.1 with ports it picks itself, and collects its event lines. Every
// wait spins the Qt event loop, so a client on the test's thread keeps working.
class ReferenceSocketServer
{
public:
    // `extraArguments` follow the launcher's own, so they may override --ports or --out.
    explicit ReferenceSocketServer(const QStringList &extraArguments = {});
    // Stops the server (SIGTERM, then SIGKILL) and waits for it.
    ~ReferenceSocketServer();

    ReferenceSocketServer(const ReferenceSocketServer &) = delete;
    ReferenceSocketServer &operator=(const ReferenceSocketServer &) = delete;

    // Starts the server and waits until it listens; false with errorString() on failure.
    bool start();
    QString errorString() const { return m_error; }

    quint16 verifyPort() const { return m_ports[0]; }
    quint16 infoPort() const { return m_ports[1]; }
    quint16 filePort() const { return m_ports[2]; }
    // Where the server stores received files (its --out).
    QString outDir() const { return m_dir.path(); }

    // Sends a control command and waits for its acknowledgement; false with
    // errorString() when it is refused or not answered in time.
    bool command(const QString &line, int timeoutMs = 5000);
    // Fields after the event word of the first not yet consumed `event`, which
    // is then consumed; empty on time-out. Other events stay queued.
    QStringList waitFor(const QString &event, int timeoutMs = 10000);
    // Fields of every `event` seen so far, consumed or not.
    QList<QStringList> events(const QString &event) const;
    void clearEvents();

    // SIGKILL, for tests of a server that vanishes.
    void kill();

private:
    struct Event
    {
        QString kind;
        QStringList fields;
        bool consumed = false;
    };

    void readEvents();
    // Consumes the first unconsumed event that `match` accepts, waiting for it
    // while the server runs.
    std::optional<Event> take(const std::function<bool(const Event &)> &match, int timeoutMs);
    void stop();

    QStringList m_arguments;
    QTemporaryDir m_dir;
    QList<Event> m_events;
    quint16 m_ports[3] = {};
    QString m_error;
    QProcess m_process;
};

} // namespace sockettest
