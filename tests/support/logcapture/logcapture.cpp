#include "logcapture.h"

#include <QMutexLocker>

#include <algorithm>

namespace {
LogCapture *g_active = nullptr;
}

LogCapture::LogCapture(const char *category)
    : m_category(category)
{
    g_active = this;
    m_previous = qInstallMessageHandler(&LogCapture::handler);
}

LogCapture::~LogCapture()
{
    qInstallMessageHandler(m_previous);
    g_active = nullptr;
}

QList<LogCapture::Line> LogCapture::lines() const
{
    QMutexLocker lock(&m_mutex);
    return m_lines;
}

QStringList LogCapture::texts(std::optional<QtMsgType> type) const
{
    QStringList result;
    for (const Line &line : lines()) {
        if (!type || line.type == *type)
            result << line.text;
    }
    return result;
}

bool LogCapture::contains(QtMsgType type, const QString &prefix) const
{
    const QList<Line> all = lines();
    return std::any_of(all.cbegin(), all.cend(),
                       [&](const Line &line) { return line.type == type && line.text.startsWith(prefix); });
}

void LogCapture::handler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    LogCapture *self = g_active;
    if (!self)
        return;
    if (self->m_category.isNull() || (context.category && self->m_category == context.category)) {
        QMutexLocker lock(&self->m_mutex);
        self->m_lines.append({type, message});
    }
    if (self->m_previous)
        self->m_previous(type, context, message);
}
