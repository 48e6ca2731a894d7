#include "logrecorder.h"

#include <algorithm>

namespace {
LogRecorder *activeRecorder = nullptr;
}

LogRecorder::LogRecorder(const char *category)
    : m_category(category)
{
    activeRecorder = this;
    m_previous = qInstallMessageHandler(&LogRecorder::handler);
}

LogRecorder::~LogRecorder()
{
    qInstallMessageHandler(m_previous);
    activeRecorder = nullptr;
}

bool LogRecorder::contains(QtMsgType type, const QString &prefix) const
{
    return std::any_of(m_lines.cbegin(), m_lines.cend(),
                       [&](const Line &line) { return line.type == type && line.text.startsWith(prefix); });
}

void LogRecorder::handler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    LogRecorder *self = activeRecorder;
    if (self && context.category && self->m_category == context.category)
        self->m_lines.append({type, message});
    if (self && self->m_previous)
        self->m_previous(type, context, message);
}
