#include "cupsclient.h"
#include "cupstestsupport.h"
#include "cupstooldir.h"
#include "logcapture.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QUrl>
#include <QUuid>
#include <QtTest>

namespace {

// As the RPC session builds it: the ID percent-encoded except for
// unreserved characters, ":" and "/".
cloudprint::Printer printer(const QString& id)
{
    cloudprint::Printer record;
    record.ID = id.toStdString();
    record.Addr = "tqp://10.0.0.5:9100/" + QUrl::toPercentEncoding(id, ":/").toStdString();
    return record;
}

const QStringList kTools = {QStringLiteral("lpadmin"), QStringLiteral("cupsenable"), QStringLiteral("cupsaccept")};

}  // namespace

// Installing cloud printer queues on a private cupsd, with the real tools and
// with stand-ins that fail.
class TestCupsInstall : public QObject
{
    Q_OBJECT

    QString m_name;
    QString m_ppd;
    // The private cupsd once a test has stopped the one the run began with.
    QProcess m_cupsd;

    // Starts cupsd again on the same directories, as with-cupsd.sh does, and
    // waits until it answers.
    bool restartCupsd()
    {
        const QString dir = qEnvironmentVariable("QUORVIA_CUPSD_DIR");
        if (m_cupsd.state() != QProcess::NotRunning)
            m_cupsd.waitForFinished();
        m_cupsd.setProgram(QStringLiteral("/usr/sbin/cupsd"));
        m_cupsd.setArguments({QStringLiteral("-f"), QStringLiteral("-c"), dir + QStringLiteral("/conf/cupsd.conf"),
                              QStringLiteral("-s"), dir + QStringLiteral("/conf/cups-files.conf")});
        m_cupsd.setProcessChannelMode(QProcess::MergedChannels);
        m_cupsd.setStandardOutputFile(dir + QStringLiteral("/log/cupsd.out"), QIODevice::Append);
        m_cupsd.start();
        if (!m_cupsd.waitForStarted())
            return false;
        QFile pidFile(dir + QStringLiteral("/cupsd.pid"));
        if (!pidFile.open(QIODevice::WriteOnly) || pidFile.write(QByteArray::number(m_cupsd.processId()) + '\n') < 0)
            return false;
        pidFile.close();
        for (int i = 0; i < 200 && m_cupsd.state() == QProcess::Running; ++i) {
            QProcess lpstat;
            lpstat.start(QStringLiteral("/usr/bin/lpstat"), {QStringLiteral("-r")});
            if (lpstat.waitForFinished() && lpstat.readAllStandardOutput() == "scheduler is running\n")
                return true;
            QTest::qWait(50);
        }
        return false;
    }

private slots:
    void initTestCase()
    {
        m_name = QUuid::createUuid().toString(QUuid::WithoutBraces);
        m_ppd = CUPSClient::generatePpdByDrv(
            qEnvironmentVariable("QUORVIA_TEST_SOURCE_DIR") + QStringLiteral("/testing/cups/tqp-minimal.drv"), m_name);
        QVERIFY(!m_ppd.isEmpty());
    }

    void cleanupTestCase()
    {
        QDir(QStringLiteral("/tmp/") + m_name).removeRecursively();
        // with-cupsd.sh only knows the PID of the cupsd it started.
        if (m_cupsd.state() != QProcess::NotRunning) {
            m_cupsd.terminate();
            m_cupsd.waitForFinished();
        }
    }

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
        QTest::newRow("leading space") << QStringLiteral(" (Color)") << QStringLiteral("Color-");
        QTest::newRow("non-ascii") << QStringLiteral("10.0.0.9\\Büro 打印机 😀") << QStringLiteral("Büro-打印机-😀");
        QTest::newRow("sub-delimiters") << QStringLiteral("a!$&*+,;=@~b") << QStringLiteral("a!$&*+,;=@~b");
    }

    void installsQueue()
    {
        QFETCH(QString, id);
        QFETCH(QString, queue);
        const cloudprint::Printer record = printer(id);
        QVERIFY(CUPSClient::addPrinter(record, m_ppd));

        const QueueState state = queueState(queue + QStringLiteral("@10.0.0.5:9100"));
        QVERIFY2(state.exists, qPrintable(CUPSClient::listPrinterName().join(QLatin1Char('|'))));
        QCOMPARE(state.deviceUri, QString::fromStdString(record.Addr));
        QCOMPARE(state.shared, false);
        QCOMPARE(state.errorPolicy, QStringLiteral("abort-job"));
        QCOMPARE(state.state, 3);
        QCOMPARE(state.accepting, true);
        QVERIFY(queuePpd(queue + QStringLiteral("@10.0.0.5:9100")).contains("*ModelName: \"Quorvia TQP Cloud Printer\""));
        // The printer list page finds the installed printer by its Addr.
        QVERIFY(CUPSClient::listPrinter().contains(QString::fromStdString(record.Addr)));
    }

    // CUPS names ignore case: the second printer gets a queue of its own,
    // suffixed with the current seconds count.
    void takenNameIsNotRewritten()
    {
        QVERIFY(CUPSClient::addPrinter(printer(QStringLiteral("10.0.0.9\\Lab")), m_ppd));
        const qint64 before = QDateTime::currentSecsSinceEpoch();
        QVERIFY(CUPSClient::addPrinter(printer(QStringLiteral("10.0.0.8\\lab")), m_ppd));

        const QStringList queues = CUPSClient::listPrinterName();
        QCOMPARE(queues.size(), 2);
        QCOMPARE(queueState(QStringLiteral("Lab@10.0.0.5:9100")).deviceUri,
                 QStringLiteral("tqp://10.0.0.5:9100/10.0.0.9%5CLab"));
        QCOMPARE(queues.at(1).left(18), QStringLiteral("lab@10.0.0.5:9100-"));
        const qint64 seconds = queues.at(1).mid(18).toLongLong();
        QVERIFY2(seconds >= before && seconds <= QDateTime::currentSecsSinceEpoch(), qPrintable(queues.at(1)));
        QCOMPARE(queueState(queues.at(1)).deviceUri, QStringLiteral("tqp://10.0.0.5:9100/10.0.0.8%5Clab"));
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
                QVERIFY(tools.add(name, name == tool ? body : QStringLiteral("exec /usr/sbin/%1 \"$@\"").arg(name)));
        }
        cupstooldir::setDirForTesting(tools.path());

        const LogCapture capture("quorvia.cups");
        QVERIFY(!CUPSClient::addPrinter(printer(QStringLiteral("Lab")), m_ppd));
        QVERIFY(capture.contains(QtWarningMsg, log.arg(tools.path())));
        QStringList calls = QStringList{QStringLiteral("lpadmin -E -p Lab@10.0.0.5:9100 -v tqp://10.0.0.5:9100/Lab -P ") + m_ppd
                                            + QStringLiteral(" -o printer-is-shared=false -o printer-error-policy=abort-job"),
                                        QStringLiteral("cupsenable Lab@10.0.0.5:9100"),
                                        QStringLiteral("cupsaccept Lab@10.0.0.5:9100")}.mid(0, run);
        if (run > 1)
            calls << QStringLiteral("lpadmin -x Lab@10.0.0.5:9100");
        QCOMPARE(tools.calls(), calls);
        QVERIFY(!queueState(QStringLiteral("Lab@10.0.0.5:9100")).exists);
        QCOMPARE(capture.contains(QtWarningMsg, QStringLiteral("Removing queue Lab@10.0.0.5:9100 because")), run > 1);
    }

    void leftoverQueueRemovedOnceCupsdIsBack_data()
    {
        QTest::addColumn<bool>("removedMeanwhile");

        QTest::newRow("still there") << false;
        QTest::newRow("removed meanwhile") << true;
    }

    // cupsd stops between lpadmin and cupsenable, so the half-made queue
    // cannot be removed at once; it is once cupsd answers again, and only it.
    void leftoverQueueRemovedOnceCupsdIsBack()
    {
        QFETCH(bool, removedMeanwhile);

        StandInTools tools;
        for (const QString& name : {QStringLiteral("lpadmin"), QStringLiteral("cupsaccept")})
            QVERIFY(tools.add(name, QStringLiteral("exec /usr/sbin/%1 \"$@\"").arg(name)));
        QVERIFY(tools.add(QStringLiteral("cupsenable"),
                          QStringLiteral("pid=$(cat \"$QUORVIA_CUPSD_DIR/cupsd.pid\")\n"
                                         "kill -TERM \"$pid\"\n"
                                         "for i in $(seq 200); do\n"
                                         "  case $(awk '{print $3}' /proc/$pid/stat 2>/dev/null) in ''|Z) break;; esac\n"
                                         "  sleep 0.05\n"
                                         "done\n"
                                         "exec /usr/sbin/cupsenable \"$@\"")));
        cupstooldir::setDirForTesting(tools.path());

        const QString queue = QStringLiteral("Lab@10.0.0.5:9100");
        QVERIFY(!CUPSClient::addPrinter(printer(QStringLiteral("Lab")), m_ppd));
        QVERIFY(restartCupsd());
        QVERIFY(!queueState(queue).accepting && queueState(queue).exists);
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

        QVERIFY(CUPSClient::addPrinter(printer(QStringLiteral("Lab"))));
        QCOMPARE(tools.calls().value(0).section(QLatin1Char(' '), 6, 7), QStringLiteral("-P /usr/share/ppd/tqp/TQP.ppd"));
        QCOMPARE(tools.calls().size(), 3);
    }
};

QTEST_GUILESS_MAIN(TestCupsInstall)
#include "tst_cups_install.moc"
