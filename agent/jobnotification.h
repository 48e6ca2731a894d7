#pragma once

#include <QString>

// The desktop notification shown when a cloud print job has ended.
struct JobNotification
{
    QString summary;
    QString body;

    // error is empty for a printed job, "CUPS_BACKEND_CANCEL" for a cancelled
    // one and anything else for a failure.
    static JobNotification forJob(const QString &job, const QString &error);

    // Sends it to the session's notification service and waits for the
    // reply. A failure is logged and otherwise ignored.
    void send() const;
};
