#pragma once

#include <QMutex>
#include <QStringList>

namespace cloudprinttest {

// Records every Qt log message (from any thread) while it exists and passes
// them on to the previous handler. One instance at a time.
class LogCapture
{
public:
    LogCapture();
    ~LogCapture();

    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    QStringList texts() const;
    // The messages of one level only.
    QStringList texts(QtMsgType type) const;

private:
    static void handler(QtMsgType type, const QMessageLogContext &context, const QString &message);

    mutable QMutex m_mutex;
    QStringList m_texts;
    QList<QtMsgType> m_types;
    QtMessageHandler m_previous = nullptr;
};

} // namespace cloudprinttest
