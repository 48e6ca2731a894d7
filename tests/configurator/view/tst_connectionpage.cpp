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
    void initTestCase();
    void init();

    void ipValidator_data();
    void ipValidator();
    void typingAnAddress_data();
    void typingAnAddress();
    void authcodeValidator_data();
    void authcodeValidator();

    void nextFollowsBothFields_data();
    void nextFollowsBothFields();
    void prefillsFromTheLastUsedServer();
    void emptyConfigurationLeavesTheFieldsEmpty();

    void addressNormalisation_data();
    void addressNormalisation();
    void typedAddressGetsTheConfiguredCloudPort();

    void versionRule_data();
    void versionRule();
    void clientVersionComesFromTheBuild();

private:
    static std::unique_ptr<ConfiguratorWindow> newWindow();
};

void TestConnectionPage::initTestCase()
{
    ConfiguratorWindow::setAgentPathForTesting(QString());
}

void TestConnectionPage::init()
{
    QFile::remove(Config::filePath());
}

std::unique_ptr<ConfiguratorWindow> TestConnectionPage::newWindow()
{
    return std::make_unique<ConfiguratorWindow>();
}

void TestConnectionPage::ipValidator_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("state");
    QTest::addColumn<bool>("address");

    const int ok = QValidator::Acceptable;
    const int partial = QValidator::Intermediate;
    const int refused = QValidator::Invalid;
    QTest::newRow("typical") << "10.0.0.5" << ok << true;
    QTest::newRow("private") << "192.168.1.20" << ok << true;
    QTest::newRow("highest") << "255.255.255.255" << ok << true;
    QTest::newRow("zeros after the first") << "1.0.0.0" << ok << true;
    QTest::newRow("prefix") << "1.2.3" << partial << false;
    QTest::newRow("trailing dot") << "10.0.0." << partial << false;
    QTest::newRow("first octet zero") << "0.1.2.3" << refused << false;
    QTest::newRow("first octet too big") << "256.1.1.1" << refused << false;
    QTest::newRow("last octet too big") << "1.2.3.256" << refused << false;
    QTest::newRow("leading zero") << "1.02.3.4" << refused << false;
    QTest::newRow("five octets") << "1.2.3.4.5" << refused << false;
    QTest::newRow("letters") << "printer" << refused << false;
    QTest::newRow("port") << "10.0.0.5:9100" << refused << false;
    QTest::newRow("leading space") << " 10.0.0.5" << refused << false;
}

void TestConnectionPage::ipValidator()
{
    QFETCH(QString, text);
    QFETCH(int, state);
    QFETCH(bool, address);

    std::unique_ptr<QValidator> validator(createIpValidator(nullptr));
    int pos = 0;
    QCOMPARE(int(validator->validate(text, pos)), state);
    QCOMPARE(isIpv4Address(text), address);
}

void TestConnectionPage::typingAnAddress_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<bool>("nextEnabled");

    QTest::newRow("valid") << "10.0.0.5" << "10.0.0.5" << true;
    QTest::newRow("0.1.2.3 loses its zero") << "0.1.2.3" << "1.2.3" << false;
    QTest::newRow("256 stops at 25") << "256.1.1.1" << "25.1.1.1" << true;
    QTest::newRow("1.2.3 is typed but incomplete") << "1.2.3" << "1.2.3" << false;
    QTest::newRow("letters are refused") << "a1b.2c.3.4" << "1.2.3.4" << true;
}

void TestConnectionPage::typingAnAddress()
{
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(bool, nextEnabled);

    auto window = newWindow();
    auto *ip = window->findChild<toolkit::LineEdit *>(QStringLiteral("ipEdit"));
    auto *code = window->findChild<toolkit::LineEdit *>(QStringLiteral("authCodeEdit"));
    auto *next = window->findChild<QPushButton *>(QStringLiteral("nextButton"));
    QTest::keyClicks(code, QStringLiteral("code"));
    QTest::keyClicks(ip, typed);
    QCOMPARE(ip->text(), shown);
    QCOMPARE(next->isEnabled(), nextEnabled);
}

void TestConnectionPage::authcodeValidator_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("accepted");

    QTest::newRow("letters and digits") << "A1b2C3" << true;
    QTest::newRow("punctuation") << "a-b_c!@#$%" << true;
    QTest::newRow("empty") << "" << true;
    QTest::newRow("tab") << "a\tb" << true;
    QTest::newRow("latin accents") << QStringLiteral("caf\u00e9") << true;
    QTest::newRow("just below the ideographs") << QStringLiteral("\u4dff") << true;
    QTest::newRow("just above the ideographs") << QStringLiteral("\u9fa6") << true;
    QTest::newRow("after the compatibility block") << QStringLiteral("\ufa2e") << true;
    QTest::newRow("space") << "a b" << false;
    QTest::newRow("only spaces") << "   " << false;
    QTest::newRow("first ideograph") << QStringLiteral("x\u4e00") << false;
    QTest::newRow("last ideograph") << QStringLiteral("\u9fa5") << false;
    QTest::newRow("ideographs") << QStringLiteral("\u6253\u5370") << false;
    QTest::newRow("first compatibility ideograph") << QStringLiteral("\uf900") << false;
    QTest::newRow("last compatibility ideograph") << QStringLiteral("\ufa2d") << false;
}

void TestConnectionPage::authcodeValidator()
{
    QFETCH(QString, text);
    QFETCH(bool, accepted);

    std::unique_ptr<QValidator> validator(createAuthcodeValidator(nullptr));
    int pos = 0;
    QCOMPARE(validator->validate(text, pos) == QValidator::Acceptable, accepted);
}

void TestConnectionPage::nextFollowsBothFields_data()
{
    QTest::addColumn<QString>("ip");
    QTest::addColumn<QString>("code");
    QTest::addColumn<bool>("enabled");

    QTest::newRow("both") << "10.0.0.5" << "code" << true;
    QTest::newRow("no code") << "10.0.0.5" << "" << false;
    QTest::newRow("code of spaces") << "10.0.0.5" << "   " << false;
    QTest::newRow("incomplete address") << "10.0.0" << "code" << false;
    QTest::newRow("address with spaces around") << "  10.0.0.5 " << "code" << true;
    QTest::newRow("nothing") << "" << "" << false;
}

void TestConnectionPage::nextFollowsBothFields()
{
    QFETCH(QString, ip);
    QFETCH(QString, code);
    QFETCH(bool, enabled);

    auto window = newWindow();
    auto *next = window->findChild<QPushButton *>(QStringLiteral("nextButton"));
    // Enabled until the first edit.
    QVERIFY(next->isEnabled());
    // setText bypasses the validators, so the handlers see the raw texts.
    window->findChild<toolkit::LineEdit *>(QStringLiteral("ipEdit"))->setText(ip + QStringLiteral("x"));
    window->findChild<toolkit::LineEdit *>(QStringLiteral("ipEdit"))->setText(ip);
    window->findChild<toolkit::LineEdit *>(QStringLiteral("authCodeEdit"))->setText(code + QStringLiteral("x"));
    window->findChild<toolkit::LineEdit *>(QStringLiteral("authCodeEdit"))->setText(code);
    QCOMPARE(next->isEnabled(), enabled);
}

void TestConnectionPage::prefillsFromTheLastUsedServer()
{
    {
        Config config;
        const QDateTime now = QDateTime::currentDateTime();
        config.servers.insert(QStringLiteral("tqp://10.0.0.5:9100"),
                              {QStringLiteral("s3cret"), QStringLiteral("tqp://10.0.0.5:9100"), now});
        config.servers.insert(QStringLiteral("tqp://10.0.0.9:9100"),
                              {QStringLiteral("older"), QStringLiteral("tqp://10.0.0.9:9100"), now.addDays(-1)});
        QVERIFY(config.save());
    }
    auto window = newWindow();
    QCOMPARE(window->findChild<toolkit::LineEdit *>(QStringLiteral("ipEdit"))->text(), QStringLiteral("10.0.0.5"));
    QCOMPARE(window->findChild<toolkit::LineEdit *>(QStringLiteral("authCodeEdit"))->text(), QStringLiteral("s3cret"));
    QVERIFY(window->findChild<QPushButton *>(QStringLiteral("nextButton"))->isEnabled());
}

void TestConnectionPage::emptyConfigurationLeavesTheFieldsEmpty()
{
    auto window = newWindow();
    QVERIFY(window->findChild<toolkit::LineEdit *>(QStringLiteral("ipEdit"))->text().isEmpty());
    QVERIFY(window->findChild<toolkit::LineEdit *>(QStringLiteral("authCodeEdit"))->text().isEmpty());
    QVERIFY(window->findChild<QPushButton *>(QStringLiteral("nextButton"))->isEnabled());
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
    QFETCH(QString, formatted);
    QFETCH(QString, server);

    QCOMPARE(printerport::GetCloudPrintPort(), 9100);
    const QUrl url = formatAddress(input);
    QCOMPARE(url.toString(), formatted);
    QCOMPARE(serverAddress(url).toString(), server);
}

void TestConnectionPage::typedAddressGetsTheConfiguredCloudPort()
{
    printerport::ConfigPrinterPort();
    printerport::SetCloudPrintPort(20000);
    {
        // The window reads the port file when it is built.
        auto window = newWindow();
        QCOMPARE(serverAddress(formatAddress(QStringLiteral("10.0.0.5"))).toString(),
                 QStringLiteral("tqp://10.0.0.5:20000"));
    }
    printerport::SetCloudPrintPort(9100);
    printerport::ConfigPrinterPort();
    QCOMPARE(printerport::GetCloudPrintPort(), 9100);
}

void TestConnectionPage::versionRule_data()
{
    QTest::addColumn<QString>("client");
    QTest::addColumn<QByteArray>("server");
    QTest::addColumn<int>("result");

    // This client against the servers it must accept and refuse.
    QTest::newRow("1.2") << "5.3.6" << QByteArray("1.2") << int(VersionCompatible);
    QTest::newRow("1.2.9") << "5.3.6" << QByteArray("1.2.9") << int(VersionCompatible);
    QTest::newRow("1.3") << "5.3.6" << QByteArray("1.3") << int(ClientVersionTooLow);
    QTest::newRow("2.0") << "5.3.6" << QByteArray("2.0") << int(ClientVersionTooLow);
    QTest::newRow("0.5") << "5.3.6" << QByteArray("0.5") << int(ClientVersionTooHigh);
    QTest::newRow("1.1") << "5.3.6" << QByteArray("1.1") << int(VersionCompatible);
    QTest::newRow("0.0") << "5.3.6" << QByteArray("0.0") << int(VersionCompatible);
    QTest::newRow("abc") << "5.3.6" << QByteArray("abc") << int(ServerVersionInvalid);
    QTest::newRow("x.y") << "5.3.6" << QByteArray("x.y") << int(VersionCompatible);
    QTest::newRow("empty") << "5.3.6" << QByteArray() << int(ServerVersionInvalid);
    QTest::newRow("same as client") << "5.3.6" << QByteArray("5.3.6") << int(ClientVersionTooLow);

    // The rule for other clients.
    QTest::newRow("old client") << "5.2" << QByteArray("9.9") << int(VersionCompatible);
    QTest::newRow("pair") << "6.3" << QByteArray("2.2") << int(VersionCompatible);
    QTest::newRow("server minor behind") << "6.3" << QByteArray("2.1") << int(ClientVersionTooHigh);
    QTest::newRow("server minor ahead") << "6.3" << QByteArray("2.3") << int(ClientVersionTooLow);
    QTest::newRow("server major behind") << "7.3" << QByteArray("2.2") << int(ClientVersionTooHigh);
    QTest::newRow("one-part client") << "7" << QByteArray("1.2") << int(ClientVersionInvalid);
    QTest::newRow("empty client") << "" << QByteArray("1.2") << int(ClientVersionInvalid);
    QTest::newRow("empty beats client") << "7" << QByteArray() << int(ServerVersionInvalid);
}

void TestConnectionPage::versionRule()
{
    QFETCH(QString, client);
    QFETCH(QByteArray, server);
    QFETCH(int, result);

    QCOMPARE(isVersionMatch(client, server), result);
    if (client == clientVersion()) {
        setServerVersion(server);
        QCOMPARE(isVersionMatch(), result);
    }
}

void TestConnectionPage::clientVersionComesFromTheBuild()
{
    QCOMPARE(clientVersion(), QStringLiteral("5.3.6"));
}

QTEST_MAIN(TestConnectionPage)
#include "tst_connectionpage.moc"
