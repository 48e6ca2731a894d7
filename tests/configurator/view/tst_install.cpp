// Printer rows against the reference cloud print server and a private cupsd:
// installations running side by side, the printer manager, every way an
// installation can fail; the list that holds the rows; and the printer page
// through the real window: rows, search, polls, installation, queues added
// and removed from outside, a second verification and "back".
#include "cupsclient.h"
#include "cupstooldir.h"
#include "logcapture.h"
#include "spinner.h"
#include "viewtestsupport.h"

#include <QPointer>

namespace {

// The local refresh runs every 2 s; listing the private cupsd is quick.
constexpr int kRefreshTimeoutMs = 2500;
const QString kCanonBusy = QStringLiteral("3 print jobs are being processed, red, Local connection");

QString deviceUri(const ReferenceServer &server, const char *encodedId)
{
    return QStringLiteral("tqp://127.0.0.1:%1/%2").arg(server.port()).arg(QLatin1String(encodedId));
}

bool titleBarControlsShown(const Window &w, bool shown)
{
    const char *const controls[] = {"backButton", "refreshButton", "searchEdit"};
    return std::all_of(std::begin(controls), std::end(controls),
                       [&](const char *name) { return w.part<QWidget>(name)->isVisible() == shown; });
}

} // namespace

class InstallTest : public QObject
{
    Q_OBJECT

    TestCertificates m_certificates;
    ReferenceServer m_server{m_certificates};
    ReferenceServer m_throwingServer{m_certificates};
    const QByteArray m_path = qgetenv("PATH");

private slots:
    // The last used server is the one the rows fetch their drivers from.
    void init() { QFile::remove(Config::filePath()); }
    void cleanup()
    {
        cupstooldir::setDirForTesting(QStringLiteral("/usr/sbin"));
        qputenv("PATH", m_path);
    }

    void initTestCase()
    {
        QVERIFY2(initViewTests(m_certificates), qPrintable(m_certificates.errorString()));

        m_server.setCodes({kCode});
        m_server.addPrinter(ReferenceServer::printer(kLaser, 0, 0, driverText(QStringLiteral("Quorvia Laser"))));
        m_server.addPrinter(ReferenceServer::printer(QStringLiteral("Office printer"), 0, 0,
                                                     driverText(QStringLiteral("Quorvia Office"))));
        m_server.addPrinter(ReferenceServer::printer(QStringLiteral("No driver")));
        m_server.addPrinter(
            ReferenceServer::printer(QStringLiteral("Broken driver"), 0, 0, QStringLiteral("not a driver")));
        QVERIFY2(m_server.start(), qPrintable(m_server.errorString()));

        m_throwingServer.setFault(QStringLiteral("GetPpdDrv"), {{QStringLiteral("mode"), QStringLiteral("exception")}});
        QVERIFY2(m_throwingServer.start(), qPrintable(m_throwingServer.errorString()));
    }

    // Two rows install at once, each with the PPD of its own driver; an
    // installed row's button then opens the printer manager.
    void installsTwoRowsAtOnce()
    {
        // A stand-in printer manager on the search path records its arguments.
        StandInTools bin;
        QVERIFY(bin.add(QStringLiteral("vesk-printer"), QString()));
        qputenv("PATH", QFile::encodeName(bin.path()) + ':' + m_path);
        saveServer(m_server.url(), kCode);
        Printer laser = makePrinter(kLaser);
        Printer office = makePrinter(QStringLiteral("Office printer"));
        // Built as installed, then its queue went away: its first click has to
        // create the row's worker.
        PrinterWidget first(laser, true);
        first.setPrinterStatus(false);
        PrinterWidget second(office, false);
        const RowProbe probe{first};
        QVERIFY(!probe.isAdded() && !probe.hasCheckMark());
        const LogCapture rpcLog("quorvia.rpc");
        first.show();
        second.show();
        QTest::mouseClick(probe.button(), Qt::LeftButton);
        QTest::mouseClick(RowProbe{second}.button(), Qt::LeftButton);
        // Refreshes leave a running installation's spinner alone.
        first.setPrinterStatus(true);
        first.setPrinterStatus(false);
        QVERIFY(probe.spinner()->isVisible() && !probe.button()->isVisible());

        QTRY_VERIFY_WITH_TIMEOUT(probe.isAdded() && RowProbe{second}.isAdded(), 30000);
        QVERIFY(probe.button()->isVisible() && !probe.spinner()->isVisible() && probe.hasCheckMark());
        // Each queue got the PPD compiled from its own driver description.
        QVERIFY(queuePpd(QStringLiteral("HP-LaserJet@10.0.0.5:9100")).contains("\"Quorvia Laser\""));
        QVERIFY(queuePpd(QStringLiteral("Office-printer@10.0.0.5:9100")).contains("\"Quorvia Office\""));
        QCOMPARE(queueState(QStringLiteral("Office-printer@10.0.0.5:9100")),
                 QStringLiteral("tqp://10.0.0.5:9100/Office%20printer idle abort-job false true"));

        // The temporary driver descriptions and PPDs are gone once the queues exist.
        const QString written = QStringLiteral("create temp ppd driver file: ");
        const QStringList drivers = rpcLog.texts().filter(QRegularExpression(QLatin1Char('^') + written));
        QCOMPARE(drivers.size(), 2);
        for (const QString &line : drivers) {
            const QString driver = line.mid(written.size());
            QVERIFY2(!QFileInfo::exists(driver) && !QFileInfo::exists(driver.chopped(4)), qPrintable(driver));
        }

        // Installed: the button opens the manager without arguments or a worker thread.
        const int threads = threadCount();
        QTest::mouseClick(probe.button(), Qt::LeftButton);
        QTRY_COMPARE(bin.calls(), QStringList(QStringLiteral("vesk-printer ")));
        QCOMPARE(threadCount(), threads);
    }

    void failureKeepsAddButton_data()
    {
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("printer");
        QTest::addColumn<QString>("log");

        const QString main = m_server.url();
        // Nothing listens on port 1.
        QTest::newRow("server unreachable") << "tqp://127.0.0.1:1" << kCode << kLaser << "invalid server address";
        QTest::newRow("code refused") << main << "wrong-code" << kLaser << "invalid authcode";
        QTest::newRow("driver request throws") << m_throwingServer.url() << kCode << kLaser << "get ppd driver failed";
        QTest::newRow("driver empty") << main << kCode << "No driver" << "get ppd driver begin";
        QTest::newRow("ppdc fails") << main << kCode << "Broken driver" << "generate ppd failed";
        QTest::newRow("lpadmin fails") << main << kCode << "Office printer" << "get ppd driver begin";
    }

    void failureKeepsAddButton()
    {
        QFETCH(QString, server);
        QFETCH(QString, code);
        QFETCH(QString, printer);
        QFETCH(QString, log);

        saveServer(server, code);
        StandInTools tools;
        if (qstrcmp(QTest::currentDataTag(), "lpadmin fails") == 0) {
            QVERIFY(tools.add(QStringLiteral("lpadmin"), QStringLiteral("exit 1")));
            cupstooldir::setDirForTesting(tools.path());
        }
        Printer record = makePrinter(printer);
        const int queues = CUPSClient::listPrinterName().size();

        const LogCapture capture("quorvia.configurator");
        PrinterWidget row(record, false);
        row.show();
        const RowProbe probe{row};
        QTest::mouseClick(probe.button(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(probe.button()->isVisible(), 30000);
        QVERIFY(!probe.spinner()->isVisible());
        QVERIFY(!static_cast<toolkit::Spinner *>(probe.spinner())->isPlaying());
        QVERIFY(!probe.isAdded() && !probe.hasCheckMark());
        QCOMPARE(CUPSClient::listPrinterName().size(), queues);
        QVERIFY2(capture.texts().contains(log), qPrintable(capture.texts().join(QLatin1Char('\n'))));
    }

    void rebuildAndPolledStates()
    {
        const Printer first = makePrinter(QStringLiteral("Twin"), QStringLiteral("USB001"));
        Printer second = makePrinter(QStringLiteral("Twin"), QStringLiteral("USB002"));
        const Printer other = makePrinter(QStringLiteral("Other"));
        PrinterList list;
        list.rebuild({first, second, other}, {});
        QCOMPARE(list.count(), 3);

        // Repeated IDs: both rows stay, a polled state goes to the later one.
        QCOMPARE(list.row(first.ID), list.rowAt(1));
        second.cJobs = 4;
        list.applyServerStates({second, makePrinter(QStringLiteral("Not on the page"))});
        QCOMPARE(RowProbe{*list.rowAt(1)}.text("statusText"), QStringLiteral("4 print jobs are being processed"));
        QCOMPARE(RowProbe{*list.rowAt(0)}.text("statusText"), QStringLiteral("Printer is idle"));

        // Filtering stops, with a warning, at an item without a row.
        list.insertItem(1, QStringLiteral("plain item"));
        list.item(2)->setHidden(true);
        const LogCapture capture("quorvia.configurator");
        list.updateVisiblePrinter(QStringLiteral("twin"), QString(), true);
        QVERIFY(capture.contains(QtWarningMsg, QStringLiteral("dynamic_cast item to PrinterWidget failed")));
        QVERIFY(!list.item(0)->isHidden());
        QVERIFY(list.item(2)->isHidden());

        list.rebuild({other}, {});
        QCOMPARE(list.count(), 1);
        QVERIFY(!list.row(first.ID));
    }

    void listsPollsInstallsAndGoesBack()
    {
        const auto server = startServer(m_certificates);
        QVERIFY(server);
        Window w;
        w.verify();
        QTRY_COMPARE_WITH_TIMEOUT(w.page(), 1, kVerifyTimeoutMs);
        auto *pages = w.window->findChild<QStackedWidget *>();
        QWidget *page = pages->widget(1);
        QPointer<PrinterWidget> firstRow = w.list()->rowAt(0);
        const QStringList looks = {
            QStringLiteral("Printer is idle, green, Internet connection:192.168.1.20"),
            // Other status and attribute bits.
            QStringLiteral("Printer is idle, green, Local connection"),
            QStringLiteral("Printer is offline, grey, Local connection"),
            // The offline attribute wins over jobs.
            QStringLiteral("Printer is offline, grey, Local connection"),
            QStringLiteral("2 print jobs are being processed, red, Internet connection:fe80::1"),
        };
        QCOMPARE(visibleNames(*w.list()), (QStringList{kLaser, kCanon, kOffice, kLabel, kSeven}));
        for (int i = 0; i < 5; ++i) {
            const RowProbe row{*w.list()->rowAt(i)};
            QCOMPARE(row.look(), looks.at(i));
            QVERIFY(!row.isAdded() && !row.hasCheckMark());
        }

        // A dotted address is matched against the whole connection, anything
        // else against the names in any case.
        QCOMPARE(w.search(QStringLiteral("192.168.1.20")), QStringList{kLaser});
        QCOMPARE(w.search(QStringLiteral("192.168.1")), QStringList{});
        QCOMPARE(w.search(QStringLiteral("HP")), (QStringList{kLaser, kOffice}));
        QCOMPARE(w.search(QStringLiteral("21")), QStringList{kCanon});
        QCOMPARE(w.search(QString()).size(), 5);

        // The refresh button polls the last used server, which records it anew.
        const QDateTime verifiedAt = Config().lastUsed().LastUsed;
        QTest::mouseClick(w.part<QAbstractButton>("refreshButton"), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(w.row(kCanon).look(), kCanonBusy, kVerifyTimeoutMs);
        QCOMPARE(w.row(kOffice).look(), QStringLiteral("Printer is offline, grey, Local connection"));
        QVERIFY(Config().lastUsed().LastUsed > verifiedAt);

        // An installation starts its row's thread (the poll's thread runs already).
        const int threads = threadCount();
        QTest::mouseClick(w.row(kSeven).button(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(w.row(kSeven).isAdded(), 30000);
        QCOMPARE(threadCount(), threads + 1);
        // Queues added and removed by other programs show within the refresh.
        QVERIFY(addQueue(QStringLiteral("by-hand"), deviceUri(*server, "192.168.1.21%5CCanon%20iR")));
        QTRY_VERIFY_WITH_TIMEOUT(w.row(kCanon).isAdded(), kRefreshTimeoutMs);
        QVERIFY(w.row(kCanon).hasCheckMark());

        // The session stays until the page is left.
        QVERIFY(w.window->worker()->client() && w.window->worker()->auth());
        QTest::mouseClick(w.part<QAbstractButton>("backButton"), Qt::LeftButton);
        QVERIFY(!w.window->worker()->client() && !w.window->worker()->auth());
        QCOMPARE(w.page(), 0);
        QVERIFY(titleBarControlsShown(w, false));
        QVERIFY(w.part<QPushButton>("nextButton")->isVisible());
        // Behind the connection page the local refresh goes on, and so does the
        // server poll against the last used server (started as its timer would).
        QVERIFY(lpadmin({QStringLiteral("-x"), QStringLiteral("by-hand")}));
        QTRY_VERIFY_WITH_TIMEOUT(!w.row(kCanon).isAdded(), kRefreshTimeoutMs);
        QVERIFY(!w.row(kCanon).hasCheckMark());
        w.window->checkoutPrintStatus();
        QTRY_COMPARE_WITH_TIMEOUT(w.row(kSeven).look(),
                                  QStringLiteral("4 print jobs are being processed, red, Internet connection:fe80::1"),
                                  kVerifyTimeoutMs);

        // The same server again: new rows on the same page, no row thread left.
        w.verify();
        QTRY_COMPARE_WITH_TIMEOUT(w.results.size(), 2, kVerifyTimeoutMs);
        QCOMPARE(w.page(), 1);
        QCOMPARE(pages->widget(1), page);
        QCOMPARE(pages->count(), 2);
        QVERIFY(!firstRow);
        // Built with the queues there are now.
        QVERIFY(w.row(kSeven).isAdded() && !w.row(kCanon).isAdded());
        QCOMPARE(w.part<QLabel>("ipCaption")->text(), QStringLiteral("IP Address (127.0.0.1)"));
        QVERIFY(titleBarControlsShown(w, true));
        // wait() returns as a thread ends; the kernel lets it go a moment later.
        QTRY_VERIFY(threadCount() <= threads);
    }
};

QTEST_MAIN(InstallTest)
#include "tst_install.moc"
