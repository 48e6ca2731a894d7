#include "clientresources.h"
#include "mainwindow.h"
#include "singleapplication.h"

#include <QScreen>
#include <QTranslator>

int main(int argc, char *argv[])
{
    SingleApplication app(QStringLiteral("olvenka-cloud-printer-client"), argc, argv);
    if (app.isRunning()) {
        app.sendMessage(QStringLiteral("raise_window_noop"), 5000);
        return 0;
    }
    registerClientResources();

    // The interface is Chinese whenever the catalogue is there.
    QTranslator translator;
    if (translator.load(QStringLiteral(":/olvenka-cloud-printer_zh_CN.qm")))
        QApplication::installTranslator(&translator);

    applyClientStyleSheet(app);

    MainWindow window;
    window.setGeometry(initialGeometry(QGuiApplication::primaryScreen()->availableGeometry().size()));
    app.setActivationWindow(&window, true);
    window.show();
    return app.exec();
}
