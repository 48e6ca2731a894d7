#pragma once

#include <QMutex>
#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace cloudprinttest {

// Records every Qt log message (from any thread) while it exists and passes
// them on to the previous handler. One instance at a time.
class LogCapture
{
public:
    struct Entry
    {
        QtMsgType type;
        QString category;
        QString text;
    };

    LogCapture();
    ~LogCapture();

    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    QList<Entry> entries() const;
    QStringList texts() const;
    // Index of the first message at or after `from` that starts with `prefix`, or -1.
    int indexOf(const QString &prefix, int from = 0) const;
    bool contains(const QString &prefix) const { return indexOf(prefix) >= 0; }
    // The first message starting with `prefix` must have this type.
    bool hasType(const QString &prefix, QtMsgType type) const;
    void clear();

private:
    static void handler(QtMsgType type, const QMessageLogContext &context, const QString &message);

    mutable QMutex m_mutex;
    QList<Entry> m_entries;
    QtMessageHandler m_previous = nullptr;
};

} // namespace cloudprinttest
