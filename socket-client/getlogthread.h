#pragma once

#include <QStringList>
#include <QThread>
#include <QVector>

// Reads the job log, newest job first. The view calls run() directly, so
// the query runs on the GUI thread that owns the database connection.
class GetLogThread : public QThread
{
    Q_OBJECT

public:
    using QThread::QThread;

    void run() override;

signals:
    void sendLogList(const QVector<QStringList> &jobs);

private:
    QVector<QStringList> m_jobs;
};
