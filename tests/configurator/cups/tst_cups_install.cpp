#include "cupsclient.h"
#include "cupstestsupport.h"
#include "cupstooldir.h"
#include "logcapture.h"

#include <QDateTime>
#include <QDir>
#include <QUuid>
#include <QtTest>

namespace {

const QStringList kTools = {QStringLiteral("lpadmin"), QStringLiteral("cupsenable"), QStringLiteral("cupsaccept")};

QString passOn(const QString& tool)
{
    return QStringLiteral("exec /usr/sbin/%1 \"$@\"").arg(tool);
}

}  // namespace

// Installing cloud printer queues on a private cupsd, with the real tools and
// with stand-ins that fail.
class TestCupsInstall : public QObject
{
    Q_OBJECT

    QString m_name;
    QString m_ppd;

private slots:
    void initTestCase()
    {
        m_name = QUuid::createUuid().toString(QUuid::WithoutBraces);
        m_ppd = CUPSClient::generatePpdByDrv(
            qEnvironmentVariable("QUORVIA_TEST_SOURCE_DIR") + QStringLiteral("/testing/cups/tqp-minimal.drv"), m_name);
        QVERIFY(!m_ppd.isEmpty());
    }

    void cleanupTestCase() { QDir(QStringLiteral("/tmp/") + m_name).removeRecursively(); }

    void cleanup()
    {
        cupstooldir::setDirForTesting(QStringLiteral("/usr/sbin"));
        QVERIFY(removeAllQueues());
    }

    void installsQueue_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("queue");

        QTest::newRow("quotes, # and brackets") << QStringLiteral("192.168.1.20\\Bob's \"big\" #1 (A3)")
                                                << QStringLiteral("Bob-s--big---1--A3-");
        QTest::newRow("non-ascii") << QStringLiteral("10.0.0.9\\Büro 打印机 😀") << QStringLiteral("Büro-打印机-😀");
        QTest::newRow("sub-delimiters") << QStringLiteral("a!$&*+,;=@~b") << QStringLiteral("a!$&*+,;=@~b");
    }

    void installsQueue()
    {
        QFETCH(QString, id);
        QFETCH(QString, queue);
        const cloudprint::Printer record = printerRecord(id);
        QVERIFY(CUPSClient::addPrinter(record, m_ppd));

        QCOMPARE(queueState(queue + QStringLiteral("@10.0.0.5:9100")),
                 QString::fromStdString(record.Addr) + QStringLiteral(" idle abort-job false true"));
        QVERIFY(queuePpd(queue + QStringLiteral("@10.0.0.5:9100")).contains("*ModelName: \"Quorvia TQP Cloud Printer\""));
        // The printer list page finds the installed printer by its Addr.
        QVERIFY(CUPSClient::listPrinter().contains(QString::fromStdString(record.Addr)));
    }

    // CUPS names ignore case, and lpadmin -p would rewrite a taken queue: the
    // second printer gets the first free seconds suffix.
    void takenNameGetsFreeSuffix()
    {
        const qint64 start = QDateTime::currentSecsSinceEpoch();
        QVERIFY(CUPSClient::addPrinter(printerRecord(QStringLiteral("10.0.0.9\\Lab")), m_ppd));
        for (int i = 0; i < 8; ++i)
            QVERIFY(addQueue(QStringLiteral("Lab@10.0.0.5:9100-%1").arg(start + i), QStringLiteral("tqp://h/x")));
        QVERIFY(CUPSClient::addPrinter(printerRecord(QStringLiteral("10.0.0.8\\lab")), m_ppd));
        QVERIFY(QDateTime::currentSecsSinceEpoch() < start + 8); // else the taken suffixes fell behind the clock

        QCOMPARE(queueState(QStringLiteral("Lab@10.0.0.5:9100")),
                 QStringLiteral("tqp://10.0.0.5:9100/10.0.0.9%5CLab idle abort-job false true"));
        QCOMPARE(queueState(QStringLiteral("lab@10.0.0.5:9100-%1").arg(start + 8)),
                 QStringLiteral("tqp://10.0.0.5:9100/10.0.0.8%5Clab idle abort-job false true"));
    }

    void toolFails_data()
    {
        QTest::addColumn<QString>("tool");
        QTest::addColumn<QString>("body"); // none: the tool is missing
        QTest::addColumn<QString>("log");  // %1: the stand-in directory
        QTest::addColumn<int>("run");      // how many of the three tools ran

        QTest::newRow("lpadmin missing") << QStringLiteral("lpadmin") << QString()
                                         << QStringLiteral("Start failed %1/lpadmin") << 0;
        QTest::newRow("lpadmin exits 1") << QStringLiteral("lpadmin") << QStringLiteral("echo 'no way' >&2; exit 1")
                                         << QStringLiteral("%1/lpadmin exit with 1 no way") << 1;
        QTest::newRow("cupsenable exits 2") << QStringLiteral("cupsenable") << QStringLiteral("exit 2")
                                            << QStringLiteral("%1/cupsenable exit with 2") << 2;
        QTest::newRow("cupsaccept crashes") << QStringLiteral("cupsaccept") << QStringLiteral("kill -KILL $$")
                                            << QStringLiteral("%1/cupsaccept exit status CrashExit") << 3;
    }

    // Every tool is a stand-in that records its call and passes it to the real
    // tool, except the one under test. A queue that cannot be enabled or does
    // not accept jobs is removed again.
    void toolFails()
    {
        QFETCH(QString, tool);
        QFETCH(QString, body);
        QFETCH(QString, log);
        QFETCH(int, run);

        StandInTools tools;
        for (const QString& name : kTools) {
            if (name != tool || !body.isEmpty())
                QVERIFY(tools.add(name, name == tool ? body : passOn(name)));
        }
        cupstooldir::setDirForTesting(tools.path());

        const LogCapture capture("quorvia.cups");
        QVERIFY(!CUPSClient::addPrinter(printerRecord(QStringLiteral("Lab")), m_ppd));
        QVERIFY(capture.contains(QtWarningMsg, log.arg(tools.path())));
        QStringList calls = QStringList{QStringLiteral("lpadmin -E -p Lab@10.0.0.5:9100 -v tqp://10.0.0.5:9100/Lab -P ") + m_ppd
                                            + QStringLiteral(" -o printer-is-shared=false -o printer-error-policy=abort-job"),
                                        QStringLiteral("cupsenable Lab@10.0.0.5:9100"),
                                        QStringLiteral("cupsaccept Lab@10.0.0.5:9100")}.mid(0, run);
        if (run > 1)
            calls << QStringLiteral("lpadmin -x Lab@10.0.0.5:9100");
        QCOMPARE(tools.calls(), calls);
        QVERIFY(queueState(QStringLiteral("Lab@10.0.0.5:9100")).isEmpty());
        QCOMPARE(capture.contains(QtWarningMsg, QStringLiteral("Removing queue Lab@10.0.0.5:9100 because")), run > 1);
    }

    void leftoverQueueRemovedLater_data()
    {
        QTest::addColumn<bool>("removedMeanwhile");

        QTest::newRow("still there") << false;
        QTest::newRow("removed meanwhile") << true;
    }

    // The half-made queue cannot be removed at once, as when cupsd stops
    // answering meanwhile; it is later, and only it.
    void leftoverQueueRemovedLater()
    {
        QFETCH(bool, removedMeanwhile);

        StandInTools tools;
        QVERIFY(tools.add(QStringLiteral("cupsenable"), QStringLiteral("exit 1")));
        QVERIFY(tools.add(QStringLiteral("lpadmin"), QStringLiteral("if [ \"$1\" = -x ] && [ ! -e \"$0.failed\" ]; then\n"
                                                                    "  touch \"$0.failed\"; exit 1\nfi\n")
                                                         + passOn(QStringLiteral("lpadmin"))));
        cupstooldir::setDirForTesting(tools.path());

        const QString queue = QStringLiteral("Lab@10.0.0.5:9100");
        QVERIFY(!CUPSClient::addPrinter(printerRecord(QStringLiteral("Lab")), m_ppd));
        QVERIFY(!queueState(queue).isEmpty());
        if (removedMeanwhile)
            QVERIFY(lpadmin({QStringLiteral("-x"), queue}));
        QVERIFY(addQueue(QStringLiteral("Other"), QStringLiteral("tqp://10.0.0.6:9100/Other")));

        CUPSClient::removeLeftoverQueues();
        QCOMPARE(CUPSClient::listPrinterName(), QStringList{QStringLiteral("Other")});
        // Gone either way, so it is not tried again.
        const int calls = tools.calls().size();
        CUPSClient::removeLeftoverQueues();
        QCOMPARE(tools.calls().size(), calls);
    }

    void genericPpdOverload()
    {
        StandInTools tools;
        for (const QString& name : kTools)
            QVERIFY(tools.add(name, QStringLiteral("exit 0")));
        cupstooldir::setDirForTesting(tools.path());

        QVERIFY(CUPSClient::addPrinter(printerRecord(QStringLiteral("Lab"))));
        QCOMPARE(tools.calls().value(0).section(QLatin1Char(' '), 6, 7), QStringLiteral("-P /usr/share/ppd/tqp/TQP.ppd"));
        QCOMPARE(tools.calls().size(), 3);
    }
};

QTEST_GUILESS_MAIN(TestCupsInstall)
#include "tst_cups_install.moc"
