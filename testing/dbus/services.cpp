// Stand-ins for the programs outside the suite that answer on the buses.
//   quorvia-test-services notifications
//     The desktop notification service on the session bus. The arguments of
//     each "Notify" call are written to standard output as one line, a JSON
//     array in call order, so a test can read back exactly what was sent.
//     Every notification gets the same id, which nothing here looks at.
//   quorvia-test-services
//     The per-user signing service: connected to the system bus without a
//     well-known name, it answers "SignData" with a recognisable text. Tests
//     also use it as an arbitrary bus peer of a chosen user and executable.
// Once ready, either prints its unique connection name as its first line.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusError>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

class Notifications : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public slots:
    uint Notify(const QString &appName, uint replacesId, const QString &icon, const QString &summary,
                const QString &body, const QStringList &actions, const QVariantMap &hints, int expireTimeout)
    {
        const QJsonArray call{appName,
                              qint64(replacesId),
                              icon,
                              summary,
                              body,
                              QJsonArray::fromStringList(actions),
                              QJsonObject::fromVariantMap(hints),
                              expireTimeout};
        QTextStream(stdout) << QJsonDocument(call).toJson(QJsonDocument::Compact) << Qt::endl;
        return 1;
    }
};

class Signer : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.quorvia.splash.verify")

public slots:
    QString SignData(const QString &data) { return QStringLiteral("signed:") + data; }
};

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    Notifications notifications;
    Signer signer;
    const bool notify = app.arguments().value(1) == QLatin1String("notifications");
    QDBusConnection bus = notify ? QDBusConnection::sessionBus() : QDBusConnection::systemBus();
    const bool registered = notify ? bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"),
                                                        &notifications, QDBusConnection::ExportAllSlots)
                                         && bus.registerService(QStringLiteral("org.freedesktop.Notifications"))
                                   : bus.registerObject(QStringLiteral("/com/quorvia/splash/verify"), &signer,
                                                        QDBusConnection::ExportAllSlots);
    if (!registered) {
        QTextStream(stderr) << bus.lastError().message() << Qt::endl;
        return 1;
    }
    QTextStream(stdout) << bus.baseService() << Qt::endl;
    return app.exec();
}

#include "services.moc"
