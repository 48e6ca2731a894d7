#include "cupsclient.h"
#include "cupstestsupport.h"

#include <QDateTime>
#include <QUrl>
#include <QtTest>

// Queue names derived from server printer IDs, checked against a private cupsd.
class TestCupsQueues : public QObject
{
    Q_OBJECT

private slots:
    void encodesName_data();
    void encodesName();
    void staysWithinCupsLimits_data();
    void staysWithinCupsLimits();
    void takenNameGetsSecondsSuffix_data();
    void takenNameGetsSecondsSuffix();
    void takenSuffixIsSkipped();

private:
    const QUrl m_url{QStringLiteral("tqp://10.0.0.5:9100/x")};
};

void TestCupsQueues::encodesName_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<QUrl>("url");
    QTest::addColumn<QString>("expected");

    const QString tail = QStringLiteral("@10.0.0.5:9100");
    QTest::newRow("ipv4 prefix") << QStringLiteral("192.168.1.20\\HP LaserJet (Color)") << m_url
                                 << QStringLiteral("HP-LaserJet--Color-") + tail;
    QTest::newRow("ipv4 and port prefix") << QStringLiteral("10.1.2.3:8080\\Lab") << m_url
                                          << QStringLiteral("Lab") + tail;
    QTest::newRow("text before address") << QStringLiteral("host 10.1.2.3\\Lab") << m_url
                                         << QStringLiteral("Lab") + tail;
    QTest::newRow("no prefix") << QStringLiteral("Office printer") << m_url
                               << QStringLiteral("Office-printer") + tail;
    // Used whole; the backslash is no character CUPS takes in a queue name.
    QTest::newRow("backslash without ipv4") << QStringLiteral("office\\Laser") << m_url
                                            << QStringLiteral("office-Laser") + tail;
    QTest::newRow("replaced characters")
        << QStringLiteral("a(b)c/d#e\tf\ng h\x01i") << m_url << QStringLiteral("a-b-c-d-e-f-g-h-i") + tail;
    QTest::newRow("quotes and question mark") << QStringLiteral("it's \"Q\"?") << m_url
                                              << QStringLiteral("it-s--Q--") + tail;
    QTest::newRow("delete character") << QStringLiteral("a\x7f" "b") << m_url
                                      << QStringLiteral("a-b") + tail;
    QTest::newRow("leading hyphens dropped") << QStringLiteral("192.168.1.20\\(Color) #2") << m_url
                                             << QStringLiteral("Color---2") + tail;
    QTest::newRow("50 characters cut to 40") << QStringLiteral("1.2.3.4\\") + QString(50, QLatin1Char('s'))
                                             << m_url << QString(40, QLatin1Char('s')) + tail;
    QTest::newRow("cut after replacement") << QString(45, QLatin1Char(' ')) + QStringLiteral("x") << m_url
                                           << QStringLiteral("x") + tail;
    QTest::newRow("non-ascii kept") << QStringLiteral("1.2.3.4\\Drucker Büro 打印机") << m_url
                                    << QStringLiteral("Drucker-Büro-打印机") + tail;
    QTest::newRow("surrogate pair not split")
        << QString(39, QLatin1Char('a')) + QStringLiteral("😀") << m_url
        << QString(39, QLatin1Char('a')) + tail;
    QTest::newRow("percent markers kept") << QStringLiteral("P%1%2") << m_url
                                          << QStringLiteral("P%1%2") + tail;
    QTest::newRow("url without port") << QStringLiteral("Lab") << QUrl(QStringLiteral("tqp://10.0.0.5/Lab"))
                                      << QStringLiteral("Lab@10.0.0.5:-1");
}

void TestCupsQueues::encodesName()
{
    QFETCH(QString, id);
    QFETCH(QUrl, url);
    QFETCH(QString, expected);
    QCOMPARE(printerNameEncode(id, url), expected);
}

void TestCupsQueues::staysWithinCupsLimits_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<int>("printerPartLength");

    // 40 CJK characters are 120 bytes; the name with host, port and room for a
    // suffix must stay below cupsd's 128 bytes.
    QTest::newRow("cjk") << QString(40, QChar(0x6253)) << 34;
    QTest::newRow("latin-1") << QString(40, QChar(0xfc)) << 40;
    QTest::newRow("emoji") << QStringLiteral("😀").repeated(30) << 40;
}

void TestCupsQueues::staysWithinCupsLimits()
{
    QFETCH(QString, id);
    QFETCH(int, printerPartLength);

    const QString name = printerNameEncode(id, m_url);
    QCOMPARE(name.indexOf(QLatin1Char('@')), printerPartLength);
    QVERIFY(name.toUtf8().size() + 11 <= 127);
    QVERIFY(id.startsWith(name.left(printerPartLength)));
    QVERIFY(runCupsTool(QStringLiteral("/usr/sbin/lpadmin"),
                        {QStringLiteral("-p"), name, QStringLiteral("-v"), m_url.toString()}));
    QVERIFY(queueState(name).exists);
}

void TestCupsQueues::takenNameGetsSecondsSuffix_data()
{
    QTest::addColumn<QString>("existing");

    QTest::newRow("same name") << QStringLiteral("Office-printer@10.0.0.5:9100");
    // CUPS names ignore case: lpadmin -p would rewrite this queue.
    QTest::newRow("other case") << QStringLiteral("office-PRINTER@10.0.0.5:9100");
}

void TestCupsQueues::takenNameGetsSecondsSuffix()
{
    QFETCH(QString, existing);
    QVERIFY(runCupsTool(QStringLiteral("/usr/sbin/lpadmin"),
                        {QStringLiteral("-p"), existing, QStringLiteral("-v"), m_url.toString()}));

    const qint64 before = QDateTime::currentSecsSinceEpoch();
    const QString name = printerNameEncode(QStringLiteral("Office printer"), m_url);
    const qint64 after = QDateTime::currentSecsSinceEpoch();

    const QString prefix = QStringLiteral("Office-printer@10.0.0.5:9100-");
    QVERIFY2(name.startsWith(prefix), qPrintable(name));
    bool number = false;
    const qint64 seconds = name.mid(prefix.size()).toLongLong(&number);
    QVERIFY(number);
    QVERIFY(seconds >= before && seconds <= after);

    QVERIFY(runCupsTool(QStringLiteral("/usr/sbin/lpadmin"), {QStringLiteral("-x"), existing}));
    QCOMPARE(printerNameEncode(QStringLiteral("Office printer"), m_url),
             QStringLiteral("Office-printer@10.0.0.5:9100"));
}

void TestCupsQueues::takenSuffixIsSkipped()
{
    const QString base = QStringLiteral("Lab@10.0.0.5:9100");
    const qint64 start = QDateTime::currentSecsSinceEpoch();
    QStringList taken{base};
    for (qint64 s = start; s < start + 10; ++s)
        taken.append(base + QLatin1Char('-') + QString::number(s));
    for (const QString& queue : taken) {
        QVERIFY(runCupsTool(QStringLiteral("/usr/sbin/lpadmin"),
                            {QStringLiteral("-p"), queue, QStringLiteral("-v"), m_url.toString()}));
    }
    QVERIFY(QDateTime::currentSecsSinceEpoch() < start + 10);
    QCOMPARE(printerNameEncode(QStringLiteral("Lab"), m_url),
             base + QLatin1Char('-') + QString::number(start + 10));
}

QTEST_GUILESS_MAIN(TestCupsQueues)
#include "tst_cups_queues.moc"
