// The printer page through the real window, against the reference cloud
// print server and a private cupsd: verification, the rows, installation,
// queues added and removed from outside, polls, search, a second
// verification and "back".
#include "cloudprintclient.h"
#include "config.h"
#include "configdialog.h"
#include "cupstestsupport.h"
#include "dialog.h"
#include "iconbutton.h"
#include "lineedit.h"
#include "printerlist.h"
#include "printerport.h"
#include "printerwidget.h"
#include "referenceserver.h"
#include "rowprobe.h"
#include "verifyworker.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QStackedWidget>
#include <QtTest>

#include <memory>

using cloudprinttest::ReferenceServer;
using cloudprinttest::TestCertificates;

namespace {

constexpr int kVerifyTimeoutMs = 20000;
// The local refresh runs every 2 s; a listing of the private cupsd is quick.
constexpr int kRefreshTimeoutMs = 2500;
const QString kCode = QStringLiteral("page-code");
const QString kLaser = QStringLiteral("192.168.1.20\\HP LaserJet");
const QString kCanon = QStringLiteral("192.168.1.21\\Canon iR");
const QString kOffice = QStringLiteral("Office hp color");
const QString kLabel = QStringLiteral("Label printer");
const QString kSeven = QStringLiteral("Printer 7");

QJsonObject serverPrinter(const QString &id, const QString &portName, int status, int attributes,
                          const QJsonArray &jobs)
{
    QJsonObject printer = ReferenceServer::printer(id, status, jobs.first().toInt());
    printer.insert(QStringLiteral("PortName"), portName);
    printer.insert(QStringLiteral("Attributes"), attributes);
    printer.insert(QStringLiteral("cJobsSequence"), jobs);
    return printer;
}

// A server with the sample printers; the Canon gets jobs from the second
// listing on, the offline one changes its count but stays offline.
std::unique_ptr<ReferenceServer> startServer(const TestCertificates &certificates, bool withPrinters = true)
{
    auto server = std::make_unique<ReferenceServer>(certificates);
    server->setCodes({kCode});
    server->setVersion(QStringLiteral("1.2.3"));
    server->setDefaultDriver(QStringLiteral("#include <media.defs>\nManufacturer \"Quorvia\"\nVersion 1.0\n"
                                            "*MediaSize A4\n{\n  ModelName \"Quorvia Page Test\"\n"
                                            "  PCFileName \"TQP.ppd\"\n}\n"));
    if (withPrinters) {
        server->addPrinter(serverPrinter(kLaser, QStringLiteral("192.168.1.20"), 0, 0, {0}));
        server->addPrinter(serverPrinter(kCanon, QStringLiteral("192.168.1.21"), 0, 0, {0, 3}));
        server->addPrinter(serverPrinter(kOffice, QStringLiteral("USB001"), 0x80, 0, {2, 5}));
        server->addPrinter(serverPrinter(kLabel, QStringLiteral("LPT1"), 0, 0x400, {0}));
        server->addPrinter(serverPrinter(kSeven, QStringLiteral("192.168.1.200"), 0, 0, {2}));
    }
    if (!server->start())
        return nullptr;
    // The connection page adds the cloud port to a typed address.
    printerport::ConfigPrinterPort();
    printerport::SetCloudPrintPort(server->port());
    return server;
}

QString deviceUri(const ReferenceServer &server, const QString &encodedId)
{
    return QStringLiteral("tqp://127.0.0.1:%1/%2").arg(server.port()).arg(encodedId);
}

// The main window and the parts of it that a user works with.
struct Window
{
    std::unique_ptr<ConfiguratorWindow> window = std::make_unique<ConfiguratorWindow>();
    QList<int> results;

    Window()
    {
        // After the window's own handler: a recorded result has been handled.
        QObject::connect(window->worker(), &ConfiguratorWindowInnter::Worker::listPrinterFinish, window.get(),
                         [this](int result) { results << result; });
        window->show();
    }

    template<typename T>
    T *part(const char *name) const
    {
        return window->findChild<T *>(QLatin1String(name));
    }

    // Types address and code as a user would and presses "Next".
    void verify(const QString &address, const QString &code)
    {
        for (const auto &[field, text] : {std::pair{"ipEdit", address}, std::pair{"authCodeEdit", code}}) {
            auto *edit = part<QLineEdit>(field);
            edit->clear();
            QTest::keyClicks(edit, text);
        }
        QTest::mouseClick(part<QPushButton>("nextButton"), Qt::LeftButton);
    }

    int page() const { return window->findChild<QStackedWidget *>()->currentIndex(); }
    PrinterList *list() const { return part<PrinterList>("printerList"); }
    PrinterWidget *row(const QString &id) const { return list()->row(id.toStdString()); }

    void search(const QString &text)
    {
        auto *edit = part<QLineEdit>("searchEdit");
        edit->clear();
        QTest::keyClicks(edit, text);
        QTest::keyClick(edit, Qt::Key_Return);
    }

    QStringList visibleRows() const
    {
        QStringList names;
        for (int i = 0; i < list()->count(); ++i) {
            if (!list()->item(i)->isHidden())
                names << RowProbe(*list()->rowAt(i)).nameText();
        }
        return names;
    }
};

} // namespace

class PrinterPageTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void listsInstallsAndFollowsLocalQueues();
    void pollShowsNewJobCounts();
    void searchFiltersRows();
    void secondVerificationRebuildsRows();
    void serverWithoutPrinters();

private:
    TestCertificates m_certificates;
};

void PrinterPageTest::initTestCase()
{
    initRowResources();
    QVERIFY2(m_certificates.ok(), qPrintable(m_certificates.errorString()));
    QVERIFY(!qEnvironmentVariableIsEmpty("CUPS_SERVER"));
    CloudPrintRPCClient::setTrustedCaFileForTesting(m_certificates.caFile());
    ConfiguratorWindow::setAgentPathForTesting(QString());
}

void PrinterPageTest::init()
{
    QFile::remove(Config::filePath());
}

void PrinterPageTest::listsInstallsAndFollowsLocalQueues()
{
    const auto server = startServer(m_certificates);
    QVERIFY(server);
    Window w;
    w.verify(QStringLiteral("127.0.0.1"), kCode);
    QTRY_COMPARE_WITH_TIMEOUT(w.page(), 1, kVerifyTimeoutMs);

    QCOMPARE(w.part<QLabel>("ipCaption")->text(), QStringLiteral("IP Address (127.0.0.1)"));
    for (const char *control : {"backButton", "refreshButton", "searchEdit"})
        QVERIFY2(w.part<QWidget>(control)->isVisible(), control);

    struct Expected
    {
        QString id, state, connection;
        DotColour dot;
    };
    const QList<Expected> expected = {
        {kLaser, QStringLiteral("Printer is idle"), QStringLiteral("Internet connection:192.168.1.20"), DotColour::Green},
        {kCanon, QStringLiteral("Printer is idle"), QStringLiteral("Internet connection:192.168.1.21"), DotColour::Green},
        {kOffice, QStringLiteral("Printer is offline"), QStringLiteral("Local connection"), DotColour::Grey},
        {kLabel, QStringLiteral("Printer is offline"), QStringLiteral("Local connection"), DotColour::Grey},
        {kSeven, QStringLiteral("2 print jobs are being processed"), QStringLiteral("Internet connection:192.168.1.200"),
         DotColour::Red},
    };
    QCOMPARE(w.list()->count(), expected.size());
    for (int i = 0; i < expected.size(); ++i) {
        const RowProbe row(*w.list()->rowAt(i));
        QCOMPARE(row.nameText(), expected[i].id);
        QCOMPARE(row.statusText(), expected[i].state);
        QCOMPARE(row.connectionText(), expected[i].connection);
        QCOMPARE(row.dotColour(), expected[i].dot);
        QVERIFY(!row.isAdded());
    }

    // Add the laser printer through its row.
    RowProbe laser(*w.row(kLaser));
    QTest::mouseClick(laser.button(), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(laser.isAdded(), 30000);
    const QString queue = QStringLiteral("HP-LaserJet@127.0.0.1:%1").arg(server->port());
    const QueueState state = queueState(queue);
    QVERIFY(state.exists);
    QCOMPARE(state.deviceUri, deviceUri(*server, QStringLiteral("192.168.1.20%5CHP%20LaserJet")));
    QCOMPARE(state.state, 3);
    QVERIFY(state.accepting);
    QVERIFY(!state.shared);
    QVERIFY(queuePpd(queue).contains("*ModelName: \"Quorvia Page Test\""));

    // Removed from outside: the row offers "add" again within the refresh.
    QVERIFY(runLpadmin({QStringLiteral("-x"), queue}));
    QTRY_VERIFY_WITH_TIMEOUT(!laser.isAdded(), kRefreshTimeoutMs);
    QVERIFY(!laser.hasCheckMark());

    // Installed from outside: the row shows it as added.
    const QString canonQueue = QStringLiteral("canon-by-hand");
    QVERIFY(runLpadmin({QStringLiteral("-p"), canonQueue, QStringLiteral("-v"),
                                                    deviceUri(*server, QStringLiteral("192.168.1.21%5CCanon%20iR"))}));
    RowProbe canon(*w.row(kCanon));
    QTRY_VERIFY_WITH_TIMEOUT(canon.isAdded(), kRefreshTimeoutMs);
    QVERIFY(runLpadmin({QStringLiteral("-x"), canonQueue}));
    QTRY_VERIFY_WITH_TIMEOUT(!canon.isAdded(), kRefreshTimeoutMs);
}

void PrinterPageTest::pollShowsNewJobCounts()
{
    const auto server = startServer(m_certificates);
    QVERIFY(server);
    Window w;
    w.verify(QStringLiteral("127.0.0.1"), kCode);
    QTRY_COMPARE_WITH_TIMEOUT(w.page(), 1, kVerifyTimeoutMs);
    RowProbe canon(*w.row(kCanon));
    RowProbe office(*w.row(kOffice));
    QCOMPARE(canon.statusText(), QStringLiteral("Printer is idle"));

    // The refresh button polls the last used server on the status thread.
    QTest::mouseClick(w.part<QAbstractButton>("refreshButton"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(canon.statusText(), QStringLiteral("3 print jobs are being processed"), kVerifyTimeoutMs);
    QCOMPARE(canon.dotColour(), DotColour::Red);
    QCOMPARE(office.statusText(), QStringLiteral("Printer is offline"));
    // The poll recorded the server anew.
    QCOMPARE(Config().lastUsed().Address, server->url());
}

void PrinterPageTest::searchFiltersRows()
{
    const auto server = startServer(m_certificates);
    QVERIFY(server);
    Window w;
    w.verify(QStringLiteral("127.0.0.1"), kCode);
    QTRY_COMPARE_WITH_TIMEOUT(w.page(), 1, kVerifyTimeoutMs);

    w.search(QStringLiteral("192.168.1.20"));
    QCOMPARE(w.visibleRows(), QStringList{kLaser});
    w.search(QStringLiteral("hp"));
    QCOMPARE(w.visibleRows(), (QStringList{kLaser, kOffice}));
    w.search(QStringLiteral("7"));
    QCOMPARE(w.visibleRows(), QStringList{kSeven});
    w.search(QString());
    QCOMPARE(w.visibleRows(), (QStringList{kLaser, kCanon, kOffice, kLabel, kSeven}));
}

void PrinterPageTest::secondVerificationRebuildsRows()
{
    const auto server = startServer(m_certificates);
    QVERIFY(server);
    Window w;
    const int threads = threadCount();
    w.verify(QStringLiteral("127.0.0.1"), kCode);
    QTRY_COMPARE_WITH_TIMEOUT(w.page(), 1, kVerifyTimeoutMs);
    QWidget *page = w.window->findChild<QStackedWidget *>()->widget(1);
    QPointer<PrinterWidget> firstRow = w.row(kLaser);
    // An installation starts its row's thread.
    RowProbe seven(*w.row(kSeven));
    QTest::mouseClick(seven.button(), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(seven.isAdded(), 30000);
    QCOMPARE(threadCount(), threads + 1);

    // "back": the connection page again, the title-bar controls go away.
    QTest::mouseClick(w.part<QAbstractButton>("backButton"), Qt::LeftButton);
    QCOMPARE(w.page(), 0);
    for (const char *control : {"backButton", "refreshButton", "searchEdit"})
        QVERIFY2(w.part<QWidget>(control)->isHidden(), control);
    QVERIFY(w.part<QPushButton>("nextButton")->isVisible());

    // Behind the connection page the polls go on: the local refresh...
    QVERIFY(runLpadmin({QStringLiteral("-x"), QStringLiteral("Printer-7@127.0.0.1:%1").arg(server->port())}));
    QTRY_VERIFY_WITH_TIMEOUT(!seven.isAdded(), kRefreshTimeoutMs);
    // ...and the server poll against the last used server (as its timer would).
    w.window->checkoutPrintStatus();
    QTRY_COMPARE_WITH_TIMEOUT(RowProbe(*w.row(kCanon)).statusText(), QStringLiteral("3 print jobs are being processed"),
                              kVerifyTimeoutMs);

    w.verify(QStringLiteral("127.0.0.1"), kCode);
    QTRY_COMPARE_WITH_TIMEOUT(w.results.size(), 2, kVerifyTimeoutMs);
    QCOMPARE(w.page(), 1);
    QCOMPARE(w.window->findChild<QStackedWidget *>()->count(), 2);
    QCOMPARE(w.window->findChild<QStackedWidget *>()->widget(1), page);
    QVERIFY(!firstRow);
    QCOMPARE(w.list()->count(), 5);
    QCOMPARE(w.part<QLabel>("ipCaption")->text(), QStringLiteral("IP Address (127.0.0.1)"));
    for (const char *control : {"backButton", "refreshButton", "searchEdit"})
        QVERIFY2(w.part<QWidget>(control)->isVisible(), control);
    // No row thread outlives its row; the status thread stays.
    QTRY_VERIFY(threadCount() <= threads + 1);
}

void PrinterPageTest::serverWithoutPrinters()
{
    const auto server = startServer(m_certificates, false);
    QVERIFY(server);
    Window w;
    QString title;
    int buttons = 0;
    QTimer answer;
    connect(&answer, &QTimer::timeout, &answer, [&] {
        if (auto *dialog = qobject_cast<toolkit::Dialog *>(QApplication::activeModalWidget())) {
            for (const QLabel *label : dialog->findChildren<QLabel *>())
                title += label->text();
            buttons = dialog->buttonCount();
            dialog->button(0)->click();
        }
    });
    answer.start(50);
    w.verify(QStringLiteral("127.0.0.1"), kCode);
    QTRY_COMPARE_WITH_TIMEOUT(w.results.size(), 1, kVerifyTimeoutMs);
    QVERIFY2(title.contains(QStringLiteral("No printer available, please try to connect to other print server")),
             qPrintable(title));
    QCOMPARE(buttons, 1);
    QCOMPARE(w.page(), 0);
    QVERIFY(w.part<QPushButton>("nextButton")->isVisible());
    QVERIFY(!w.list());
}

QTEST_MAIN(PrinterPageTest)
#include "tst_printerpage.moc"
