#include "cupsclient.h"
#include "cupsdestlist.h"
#include "cupstestsupport.h"
#include "queueurilist.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>
#include <QtTest>

namespace {

bool writeFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    return QDir().mkpath(QFileInfo(path).path()) && file.open(QIODevice::WriteOnly | QIODevice::Truncate)
           && file.write(content) == content.size();
}

// "name/instance device-uri" per destination, in list order.
QStringList describe(const CupsDestList& dests)
{
    QStringList lines;
    for (cups_dest_t& dest : dests) {
        const char* uri = cupsGetOption("device-uri", dest.num_options, dest.options);
        lines.append(QStringLiteral("%1/%2 %3").arg(QString::fromUtf8(dest.name), QString::fromUtf8(dest.instance),
                                                     uri ? QString::fromUtf8(uri) : QStringLiteral("(none)")));
    }
    return lines;
}

}  // namespace

// Queue names and the local destinations, read from a private cupsd.
class TestCupsQueries : public QObject
{
    Q_OBJECT

    QTemporaryDir m_serverRoot;
    const QString m_userLpoptions = QDir::homePath() + QStringLiteral("/.cups/lpoptions");
    const QUrl m_url{QStringLiteral("tqp://10.0.0.5:9100/x")};

private slots:
    // libcups reads CUPS_SERVERROOT once per thread: set it before its first use,
    // so the system lpoptions file is a private one.
    void initTestCase()
    {
        QVERIFY(m_serverRoot.isValid());
        qputenv("CUPS_SERVERROOT", QFile::encodeName(m_serverRoot.path()));
    }

    void init()
    {
        QVERIFY(writeFile(m_userLpoptions, {}));
        QVERIFY(writeFile(m_serverRoot.filePath(QStringLiteral("lpoptions")), {}));
        QVERIFY(removeAllQueues());
    }

    void encodesName_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("expected");

        const char* const rows[][3] = {
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
        };
        for (const auto& row : rows)
            QTest::newRow(row[0]) << QString::fromUtf8(row[1]) << QString::fromUtf8(row[2]);
        QTest::newRow("50 characters cut to 40") << QStringLiteral("1.2.3.4\\") + QString(50, QLatin1Char('s'))
                                                 << QString(40, QLatin1Char('s'));
        QTest::newRow("cut after dropping hyphens") << QString(45, QLatin1Char(' ')) + QStringLiteral("x") << QStringLiteral("x");
        QTest::newRow("surrogate pair not split") << QString(39, QLatin1Char('a')) + QStringLiteral("😀")
                                                  << QString(39, QLatin1Char('a'));
        // Room is kept for a suffix below cupsd's 128 bytes: 34 CJK characters are 102.
        QTest::newRow("cjk cut by bytes") << QString(40, QChar(0x6253)) << QString(34, QChar(0x6253));
        QTest::newRow("latin-1 within bytes") << QString(40, QChar(0xfc)) << QString(40, QChar(0xfc));
    }

    // And cupsd takes the name, with room for a "-" and ten-digit suffix.
    void encodesName()
    {
        QFETCH(QString, id);
        QFETCH(QString, expected);
        const QString name = printerNameEncode(id, m_url);
        QCOMPARE(name, expected + QStringLiteral("@10.0.0.5:9100"));
        QVERIFY(name.toUtf8().size() + 11 <= 127);
        QVERIFY(addQueue(name, m_url.toString()));
        QVERIFY(!queueState(name).isEmpty());
    }

    void lightQueryMatchesCupsGetDests_data()
    {
        QTest::addColumn<QByteArray>("lpoptions");
        QTest::addColumn<QByteArray>("system");

        // Each a user and a system lpoptions file.
        const char* const rows[][3] = {
            {"no lpoptions", "", ""},
            {"system and user", "Dest A@h:1/user\nDest b@h:1/both copies=3\n",
             "Dest a@H:1/sys device-uri=tqp://h:1/sys\nDest b@h:1/Both\nDest C@h:1\n"},
            {"spelling of first line", "Dest a@h:1/one\nDest A@H:1/two\nDest a@h:1/ONE\n", ""},
            {"options on queue and instance",
             "Dest a@h:1 media=A4\nDest a@h:1/one\nDest b@h:1/x copies=2\nDest b@h:1/y sides=two-sided-long-edge\n", ""},
            {"device-uri overridden",
             "Dest a@h:1/moved device-uri=tqp://h:1/elsewhere\nDest b@h:1 device-uri=tqp://h:1/b2\nDest b@h:1/late\n", ""},
            {"default line and case", "Default A@H:1/home\ndest b@h:1/lower\n", ""},
            {"unknown queues", "Dest nosuch/inst\nDest ghost@10.9.9.9:9100/x\nDest ghost@10.9.9.9:9100\n", ""},
            {"comments and junk", "# comment\n\nDest\nOption a@h:1 x=y\nDest a@h:1/c # tail\n", ""},
        };
        for (const auto& row : rows)
            QTest::newRow(row[0]) << QByteArray(row[1]) << QByteArray(row[2]);
    }

    void lightQueryMatchesCupsGetDests()
    {
        QFETCH(QByteArray, lpoptions);
        QFETCH(QByteArray, system);
        QVERIFY(addQueue(QStringLiteral("a@h:1"), QStringLiteral("tqp://h:1/a")));
        QVERIFY(addQueue(QStringLiteral("b@h:1"), QStringLiteral("tqp://h:1/b")));
        QVERIFY(addQueue(QStringLiteral("c@h:1"), QStringLiteral("tqp://h:1/a")));
        QVERIFY(lpadmin({QStringLiteral("-p"), QStringLiteral("a@h:1"), QStringLiteral("-c"), QStringLiteral("group")}));
        QVERIFY(writeFile(m_userLpoptions, lpoptions));
        QVERIFY(writeFile(m_serverRoot.filePath(QStringLiteral("lpoptions")), system));

        const QStringList reference = describe(CupsDestList::fromCupsGetDests());
        QVERIFY(reference.size() >= 4);
        QCOMPARE(describe(QueueUriList::fetch()), reference);
        // The names once per instance; the printers once per device URI.
        QStringList names;
        QMap<QString, cloudprint::Printer> printers;
        for (const QString& line : reference) {
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
};

QTEST_GUILESS_MAIN(TestCupsQueries)
#include "tst_cups_queries.moc"
