#include "socketserver.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QTimer>

namespace sockettest {

ReferenceSocketServer::ReferenceSocketServer(const QStringList &extraArguments)
    : m_arguments(extraArguments)
    , m_dir(QDir::tempPath() + QStringLiteral("/socket-server-XXXXXX"))
{
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QObject::connect(&m_process, &QProcess::readyReadStandardOutput, &m_process, [this] { readEvents(); });
}

ReferenceSocketServer::~ReferenceSocketServer()
{
    stop();
}

bool ReferenceSocketServer::start()
{
    stop();
    clearEvents();
    m_process.start(QStringLiteral(OLVENKA_REFERENCE_SERVER),
                    QStringList{QStringLiteral("--ports"), QStringLiteral("0,0,0"), QStringLiteral("--out"), m_dir.path()}
                        + m_arguments);
    if (!m_process.waitForStarted(10000)) {
        m_error = m_process.errorString();
        return false;
    }
    const auto listening = take([](const Event &event) { return event.kind == QLatin1String("listening"); }, 10000);
    if (!listening || listening->fields.size() != 3) {
        m_error = QStringLiteral("server did not start listening (see its messages above)");
        stop();
        return false;
    }
    for (int i = 0; i < 3; ++i)
        m_ports[i] = quint16(listening->fields.at(i).toUInt());
    return true;
}

bool ReferenceSocketServer::command(const QString &line, int timeoutMs)
{
    const QString word = line.section(QLatin1Char(' '), 0, 0);
    m_process.write(line.toUtf8() + '\n');
    const auto answer = take(
        [&word](const Event &event) {
            return event.kind == QLatin1String("error")
                || (event.kind == QLatin1String("ok") && event.fields.value(0) == word);
        },
        timeoutMs);
    if (!answer)
        m_error = QStringLiteral("no answer to %1").arg(line);
    else if (answer->kind == QLatin1String("error"))
        m_error = answer->fields.join(QLatin1Char(' '));
    return answer && answer->kind == QLatin1String("ok");
}

QStringList ReferenceSocketServer::waitFor(const QString &event, int timeoutMs)
{
    const auto found = take([&event](const Event &candidate) { return candidate.kind == event; }, timeoutMs);
    return found ? found->fields : QStringList();
}

QList<QStringList> ReferenceSocketServer::events(const QString &event) const
{
    QList<QStringList> fields;
    for (const Event &candidate : m_events) {
        if (candidate.kind == event)
            fields.append(candidate.fields);
    }
    return fields;
}

void ReferenceSocketServer::clearEvents()
{
    m_events.clear();
}

void ReferenceSocketServer::kill()
{
    m_process.kill();
    m_process.waitForFinished(5000);
}

void ReferenceSocketServer::readEvents()
{
    while (m_process.canReadLine()) {
        QStringList fields = QString::fromUtf8(m_process.readLine().chopped(1)).split(QLatin1Char('\t'));
        const QString kind = fields.takeFirst();
        m_events.append({kind, fields});
    }
}

std::optional<ReferenceSocketServer::Event> ReferenceSocketServer::take(
    const std::function<bool(const Event &)> &match, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    // Bounds each sleep of processEvents below when neither side has anything to do.
    QTimer wake;
    wake.start(20);
    for (;;) {
        for (Event &event : m_events) {
            if (!event.consumed && match(event)) {
                event.consumed = true;
                return event;
            }
        }
        // A stopped server sends nothing more; its last lines were read above.
        if (deadline.hasExpired() || m_process.state() == QProcess::NotRunning)
            return std::nullopt;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

void ReferenceSocketServer::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

} // namespace sockettest
