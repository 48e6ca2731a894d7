// Stand-in for the desktop notification service on the session bus. Each
// "Notify" call is written to standard output as one line of JSON, so a test
// can read back exactly what a program sent.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusError>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>
#include <QVariantMap>

#include <cstdio>

class Notifications : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public slots:
    uint Notify(const QString &appName, uint replacesId, const QString &icon, const QString &summary,
                const QString &body, const QStringList &actions, const QVariantMap &hints, int expireTimeout)
    {
        const QJsonObject call{
            {QStringLiteral("appName"), appName},
            {QStringLiteral("replacesId"), qint64(replacesId)},
            {QStringLiteral("icon"), icon},
            {QStringLiteral("summary"), summary},
            {QStringLiteral("body"), body},
            {QStringLiteral("actions"), QJsonArray::fromStringList(actions)},
            {QStringLiteral("hints"), QJsonObject::fromVariantMap(hints)},
            {QStringLiteral("expireTimeout"), expireTimeout},
        };
        QTextStream(stdout) << QJsonDocument(call).toJson(QJsonDocument::Compact) << Qt::endl;
        return ++m_lastId;
    }

private:
    uint m_lastId = 0;
};

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QDBusConnection bus = QDBusConnection::sessionBus();
    Notifications notifications;
    if (!bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &notifications,
                            QDBusConnection::ExportAllSlots)
        || !bus.registerService(QStringLiteral("org.freedesktop.Notifications"))) {
        QTextStream(stderr) << "notification service: " << bus.lastError().message() << Qt::endl;
        return 1;
    }
    return app.exec();
}

#include "notificationservice.moc"
