#include "config.h"
#include "configdialog.h"
#include "inputvalidators.h"
#include "lineedit.h"
#include "printerport.h"
#include "serveraddress.h"
#include "versionmatch.h"

#include <QDateTime>
#include <QFile>
#include <QPushButton>
#include <QTest>
#include <QValidator>

#include <memory>

// Inputs, pre-filling, address normalisation and the version rule of the
// connection page; nothing here talks to a server.
class TestConnectionPage : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { ConfiguratorWindow::setAgentPathForTesting(QString()); }
    void init() { QFile::remove(Config::filePath()); }

    void ipValidator_data();
    void ipValidator();
    void authcodeValidator_data();
    void authcodeValidator();
    void nextButton_data();
    void nextButton();
    void prefillsFromTheLastUsedServer();
    void addressNormalisation_data();
    void addressNormalisation();
    void versionRule_data();
    void versionRule();
};

namespace {

toolkit::LineEdit *field(const ConfiguratorWindow &window, const char *name)
{
    return window.findChild<toolkit::LineEdit *>(QLatin1String(name));
}

QPushButton *nextOf(const ConfiguratorWindow &window)
{
    return window.findChild<QPushButton *>(QStringLiteral("nextButton"));
}

} // namespace

void TestConnectionPage::ipValidator_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("state");

    QTest::newRow("zeros after the first") << "1.0.0.0" << int(QValidator::Acceptable);
    QTest::newRow("highest") << "255.255.255.255" << int(QValidator::Acceptable);
    QTest::newRow("prefix") << "1.2.3" << int(QValidator::Intermediate);
    QTest::newRow("trailing dot") << "10.0.0." << int(QValidator::Intermediate);
    QTest::newRow("first octet zero") << "0.1.2.3" << int(QValidator::Invalid);
    QTest::newRow("last octet too big") << "1.2.3.256" << int(QValidator::Invalid);
    QTest::newRow("leading zero") << "1.02.3.4" << int(QValidator::Invalid);
    QTest::newRow("five octets") << "1.2.3.4.5" << int(QValidator::Invalid);
    QTest::newRow("port") << "10.0.0.5:9100" << int(QValidator::Invalid);
    QTest::newRow("leading space") << " 10.0.0.5" << int(QValidator::Invalid);
}

void TestConnectionPage::ipValidator()
{
    QFETCH(QString, text);
    QFETCH(int, state);
    std::unique_ptr<QValidator> validator(createIpValidator(nullptr));
    int pos = 0;
    QCOMPARE(int(validator->validate(text, pos)), state);
    QCOMPARE(isIpv4Address(text), state == QValidator::Acceptable);
}

void TestConnectionPage::authcodeValidator_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("accepted");

    QTest::newRow("punctuation") << "a-b_c!@#$%" << true;
    QTest::newRow("tab") << "a\tb" << true;
    QTest::newRow("just below the ideographs") << QStringLiteral("\u4dff") << true;
    QTest::newRow("just above the ideographs") << QStringLiteral("\u9fa6") << true;
    QTest::newRow("after the compatibility block") << QStringLiteral("\ufa2e") << true;
    QTest::newRow("space") << "a b" << false;
    QTest::newRow("first ideograph") << QStringLiteral("x\u4e00") << false;
    QTest::newRow("last ideograph") << QStringLiteral("\u9fa5") << false;
    QTest::newRow("first compatibility ideograph") << QStringLiteral("\uf900") << false;
    QTest::newRow("last compatibility ideograph") << QStringLiteral("\ufa2d") << false;
}

void TestConnectionPage::authcodeValidator()
{
    QFETCH(QString, text);
    std::unique_ptr<QValidator> validator(createAuthcodeValidator(nullptr));
    int pos = 0;
    QTEST(validator->validate(text, pos) == QValidator::Acceptable, "accepted");
}

void TestConnectionPage::nextButton_data()
{
    QTest::addColumn<bool>("typed"); // through the validators, else set as raw text
    QTest::addColumn<QString>("ip");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<bool>("enabled");

    QTest::newRow("typed, valid") << true << "10.0.0.5" << "code" << "10.0.0.5" << true;
    QTest::newRow("typed 0.1.2.3 loses its zero") << true << "0.1.2.3" << "code" << "1.2.3" << false;
    QTest::newRow("typed 256 stops at 25") << true << "256.1.1.1" << "code" << "25.1.1.1" << true;
    QTest::newRow("typed letters are refused") << true << "a1b.2c.3.4" << "code" << "1.2.3.4" << true;
    QTest::newRow("no code") << false << "10.0.0.5" << "" << "10.0.0.5" << false;
    QTest::newRow("code of spaces") << false << "10.0.0.5" << "   " << "10.0.0.5" << false;
    QTest::newRow("incomplete address") << false << "10.0.0" << "code" << "10.0.0" << false;
    QTest::newRow("address with spaces around") << false << "  10.0.0.5 " << "code" << "  10.0.0.5 " << true;
}

void TestConnectionPage::nextButton()
{
    QFETCH(bool, typed);
    QFETCH(QString, ip);
    QFETCH(QString, code);

    ConfiguratorWindow window;
    // Enabled until the first edit.
    QVERIFY(nextOf(window)->isEnabled());
    if (typed) {
        QTest::keyClicks(field(window, "authCodeEdit"), code);
        QTest::keyClicks(field(window, "ipEdit"), ip);
    } else {
        // A change to each text, so that the handlers see the raw texts.
        field(window, "ipEdit")->setText(ip + QStringLiteral("x"));
        field(window, "ipEdit")->setText(ip);
        field(window, "authCodeEdit")->setText(code + QStringLiteral("x"));
        field(window, "authCodeEdit")->setText(code);
    }
    QTEST(field(window, "ipEdit")->text(), "shown");
    QTEST(nextOf(window)->isEnabled(), "enabled");
}

void TestConnectionPage::prefillsFromTheLastUsedServer()
{
    {
        const ConfiguratorWindow empty;
        QVERIFY(field(empty, "ipEdit")->text().isEmpty() && field(empty, "authCodeEdit")->text().isEmpty());
    }
    Config config;
    const QDateTime now = QDateTime::currentDateTime();
    config.servers.insert(QStringLiteral("tqp://10.0.0.5:9100"),
                          {QStringLiteral("s3cret"), QStringLiteral("tqp://10.0.0.5:9100"), now});
    config.servers.insert(QStringLiteral("tqp://10.0.0.9:9100"),
                          {QStringLiteral("older"), QStringLiteral("tqp://10.0.0.9:9100"), now.addDays(-1)});
    QVERIFY(config.save());
    const ConfiguratorWindow window;
    QCOMPARE(field(window, "ipEdit")->text(), QStringLiteral("10.0.0.5"));
    QCOMPARE(field(window, "authCodeEdit")->text(), QStringLiteral("s3cret"));
    QVERIFY(nextOf(window)->isEnabled());
}

void TestConnectionPage::addressNormalisation_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("formatted");
    QTest::addColumn<QString>("server");

    QTest::newRow("typed address") << "10.0.0.5" << "tqp://10.0.0.5:9100" << "tqp://10.0.0.5:9100";
    QTest::newRow("typed with port") << "10.0.0.5:9200" << "tqp://10.0.0.5:9200" << "tqp://10.0.0.5:9200";
    QTest::newRow("extra parts ignored") << "10.0.0.5:9200:7" << "tqp://10.0.0.5:9200" << "tqp://10.0.0.5:9200";
    QTest::newRow("saved URL") << "tqp://10.0.0.5:20000" << "tqp://10.0.0.5:20000" << "tqp://10.0.0.5:20000";
    QTest::newRow("saved URL without port") << "tqp://10.0.0.5" << "tqp://10.0.0.5:9100" << "tqp://10.0.0.5:9100";
    QTest::newRow("URL with extras") << "tqp://user@10.0.0.5:9300/path?q=1#f"
                                     << "tqp://user@10.0.0.5:9300/path?q=1#f" << "tqp://10.0.0.5:9300";
    QTest::newRow("empty port") << "10.0.0.5:" << "tqp://10.0.0.5" << "tqp://10.0.0.5";
}

void TestConnectionPage::addressNormalisation()
{
    QFETCH(QString, input);
    QCOMPARE(printerport::GetCloudPrintPort(), 9100);
    const QUrl url = formatAddress(input);
    QTEST(url.toString(), "formatted");
    QTEST(serverAddress(url).toString(), "server");
}

void TestConnectionPage::versionRule_data()
{
    QTest::addColumn<QString>("client");
    QTest::addColumn<QByteArray>("server");
    QTest::addColumn<int>("result");

    // This client (its version comes from the build) against the servers it must accept and refuse.
    QTest::newRow("1.2") << "5.3.6" << QByteArray("1.2") << int(VersionCompatible);
    QTest::newRow("1.2.9") << "5.3.6" << QByteArray("1.2.9") << int(VersionCompatible);
    QTest::newRow("1.3") << "5.3.6" << QByteArray("1.3") << int(ClientVersionTooLow);
    QTest::newRow("2.0") << "5.3.6" << QByteArray("2.0") << int(ClientVersionTooLow);
    QTest::newRow("0.5") << "5.3.6" << QByteArray("0.5") << int(ClientVersionTooHigh);
    QTest::newRow("1.1") << "5.3.6" << QByteArray("1.1") << int(VersionCompatible);
    QTest::newRow("0.0") << "5.3.6" << QByteArray("0.0") << int(VersionCompatible);
    // The pairing sums must not overflow for the largest numbers a server may send.
    QTest::newRow("largest major") << "5.3.6" << QByteArray("2147483647.0") << int(ClientVersionTooLow);
    QTest::newRow("largest minor") << "5.3.6" << QByteArray("1.2147483647") << int(ClientVersionTooLow);
    QTest::newRow("abc") << "5.3.6" << QByteArray("abc") << int(ServerVersionInvalid);
    QTest::newRow("x.y") << "5.3.6" << QByteArray("x.y") << int(VersionCompatible);
    QTest::newRow("empty") << "5.3.6" << QByteArray() << int(ServerVersionInvalid);
    QTest::newRow("same as client") << "5.3.6" << QByteArray("5.3.6") << int(ClientVersionTooLow);
    // The rule for other clients.
    QTest::newRow("old client") << "5.2" << QByteArray("9.9") << int(VersionCompatible);
    QTest::newRow("server minor behind") << "6.3" << QByteArray("2.1") << int(ClientVersionTooHigh);
    QTest::newRow("server major behind") << "7.3" << QByteArray("2.2") << int(ClientVersionTooHigh);
    QTest::newRow("one-part client") << "7" << QByteArray("1.2") << int(ClientVersionInvalid);
    QTest::newRow("empty beats client") << "7" << QByteArray() << int(ServerVersionInvalid);
}

void TestConnectionPage::versionRule()
{
    QFETCH(QString, client);
    QFETCH(QByteArray, server);
    QFETCH(int, result);

    QCOMPARE(isVersionMatch(client, server), result);
    if (client == QLatin1String("5.3.6")) {
        QCOMPARE(clientVersion(), client);
        setServerVersion(server);
        QCOMPARE(isVersionMatch(), result);
    }
}

QTEST_MAIN(TestConnectionPage)
#include "tst_connectionpage.moc"
