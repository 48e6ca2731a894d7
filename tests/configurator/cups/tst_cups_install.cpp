#include "cupsclient.h"
#include "cupstestsupport.h"
#include "cupstooldir.h"

#include <QDir>
#include <QUrl>
#include <QUuid>
#include <QtTest>

// Installing cloud printer queues on a private cupsd, with the real tools and
// with stand-ins that fail.
class TestCupsInstall : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();
    void installsQueue_data();
    void installsQueue();
    void takenNameIsNotRewritten();
    void toolFails_data();
    void toolFails();
    void genericPpdOverload();

private:
    static cloudprint::Printer printer(const QString& id);
    QString m_name;
    QString m_ppd;
};

// As the RPC session builds it: the ID percent-encoded except for
// unreserved characters, ":" and "/".
cloudprint::Printer TestCupsInstall::printer(const QString& id)
{
    cloudprint::Printer record;
    record.ID = id.toStdString();
    record.Addr = "tqp://10.0.0.5:9100/" + QUrl::toPercentEncoding(id, ":/").toStdString();
    return record;
}

void TestCupsInstall::initTestCase()
{
    m_name = QUuid::createUuid().toString(QUuid::WithoutBraces);
    m_ppd = CUPSClient::generatePpdByDrv(qEnvironmentVariable("QUORVIA_TEST_SOURCE_DIR")
                                             + QStringLiteral("/testing/cups/tqp-minimal.drv"),
                                         m_name);
    QVERIFY(!m_ppd.isEmpty());
}

void TestCupsInstall::cleanupTestCase()
{
    QDir(QStringLiteral("/tmp/") + m_name).removeRecursively();
}

void TestCupsInstall::cleanup()
{
    cupstooldir::setDirForTesting(QStringLiteral("/usr/sbin"));
    for (const QString& queue : CUPSClient::listPrinterName())
        runCupsTool(QStringLiteral("/usr/sbin/lpadmin"), {QStringLiteral("-x"), queue});
}

void TestCupsInstall::installsQueue_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("queue");

    QTest::newRow("plain") << QStringLiteral("192.168.1.20\\HP LaserJet")
                           << QStringLiteral("HP-LaserJet@10.0.0.5:9100");
    QTest::newRow("quotes, # and brackets") << QStringLiteral("192.168.1.20\\Bob's \"big\" #1 (A3)")
                                            << QStringLiteral("Bob-s--big---1--A3-@10.0.0.5:9100");
    QTest::newRow("slashes and backslash") << QStringLiteral("floor/2\\east") << QStringLiteral("floor-2-east@10.0.0.5:9100");
    QTest::newRow("control characters") << QStringLiteral("a\tb\nc\x7f" "d") << QStringLiteral("a-b-c-d@10.0.0.5:9100");
    QTest::newRow("leading space") << QStringLiteral(" (Color)") << QStringLiteral("Color-@10.0.0.5:9100");
    QTest::newRow("60 characters") << QString(60, QLatin1Char('x')) << QString(40, QLatin1Char('x')) + QStringLiteral("@10.0.0.5:9100");
    QTest::newRow("non-ascii") << QStringLiteral("10.0.0.9\\Büro 打印机 😀") << QStringLiteral("Büro-打印机-😀@10.0.0.5:9100");
    QTest::newRow("long cjk") << QString(50, QChar(0x6253)) << QString(34, QChar(0x6253)) + QStringLiteral("@10.0.0.5:9100");
    QTest::newRow("sub-delimiters") << QStringLiteral("a!$&*+,;=@~b") << QStringLiteral("a!$&*+,;=@~b@10.0.0.5:9100");
}

void TestCupsInstall::installsQueue()
{
    QFETCH(QString, id);
    QFETCH(QString, queue);
    const cloudprint::Printer record = printer(id);

    QVERIFY(CUPSClient::addPrinter(record, m_ppd));

    const QueueState state = queueState(queue);
    QVERIFY2(state.exists, qPrintable(CUPSClient::listPrinterName().join(QLatin1Char('|'))));
    QCOMPARE(state.deviceUri, QString::fromStdString(record.Addr));
    QCOMPARE(state.shared, false);
    QCOMPARE(state.errorPolicy, QStringLiteral("abort-job"));
    QCOMPARE(state.state, 3);
    QCOMPARE(state.accepting, true);
    QVERIFY(queuePpd(queue).contains("*ModelName: \"Quorvia TQP Cloud Printer\""));
    // The printer list page finds the installed printer by its Addr.
    QVERIFY(CUPSClient::listPrinter().contains(QString::fromStdString(record.Addr)));
}

void TestCupsInstall::takenNameIsNotRewritten()
{
    QVERIFY(CUPSClient::addPrinter(printer(QStringLiteral("10.0.0.9\\Lab")), m_ppd));
    QVERIFY(CUPSClient::addPrinter(printer(QStringLiteral("10.0.0.8\\lab")), m_ppd));

    const QStringList queues = CUPSClient::listPrinterName();
    QCOMPARE(queues.size(), 2);
    QCOMPARE(queueState(QStringLiteral("Lab@10.0.0.5:9100")).deviceUri,
             QStringLiteral("tqp://10.0.0.5:9100/10.0.0.9%5CLab"));
    QVERIFY(queues.at(1).startsWith(QStringLiteral("lab@10.0.0.5:9100-")));
    QCOMPARE(queueState(queues.at(1)).deviceUri, QStringLiteral("tqp://10.0.0.5:9100/10.0.0.8%5Clab"));
}

void TestCupsInstall::toolFails_data()
{
    QTest::addColumn<QString>("tool");
    QTest::addColumn<QString>("body");
    QTest::addColumn<QString>("log");
    QTest::addColumn<QStringList>("calls");

    const QString lpadmin = QStringLiteral(
        "lpadmin -E -p Lab@10.0.0.5:9100 -v tqp://10.0.0.5:9100/Lab -P %1 "
        "-o printer-is-shared=false -o printer-error-policy=abort-job");
    const QString enable = QStringLiteral("cupsenable Lab@10.0.0.5:9100");
    const QString accept = QStringLiteral("cupsaccept Lab@10.0.0.5:9100");
    const QString remove = QStringLiteral("lpadmin -x Lab@10.0.0.5:9100");

    QTest::newRow("lpadmin missing") << QStringLiteral("lpadmin") << QString()
                                     << QStringLiteral("Start failed") << QStringList();
    QTest::newRow("lpadmin exits 1") << QStringLiteral("lpadmin") << QStringLiteral("echo 'no way' >&2; exit 1")
                                     << QStringLiteral("/lpadmin exit with 1 no way") << QStringList{lpadmin};
    QTest::newRow("lpadmin crashes") << QStringLiteral("lpadmin") << QStringLiteral("kill -SEGV $$")
                                     << QStringLiteral("/lpadmin exit status CrashExit") << QStringList{lpadmin};
    QTest::newRow("cupsenable missing") << QStringLiteral("cupsenable") << QString()
                                        << QStringLiteral("Start failed") << QStringList{lpadmin, remove};
    QTest::newRow("cupsenable exits 2") << QStringLiteral("cupsenable") << QStringLiteral("exit 2")
                                        << QStringLiteral("/cupsenable exit with 2") << QStringList{lpadmin, enable, remove};
    QTest::newRow("cupsaccept crashes") << QStringLiteral("cupsaccept") << QStringLiteral("kill -KILL $$")
                                        << QStringLiteral("/cupsaccept exit status CrashExit")
                                        << QStringList{lpadmin, enable, accept, remove};
}

// Every tool is a stand-in that records its call and passes it to the real
// tool, except the one under test.
void TestCupsInstall::toolFails()
{
    QFETCH(QString, tool);
    QFETCH(QString, body);
    QFETCH(QString, log);
    QFETCH(QStringList, calls);

    StandInTools tools;
    for (const QString& name : {QStringLiteral("lpadmin"), QStringLiteral("cupsenable"), QStringLiteral("cupsaccept")}) {
        if (name != tool)
            QVERIFY(tools.add(name, QStringLiteral("exec /usr/sbin/%1 \"$@\"").arg(name)));
        else if (!body.isEmpty())
            QVERIFY(tools.add(name, body));
    }
    cupstooldir::setDirForTesting(tools.path());

    const CupsLogCapture capture;
    QVERIFY(!CUPSClient::addPrinter(printer(QStringLiteral("Lab")), m_ppd));

    QVERIFY2(capture.contains(log), qPrintable(capture.lines().join(QLatin1Char('\n'))));
    for (QString& call : calls)
        call.replace(QStringLiteral("%1"), m_ppd);
    QCOMPARE(tools.calls(), calls);
    QVERIFY(!queueState(QStringLiteral("Lab@10.0.0.5:9100")).exists);
    QCOMPARE(capture.contains(QStringLiteral("Removing queue Lab@10.0.0.5:9100 because")),
             calls.contains(QStringLiteral("lpadmin -x Lab@10.0.0.5:9100")));
}

void TestCupsInstall::genericPpdOverload()
{
    StandInTools tools;
    for (const QString& name : {QStringLiteral("lpadmin"), QStringLiteral("cupsenable"), QStringLiteral("cupsaccept")})
        QVERIFY(tools.add(name, QStringLiteral("exit 0")));
    cupstooldir::setDirForTesting(tools.path());

    QVERIFY(CUPSClient::addPrinter(printer(QStringLiteral("Lab"))));
    QCOMPARE(tools.calls().value(0).section(QLatin1Char(' '), 6, 7),
             QStringLiteral("-P /usr/share/ppd/tqp/TQP.ppd"));
    QCOMPARE(tools.calls().size(), 3);
}

QTEST_GUILESS_MAIN(TestCupsInstall)
#include "tst_cups_install.moc"
