#include "cloudprintclient.h"
#include "config.h"
#include "configdialog.h"
#include "lineedit.h"
#include "printerport.h"
#include "referenceserver.h"
#include "spinner.h"
#include "testcertificates.h"
#include "verifyworker.h"

#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTest>

#include <memory>

using cloudprinttest::ReferenceServer;
using cloudprinttest::TestCertificates;
using ConfiguratorWindowInnter::Worker;

namespace {

constexpr int verifyTimeoutMs = 20000;

// The connection page of a fresh window, with the result codes of its
// worker as they reach the UI thread.
struct Page
{
    std::unique_ptr<ConfiguratorWindow> window = std::make_unique<ConfiguratorWindow>();
    toolkit::LineEdit *ip = window->findChild<toolkit::LineEdit *>(QStringLiteral("ipEdit"));
    toolkit::LineEdit *code = window->findChild<toolkit::LineEdit *>(QStringLiteral("authCodeEdit"));
    QPushButton *next = window->findChild<QPushButton *>(QStringLiteral("nextButton"));
    toolkit::Spinner *spinner = window->findChild<toolkit::Spinner *>(QStringLiteral("spinner"));
    QStackedWidget *pages = window->findChild<QStackedWidget *>();
    QList<int> results;

    Page()
    {
        // Connected after the window's own handler, so a recorded result
        // means finishVerfiy has run.
        QObject::connect(window->worker(), &Worker::listPrinterFinish, window.get(),
                         [this](int result) { results << result; });
        window->show();
    }

    void verify(const QString &address, const QString &authcode)
    {
        ip->setText(address);
        code->setText(authcode);
        QTest::mouseClick(next, Qt::LeftButton);
    }
};

// Makes the window built next connect to this port.
void useCloudPort(quint16 port)
{
    printerport::ConfigPrinterPort();
    printerport::SetCloudPrintPort(port);
}

} // namespace

class TestVerifyFlow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init() { QFile::remove(Config::filePath()); }

    void resultsAndWhereTheyShow_data();
    void resultsAndWhereTheyShow();
    void alertsLastThreeSecondsOrUntilTheNextEdit();
    void keptSessionIsNotReusedForAnotherServer();
    void serverKilledDuringTheListing();

private:
    std::unique_ptr<TestCertificates> m_certificates;
};

void TestVerifyFlow::initTestCase()
{
    m_certificates = std::make_unique<TestCertificates>();
    QVERIFY2(m_certificates->ok(), qPrintable(m_certificates->errorString()));
    CloudPrintRPCClient::setTrustedCaFileForTesting(m_certificates->caFile());
    ConfiguratorWindow::setAgentPathForTesting(QString());
}

enum class Setup { Verified, Unreachable, RejectedCode, ListingFails, Version13, Version05, NoVersion, VersionCallFails };
Q_DECLARE_METATYPE(Setup)

void TestVerifyFlow::resultsAndWhereTheyShow_data()
{
    QTest::addColumn<Setup>("setup");
    QTest::addColumn<int>("result");
    QTest::addColumn<bool>("underIp");
    QTest::addColumn<QString>("alert"); // none: the printer page opens
    QTest::addColumn<bool>("saved");

    const QString network = QStringLiteral("Please check network connection or IP");
    const QString tooHigh = QStringLiteral("Client version is too high");
    QTest::newRow("verified") << Setup::Verified << int(Worker::Listed) << true << QString() << true;
    QTest::newRow("no server") << Setup::Unreachable << int(Worker::ConnectFailed) << true << network << false;
    QTest::newRow("code rejected") << Setup::RejectedCode << int(Worker::VerifyFailed) << false
                                   << QStringLiteral("Invalid authorization code") << false;
    QTest::newRow("listing fails") << Setup::ListingFails << int(Worker::ListFailed) << true << network << true;
    QTest::newRow("server 1.3") << Setup::Version13 << int(Worker::Listed) << true
                                << QStringLiteral("Client version is too low") << true;
    QTest::newRow("server 0.5") << Setup::Version05 << int(Worker::Listed) << true << tooHigh << true;
    QTest::newRow("empty version") << Setup::NoVersion << int(Worker::Listed) << true << tooHigh << true;
    QTest::newRow("version call fails") << Setup::VersionCallFails << int(Worker::Listed) << true << tooHigh << true;
}

void TestVerifyFlow::resultsAndWhereTheyShow()
{
    QFETCH(Setup, setup);
    QFETCH(int, result);
    QFETCH(bool, underIp);
    QFETCH(QString, alert);
    QFETCH(bool, saved);

    ReferenceServer server(*m_certificates);
    server.setCodes({QStringLiteral("good")});
    server.setVersion(QStringLiteral("1.2.7"));
    server.addPrinter(ReferenceServer::printer(QStringLiteral("192.168.1.20\\HP LaserJet")));
    server.addPrinter(ReferenceServer::printer(QStringLiteral("192.168.1.21\\Brother"), 0, 3));
    const QJsonObject exception{{QStringLiteral("mode"), QStringLiteral("exception")}, {QStringLiteral("code"), 5}};
    if (setup == Setup::ListingFails)
        server.setFault(QStringLiteral("ListPrinter"), exception);
    if (setup == Setup::VersionCallFails)
        server.setFault(QStringLiteral("GetServerVersion"), exception);
    const QMap<Setup, QString> versions{
        {Setup::Version13, QStringLiteral("1.3")}, {Setup::Version05, QStringLiteral("0.5")}, {Setup::NoVersion, QString()}};
    if (versions.contains(setup))
        server.setVersion(versions.value(setup));
    QVERIFY2(server.start(), qPrintable(server.errorString()));
    useCloudPort(server.port());
    if (setup == Setup::Unreachable)
        server.stop();

    Page page;
    const QDateTime before = QDateTime::currentDateTime();
    page.verify(QStringLiteral("127.0.0.1"), setup == Setup::RejectedCode ? QStringLiteral("bad") : QStringLiteral("good"));
    // Verifying: the spinner turns in place of "Next".
    QVERIFY(page.next->isHidden() && page.spinner->isVisible() && page.spinner->isPlaying());
    QTRY_COMPARE_WITH_TIMEOUT(page.results, QList<int>{result}, verifyTimeoutMs);
    // Idle again, also behind the printer page.
    QVERIFY(!page.next->isHidden() && page.spinner->isHidden() && !page.spinner->isPlaying());

    toolkit::LineEdit *alerted = underIp ? page.ip : page.code;
    toolkit::LineEdit *quiet = underIp ? page.code : page.ip;
    QCOMPARE(alerted->isAlert(), !alert.isEmpty());
    QCOMPARE(alerted->alertMessage(), alert);
    QVERIFY(!quiet->isAlert());
    QCOMPARE(page.pages->currentIndex(), alert.isEmpty() ? 1 : 0);

    const QString key = QStringLiteral("tqp://127.0.0.1:%1").arg(server.port());
    const Config config;
    QCOMPARE(config.servers.size(), saved ? 1 : 0);
    QCOMPARE(config.servers.value(key).Address, saved ? key : QString());
    QCOMPARE(config.servers.value(key).Authcode, saved ? QStringLiteral("good") : QString());
    QVERIFY(!saved || config.servers.value(key).LastUsed >= before.addSecs(-1));
    // Failed runs drop the session; a refused version keeps it.
    QCOMPARE(page.window->worker()->client() != nullptr, result == Worker::Listed);
    if (!alert.isEmpty())
        return;

    const std::vector<Printer> printers = page.window->worker()->printers();
    QCOMPARE(printers.size(), size_t(2));
    QCOMPARE(QString::fromStdString(printers.at(0).ID), QStringLiteral("192.168.1.20\\HP LaserJet"));
    QCOMPARE(printers.at(1).cJobs, 3);
    // The session stays until the page is left.
    QVERIFY(page.window->worker()->auth());
    page.window->showBackWindows();
    QVERIFY(!page.window->worker()->client() && !page.window->worker()->auth());
    QCOMPARE(page.pages->currentIndex(), 0);
    QVERIFY(page.next->isVisible());
}

void TestVerifyFlow::alertsLastThreeSecondsOrUntilTheNextEdit()
{
    ReferenceServer server(*m_certificates);
    server.setCodes({QStringLiteral("good")});
    QVERIFY2(server.start(), qPrintable(server.errorString()));
    useCloudPort(server.port());

    // Declared before the page, which may still report while it goes.
    QElapsedTimer clock;
    clock.start();
    QList<qint64> shownAt;
    QList<qint64> hiddenAt;
    Page page;
    connect(page.code, &toolkit::LineEdit::alertChanged, page.code,
            [&](bool alert) { (alert ? shownAt : hiddenAt) << clock.elapsed(); });
    page.verify(QStringLiteral("127.0.0.1"), QStringLiteral("bad"));
    QTRY_COMPARE_WITH_TIMEOUT(page.results.size(), 1, verifyTimeoutMs);
    QVERIFY(page.code->isAlert());
    QTRY_COMPARE_WITH_TIMEOUT(hiddenAt.size(), 1, 6000);
    QCOMPARE(shownAt.size(), 1);
    // Coarse timers may fire up to 5 % early.
    const qint64 shownFor = hiddenAt.at(0) - shownAt.at(0);
    QVERIFY2(shownFor >= 2850 && shownFor < 4000, qPrintable(QString::number(shownFor)));

    // An edit of either field hides it at once.
    page.verify(QStringLiteral("127.0.0.1"), QStringLiteral("bad"));
    QTRY_COMPARE_WITH_TIMEOUT(page.results.size(), 2, verifyTimeoutMs);
    QVERIFY(page.code->isAlert());
    QTest::keyClick(page.ip, Qt::Key_Backspace);
    QVERIFY(!page.code->isAlert());

    // So does the next press of "Next".
    page.ip->setText(QStringLiteral("127.0.0.1"));
    page.window->finishVerfiy(Worker::ConnectFailed);
    QVERIFY(page.ip->isAlert());
    QTest::mouseClick(page.next, Qt::LeftButton);
    QVERIFY(!page.ip->isAlert());
    QTRY_COMPARE_WITH_TIMEOUT(page.results.size(), 3, verifyTimeoutMs);
}

void TestVerifyFlow::keptSessionIsNotReusedForAnotherServer()
{
    ReferenceServer first(*m_certificates);
    first.setCodes({QStringLiteral("first-code")});
    ReferenceServer second(*m_certificates);
    second.setCodes({QStringLiteral("second-code")});
    QVERIFY2(first.start(), qPrintable(first.errorString()));
    QVERIFY2(second.start(), qPrintable(second.errorString()));

    Worker worker;
    QSignalSpy finished(&worker, &Worker::listPrinterFinish);
    for (const ReferenceServer *server : {&first, &second}) {
        worker.setAddress(server->url());
        worker.setAuthcode(server == &first ? QStringLiteral("first-code") : QStringLiteral("second-code"));
        worker.doListPrinter();
        QCOMPARE(finished.takeFirst().at(0).toInt(), int(Worker::Listed));
        QVERIFY(worker.client());
    }

    const Config config;
    QCOMPARE(config.servers.value(first.url()).Authcode, QStringLiteral("first-code"));
    QCOMPARE(config.servers.value(second.url()).Authcode, QStringLiteral("second-code"));
}

QTEST_MAIN(TestVerifyFlow)

// The server dies with the listing call in flight: a plain failure, and the
// same page lists the next server.
void TestVerifyFlow::serverKilledDuringTheListing()
{
    ReferenceServer dying(*m_certificates);
    dying.generatePrinters(2000);
    dying.setFault(QStringLiteral("ListPrinter"), {{QStringLiteral("mode"), QStringLiteral("stall")}});
    QVERIFY2(dying.start(), qPrintable(dying.errorString()));
    useCloudPort(dying.port());
    Page page;
    page.verify(QStringLiteral("127.0.0.1"), QStringLiteral("good"));
    // The server is recorded right before the listing call.
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(Config::filePath()), verifyTimeoutMs);
    QTest::qWait(300);
    QVERIFY(page.results.isEmpty());
    const quint16 port = dying.port();
    dying.stop();
    QTRY_COMPARE_WITH_TIMEOUT(page.results, QList<int>{int(Worker::ListFailed)}, verifyTimeoutMs);
    QCOMPARE(page.ip->alertMessage(), QStringLiteral("Please check network connection or IP"));

    ReferenceServer back(*m_certificates);
    back.setPort(port);
    back.setVersion(QStringLiteral("1.2.7"));
    back.addPrinter(ReferenceServer::printer(QStringLiteral("192.168.1.20\\HP LaserJet")));
    QVERIFY2(back.start(), qPrintable(back.errorString()));
    page.verify(QStringLiteral("127.0.0.1"), QStringLiteral("good"));
    QTRY_COMPARE_WITH_TIMEOUT(page.results, (QList<int>{int(Worker::ListFailed), int(Worker::Listed)}), verifyTimeoutMs);
    QCOMPARE(page.pages->currentIndex(), 1);
}

#include "tst_verifyflow.moc"
