// The cloud port file and the port an address without one connects to.
#include "cloudprintclient.h"
#include "logcapture.h"
#include "printerport.h"
#include "referenceserver.h"
#include "testcertificates.h"

#include <QSettings>
#include <QtTest>

using cloudprinttest::LogCapture;
using cloudprinttest::ReferenceServer;
using cloudprinttest::TestCertificates;

namespace {

QString portFile()
{
    return QDir::homePath() + QStringLiteral("/.config/quorvia/quorvia-cloud-print-configurator/portconfig.conf");
}

QByteArray fileContent()
{
    QFile file(portFile());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writePortFile(const QByteArray &content)
{
    QDir().mkpath(QFileInfo(portFile()).absolutePath());
    QFile file(portFile());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return;
    file.write(content);
    file.flush();
    // QSettings keeps files cached by size and time stamp; give each rewrite
    // its own time stamp, as a later edit by hand would have.
    static int rewrites = 0;
    file.setFileTime(QDateTime::currentDateTime().addSecs(++rewrites), QFileDevice::FileModificationTime);
}

} // namespace

class TestPrinterPort : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void firstStartCreatesTheFile();
    void storedValue_data();
    void storedValue();
    void setPort_data();
    void setPort();
    void addressWithoutPortUsesCloudPort();
};

void TestPrinterPort::init()
{
    QFile::remove(portFile());
}

void TestPrinterPort::firstStartCreatesTheFile()
{
    QVERIFY(!QFile::exists(portFile()));
    printerport::ConfigPrinterPort();
    QVERIFY(QFile::exists(portFile()));
    QCOMPARE(printerport::GetCloudPrintPort(), 9100);
    QCOMPARE(printerport::GetCloudPrintPortInFile(), 9100);
    QSettings settings(portFile(), QSettings::IniFormat);
    QCOMPARE(settings.value(QStringLiteral("PrinterPorts/CloudPort")).toInt(), 9100);

    // An address without a port goes to 9100.
    LogCapture log;
    CloudPrintRPCClient client(QStringLiteral("tqp://127.0.0.1"));
    client.Connect();
    QVERIFY2(log.texts().join(QLatin1Char('\n')).contains(QStringLiteral("Port: 9100")),
             qPrintable(log.texts().join(QLatin1Char('\n'))));
}

void TestPrinterPort::storedValue_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("cloudPort");
    QTest::addColumn<int>("inFile");

    QTest::newRow("valid") << QByteArray("[PrinterPorts]\nCloudPort=20000\n") << 20000 << 20000;
    QTest::newRow("lowest valid") << QByteArray("[PrinterPorts]\nCloudPort=1025\n") << 1025 << 1025;
    QTest::newRow("highest valid") << QByteArray("[PrinterPorts]\nCloudPort=65535\n") << 65535 << 65535;
    QTest::newRow("too large") << QByteArray("[PrinterPorts]\nCloudPort=70000\n") << 9100 << 70000;
    QTest::newRow("privileged") << QByteArray("[PrinterPorts]\nCloudPort=1024\n") << 9100 << 1024;
    QTest::newRow("negative") << QByteArray("[PrinterPorts]\nCloudPort=-5\n") << 9100 << -5;
    QTest::newRow("text") << QByteArray("[PrinterPorts]\nCloudPort=abc\n") << 9100 << 0;
    QTest::newRow("missing key") << QByteArray("[PrinterPorts]\nOther=1\n") << 9100 << 0;
    QTest::newRow("empty file") << QByteArray() << 9100 << 0;
}

void TestPrinterPort::storedValue()
{
    QFETCH(QByteArray, content);
    QFETCH(int, cloudPort);
    QFETCH(int, inFile);

    writePortFile(content);
    printerport::ConfigPrinterPort();
    QCOMPARE(printerport::GetCloudPrintPort(), cloudPort);
    QCOMPARE(printerport::GetCloudPrintPortInFile(), inFile);
    // The file is not repaired.
    QCOMPARE(fileContent(), content);
}

void TestPrinterPort::setPort_data()
{
    QTest::addColumn<int>("port");
    QTest::addColumn<bool>("written");

    QTest::newRow("80") << 80 << false;
    QTest::newRow("1024") << 1024 << false;
    QTest::newRow("1025") << 1025 << true;
    QTest::newRow("20000") << 20000 << true;
    QTest::newRow("65535") << 65535 << true;
    QTest::newRow("65536") << 65536 << false;
    QTest::newRow("0") << 0 << false;
    QTest::newRow("negative") << -1 << false;
}

void TestPrinterPort::setPort()
{
    QFETCH(int, port);
    QFETCH(bool, written);

    printerport::ConfigPrinterPort();
    const QByteArray before = fileContent();
    printerport::SetCloudPrintPort(port);

    if (!written) {
        QCOMPARE(fileContent(), before);
        return;
    }
    QCOMPARE(printerport::GetCloudPrintPortInFile(), port);
    // Takes effect at the next start only.
    QCOMPARE(printerport::GetCloudPrintPort(), 9100);
    printerport::ConfigPrinterPort();
    QCOMPARE(printerport::GetCloudPrintPort(), port);
}

void TestPrinterPort::addressWithoutPortUsesCloudPort()
{
    TestCertificates certs;
    QVERIFY2(certs.ok(), qPrintable(certs.errorString()));
    ReferenceServer server(certs);
    QVERIFY2(server.start(), qPrintable(server.errorString()));
    CloudPrintRPCClient::setTrustedCaFileForTesting(certs.caFile());

    printerport::ConfigPrinterPort();
    printerport::SetCloudPrintPort(server.port());
    CloudPrintRPCClient before(QStringLiteral("tqp://127.0.0.1"));
    QVERIFY(!before.Verfiy(cloudprint::Auth()));

    printerport::ConfigPrinterPort();
    CloudPrintRPCClient after(QStringLiteral("tqp://127.0.0.1"));
    QVERIFY(after.Verfiy(cloudprint::Auth()));
    // The device URI names the port actually used.
    server.stop();
    server.addPrinter(ReferenceServer::printer(QStringLiteral("p")));
    QVERIFY2(server.start(), qPrintable(server.errorString()));
    printerport::SetCloudPrintPort(server.port());
    printerport::ConfigPrinterPort();
    CloudPrintRPCClient listing(QStringLiteral("tqp://127.0.0.1"));
    QCOMPARE(QString::fromStdString(listing.ListPrinter(cloudprint::Auth()).at(0).Addr),
             server.url() + QStringLiteral("/p"));
}

QTEST_GUILESS_MAIN(TestPrinterPort)
#include "tst_printerport.moc"
