// Stand-in for the per-user signing service: connected to the system bus
// without a well-known name, it answers "SignData" with a recognisable text.
// Once ready it prints its unique connection name, so tests can also use it
// as an arbitrary bus peer of a chosen user and executable.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusError>
#include <QTextStream>

class Signer : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.quorvia.splash.verify")

public slots:
    QString SignData(const QString &data)
    {
        return QStringLiteral("signed:") + data;
    }
};

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QDBusConnection bus = QDBusConnection::systemBus();
    Signer signer;
    if (!bus.registerObject(QStringLiteral("/com/quorvia/splash/verify"), &signer,
                            QDBusConnection::ExportAllSlots)) {
        QTextStream(stderr) << "signing service: " << bus.lastError().message() << Qt::endl;
        return 1;
    }
    QTextStream(stdout) << bus.baseService() << Qt::endl;
    return app.exec();
}

#include "signingservice.moc"
