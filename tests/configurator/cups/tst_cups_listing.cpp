#include "cupsclient.h"
#include "cupsdestlist.h"
#include "cupstestsupport.h"
#include "queueurilist.h"

#include <QDir>
#include <QFile>
#include <QtTest>

#include <algorithm>

// Reading the local destinations of a private cupsd by device URI.
class TestCupsListing : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void emptyServer();
    void sameDeviceUriGivesOneEntry();
    void instancesListedOncePerInstance();
    void lightQueryMatchesCupsGetDests_data();
    void lightQueryMatchesCupsGetDests();
    void unreachableServer();

private:
    static bool addQueue(const QString& name, const QString& uri);
    static bool writeUserLpoptions(const QByteArray& content);
    bool writeSystemLpoptions(const QByteArray& content);
    QTemporaryDir m_serverRoot;
    static QStringList describe(const CupsDestList& dests);
};

bool TestCupsListing::addQueue(const QString& name, const QString& uri)
{
    return runCupsTool(QStringLiteral("/usr/sbin/lpadmin"),
                       {QStringLiteral("-p"), name, QStringLiteral("-v"), uri});
}

bool TestCupsListing::writeUserLpoptions(const QByteArray& content)
{
    const QString dir = QDir::homePath() + QStringLiteral("/.cups");
    QFile file(dir + QStringLiteral("/lpoptions"));
    return QDir().mkpath(dir) && file.open(QIODevice::WriteOnly | QIODevice::Truncate)
           && file.write(content) == content.size();
}

bool TestCupsListing::writeSystemLpoptions(const QByteArray& content)
{
    QFile file(m_serverRoot.filePath(QStringLiteral("lpoptions")));
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(content) == content.size();
}

// "name/instance device-uri" per destination, in list order.
QStringList TestCupsListing::describe(const CupsDestList& dests)
{
    QStringList lines;
    for (cups_dest_t& dest : dests) {
        const char* uri = cupsGetOption("device-uri", dest.num_options, dest.options);
        lines.append(QStringLiteral("%1/%2 %3")
                         .arg(QString::fromUtf8(dest.name), QString::fromUtf8(dest.instance),
                              uri ? QString::fromUtf8(uri) : QStringLiteral("(none)")));
    }
    return lines;
}

// libcups reads CUPS_SERVERROOT once per thread: set it before its first use,
// so the system lpoptions file is a private one.
void TestCupsListing::initTestCase()
{
    QVERIFY(m_serverRoot.isValid());
    qputenv("CUPS_SERVERROOT", QFile::encodeName(m_serverRoot.path()));
}

void TestCupsListing::init()
{
    QVERIFY(writeUserLpoptions({}));
    QVERIFY(writeSystemLpoptions({}));
    for (const QString& name : CUPSClient::listPrinterName())
        runCupsTool(QStringLiteral("/usr/sbin/lpadmin"), {QStringLiteral("-x"), name});
    QVERIFY(CUPSClient::listPrinterName().isEmpty());
}

void TestCupsListing::emptyServer()
{
    QVERIFY(CUPSClient::listPrinter().isEmpty());
}

void TestCupsListing::sameDeviceUriGivesOneEntry()
{
    const QString shared = QStringLiteral("tqp://10.0.0.5:9100/192.168.1.20%5CHP%20LaserJet");
    const QString other = QStringLiteral("tqp://10.0.0.5:9100/Lab");
    QVERIFY(addQueue(QStringLiteral("First@10.0.0.5:9100"), shared));
    QVERIFY(addQueue(QStringLiteral("Second@10.0.0.5:9100"), shared));
    QVERIFY(addQueue(QStringLiteral("Lab@10.0.0.5:9100"), other));

    const QMap<QString, cloudprint::Printer> printers = CUPSClient::listPrinter();
    QCOMPARE(printers.keys(), QStringList({shared, other}));
    for (auto it = printers.cbegin(); it != printers.cend(); ++it) {
        QCOMPARE(QString::fromStdString(it.value().Addr), it.key());
        QVERIFY(it.value().ID.empty());
    }
    QCOMPARE(CUPSClient::listPrinterName().size(), 3);
}

void TestCupsListing::instancesListedOncePerInstance()
{
    QVERIFY(addQueue(QStringLiteral("Lab@10.0.0.5:9100"), QStringLiteral("tqp://10.0.0.5:9100/Lab")));
    QVERIFY(addQueue(QStringLiteral("Office@10.0.0.5:9100"), QStringLiteral("tqp://10.0.0.5:9100/Office")));
    QVERIFY(writeUserLpoptions("Dest Lab@10.0.0.5:9100/draft\nDest Lab@10.0.0.5:9100/photo media=A4\n"));

    QCOMPARE(CUPSClient::listPrinterName(),
             QStringList({QStringLiteral("Lab@10.0.0.5:9100"), QStringLiteral("Lab@10.0.0.5:9100"),
                          QStringLiteral("Lab@10.0.0.5:9100"), QStringLiteral("Office@10.0.0.5:9100")}));
    QCOMPARE(CUPSClient::listPrinter().keys(),
             QStringList({QStringLiteral("tqp://10.0.0.5:9100/Lab"),
                          QStringLiteral("tqp://10.0.0.5:9100/Office")}));
}

void TestCupsListing::lightQueryMatchesCupsGetDests_data()
{
    QTest::addColumn<QByteArray>("lpoptions");
    QTest::addColumn<QByteArray>("system");

    QTest::newRow("no lpoptions") << QByteArray() << QByteArray();
    QTest::newRow("system and user")
        << QByteArray("Dest A@h:1/user\nDest b@h:1/both copies=3\n")
        << QByteArray("Dest a@H:1/sys device-uri=tqp://h:1/sys\nDest b@h:1/Both\nDest C@h:1\n");
    QTest::newRow("spelling of first line") << QByteArray("Dest a@h:1/one\nDest A@H:1/two\nDest a@h:1/ONE\n")
                                            << QByteArray();
    QTest::newRow("instances") << QByteArray("Dest a@h:1/draft\nDest b@h:1/x copies=2\nDest b@h:1/y\n") << QByteArray();
    QTest::newRow("options on queue and instance")
        << QByteArray("Dest a@h:1 media=A4\nDest a@h:1/one\nDest b@h:1/two sides=two-sided-long-edge\n") << QByteArray();
    QTest::newRow("device-uri overridden")
        << QByteArray("Dest a@h:1/moved device-uri=tqp://h:1/elsewhere\nDest b@h:1 device-uri=tqp://h:1/b2\n"
                      "Dest b@h:1/late\n") << QByteArray();
    QTest::newRow("default line and case") << QByteArray("Default A@H:1/home\ndest b@h:1/lower\n") << QByteArray();
    QTest::newRow("unknown queues")
        << QByteArray("Dest nosuch/inst\nDest ghost@10.9.9.9:9100/x\nDest ghost@10.9.9.9:9100\n") << QByteArray();
    QTest::newRow("comments and junk")
        << QByteArray("# comment\n\nDest\nOption a@h:1 x=y\nDest a@h:1/c # tail\n") << QByteArray();
}

void TestCupsListing::lightQueryMatchesCupsGetDests()
{
    QFETCH(QByteArray, lpoptions);
    QFETCH(QByteArray, system);
    QVERIFY(addQueue(QStringLiteral("a@h:1"), QStringLiteral("tqp://h:1/a")));
    QVERIFY(addQueue(QStringLiteral("b@h:1"), QStringLiteral("tqp://h:1/b")));
    QVERIFY(addQueue(QStringLiteral("c@h:1"), QStringLiteral("tqp://h:1/a")));
    QVERIFY(runCupsTool(QStringLiteral("/usr/sbin/lpadmin"),
                        {QStringLiteral("-p"), QStringLiteral("a@h:1"), QStringLiteral("-c"),
                         QStringLiteral("group")}));
    QVERIFY(writeUserLpoptions(lpoptions));
    QVERIFY(writeSystemLpoptions(system));

    const QStringList reference = describe(CupsDestList::fromCupsGetDests());
    QVERIFY(reference.size() >= 4);
    QCOMPARE(describe(QueueUriList::fetch()), reference);
}

void TestCupsListing::unreachableServer()
{
    QVERIFY(addQueue(QStringLiteral("Lab@10.0.0.5:9100"), QStringLiteral("tqp://10.0.0.5:9100/Lab")));
    const QByteArray server = cupsServer();
    cupsSetServer("/nonexistent/cups.sock");
    const bool empty = CUPSClient::listPrinter().isEmpty() && CUPSClient::listPrinterName().isEmpty();
    const QString name = printerNameEncode(QStringLiteral("Lab"), QUrl(QStringLiteral("tqp://10.0.0.5:9100/Lab")));
    cupsSetServer(server.constData());
    QVERIFY(empty);
    QCOMPARE(name, QStringLiteral("Lab@10.0.0.5:9100"));
    QCOMPARE(CUPSClient::listPrinter().size(), 1);
}

QTEST_GUILESS_MAIN(TestCupsListing)
#include "tst_cups_listing.moc"
