#include "daemon.h"

#include "daemonlog.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>

namespace {

const QString serviceName = QStringLiteral("com.quorvia.cloud.print.daemon");
const QString objectPath = QStringLiteral("/com/quorvia/cloud/print/daemon");
constexpr int registrationFailed = 3;

int refuse(const QDBusError &error)
{
    qCWarning(lcDaemon).noquote() << "registerObject Error" << error.name() << error.message();
    return registrationFailed;
}

} // namespace

int runDaemon(int &argc, char **argv, const ForwardTargets &targets)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("quorvia"));
    QCoreApplication::setApplicationName(QStringLiteral("quorvia-cloud-print-deamon"));

    QDBusConnection bus = QDBusConnection::systemBus();
    Service service(targets);

    // The object goes first: a caller that sees the name (bus activation
    // delivers the activating call right then) must find the object too.
    if (!bus.registerObject(objectPath, &service, QDBusConnection::ExportAdaptors))
        return refuse(bus.lastError());

    QDBusConnectionInterface *busDaemon = bus.interface();
    if (!busDaemon)
        return refuse(bus.lastError());
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> owned = busDaemon->registerService(
        serviceName, QDBusConnectionInterface::DontQueueService, QDBusConnectionInterface::DontAllowReplacement);
    if (!owned.isValid())
        return refuse(owned.error());
    if (owned.value() != QDBusConnectionInterface::ServiceRegistered)
        return refuse(
            QDBusError(QDBusError::AddressInUse, serviceName + QStringLiteral(" is owned by another process")));

    return app.exec();
}
