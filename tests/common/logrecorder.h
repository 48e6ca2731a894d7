#pragma once

#include <QList>
#include <QString>
#include <QtGlobal>

// Records the log lines of one logging category while it lives, so a test
// can check what was (or was not) logged. Not thread-safe; tests are not.
class LogRecorder
{
public:
    struct Line
    {
        QtMsgType type;
        QString text;
    };

    explicit LogRecorder(const char *category);
    ~LogRecorder();
    Q_DISABLE_COPY(LogRecorder)

    const QList<Line> &lines() const { return m_lines; }
    bool contains(QtMsgType type, const QString &prefix) const;

private:
    static void handler(QtMsgType type, const QMessageLogContext &context, const QString &message);

    QByteArray m_category;
    QList<Line> m_lines;
    QtMessageHandler m_previous = nullptr;
};
