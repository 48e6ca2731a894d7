#include "jobnotification.h"

#include "agentlog.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QVariantMap>

namespace {

const QString cancelError = QStringLiteral("CUPS_BACKEND_CANCEL");
const QString appName = QStringLiteral("quorvia-cloud-print-configurator");
constexpr int expiryMs = 5000;

QString shortened(const QString &text, int limit, int kept)
{
    return text.size() < limit ? text : text.left(kept) + QStringLiteral("...");
}

// A cancelled job is named by its file name, however long its path.
QString cancelName(const QString &job)
{
    return shortened(job.mid(job.lastIndexOf(QLatin1Char('/')) + 1), 39, 36);
}

} // namespace

JobNotification JobNotification::forJob(const QString &job, const QString &error)
{
    if (error.isEmpty()) {
        return {QCoreApplication::translate("Agent", "Print Successful"),
                QCoreApplication::translate("Agent", "%1 printed successfully\nPlease take them away timely")
                    .arg(shortened(job, 14, 11))};
    }
    if (error == cancelError) {
        return {QCoreApplication::translate("Agent", "Cloud Print"),
                QCoreApplication::translate("Agent", "Print jobs is canceled %1").arg(cancelName(job))};
    }
    return {QCoreApplication::translate("Agent", "Print Failed"),
            QCoreApplication::translate("Agent", "Print jobs are terminated, please contact the admin")};
}

void JobNotification::send() const
{
    QDBusMessage notify = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    notify << appName << 0u << appName << summary << body << QStringList() << QVariantMap() << expiryMs;
    const QDBusMessage reply = QDBusConnection::sessionBus().call(notify);
    if (reply.type() == QDBusMessage::ErrorMessage)
        qCWarning(lcAgent).noquote() << "D-Bus Error:" << reply.errorMessage();
}
