#pragma once

#include <QList>
#include <QMutex>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <algorithm>
#include <optional>

// Records the log lines of one category (of all, without one) while it lives
// and passes them on. Lines may come from any thread. One instance at a time.
class LogCapture
{
public:
    struct Line
    {
        QtMsgType type;
        QString text;
    };

    explicit LogCapture(const char *category = nullptr)
        : m_category(category)
    {
        s_active = this;
        m_previous = qInstallMessageHandler(&LogCapture::handler);
    }
    ~LogCapture()
    {
        qInstallMessageHandler(m_previous);
        s_active = nullptr;
    }
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    QList<Line> lines() const
    {
        QMutexLocker lock(&m_mutex);
        return m_lines;
    }
    // The texts of the lines of this type, of every line without one.
    QStringList texts(std::optional<QtMsgType> type = std::nullopt) const
    {
        QStringList result;
        for (const Line &line : lines()) {
            if (!type || line.type == *type)
                result << line.text;
        }
        return result;
    }
    // A line of this type starting with prefix.
    bool contains(QtMsgType type, const QString &prefix) const
    {
        const QList<Line> all = lines();
        return std::any_of(all.cbegin(), all.cend(),
                           [&](const Line &line) { return line.type == type && line.text.startsWith(prefix); });
    }

private:
    static void handler(QtMsgType type, const QMessageLogContext &context, const QString &message)
    {
        LogCapture *self = s_active;
        if (!self)
            return;
        if (self->m_category.isNull() || (context.category && self->m_category == context.category)) {
            QMutexLocker lock(&self->m_mutex);
            self->m_lines.append({type, message});
        }
        if (self->m_previous)
            self->m_previous(type, context, message);
    }

    static inline LogCapture *s_active = nullptr;
    const QByteArray m_category;
    mutable QMutex m_mutex;
    QList<Line> m_lines;
    QtMessageHandler m_previous = nullptr;
};
