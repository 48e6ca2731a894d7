#pragma once

#include <QList>
#include <QMutex>
#include <QString>
#include <QStringList>
#include <QtGlobal>

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

    explicit LogCapture(const char *category = nullptr);
    ~LogCapture();
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    QList<Line> lines() const;
    // The texts of the lines of this type, of every line without one.
    QStringList texts(std::optional<QtMsgType> type = std::nullopt) const;
    // A line of this type starting with prefix.
    bool contains(QtMsgType type, const QString &prefix) const;

private:
    static void handler(QtMsgType type, const QMessageLogContext &context, const QString &message);

    const QByteArray m_category;
    mutable QMutex m_mutex;
    QList<Line> m_lines;
    QtMessageHandler m_previous = nullptr;
};
