#include "application.h"
#include "applicationsettings.h"
#include "appmetadata.h"
#include "configdialog.h"
#include "configuratorlog.h"
#include "logmanager.h"

#include <QLocale>

int main(int argc, char *argv[])
{
    QApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    toolkit::Application app(argc, argv);
    app.setAttribute(Qt::AA_UseHighDpiPixmaps);
    setApplicationIdentity(app);

    toolkit::LogManager::registerConsoleAppender();
    toolkit::LogManager::registerFileAppender();

    if (!app.setSingleInstance(QStringLiteral("quorvia-cloud-print-configurator"))) {
        qCWarning(lcConfigurator, "The quorvia-cloud-print-configurator is already running");
        return -1;
    }

    app.loadTranslator({QLocale::system()});

    setApplicationMetadata(app);

    toolkit::ApplicationSettings settings;

    ConfiguratorWindow window;
    window.splashShow();
    return app.exec();
}
