// Test-only companion of scripts/demo.sh. It loads the configurator's real
// window classes and
//   prepare URL CODE       records URL as the last used server with CODE and
//                          sets the cloud port to URL's port, through the
//                          configurator's own store code;
//   drive FOLDER [--ca F]  opens the window and drives one verification and
//                          one installation through it with synthesized
//                          mouse and key events, saving screenshots in FOLDER;
//   show [--ca F]          opens the window for a person to use.
// --ca makes the window trust F instead of the fixed CA file. Like the
// program, it works in the current home directory.
#include "application.h"
#include "applicationsettings.h"
#include "appmetadata.h"
#include "cloudprintclient.h"
#include "config.h"
#include "configdialog.h"
#include "lineedit.h"
#include "printerlist.h"
#include "printerport.h"
#include "printerwidget.h"
#include "statusthread.h"
#include "verifyworker.h"

#include <QAbstractButton>
#include <QDateTime>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTest>
#include <QUrl>

#include <cups/cups.h>

#include <cstdio>
#include <functional>

namespace {

int prepare(const QString &address, const QString &code)
{
    const QUrl url(address, QUrl::TolerantMode);
    if (url.scheme() != QLatin1String("tqp") || url.port() <= 0) {
        std::fprintf(stderr, "prepare: expected tqp://ADDRESS:PORT, got %s\n", qPrintable(address));
        return 2;
    }
    printerport::ConfigPrinterPort();
    printerport::SetCloudPrintPort(url.port());
    Config config;
    config.servers.insert(address, ServerConfig{code, address, QDateTime::currentDateTime()});
    return config.save() ? 0 : 1;
}

// The local queue whose device URI is `uri`, from the CUPS server in use.
QString queueFor(const QString &uri)
{
    cups_dest_t *dests = nullptr;
    const int count = cupsGetDests(&dests);
    QString name;
    for (int i = 0; i < count && name.isEmpty(); ++i) {
        if (QString::fromUtf8(cupsGetOption("device-uri", dests[i].num_options, dests[i].options)) == uri)
            name = QString::fromUtf8(dests[i].name);
    }
    cupsFreeDests(count, dests);
    return name;
}

class Driver
{
public:
    Driver(ConfiguratorWindow &window, const QString &folder)
        : m_window(window)
        , m_folder(folder)
    { }

    int run()
    {
        if (!step("the window is shown", [&] { return QTest::qWaitForWindowExposed(&m_window); }))
            return 1;
        shot(QStringLiteral("01-connection-prefilled"));

        QTest::mouseClick(part<QPushButton>("nextButton"), Qt::LeftButton);
        shot(QStringLiteral("02-verifying"));
        auto *pages = part<QStackedWidget>(nullptr);
        if (!step("the printer page opens",
                  [&] { return QTest::qWaitFor([&] { return pages->currentIndex() == 1; }, 30000); })) {
            for (const char *field : {"ipEdit", "authCodeEdit"}) {
                if (part<toolkit::LineEdit>(field)->isAlert())
                    std::printf("        shown: %s\n", qPrintable(part<toolkit::LineEdit>(field)->alertMessage()));
            }
            shot(QStringLiteral("03-verification-failed"));
            return 1;
        }
        shot(QStringLiteral("03-printer-page"));

        search(QStringLiteral("hp"));
        shot(QStringLiteral("04-search-hp"));
        search(QString());

        // The server poll, as the refresh button starts it.
        QSignalSpy polled(statusthread::worker(), &ConfiguratorWindowInnter::Worker::listPrinterResult);
        QTest::mouseClick(part<QAbstractButton>("refreshButton"), Qt::LeftButton);
        if (!step("the server poll answers", [&] { return polled.wait(30000); }))
            return 1;
        settle();
        shot(QStringLiteral("05-after-poll"));

        auto *list = part<PrinterList>("printerList");
        PrinterWidget *row = nullptr;
        for (int i = 0; i < list->count() && !row; ++i) {
            auto *added = list->rowAt(i)->findChild<QWidget *>(QStringLiteral("addedLabel"));
            if (added->isHidden())
                row = list->rowAt(i);
        }
        if (!step("a printer is not installed yet", [&] { return row != nullptr; }))
            return 1;
        const QString name = row->findChild<QLabel *>(QStringLiteral("nameLabel"))->text();
        std::printf("adding \"%s\" through its row\n", qPrintable(name));
        QTest::mouseClick(row->findChild<QAbstractButton *>(QStringLiteral("actionButton")), Qt::LeftButton);
        shot(QStringLiteral("06-installing"));
        auto *added = row->findChild<QWidget *>(QStringLiteral("addedLabel"));
        if (!step("the row shows \"(Added)\"",
                  [&] { return QTest::qWaitFor([&] { return !added->isHidden(); }, 60000); }))
            return 1;
        shot(QStringLiteral("07-added"));
        const QPixmap screen = QGuiApplication::primaryScreen()->grabWindow(0);
        save(screen, QStringLiteral("08-screen"));

        std::printf("queue created: %s\n  device URI: %s\n", qPrintable(queueFor(row->getAddr())),
                    qPrintable(row->getAddr()));
        return m_failed ? 1 : 0;
    }

private:
    template<typename T>
    T *part(const char *name) const
    {
        return name ? m_window.findChild<T *>(QLatin1String(name)) : m_window.findChild<T *>();
    }

    bool step(const char *what, const std::function<bool()> &check)
    {
        const bool ok = check();
        std::printf("%s %s\n", ok ? "ok:    " : "FAILED:", what);
        return ok;
    }

    void search(const QString &text)
    {
        auto *edit = part<QLineEdit>("searchEdit");
        edit->clear();
        QTest::keyClicks(edit, text);
        QTest::keyClick(edit, Qt::Key_Return);
    }

    static void settle()
    {
        for (int i = 0; i < 10; ++i) {
            QCoreApplication::processEvents();
            QTest::qWait(20);
        }
    }

    void shot(const QString &name)
    {
        settle();
        save(m_window.grab(), name);
    }

    void save(const QPixmap &pixmap, const QString &name)
    {
        const QString file = QDir(m_folder).filePath(name + QStringLiteral(".png"));
        if (!pixmap.save(file)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
            m_failed = true;
        }
    }

    ConfiguratorWindow &m_window;
    QString m_folder;
    bool m_failed = false;
};

} // namespace

int main(int argc, char *argv[])
{
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const QStringList args = [&] {
        QStringList list;
        for (int i = 1; i < argc; ++i)
            list << QString::fromLocal8Bit(argv[i]);
        return list;
    }();
    const QString command = args.value(0);
    if (command == QLatin1String("prepare") && args.size() == 3) {
        QCoreApplication app(argc, argv);
        return prepare(args.at(1), args.at(2));
    }
    const int caAt = args.indexOf(QStringLiteral("--ca"));
    const bool drive = command == QLatin1String("drive") && args.size() == (caAt < 0 ? 2 : 4);
    const bool show = command == QLatin1String("show") && args.size() == (caAt < 0 ? 1 : 3);
    if (!drive && !show) {
        std::fprintf(stderr, "usage: %s prepare URL CODE | drive FOLDER [--ca FILE] | show [--ca FILE]\n", argv[0]);
        return 2;
    }
    if (caAt >= 0)
        CloudPrintRPCClient::setTrustedCaFileForTesting(args.value(caAt + 1));

    // Set up as the program sets itself up, without the single-instance
    // claim and the agent start.
    QApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    toolkit::Application app(argc, argv);
    app.setAttribute(Qt::AA_UseHighDpiPixmaps);
    setApplicationIdentity(app);
    app.loadTranslator({QLocale::system()});
    setApplicationMetadata(app);
    toolkit::ApplicationSettings settings;
    ConfiguratorWindow::setAgentPathForTesting(QString());

    ConfiguratorWindow window;
    window.splashShow();
    if (show)
        return app.exec();
    return Driver(window, args.at(1)).run();
}
