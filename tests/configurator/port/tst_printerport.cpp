// The cloud port file and the port an address without one connects to.
#include "cloudprintclient.h"
#include "printerport.h"
#include "referenceserver.h"

#include <QSettings>
#include <QtTest>

using cloudprinttest::ReferenceServer;
using cloudprinttest::TestCertificates;

namespace {

// The fixed place of the file, spelled out once so a moved file is noticed.
QString portFile()
{
    return QDir::homePath() + QStringLiteral("/.config/quorvia/quorvia-cloud-print-configurator/portconfig.conf");
}

QByteArray fileContent()
{
    QFile file(portFile());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestPrinterPort : public QObject
{
    Q_OBJECT

private slots:
    void init() { QFile::remove(portFile()); }
    void storedValue_data();
    void storedValue();
    void setPort_data();
    void setPort();
    void addressWithoutPortUsesCloudPort();
};

void TestPrinterPort::storedValue_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<int>("cloudPort");
    QTest::addColumn<int>("inFile");

    QTest::newRow("first start creates the file") << QVariant() << 9100 << 9100;
    QTest::newRow("valid") << QVariant(20000) << 20000 << 20000;
    QTest::newRow("too large") << QVariant(70000) << 9100 << 70000;
    QTest::newRow("privileged") << QVariant(1024) << 9100 << 1024;
    QTest::newRow("text") << QVariant(QStringLiteral("abc")) << 9100 << 0;
}

void TestPrinterPort::storedValue()
{
    QFETCH(QVariant, stored);
    QFETCH(int, cloudPort);
    QFETCH(int, inFile);

    if (stored.isValid())
        QSettings(portFile(), QSettings::IniFormat).setValue(QStringLiteral("PrinterPorts/CloudPort"), stored);
    const QByteArray before = fileContent();
    printerport::ConfigPrinterPort();
    QCOMPARE(printerport::GetCloudPrintPort(), cloudPort);
    QCOMPARE(printerport::GetCloudPrintPortInFile(), inFile);
    // A missing file is created; an existing one is never repaired.
    QCOMPARE(fileContent(), stored.isValid() ? before : QByteArray("[PrinterPorts]\nCloudPort=9100\n"));
}

void TestPrinterPort::setPort_data()
{
    QTest::addColumn<int>("port");
    QTest::addColumn<bool>("written");

    QTest::newRow("1024") << 1024 << false;
    QTest::newRow("1025") << 1025 << true;
    QTest::newRow("65535") << 65535 << true;
    QTest::newRow("65536") << 65536 << false;
    QTest::newRow("negative") << -1 << false;
}

void TestPrinterPort::setPort()
{
    QFETCH(int, port);
    QFETCH(bool, written);

    printerport::ConfigPrinterPort();
    printerport::SetCloudPrintPort(port);
    QCOMPARE(printerport::GetCloudPrintPortInFile(), written ? port : 9100);
    // Takes effect at the next start only.
    QCOMPARE(printerport::GetCloudPrintPort(), 9100);
    printerport::ConfigPrinterPort();
    QCOMPARE(printerport::GetCloudPrintPort(), written ? port : 9100);
}

void TestPrinterPort::addressWithoutPortUsesCloudPort()
{
    TestCertificates certs;
    QVERIFY2(certs.ok(), qPrintable(certs.errorString()));
    CloudPrintRPCClient::setTrustedCaFileForTesting(certs.caFile());
    ReferenceServer server(certs);
    server.addPrinter(ReferenceServer::printer(QStringLiteral("p")));
    QVERIFY2(server.start(), qPrintable(server.errorString()));

    printerport::ConfigPrinterPort();
    printerport::SetCloudPrintPort(server.port());
    // Before the restart the address still goes to 9100, where nothing answers.
    QVERIFY(!CloudPrintRPCClient(QStringLiteral("tqp://127.0.0.1")).Verfiy(cloudprint::Auth()));

    printerport::ConfigPrinterPort();
    // The device URI names the port actually used.
    const std::vector<Printer> printers =
        CloudPrintRPCClient(QStringLiteral("tqp://127.0.0.1")).ListPrinter(cloudprint::Auth());
    QCOMPARE(printers.size(), size_t(1));
    QCOMPARE(QString::fromStdString(printers.front().Addr), server.url() + QStringLiteral("/p"));
}

QTEST_GUILESS_MAIN(TestPrinterPort)
#include "tst_printerport.moc"
