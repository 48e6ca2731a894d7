#include "agent.h"
#include "agentlog.h"

#include "application.h"
#include "logmanager.h"

#include <QDBusConnection>
#include <QDBusError>

int main(int argc, char **argv)
{
    toolkit::Application app(argc, argv);
    // The agent shares the configurator's name, and so its log file and
    // translation catalogue.
    QCoreApplication::setApplicationName(QStringLiteral("quorvia-cloud-print-configurator"));
    QCoreApplication::setOrganizationName(QStringLiteral("quorvia"));
    QApplication::setQuitOnLastWindowClosed(false);

    toolkit::LogManager::registerConsoleAppender();
    toolkit::LogManager::registerFileAppender();
    app.loadTranslator({QLocale::system()});

    Agent agent;
    // No well-known name: the daemon finds the agent by its account and executable.
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.registerObject(QStringLiteral("/com/quorvia/cloud/print/agent"), &agent,
                            QDBusConnection::ExportAdaptors)) {
        qCWarning(lcAgent).noquote() << "registerObject Error" << bus.lastError().name() << bus.lastError().message();
        return 3;
    }

    qCInfo(lcAgent) << "start cloud agent";
    return app.exec();
}
