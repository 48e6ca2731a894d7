// The CUPS client against a private cupsd: queue names, the local
// destinations, installing queues with the real tools and with stand-ins
// that fail, and compiling driver descriptions into PPDs with ppdc.
#include "cupsclient.h"
#include "cupsdestlist.h"
#include "cupstestsupport.h"
#include "cupstooldir.h"
#include "logcapture.h"
#include "queueurilist.h"

#include <QDir>
#include <QElapsedTimer>
#include <QUuid>
#include <QtTest>

#include <csignal>

namespace {

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return QDir().mkpath(QFileInfo(path).path()) && file.open(QIODevice::WriteOnly | QIODevice::Truncate)
           && file.write(content) == content.size();
}

// "name/instance device-uri" per destination, in list order.
QStringList describe(const CupsDestList &dests)
{
    QStringList lines;
    for (cups_dest_t &dest : dests) {
        const char *uri = cupsGetOption("device-uri", dest.num_options, dest.options);
        lines.append(QStringLiteral("%1/%2 %3")
                         .arg(QString::fromUtf8(dest.name), QString::fromUtf8(dest.instance),
                              uri ? QString::fromUtf8(uri) : QStringLiteral("(none)")));
    }
    return lines;
}

const QStringList kTools = {QStringLiteral("lpadmin"), QStringLiteral("cupsenable"), QStringLiteral("cupsaccept")};

QString passOn(const QString &tool)
{
    return QStringLiteral("exec /usr/sbin/%1 \"$@\"").arg(tool);
}

QByteArray sourceFile(const char *path)
{
    QFile file(qEnvironmentVariable("QUORVIA_TEST_SOURCE_DIR") + QLatin1String(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

const QString kFailed = QStringLiteral("ppdc complier failed because: ");

} // namespace

class TestCups : public QObject
{
    Q_OBJECT

    QTemporaryDir m_serverRoot;
    QTemporaryDir m_work;
    const QString m_userLpoptions = QDir::homePath() + QStringLiteral("/.cups/lpoptions");
    // The PPD the install cases use, compiled into /tmp/<m_ppdName>.
    const QString m_ppdName = QUuid::createUuid().toString(QUuid::WithoutBraces);
    QString m_ppd;
    // A fresh folder name per case for the ppdc cases.
    QString m_name;
    const QByteArray m_path = qgetenv("PATH");

private slots:
    // libcups reads CUPS_SERVERROOT once per thread: set it before its first use,
    // so the system lpoptions file is a private one.
    void initTestCase()
    {
        QVERIFY(m_serverRoot.isValid());
        qputenv("CUPS_SERVERROOT", QFile::encodeName(m_serverRoot.path()));
        m_ppd = CUPSClient::generatePpdByDrv(qEnvironmentVariable("QUORVIA_TEST_SOURCE_DIR")
                                                 + QStringLiteral("/testing/cups/tqp-minimal.drv"),
                                             m_ppdName);
        QVERIFY(!m_ppd.isEmpty());
    }

    void cleanupTestCase() { QDir(QStringLiteral("/tmp/") + m_ppdName).removeRecursively(); }

    void init()
    {
        m_name = QUuid::createUuid().toString(QUuid::WithoutBraces);
        QVERIFY(writeFile(m_userLpoptions, {}));
        QVERIFY(writeFile(m_serverRoot.filePath(QStringLiteral("lpoptions")), {}));
        QVERIFY(removeAllQueues());
    }

    void cleanup()
    {
        qputenv("PATH", m_path);
        QDir(QStringLiteral("/tmp/") + m_name).removeRecursively();
        cupstooldir::setDirForTesting(QStringLiteral("/usr/sbin"));
    }

    void installsQueue_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("expected");

        // clang-format off
        const char *const rows[][3] = {
            {"ipv4 prefix", "192.168.1.20\\HP LaserJet (Color)", "HP-LaserJet--Color-"},
            {"ipv4 and port prefix", "10.1.2.3:8080\\Lab", "Lab"},
            {"text before address", "host 10.1.2.3\\Lab", "Lab"},
            // Used whole; the backslash is no character CUPS takes in a queue name.
            {"backslash without ipv4", "office\\Laser", "office-Laser"},
            {"replaced characters", "a(b)c/d#e\tf\ng h\x01i", "a-b-c-d-e-f-g-h-i"},
            {"quotes, question mark, DEL", "it's \"Q\"?\x7f" "b", "it-s--Q---b"},
            // cupsenable and cupsaccept would take a leading "-" for an option.
            {"leading hyphens dropped", "192.168.1.20\\(Color) #2", "Color---2"},
            {"non-ascii kept", "1.2.3.4\\Drucker Büro 打印机", "Drucker-Büro-打印机"},
            {"percent markers kept", "P%1%2", "P%1%2"},
            // Kept as they are in the device URI too.
            {"sub-delimiters", "a!$&*+,;=@~b", "a!$&*+,;=@~b"},
        };
        for (const auto &row : rows)
            QTest::newRow(row[0]) << QString::fromUtf8(row[1]) << QString::fromUtf8(row[2]);
        QTest::newRow("50 characters cut to 40") << QStringLiteral("1.2.3.4\\") + QString(50, QLatin1Char('s'))
                                                 << QString(40, QLatin1Char('s'));
        QTest::newRow("cut after dropping hyphens") << QString(45, QLatin1Char(' ')) + QStringLiteral("x") << "x";
        QTest::newRow("surrogate pair not split") << QString(39, QLatin1Char('a')) + QStringLiteral("😀")
                                                  << QString(39, QLatin1Char('a'));
        // Room is kept for a suffix below cupsd's 128 bytes: 34 CJK characters are 102.
        QTest::newRow("cjk cut by bytes") << QString(40, QChar(0x6253)) << QString(34, QChar(0x6253));
        QTest::newRow("latin-1 within bytes") << QString(40, QChar(0xfc)) << QString(40, QChar(0xfc));
        // clang-format on
    }

    // The queue is installed under that name, with room for a "-" and ten-digit
    // suffix, unshared, enabled and accepting jobs.
    void installsQueue()
    {
        QFETCH(QString, id);
        QFETCH(QString, expected);
        const cloudprint::Printer record = printerRecord(id);
        const QString name = expected + QStringLiteral("@10.0.0.5:9100");
        QCOMPARE(printerNameEncode(id, QUrl(QStringLiteral("tqp://10.0.0.5:9100/x"))), name);
        QVERIFY(CUPSClient::addPrinter(record, m_ppd));
        QCOMPARE(queueState(name), QString::fromStdString(record.Addr) + QStringLiteral(" idle abort-job false true"));
    }

    void lightQueryMatchesCupsGetDests_data()
    {
        QTest::addColumn<QByteArray>("lpoptions");
        QTest::addColumn<QByteArray>("system");

        // Each a user and a system lpoptions file.
        const char *const rows[][3] = {
            {"no lpoptions", "", ""},
            {"system and user", "Dest A@h:1/user\nDest b@h:1/both copies=3\n",
             "Dest a@H:1/sys device-uri=tqp://h:1/sys\nDest b@h:1/Both\nDest C@h:1\n"},
            {"spelling of first line", "Dest a@h:1/one\nDest A@H:1/two\nDest a@h:1/ONE\n", ""},
            {"options on queue and instance",
             "Dest a@h:1 media=A4\nDest a@h:1/one\nDest b@h:1/x copies=2\nDest b@h:1/y sides=two-sided-long-edge\n",
             ""},
            {"device-uri overridden",
             "Dest a@h:1/moved device-uri=tqp://h:1/elsewhere\nDest b@h:1 device-uri=tqp://h:1/b2\nDest b@h:1/late\n",
             ""},
            {"default line and case", "Default A@H:1/home\ndest b@h:1/lower\n", ""},
            {"unknown queues", "Dest nosuch/inst\nDest ghost@10.9.9.9:9100/x\nDest ghost@10.9.9.9:9100\n", ""},
            {"comments and junk", "# comment\n\nDest\nOption a@h:1 x=y\nDest a@h:1/c # tail\n", ""},
        };
        for (const auto &row : rows)
            QTest::newRow(row[0]) << QByteArray(row[1]) << QByteArray(row[2]);
    }

    void lightQueryMatchesCupsGetDests()
    {
        QFETCH(QByteArray, lpoptions);
        QFETCH(QByteArray, system);
        QVERIFY(addQueue(QStringLiteral("a@h:1"), QStringLiteral("tqp://h:1/a")));
        QVERIFY(addQueue(QStringLiteral("b@h:1"), QStringLiteral("tqp://h:1/b")));
        QVERIFY(addQueue(QStringLiteral("c@h:1"), QStringLiteral("tqp://h:1/a")));
        QVERIFY(
            lpadmin({QStringLiteral("-p"), QStringLiteral("a@h:1"), QStringLiteral("-c"), QStringLiteral("group")}));
        QVERIFY(writeFile(m_userLpoptions, lpoptions));
        QVERIFY(writeFile(m_serverRoot.filePath(QStringLiteral("lpoptions")), system));

        const QStringList reference = describe(CupsDestList::fromCupsGetDests());
        QVERIFY(reference.size() >= 4);
        QCOMPARE(describe(QueueUriList::fetch()), reference);
        // The names once per instance; the printers once per device URI.
        QStringList names;
        QMap<QString, cloudprint::Printer> printers;
        for (const QString &line : reference) {
            names << line.section(QLatin1Char('/'), 0, 0);
            printers.insert(line.section(QLatin1Char(' '), 1), {});
        }
        QCOMPARE(CUPSClient::listPrinterName(), names);
        QCOMPARE(CUPSClient::listPrinter().keys(), printers.keys());
    }

    void unreachableServer()
    {
        // Taken, but the server does not say so.
        QVERIFY(addQueue(QStringLiteral("Lab@10.0.0.5:-1"), QStringLiteral("tqp://10.0.0.5/Lab")));
        const QByteArray server = cupsServer();
        cupsSetServer("/nonexistent/cups.sock");
        const bool empty = CUPSClient::listPrinter().isEmpty() && CUPSClient::listPrinterName().isEmpty();
        const QString name = printerNameEncode(QStringLiteral("Lab"), QUrl(QStringLiteral("tqp://10.0.0.5/Lab")));
        cupsSetServer(server.constData());
        QVERIFY(empty);
        QCOMPARE(name, QStringLiteral("Lab@10.0.0.5:-1"));
        QCOMPARE(CUPSClient::listPrinter().size(), 1);
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

        // clang-format off
        QTest::newRow("lpadmin missing") << "lpadmin" << QString() << "Start failed %1/lpadmin" << 0;
        QTest::newRow("lpadmin exits 1") << "lpadmin" << "echo 'no way' >&2; exit 1" << "%1/lpadmin exit with 1 no way" << 1;
        QTest::newRow("cupsenable exits 2") << "cupsenable" << "exit 2" << "%1/cupsenable exit with 2" << 2;
        QTest::newRow("cupsaccept crashes") << "cupsaccept" << "kill -KILL $$" << "%1/cupsaccept exit status CrashExit" << 3;
        // clang-format on
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
        for (const QString &name : kTools) {
            if (name != tool || !body.isEmpty())
                QVERIFY(tools.add(name, name == tool ? body : passOn(name)));
        }
        cupstooldir::setDirForTesting(tools.path());

        const LogCapture capture("quorvia.cups");
        QVERIFY(!CUPSClient::addPrinter(printerRecord(QStringLiteral("Lab")), m_ppd));
        QVERIFY(capture.contains(QtWarningMsg, log.arg(tools.path())));
        QStringList calls =
            QStringList{QStringLiteral("lpadmin -E -p Lab@10.0.0.5:9100 -v tqp://10.0.0.5:9100/Lab -P ") + m_ppd
                            + QStringLiteral(" -o printer-is-shared=false -o printer-error-policy=abort-job"),
                        QStringLiteral("cupsenable Lab@10.0.0.5:9100"), QStringLiteral("cupsaccept Lab@10.0.0.5:9100")}
                .mid(0, run);
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
        QVERIFY(
            tools.add(QStringLiteral("lpadmin"), QStringLiteral("if [ \"$1\" = -x ] && [ ! -e \"$0.failed\" ]; then\n"
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
        for (const QString &name : kTools)
            QVERIFY(tools.add(name, QStringLiteral("exit 0")));
        cupstooldir::setDirForTesting(tools.path());

        QVERIFY(CUPSClient::addPrinter(printerRecord(QStringLiteral("Lab"))));
        QCOMPARE(tools.calls().value(0).section(QLatin1Char(' '), 6, 7),
                 QStringLiteral("-P /usr/share/ppd/tqp/TQP.ppd"));
        QCOMPARE(tools.calls().size(), 3);
    }

    void generatesPpd_data()
    {
        QTest::addColumn<QByteArray>("drv");
        QTest::addColumn<QString>("standIn"); // none: no ppdc at all
        QTest::addColumn<QString>("log");     // none when the PPD comes out

        const QByteArray minimal = sourceFile("/testing/cups/tqp-minimal.drv");
        const QString real = QStringLiteral("exec /usr/bin/ppdc \"$@\"");
        // clang-format off
        QTest::newRow("minimal") << minimal << real << QString();
        QTest::newRow("packaged generic") << sourceFile("/configurator/cups/tqp-generic.drv") << real << QString();
        QTest::newRow("other PPD file name") << QByteArray(minimal).replace("\"TQP.ppd\"", "\"Other.ppd\"") << real
                                             << kFailed;
        QTest::newRow("unknown directive") << QByteArray(minimal).replace("*MediaSize A4", "*MediaSize A4\nBogus 12")
                                           << real << kFailed + QStringLiteral("ppdc: Unknown token \"Bogus\"");
        QTest::newRow("missing") << minimal << QString() << kFailed;
        QTest::newRow("exits with output on stderr") << minimal << "echo 'bad driver' >&2; exit 3"
                                                     << kFailed + QStringLiteral("bad driver");
        QTest::newRow("crashes") << minimal << "kill -SEGV $$" << kFailed;
        // Given up after 30 seconds and ended.
        QTest::newRow("hangs") << minimal << "echo $$ >\"${0%/*}/pid\"; echo 'still working' >&2; exec /bin/sleep 120"
                               << kFailed + QStringLiteral("still working");
        // clang-format on
    }

    void generatesPpd()
    {
        QFETCH(QByteArray, drv);
        QFETCH(QString, standIn);
        QFETCH(QString, log);
        StandInTools tools;
        QVERIFY(standIn.isEmpty() || tools.add(QStringLiteral("ppdc"), standIn));
        qputenv("PATH", QFile::encodeName(tools.path()));
        const QString drvFile = m_work.filePath(m_name + QStringLiteral(".drv"));
        QVERIFY(!drv.isEmpty() && writeFile(drvFile, drv));

        const LogCapture capture("quorvia.cups");
        QElapsedTimer timer;
        timer.start();
        const QString ppd = CUPSClient::generatePpdByDrv(drvFile, m_name);
        const qint64 elapsed = timer.elapsed();

        QCOMPARE(ppd, log.isEmpty() ? QStringLiteral("/tmp/%1/TQP.ppd").arg(m_name) : QString());
        // A failed run leaves no folder behind.
        QCOMPARE(QFileInfo::exists(QStringLiteral("/tmp/") + m_name), log.isEmpty());
        QFile file(ppd);
        if (log.isEmpty())
            QVERIFY(file.open(QIODevice::ReadOnly)
                    && file.readAll().contains("*ModelName: \"Quorvia TQP Cloud Printer\"")
                    && capture.lines().isEmpty());
        else
            QVERIFY(capture.contains(QtWarningMsg, log));
        const QString call = QStringLiteral("ppdc -d /tmp/%1 %2 -v").arg(m_name, drvFile);
        QCOMPARE(tools.calls(), standIn.isEmpty() ? QStringList() : QStringList(call));
        // Only the hanging stand-in writes its pid; it must be gone.
        QFile pid(tools.path() + QStringLiteral("/pid"));
        QVERIFY2((elapsed >= 29000) == pid.exists() && elapsed < 40000, qPrintable(QString::number(elapsed)));
        if (pid.open(QIODevice::ReadOnly))
            QCOMPARE(::kill(pid_t(pid.readAll().trimmed().toInt()), 0), -1);
    }
};

QTEST_GUILESS_MAIN(TestCups)
#include "tst_cups.moc"
