#include "logrecorder.h"

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
    for (const Line &line : m_lines) {
        if (line.type == type && line.text.startsWith(prefix))
            return true;
    }
    return false;
}

void LogRecorder::handler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    LogRecorder *self = activeRecorder;
    if (self && context.category && self->m_category == context.category)
        self->m_lines.append({type, message});
    if (self && self->m_previous)
        self->m_previous(type, context, message);
}
