#include "controlchannel.h"

#include "events.h"
#include "printsession.h"
#include "replywriter.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <unistd.h>

namespace {

// The first argument as a number out of `allowed` (any non-negative number when empty).
std::optional<qint64> number(const QString &rest, std::initializer_list<qint64> allowed = {})
{
    bool ok = false;
    const qint64 value = rest.section(QLatin1Char(' '), 0, 0).toLongLong(&ok);
    if (!ok || value < 0 || (allowed.size() > 0 && std::find(allowed.begin(), allowed.end(), value) == allowed.end()))
        return std::nullopt;
    return value;
}

} // namespace

ControlChannel::ControlChannel(PrintSession *session, QObject *parent)
    : QObject(parent)
    , m_session(session)
    , m_notifier(new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, this))
{
    connect(m_notifier, &QSocketNotifier::activated, this, &ControlChannel::readInput);
}

void ControlChannel::readInput()
{
    char chunk[4096];
    const ssize_t count = ::read(STDIN_FILENO, chunk, sizeof chunk);
    if (count < 0 && (errno == EINTR || errno == EAGAIN))
        return;
    if (count <= 0) {
        m_notifier->setEnabled(false);
        QCoreApplication::exit(0);
        return;
    }
    m_input.append(chunk, int(count));
    for (int end = m_input.indexOf('\n'); end >= 0 && !m_quit; end = m_input.indexOf('\n')) {
        const QString line = QString::fromUtf8(m_input.left(end)).remove(QLatin1Char('\r'));
        m_input.remove(0, end + 1);
        if (line.isEmpty())
            continue;
        const QString word = line.section(QLatin1Char(' '), 0, 0);
        const QString error = execute(word, line.section(QLatin1Char(' '), 1));
        writeEvent(error.isEmpty() ? QStringList{QStringLiteral("ok"), word} : QStringList{QStringLiteral("error"), error});
    }
}

QString ControlChannel::execute(const QString &word, const QString &rest)
{
    const QString argument = rest.section(QLatin1Char(' '), 0, 0);
    if (word == QLatin1String("status")) {
        if (!number(rest, {11, 13, 16}) || !rest.contains(QLatin1Char(' ')))
            return QStringLiteral("usage: status 11|13|16 PDFNAME");
        return m_session->send(Role::File, argument + QStringLiteral("##") + rest.section(QLatin1Char(' '), 1));
    }
    if (word == QLatin1String("send")) {
        const auto role = roleFromName(argument);
        if (!role)
            return QStringLiteral("usage: send verify|info|file TEXT");
        return m_session->send(*role, rest.section(QLatin1Char(' '), 1));
    }
    if (word == QLatin1String("verify-reply")) {
        const auto reply = argument == QLatin1String("auto") ? std::optional<qint64>(0) : number(rest, {2, 3});
        if (!reply)
            return QStringLiteral("usage: verify-reply 2|3|auto");
        m_session->behaviour().verifyReply = int(*reply);
    } else if (word == QLatin1String("header-reply")) {
        const auto reply = number(rest, {5, 6});
        if (!reply)
            return QStringLiteral("usage: header-reply 5|6");
        m_session->behaviour().headerReply = int(*reply);
    } else if (word == QLatin1String("file-reply")) {
        const auto reply = number(rest, {7, 8, 9, 10});
        if (!reply)
            return QStringLiteral("usage: file-reply 8|9|7|10");
        m_session->behaviour().fileReply = int(*reply);
    } else if (word == QLatin1String("split-next")) {
        const auto bytes = number(rest);
        if (!bytes || *bytes == 0 || *bytes > INT_MAX)
            return QStringLiteral("usage: split-next BYTES (at least 1)");
        m_session->writer()->splitNext(int(*bytes));
    } else if (word == QLatin1String("merge-next")) {
        m_session->writer()->mergeNext();
    } else if (word == QLatin1String("close-after") || word == QLatin1String("stall-after")) {
        const auto bytes = number(rest);
        if (!bytes)
            return QStringLiteral("usage: %1 BYTES").arg(word);
        if (word == QLatin1String("close-after"))
            m_session->closeAfter(*bytes);
        else
            m_session->stallAfter(*bytes);
    } else if (word == QLatin1String("resume")) {
        m_session->resume();
    } else if (word == QLatin1String("quit")) {
        m_quit = true;
        QCoreApplication::exit(0);
    } else {
        return QStringLiteral("unknown command: %1").arg(word);
    }
    return QString();
}
