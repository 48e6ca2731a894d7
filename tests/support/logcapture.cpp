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
        self->m_entries.append({type, QString::fromLatin1(context.category ? context.category : ""), message});
    }
    if (self->m_previous)
        self->m_previous(type, context, message);
}

QList<LogCapture::Entry> LogCapture::entries() const
{
    QMutexLocker lock(&m_mutex);
    return m_entries;
}

QStringList LogCapture::texts() const
{
    QStringList result;
    for (const Entry &entry : entries())
        result.append(entry.text);
    return result;
}

int LogCapture::indexOf(const QString &prefix, int from) const
{
    const QStringList all = texts();
    for (int i = qMax(0, from); i < all.size(); ++i) {
        if (all.at(i).startsWith(prefix))
            return i;
    }
    return -1;
}

bool LogCapture::hasType(const QString &prefix, QtMsgType type) const
{
    for (const Entry &entry : entries()) {
        if (entry.text.startsWith(prefix))
            return entry.type == type;
    }
    return false;
}

void LogCapture::clear()
{
    QMutexLocker lock(&m_mutex);
    m_entries.clear();
}

} // namespace cloudprinttest
