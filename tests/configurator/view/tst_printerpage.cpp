// The printer page through the real window, against the reference cloud
// print server and a private cupsd: rows, search, polls, installation,
// queues added and removed from outside, a second verification and "back".
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

class PrinterPageTest : public QObject
{
    Q_OBJECT

    TestCertificates m_certificates;

private slots:
    void initTestCase()
    {
        QVERIFY2(initViewTests(m_certificates), qPrintable(m_certificates.errorString()));
    }

    void init() { QFile::remove(Config::filePath()); }

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
        const QString queue = QStringLiteral("Printer-7@127.0.0.1:%1").arg(server->port());
        QCOMPARE(queueState(queue).section(QLatin1Char(' '), 0, 0), deviceUri(*server, "Printer%207"));
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

QTEST_MAIN(PrinterPageTest)
#include "tst_printerpage.moc"
