// The TLS peer check: which server certificates a client accepts, with the
// log lines of each stage, and the access manager's name comparison itself.
#include "cloudprintaccessmanager.h"
#include "cloudprintclient.h"
#include "logcapture.h"
#include "referenceserver.h"
#include "testcertificates.h"

#include "buildconfig.h"

#include <QtTest>

using apache::thrift::transport::AccessManager;
using cloudprinttest::LogCapture;
using cloudprinttest::ReferenceServer;
using cloudprinttest::TestCertificates;

Q_DECLARE_METATYPE(TestCertificates::Server)

class TestPeerCheck : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void serverCertificates_data();
    void serverCertificates();
    void missingCaFile();
    void nameComparison_data();
    void nameComparison();
    void addressesAreLeftToNames();

private:
    std::unique_ptr<TestCertificates> m_certs;
};

void TestPeerCheck::initTestCase()
{
    m_certs = std::make_unique<TestCertificates>();
    QVERIFY2(m_certs->ok(), qPrintable(m_certs->errorString()));
}

void TestPeerCheck::serverCertificates_data()
{
    QTest::addColumn<TestCertificates::Server>("certificate");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("stageLog");

    QTest::newRow("vendor domain") << TestCertificates::VendorDomain << true << "v2 stage";
    QTest::newRow("vendor domain as common name only") << TestCertificates::CommonNameOnly << true << "v2 stage";
    QTest::newRow("another domain") << TestCertificates::OtherName << false << "v2 stage";
    QTest::newRow("IP address first") << TestCertificates::IpAddressFirst << false << "v3 stage";
    QTest::newRow("embedded NUL in the name") << TestCertificates::EmbeddedNul << false << "v2 stage";
    QTest::newRow("expired") << TestCertificates::Expired << false << QString();
    QTest::newRow("untrusted CA") << TestCertificates::UntrustedCa << false << QString();
}

void TestPeerCheck::serverCertificates()
{
    QFETCH(TestCertificates::Server, certificate);
    QFETCH(bool, accepted);
    QFETCH(QString, stageLog);

    ReferenceServer server(*m_certs, certificate);
    QVERIFY2(server.start(), qPrintable(server.errorString()));
    CloudPrintRPCClient::setTrustedCaFileForTesting(m_certs->caFile());

    LogCapture log;
    CloudPrintRPCClient client(server.url());
    cloudprint::Auth auth;
    QCOMPARE(client.Verfiy(auth), accepted);

    const QString all = log.texts().join(QLatin1Char('\n'));
    const int failure = log.indexOf(QStringLiteral("Verfiy Exception"));
    QCOMPARE(failure >= 0, !accepted);
    if (stageLog.isEmpty()) {
        // Refused by the chain check before any name is looked at.
        QVERIFY2(!log.contains(QStringLiteral("v2 stage")) && !log.contains(QStringLiteral("v3 stage")),
                 qPrintable(all));
    } else {
        const int stage = log.indexOf(stageLog);
        QVERIFY2(stage >= 0, qPrintable(all));
        QVERIFY2(accepted || stage < failure, qPrintable(all));
        QCOMPARE(log.entries().at(stage).type, stageLog == QLatin1String("v3 stage") ? QtWarningMsg : QtInfoMsg);
    }
}

void TestPeerCheck::missingCaFile()
{
    ReferenceServer server(*m_certs);
    QVERIFY2(server.start(), qPrintable(server.errorString()));
    CloudPrintRPCClient::setTrustedCaFileForTesting(m_certs->directory() + QStringLiteral("/no-such-CA.pem"));

    LogCapture log;
    CloudPrintRPCClient client(server.url());
    QVERIFY(log.hasType(QStringLiteral("CA.pem not exist"), QtCriticalMsg));
    // Opening exchanges no certificate; every RPC fails the check.
    QVERIFY(client.Connect());
    QVERIFY(!client.Verfiy(cloudprint::Auth()));
    QVERIFY(log.contains(QStringLiteral("Verfiy Exception")));
    QCOMPARE(client.GetServerVersion(cloudprint::Auth()), std::string());
    CloudPrintRPCClient::setTrustedCaFileForTesting(m_certs->caFile());
}

void TestPeerCheck::nameComparison_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("decision");

    const QByteArray domain(QUORVIA_VENDOR_DOMAIN);
    QTest::newRow("exact") << domain << domain.size() << int(AccessManager::ALLOW);
    QTest::newRow("other case") << domain.toUpper() << domain.size() << int(AccessManager::DENY);
    QTest::newRow("prefix only") << domain << domain.size() - 1 << int(AccessManager::DENY);
    QTest::newRow("longer") << domain + ".evil" << domain.size() + 5 << int(AccessManager::DENY);
    const QByteArray withNul = domain + QByteArray(1, '\0') + ".evil";
    QTest::newRow("embedded NUL") << withNul << withNul.size() << int(AccessManager::DENY);
    QTest::newRow("wildcard") << QByteArray("*.") + domain.mid(domain.indexOf('.') + 1)
                              << int(domain.size() - domain.indexOf('.') + 1) << int(AccessManager::DENY);
    QTest::newRow("empty") << QByteArray() << 0 << int(AccessManager::DENY);
    QTest::newRow("conversion failed") << QByteArray() << -1 << int(AccessManager::DENY);
}

void TestPeerCheck::nameComparison()
{
    QFETCH(QByteArray, name);
    QFETCH(int, size);
    QFETCH(int, decision);

    LogCapture log;
    CloudPrintAccessManager manager;
    const char *data = size < 0 ? nullptr : name.constData();
    QCOMPARE(int(manager.verify(std::string("10.0.0.5"), data, size)), decision);
    QVERIFY(log.hasType(QStringLiteral("v2 stage"), QtInfoMsg));
}

void TestPeerCheck::addressesAreLeftToNames()
{
    LogCapture log;
    CloudPrintAccessManager manager;
    sockaddr_storage address{};
    QCOMPARE(manager.verify(address), AccessManager::SKIP);
    const char ip[4] = {127, 0, 0, 1};
    QCOMPARE(manager.verify(address, ip, 4), AccessManager::DENY);
    QVERIFY(log.hasType(QStringLiteral("v3 stage"), QtWarningMsg));
}

QTEST_GUILESS_MAIN(TestPeerCheck)
#include "tst_peercheck.moc"
