// Renders every page, state and menu of the socket client to PNG files, in
// English and in Chinese, on whatever platform Qt runs on (offscreen in
// tests):
//     socket-client-snapshots <output folder>
// The window works on throw-away folders and a stand-in print server on a
// loopback port of its own, so nothing of the user's is read or changed.

#include "addprinterwidget.h"
#include "clientresources.h"
#include "jobdatabase.h"
#include "mainwindow.h"
#include "printlogwidget.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTextCodec>
#include <QTimer>
#include <QTranslator>

#include <cstdio>
#include <memory>

namespace {

class Snapshots
{
public:
    Snapshots(const QString &folder, const QString &language)
        : m_folder(folder)
        , m_suffix(language.isEmpty() ? QString() : QLatin1Char('-') + language)
    { }

    void save(QWidget *widget, const char *name)
    {
        settle();
        const QString file = m_folder + QLatin1Char('/') + QLatin1String(name) + m_suffix + QStringLiteral(".png");
        if (!widget->grab().save(file)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
            m_failed = true;
            return;
        }
        std::printf("%s\n", qPrintable(file));
    }

    bool failed() const { return m_failed; }

    static void settle()
    {
        for (int i = 0; i < 10; ++i)
            QCoreApplication::processEvents();
    }

private:
    QString m_folder;
    QString m_suffix;
    bool m_failed = false;
};

// Accepts any code and lists three printers, enough to reach the printer page.
class StandInServer : public QTcpServer
{
public:
    StandInServer()
    {
        listen(QHostAddress::LocalHost);
        connect(this, &QTcpServer::newConnection, this, [this] {
            QTcpSocket *socket = nextPendingConnection();
            connect(socket, &QTcpSocket::readyRead, socket, [socket] {
                socket->readAll();
                socket->write(QTextCodec::codecForName("GBK")->fromUnicode(
                    QStringLiteral("2##Office##财务打印机##Reception label printer##")));
            });
        });
    }
};

void addJobs()
{
    const char *const jobs[][3] = {
        {"report", "Office", "0"},     {"minutes", "Office", "3"}, {"invoice", "财务打印机", "-1"},
        {"budget", "财务打印机", "1"}, {"labels", "Office", "2"},  {"poster", "Office", "7"},
    };
    int tag = 1;
    for (const auto &job : jobs) {
        const QString document = QLatin1String(job[0]) + QStringLiteral(".docx");
        JobDatabase::insertJob(QLatin1String(job[0]) + QString::number(tag++) + QStringLiteral(".pdf"),
                               QString::fromUtf8(job[1]), document, QByteArray(job[2]).toInt(),
                               QStringLiteral("2026.12.07"));
    }
}

// Grabs the first pop-up menu that opens while `open` runs, then closes it.
void grabMenu(Snapshots &shots, const char *name, const std::function<void()> &open)
{
    QTimer::singleShot(0, [&shots, name] {
        if (auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget())) {
            shots.save(menu, name);
            menu->close();
        }
    });
    open();
}

void renderAll(Snapshots &shots)
{
    QTemporaryDir dir;
    StandInServer server;
    ClientSettings settings = ClientSettings::defaults();
    settings.spoolDir = dir.filePath(QStringLiteral("spool"));
    settings.ppdDir = dir.filePath(QStringLiteral("ppd"));
    settings.databaseFile = dir.filePath(QStringLiteral("jobs.db"));
    settings.verifyPort = settings.fileInfoPort = settings.filePort = server.serverPort();
    QDir().mkpath(settings.spoolDir);
    QDir().mkpath(settings.ppdDir);
    // A queue for "Office" counts as added.
    QFile(settings.ppdDir + QStringLiteral("/Office.ppd")).open(QIODevice::WriteOnly);
    JobDatabase::open(settings.databaseFile);
    JobDatabase::saveServer(QStringLiteral("192.168.10.20"), QStringLiteral("A1b2C3d4E5f6"), true, false);
    JobDatabase::saveServer(QStringLiteral("127.0.0.1"), QStringLiteral("Z9y8X7w6V5u4"), true, false);
    addJobs();
    JobDatabase::close();

    MainWindow window(settings);
    window.setAttribute(Qt::WA_DontShowOnScreen);
    window.setGeometry(200, 200, 500, 350);
    window.show();
    shots.save(&window, "connect-page");

    auto *box = window.findChild<QComboBox *>(QStringLiteral("comboBox"));
    box->showPopup();
    shots.save(box->view()->window(), "saved-servers");
    box->hidePopup();

    box->setEditText(QStringLiteral("192.168.10.20"));
    window.findChild<QLineEdit *>(QStringLiteral("codeLineEdit"))->actions().value(0)->trigger();
    window.findChild<QLabel *>(QStringLiteral("remindLabel"))
        ->setText(QCoreApplication::translate("MainWindow", "IP address or the authorization code is wrong!"));
    shots.save(&window, "connect-page-message");

    box->setEditText(QStringLiteral("127.0.0.1"));
    window.findChild<QPushButton *>(QStringLiteral("settingBtn"))->click();
    for (int i = 0; i < 100 && window.width() != 850; ++i)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    window.addPrinterWidget()->updateTableWidget();
    shots.save(&window, "printer-page");

    window.addPrinterWidget()->findChild<QPushButton *>(QStringLiteral("viewBtn"))->click();
    shots.save(&window, "print-queue");
    auto *view = window.addPrinterWidget()->printLogWidget()->findChild<QTableView *>();
    view->setCurrentIndex(view->model()->index(1, 1));
    grabMenu(shots, "print-queue-menu", [&] { window.addPrinterWidget()->printLogWidget()->rightClickedSlot(); });
    grabMenu(shots, "tray-menu", [&] { window.trayIcon()->contextMenu()->exec(QPoint(0, 0)); });
    JobDatabase::close();
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    QApplication app(argc, argv);
    registerClientResources();
    applyClientStyleSheet(app);
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder);

    Snapshots english(folder, QString());
    renderAll(english);

    QTranslator chinese;
    if (!chinese.load(QStringLiteral(":/olvenka-cloud-printer_zh_CN.qm"))) {
        std::fprintf(stderr, "no Chinese catalogue\n");
        return 1;
    }
    QApplication::installTranslator(&chinese);
    Snapshots translated(folder, QStringLiteral("zh_CN"));
    renderAll(translated);
    return english.failed() || translated.failed() ? 1 : 0;
}
