// Renders every window, page and dialog of the configurator to PNG files on
// whatever platform Qt runs on (offscreen in tests):
//     configurator-snapshots <output folder>
// It works in a throw-away home directory, so the user's own configuration
// is neither read nor changed.

#include "aboutdialog.h"
#include "application.h"
#include "appmetadata.h"
#include "config.h"
#include "configdialog.h"
#include "frame.h"
#include "lineedit.h"
#include "portconfigdialog.h"
#include "printerlist.h"
#include "printerport.h"
#include "printerwidget.h"
#include "spinner.h"
#include "style.h"
#include "titlebar.h"
#include "verifyworker.h"

#include <QDateTime>
#include <QDir>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <memory>

namespace {

class Snapshots
{
public:
    explicit Snapshots(const QString &folder)
        : m_folder(folder)
    { }

    void save(QWidget *widget, const QString &name)
    {
        settle();
        const QString file = m_folder + QLatin1Char('/') + name + QStringLiteral(".png");
        const QPixmap pixmap = widget->grab();
        if (pixmap.isNull() || !pixmap.save(file)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
            m_failed = true;
            return;
        }
        std::printf("%s\n", qPrintable(file));
    }

    bool failed() const { return m_failed; }

    static void settle()
    {
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();
    }

private:
    QString m_folder;
    bool m_failed = false;
};

std::unique_ptr<ConfiguratorWindow> newWindow()
{
    auto window = std::make_unique<ConfiguratorWindow>();
    window->setAttribute(Qt::WA_DontShowOnScreen);
    window->show();
    Snapshots::settle();
    return window;
}

void renderConnectionPage(Snapshots &shots, const QString &suffix)
{
    auto window = newWindow();
    shots.save(window.get(), QStringLiteral("connection-page") + suffix);
    window->finishVerfiy(ConfiguratorWindowInnter::Worker::ConnectFailed);
    shots.save(window.get(), QStringLiteral("connection-alert-network") + suffix);
    window->clearHits();
    window->finishVerfiy(ConfiguratorWindowInnter::Worker::VerifyFailed);
    shots.save(window.get(), QStringLiteral("connection-alert-authcode") + suffix);
}

// Printer rows in each state a row can show, as on the printer page.
void renderPrinterRows(Snapshots &shots, const QString &suffix)
{
    const auto printer = [](const char *id, const char *portName, int status, int attributes, int jobs) {
        Printer record;
        record.ID = id;
        record.PortName = portName;
        record.Status = status;
        record.Attributes = attributes;
        record.cJobs = jobs;
        record.Addr = std::string("tqp://10.0.0.5:9100/") + id;
        return record;
    };
    const std::vector<Printer> printers = {
        printer("192.168.1.20\\HP LaserJet", "192.168.1.20", 0, 0, 0),
        printer("192.168.1.21\\Canon iR-ADV", "192.168.1.21", 0, 0, 3),
        printer("192.168.1.22\\Brother HL", "USB001", 0x80, 0, 2),
        printer("Reception label printer", "LPT1", 0, 0x400, 0),
        printer("Finance printer", "192.168.1.24", 0, 0, 0),
    };
    QMap<QString, cloudprint::Printer> local;
    local.insert(QString::fromStdString(printers[0].Addr), printers[0]);

    toolkit::BackgroundGroup page;
    page.setAttribute(Qt::WA_DontShowOnScreen);
    page.setFixedSize(680, 450);
    page.setContentsMargins(10, 10, 10, 10);
    auto *list = new PrinterList(&page);
    list->setGeometry(page.contentsRect());
    list->rebuild(printers, local);
    // The last row as while its installation runs.
    list->rowAt(4)->findChild<QWidget *>(QStringLiteral("actionButton"))->hide();
    auto *spinner = list->rowAt(4)->findChild<toolkit::Spinner *>(QStringLiteral("rowSpinner"));
    spinner->show();
    spinner->start();
    page.show();
    shots.save(&page, QStringLiteral("printer-rows") + suffix);
}

void renderAll(Snapshots &shots)
{
    renderConnectionPage(shots, QString());
    renderPrinterRows(shots, QString());

    // The same page after a verification that the version check refused
    // (no server answered, so the version is missing).
    {
        auto window = newWindow();
        window->finishVerfiy(ConfiguratorWindowInnter::Worker::Listed);
        shots.save(window.get(), QStringLiteral("connection-alert-version"));
    }

    // Pre-filled from the last used server, then verifying.
    {
        Config config;
        ServerConfig record;
        record.Address = QStringLiteral("tqp://10.0.0.5:9100");
        record.Authcode = QStringLiteral("A1B2-C3D4");
        record.LastUsed = QDateTime::currentDateTime();
        config.servers.insert(record.Address, record);
        config.save();

        auto window = newWindow();
        shots.save(window.get(), QStringLiteral("connection-prefilled"));
        window->findChild<QPushButton *>(QStringLiteral("nextButton"))->hide();
        auto *spinner = window->findChild<toolkit::Spinner *>(QStringLiteral("spinner"));
        spinner->show();
        spinner->start();
        shots.save(window.get(), QStringLiteral("connection-verifying"));

        QMenu *menu = window->titlebar()->popupMenu();
        menu->popup(window->mapToGlobal(QPoint(window->width() - 200, 44)));
        shots.save(menu, QStringLiteral("titlebar-menu"));
        menu->hide();
        QMenu *settings = window->titlebar()->menu()->actions().constFirst()->menu();
        settings->popup(window->mapToGlobal(QPoint(window->width() - 200, 44)));
        shots.save(settings, QStringLiteral("titlebar-menu-settings"));
        settings->hide();

        const std::unique_ptr<toolkit::Dialog> confirmation = createConfigTipDialog();
        confirmation->setAttribute(Qt::WA_DontShowOnScreen);
        confirmation->show();
        shots.save(confirmation.get(), QStringLiteral("port-confirmation"));
        confirmation->hide();

        PortConfigDialog portDialog(window.get());
        portDialog.setAttribute(Qt::WA_DontShowOnScreen);
        auto *portEdit = portDialog.findChild<toolkit::LineEdit *>(QStringLiteral("portEdit"));
        auto *modify = portDialog.findChild<QPushButton *>(QStringLiteral("modifyButton"));
        QTimer::singleShot(0, &portDialog, [&] {
            shots.save(&portDialog, QStringLiteral("port-dialog"));
            portEdit->setText(QStringLiteral("80"));
            modify->click();
            shots.save(&portDialog, QStringLiteral("port-dialog-refused"));
            portDialog.close();
        });
        portDialog.exec();

        toolkit::AboutDialog about(window.get());
        about.setAttribute(Qt::WA_DontShowOnScreen);
        about.show();
        shots.save(&about, QStringLiteral("about-dialog"));
    }

    toolkit::applyTheme(qApp, toolkit::Theme::Dark);
    renderConnectionPage(shots, QStringLiteral("-dark"));
    renderPrinterRows(shots, QStringLiteral("-dark"));
    toolkit::applyTheme(qApp, toolkit::Theme::Light);

    toolkit::Application::instance()->loadTranslator({QLocale(QStringLiteral("zh_CN"))});
    renderConnectionPage(shots, QStringLiteral("-zh_CN"));
    renderPrinterRows(shots, QStringLiteral("-zh_CN"));
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    QTemporaryDir home;
    if (!home.isValid())
        return 1;
    qputenv("HOME", QFile::encodeName(home.path()));

    toolkit::Application app(argc, argv);
    setApplicationIdentity(app);
    setApplicationMetadata(app);
    ConfiguratorWindow::setAgentPathForTesting(QString());

    const QString folder = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 1;
    }
    Snapshots shots(folder);
    renderAll(shots);
    return shots.failed() ? 1 : 0;
}
