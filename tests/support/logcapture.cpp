#include "logcapture.h"

namespace cloudprinttest {

namespace {
LogCapture *g_active = nullptr;
}

LogCapture::LogCapture()
{
    g_active = this;
    m_previous = qInstallMessageHandler(&LogCapture::handler);
}

LogCapture::~LogCapture()
{
    qInstallMessageHandler(m_previous);
    g_active = nullptr;
}

void LogCapture::handler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    LogCapture *self = g_active;
    if (!self)
        return;
    {
        QMutexLocker lock(&self->m_mutex);
        self->m_texts.append(message);
        self->m_types.append(type);
    }
    if (self->m_previous)
        self->m_previous(type, context, message);
}

QStringList LogCapture::texts() const
{
    QMutexLocker lock(&m_mutex);
    return m_texts;
}

QStringList LogCapture::texts(QtMsgType type) const
{
    QMutexLocker lock(&m_mutex);
    QStringList result;
    for (int i = 0; i < m_texts.size(); ++i) {
        if (m_types.at(i) == type)
            result.append(m_texts.at(i));
    }
    return result;
}

} // namespace cloudprinttest
