// The printer page through the real window, against the reference cloud
// print server and a private cupsd: verification, rows, search, polls,
// installation, queues added and removed from outside, a second
// verification, "back", and a server without printers.
#include "cloudprintclient.h"
#include "config.h"
#include "configdialog.h"
#include "cupstestsupport.h"
#include "dialog.h"
#include "printerlist.h"
#include "printerport.h"
#include "printerwidget.h"
#include "referenceserver.h"
#include "rowprobe.h"
#include "verifyworker.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QStackedWidget>
#include <QtTest>

#include <memory>

using cloudprinttest::ReferenceServer;
using cloudprinttest::TestCertificates;

namespace {

constexpr int kVerifyTimeoutMs = 20000;
// The local refresh runs every 2 s; listing the private cupsd is quick.
constexpr int kRefreshTimeoutMs = 2500;
const QString kCode = QStringLiteral("page-code");
const QString kLaser = QStringLiteral("192.168.1.20\\HP LaserJet");
const QString kCanon = QStringLiteral("192.168.1.21\\Canon iR");
const QString kOffice = QStringLiteral("Office hp color");
const QString kLabel = QStringLiteral("Label printer");
const QString kSeven = QStringLiteral("Printer 7");
const char *const kTitleBarControls[] = {"backButton", "refreshButton", "searchEdit"};

// A server with sample printers (the Canon has jobs from the second listing
// on) that the connection page reaches through the cloud port.
std::unique_ptr<ReferenceServer> startServer(const TestCertificates &certificates, bool withPrinters = true)
{
    auto server = std::make_unique<ReferenceServer>(certificates);
    server->setCodes({kCode});
    server->setVersion(QStringLiteral("1.2.3"));
    server->setDefaultDriver(QStringLiteral("#include <media.defs>\nManufacturer \"Q\"\nVersion 1.0\n*MediaSize A4\n"
                                            "{\n  ModelName \"Quorvia Page Test\"\n  PCFileName \"TQP.ppd\"\n}\n"));
    const struct
    {
        QString id;
        const char *portName;
        int status, attributes;
        QJsonArray jobs;
    } printers[] = {{kLaser, "192.168.1.20", 0, 0, {0}},
                    {kCanon, "192.168.1.21", 0, 0, {0, 3}},
                    {kOffice, "USB001", 0x80, 0, {2, 5}},
                    {kLabel, "LPT1", 0, 0x400, {0}},
                    {kSeven, "192.168.1.200", 0, 0, {2}}};
    for (const auto &p : printers) {
        QJsonObject printer = ReferenceServer::printer(p.id, p.status, p.jobs.first().toInt());
        printer.insert(QStringLiteral("PortName"), QLatin1String(p.portName));
        printer.insert(QStringLiteral("Attributes"), p.attributes);
        printer.insert(QStringLiteral("cJobsSequence"), p.jobs);
        if (withPrinters)
            server->addPrinter(printer);
    }
    if (!server->start())
        return nullptr;
    printerport::ConfigPrinterPort();
    printerport::SetCloudPrintPort(server->port());
    return server;
}

QString deviceUri(const ReferenceServer &server, const char *encodedId)
{
    return QStringLiteral("tqp://127.0.0.1:%1/%2").arg(server.port()).arg(QLatin1String(encodedId));
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
    T *part(const char *name) const { return window->findChild<T *>(QLatin1String(name)); }
    int page() const { return window->findChild<QStackedWidget *>()->currentIndex(); }
    PrinterList *list() const { return part<PrinterList>("printerList"); }
    RowProbe row(const QString &id) const { return RowProbe{*list()->row(id.toStdString())}; }

    void type(const char *field, const QString &text) const
    {
        part<QLineEdit>(field)->clear();
        QTest::keyClicks(part<QLineEdit>(field), text);
    }

    // Types address and code as a user would and presses "Next".
    void verify()
    {
        type("ipEdit", QStringLiteral("127.0.0.1"));
        type("authCodeEdit", kCode);
        QTest::mouseClick(part<QPushButton>("nextButton"), Qt::LeftButton);
    }

    QStringList search(const QString &text) const
    {
        type("searchEdit", text);
        QTest::keyClick(part<QLineEdit>("searchEdit"), Qt::Key_Return);
        return visibleNames(*list());
    }

    bool controlsShown(bool shown) const
    {
        return std::all_of(std::begin(kTitleBarControls), std::end(kTitleBarControls),
                           [&](const char *name) { return part<QWidget>(name)->isVisible() == shown; });
    }
};

} // namespace

class PrinterPageTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init() { QFile::remove(Config::filePath()); }
    void listsPollsInstallsAndFollowsQueues();
    void secondVerificationAndBack();
    void serverWithoutPrinters();

private:
    TestCertificates m_certificates;
};

void PrinterPageTest::initTestCase()
{
    initRowResources();
    QVERIFY2(m_certificates.ok(), qPrintable(m_certificates.errorString()));
    CloudPrintRPCClient::setTrustedCaFileForTesting(m_certificates.caFile());
    ConfiguratorWindow::setAgentPathForTesting(QString());
}

void PrinterPageTest::listsPollsInstallsAndFollowsQueues()
{
    const auto server = startServer(m_certificates);
    QVERIFY(server);
    Window w;
    w.verify();
    QTRY_COMPARE_WITH_TIMEOUT(w.page(), 1, kVerifyTimeoutMs);

    const struct
    {
        QString id, state;
        DotColour dot;
        QString connection;
    } expected[] = {
        {kLaser, QStringLiteral("Printer is idle"), DotColour::Green, QStringLiteral("Internet connection:192.168.1.20")},
        {kCanon, QStringLiteral("Printer is idle"), DotColour::Green, QStringLiteral("Internet connection:192.168.1.21")},
        {kOffice, QStringLiteral("Printer is offline"), DotColour::Grey, QStringLiteral("Local connection")},
        {kLabel, QStringLiteral("Printer is offline"), DotColour::Grey, QStringLiteral("Local connection")},
        {kSeven, QStringLiteral("2 print jobs are being processed"), DotColour::Red,
         QStringLiteral("Internet connection:192.168.1.200")},
    };
    QCOMPARE(w.list()->count(), 5);
    for (int i = 0; i < 5; ++i) {
        const RowProbe row{*w.list()->rowAt(i)};
        QCOMPARE(QStringList({row.text("nameLabel"), row.text("statusText"), row.text("connectionLabel")}),
                 QStringList({expected[i].id, expected[i].state, expected[i].connection}));
        QCOMPARE(row.dot(), expected[i].dot);
        QVERIFY(!row.isAdded());
    }

    QCOMPARE(w.search(QStringLiteral("hp")), (QStringList{kLaser, kOffice}));
    QCOMPARE(w.search(QString()).size(), 5);

    // The refresh button polls the last used server, which records it anew.
    const QDateTime verifiedAt = Config().lastUsed().LastUsed;
    QTest::mouseClick(w.part<QAbstractButton>("refreshButton"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(w.row(kCanon).text("statusText"), QStringLiteral("3 print jobs are being processed"),
                              kVerifyTimeoutMs);
    QCOMPARE(w.row(kCanon).dot(), DotColour::Red);
    QCOMPARE(w.row(kOffice).text("statusText"), QStringLiteral("Printer is offline"));
    QVERIFY(Config().lastUsed().LastUsed > verifiedAt);

    // Add the laser printer through its row.
    QTest::mouseClick(w.row(kLaser).button(), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(w.row(kLaser).isAdded(), 30000);
    const QString queue = QStringLiteral("HP-LaserJet@127.0.0.1:%1").arg(server->port());
    const QueueState state = queueState(queue);
    QVERIFY(state.exists && state.accepting && !state.shared && state.state == 3);
    QCOMPARE(state.deviceUri, deviceUri(*server, "192.168.1.20%5CHP%20LaserJet"));
    QVERIFY(queuePpd(queue).contains("*ModelName: \"Quorvia Page Test\""));

    // Queues removed and added by other programs show within the refresh.
    QVERIFY(lpadmin({QStringLiteral("-x"), queue}));
    QTRY_VERIFY_WITH_TIMEOUT(!w.row(kLaser).isAdded(), kRefreshTimeoutMs);
    QVERIFY(!w.row(kLaser).hasCheckMark());
    QVERIFY(addQueue(QStringLiteral("by-hand"), deviceUri(*server, "192.168.1.21%5CCanon%20iR")));
    QTRY_VERIFY_WITH_TIMEOUT(w.row(kCanon).isAdded(), kRefreshTimeoutMs);
    QVERIFY(lpadmin({QStringLiteral("-x"), QStringLiteral("by-hand")}));
}

void PrinterPageTest::secondVerificationAndBack()
{
    const auto server = startServer(m_certificates);
    QVERIFY(server);
    Window w;
    const int threads = threadCount();
    w.verify();
    QTRY_COMPARE_WITH_TIMEOUT(w.page(), 1, kVerifyTimeoutMs);
    QWidget *page = w.window->findChild<QStackedWidget *>()->widget(1);
    QPointer<PrinterWidget> firstRow = w.list()->rowAt(0);
    // An installation starts its row's thread.
    QTest::mouseClick(w.row(kSeven).button(), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(w.row(kSeven).isAdded(), 30000);
    QCOMPARE(threadCount(), threads + 1);

    QTest::mouseClick(w.part<QAbstractButton>("backButton"), Qt::LeftButton);
    QCOMPARE(w.page(), 0);
    QVERIFY(w.controlsShown(false));
    QVERIFY(w.part<QPushButton>("nextButton")->isVisible());
    // Behind the connection page the local refresh goes on, and so does the
    // server poll against the last used server (started as its timer would).
    QVERIFY(lpadmin({QStringLiteral("-x"), QStringLiteral("Printer-7@127.0.0.1:%1").arg(server->port())}));
    QTRY_VERIFY_WITH_TIMEOUT(!w.row(kSeven).isAdded(), kRefreshTimeoutMs);
    w.window->checkoutPrintStatus();
    QTRY_COMPARE_WITH_TIMEOUT(w.row(kCanon).text("statusText"), QStringLiteral("3 print jobs are being processed"),
                              kVerifyTimeoutMs);

    // The same server again: new rows on the same page, no row thread left.
    w.verify();
    QTRY_COMPARE_WITH_TIMEOUT(w.results.size(), 2, kVerifyTimeoutMs);
    QCOMPARE(w.page(), 1);
    QCOMPARE(w.window->findChild<QStackedWidget *>()->widget(1), page);
    QCOMPARE(w.window->findChild<QStackedWidget *>()->count(), 2);
    QVERIFY(!firstRow);
    QCOMPARE(w.part<QLabel>("ipCaption")->text(), QStringLiteral("IP Address (127.0.0.1)"));
    QVERIFY(w.controlsShown(true));
    // wait() returns as a thread ends; the kernel lets it go a moment later.
    // The status thread stays.
    QTRY_VERIFY(threadCount() <= threads + 1);
}

void PrinterPageTest::serverWithoutPrinters()
{
    const auto server = startServer(m_certificates, false);
    QVERIFY(server);
    Window w;
    QString texts;
    int buttons = 0;
    QTimer answer;
    connect(&answer, &QTimer::timeout, &answer, [&] {
        if (auto *dialog = qobject_cast<toolkit::Dialog *>(QApplication::activeModalWidget())) {
            for (const QLabel *label : dialog->findChildren<QLabel *>())
                texts += label->text();
            buttons = dialog->buttonCount();
            dialog->button(0)->click();
        }
    });
    answer.start(50);
    w.verify();
    QTRY_COMPARE_WITH_TIMEOUT(w.results.size(), 1, kVerifyTimeoutMs);
    QVERIFY2(texts.contains(QStringLiteral("No printer available, please try to connect to other print server")),
             qPrintable(texts));
    QCOMPARE(buttons, 1);
    QCOMPARE(w.page(), 0);
    QVERIFY(w.part<QPushButton>("nextButton")->isVisible());
    QVERIFY(!w.list());
}

QTEST_MAIN(PrinterPageTest)
#include "tst_printerpage.moc"
