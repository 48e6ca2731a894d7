// The cloud port file: its place, the ports it takes and when they apply.
#include "printerport.h"

#include <QSettings>
#include <QtTest>

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

    void port_data()
    {
        QTest::addColumn<QVariant>("stored"); // in the file before the start
        QTest::addColumn<int>("set");         // then given to the setter, 0 for none
        QTest::addColumn<int>("used");        // the port in use after the start
        QTest::addColumn<int>("inFile");      // then in the file
        QTest::addColumn<int>("next");        // the port in use after the next start

        QTest::newRow("first start creates the file") << QVariant() << 0 << 9100 << 9100 << 9100;
        QTest::newRow("too large") << QVariant(70000) << 0 << 9100 << 70000 << 9100;
        QTest::newRow("set 1024") << QVariant() << 1024 << 9100 << 9100 << 9100;
        QTest::newRow("set 1025") << QVariant() << 1025 << 9100 << 1025 << 1025;
        QTest::newRow("set 65535") << QVariant() << 65535 << 9100 << 65535 << 65535;
        QTest::newRow("set 65536") << QVariant() << 65536 << 9100 << 9100 << 9100;
    }

    void port()
    {
        QFETCH(QVariant, stored);
        QFETCH(int, set);
        QFETCH(int, used);

        if (stored.isValid())
            QSettings(portFile(), QSettings::IniFormat).setValue(QStringLiteral("PrinterPorts/CloudPort"), stored);
        const QByteArray before = fileContent();
        printerport::ConfigPrinterPort();
        QCOMPARE(printerport::GetCloudPrintPort(), used);
        // A missing file is created; an existing one is never repaired.
        QCOMPARE(fileContent(), stored.isValid() ? before : QByteArray("[PrinterPorts]\nCloudPort=9100\n"));
        if (set)
            printerport::SetCloudPrintPort(set);
        QTEST(printerport::GetCloudPrintPortInFile(), "inFile");
        // A new port takes effect at the next start only.
        QCOMPARE(printerport::GetCloudPrintPort(), used);
        printerport::ConfigPrinterPort();
        QTEST(printerport::GetCloudPrintPort(), "next");
    }
};

QTEST_GUILESS_MAIN(TestPrinterPort)
#include "tst_printerport.moc"
