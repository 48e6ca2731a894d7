#include "socketserver.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QTimer>

namespace sockettest {

ReferenceSocketServer::ReferenceSocketServer(const QStringList &extraArguments)
    : m_dir(QDir::tempPath() + QStringLiteral("/socket-server-XXXXXX"))
{
    m_arguments = QStringList{QStringLiteral("--ports"), QStringLiteral("0,0,0"), QStringLiteral("--out"), m_dir.path()}
                  + extraArguments;
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QObject::connect(&m_process, &QProcess::readyReadStandardOutput, &m_process, [this] { readEvents(); });
}

bool ReferenceSocketServer::start()
{
    m_process.start(QStringLiteral(OLVENKA_REFERENCE_SERVER), m_arguments);
    m_ports = take({QStringLiteral("listening")}, 10000).mid(1);
    if (m_ports.size() != 3)
        m_error = QStringLiteral("server did not start listening: %1 (see its messages above)").arg(m_process.errorString());
    return m_ports.size() == 3;
}

bool ReferenceSocketServer::command(const QString &line, int timeoutMs)
{
    m_process.write(line.toUtf8() + '\n');
    // Commands are answered in order, and each is waited for.
    const QStringList answer = take({QStringLiteral("ok"), QStringLiteral("error")}, timeoutMs);
    m_error = answer.isEmpty() ? QStringLiteral("no answer to %1").arg(line) : answer.mid(1).join(QLatin1Char(' '));
    return answer.value(0) == QLatin1String("ok");
}

QList<QStringList> ReferenceSocketServer::events(const QString &event) const
{
    QList<QStringList> found;
    for (const QStringList &candidate : m_events) {
        if (candidate.at(0) == event)
            found.append(candidate.mid(1));
    }
    return found;
}

void ReferenceSocketServer::kill()
{
    m_process.kill();
    m_process.waitForFinished(5000);
}

void ReferenceSocketServer::readEvents()
{
    while (m_process.canReadLine())
        m_events.append(QString::fromUtf8(m_process.readLine().chopped(1)).split(QLatin1Char('\t')));
}

QStringList ReferenceSocketServer::take(const QStringList &words, int timeoutMs)
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

} // namespace sockettest
