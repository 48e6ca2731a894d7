#include "logcapture.h"

#include <QMutexLocker>

namespace {
LogCapture *g_capture = nullptr;
}

LogCapture::LogCapture(const char *category)
    : m_category(category)
{
    g_capture = this;
    m_previous = qInstallMessageHandler(&LogCapture::handler);
}

LogCapture::~LogCapture()
{
    qInstallMessageHandler(m_previous);
    g_capture = nullptr;
}

QStringList LogCapture::lines() const
{
    QMutexLocker lock(&m_mutex);
    return m_lines;
}

bool LogCapture::contains(const QString &text) const
{
    const QStringList all = lines();
    for (const QString &line : all) {
        if (line.contains(text))
            return true;
    }
    return false;
}

void LogCapture::clear()
{
    QMutexLocker lock(&m_mutex);
    m_lines.clear();
}

void LogCapture::handler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    LogCapture *capture = g_capture;
    if (!capture)
        return;
    if (context.category && capture->m_category == context.category) {
        QMutexLocker lock(&capture->m_mutex);
        capture->m_lines.append(message);
    }
    if (capture->m_previous)
        capture->m_previous(type, context, message);
}
