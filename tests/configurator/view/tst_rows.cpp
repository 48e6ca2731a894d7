// Printer rows on their own: state and connection texts, dots, search keys,
// switching between installed and not installed, the printer manager start
// and the life of the rows' worker threads.
#include "printerwidget.h"

#include "iconbutton.h"
#include "rowprobe.h"
#include "spinner.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

class RowsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void stateText_data();
    void stateText();
    void polledJobCount();
    void connectionText_data();
    void connectionText();
    void searchKeys_data();
    void searchKeys();
    void switchesBetweenAddedAndNotAdded();
    void managerStartsForInstalledRow();
    void threadsFollowRowLife();
};

void RowsTest::initTestCase()
{
    initRowResources();
}

void RowsTest::stateText_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("attributes");
    QTest::addColumn<int>("jobs");
    QTest::addColumn<QString>("text");
    QTest::addColumn<DotColour>("dot");

    QTest::newRow("idle") << 0 << 0 << 0 << "Printer is idle" << DotColour::Green;
    QTest::newRow("two jobs") << 0 << 0 << 2 << "2 print jobs are being processed" << DotColour::Red;
    QTest::newRow("offline attribute with jobs") << 0 << 0x400 << 2 << "Printer is offline" << DotColour::Grey;
    QTest::newRow("offline status with jobs") << 0x80 << 0 << 5 << "Printer is offline" << DotColour::Grey;
    QTest::newRow("other attributes") << 0 << 0x240 << 0 << "Printer is idle" << DotColour::Green;
    QTest::newRow("error status is not offline") << 0x2 << 0 << 0 << "Printer is idle" << DotColour::Green;
    QTest::newRow("error status with jobs") << 0x8 << 0 << 1 << "1 print jobs are being processed" << DotColour::Red;
}

void RowsTest::stateText()
{
    QFETCH(int, status);
    QFETCH(int, attributes);
    QFETCH(int, jobs);
    QFETCH(QString, text);
    QFETCH(DotColour, dot);

    Printer printer = makePrinter(QStringLiteral("192.168.1.20\\HP LaserJet"));
    printer.Status = status;
    printer.Attributes = attributes;
    printer.cJobs = jobs;
    PrinterWidget row(printer, false);

    QCOMPARE(RowProbe(row).statusText(), text);
    QCOMPARE(RowProbe(row).dotColour(), dot);

    // The page's rule for polled records gives the row the same look.
    PrinterWidget other(printer, false);
    other.setStatusLabel(Printer::Offline);
    other.setStatusLabel(printerRowStatus(printer));
    QCOMPARE(RowProbe(other).statusText(), text);
    QCOMPARE(RowProbe(other).dotColour(), dot);
}

void RowsTest::polledJobCount()
{
    Printer printer = makePrinter(QStringLiteral("Office printer"));
    PrinterWidget row(printer, false);
    QCOMPARE(RowProbe(row).statusText(), QStringLiteral("Printer is idle"));

    row.setStatusLabel(Printer::Busy, 3);
    QCOMPARE(RowProbe(row).statusText(), QStringLiteral("3 print jobs are being processed"));
    QCOMPARE(RowProbe(row).dotColour(), DotColour::Red);

    row.setStatusLabel(Printer::Error, 1);
    QCOMPARE(RowProbe(row).statusText(), QStringLiteral("1 print jobs are being processed"));

    row.setStatusLabel(Printer::Idle, 0);
    QCOMPARE(RowProbe(row).statusText(), QStringLiteral("Printer is idle"));
    QCOMPARE(RowProbe(row).dotColour(), DotColour::Green);
}

void RowsTest::connectionText_data()
{
    QTest::addColumn<QString>("portName");
    QTest::addColumn<QString>("text");

    QTest::newRow("IPv4") << "192.168.1.20" << "Internet connection:192.168.1.20";
    QTest::newRow("IPv6") << "fe80::1" << "Internet connection:fe80::1";
    QTest::newRow("USB") << "USB001" << "Local connection";
    QTest::newRow("prefixed address") << "IP_192.168.1.20" << "Local connection";
    QTest::newRow("empty") << "" << "Local connection";
}

void RowsTest::connectionText()
{
    QFETCH(QString, portName);
    QFETCH(QString, text);

    Printer printer = makePrinter(QStringLiteral("Office printer"));
    printer.PortName = portName.toStdString();
    PrinterWidget row(printer, false);
    QCOMPARE(RowProbe(row).connectionText(), text);
}

void RowsTest::searchKeys_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("portName");
    QTest::addColumn<QString>("search");
    QTest::addColumn<bool>("byName");
    QTest::addColumn<bool>("byAddress");

    QTest::newRow("letters any case") << "192.168.1.20\\HP LaserJet" << "192.168.1.20" << "hp" << true << false;
    QTest::newRow("letters absent") << "192.168.1.20\\Canon" << "192.168.1.20" << "hp" << false << false;
    QTest::newRow("exact address") << "Canon" << "192.168.1.20" << "192.168.1.20" << false << true;
    QTest::newRow("address in the name only") << "192.168.1.20\\Canon" << "USB001" << "192.168.1.20" << true
                                              << false;
    QTest::newRow("address prefix") << "Canon" << "192.168.1.200" << "192.168.1.20" << false << false;
    QTest::newRow("non-ASCII name") << "Büro Drucker" << "" << "bÜro" << true << false;
}

void RowsTest::searchKeys()
{
    QFETCH(QString, id);
    QFETCH(QString, portName);
    QFETCH(QString, search);
    QFETCH(bool, byName);
    QFETCH(bool, byAddress);

    Printer printer = makePrinter(id);
    printer.PortName = portName.toStdString();
    const PrinterWidget row(printer, false);
    QCOMPARE(row.containsName(search), byName);
    QCOMPARE(row.isSameIpAddress(search), byAddress);
    QCOMPARE(RowProbe(row).nameText(), id);
}

void RowsTest::switchesBetweenAddedAndNotAdded()
{
    Printer printer = makePrinter(QStringLiteral("192.168.1.20\\HP LaserJet"));
    QCOMPARE(PrinterWidget(printer, false).getAddr(),
             QStringLiteral("tqp://10.0.0.5:9100/192.168.1.20%5CHP%20LaserJet"));

    PrinterWidget row(printer, true);
    row.show();
    RowProbe probe(row);
    QVERIFY(probe.isAdded());
    QVERIFY(probe.hasCheckMark());
    QCOMPARE(row.size(), QSize(640, 74));

    row.setPrinterStatus(false);
    QVERIFY(!probe.isAdded());
    QVERIFY(!probe.hasCheckMark());
    QVERIFY(!probe.icon().isNull());

    row.setPrinterStatus(true);
    QVERIFY(probe.isAdded());
    QVERIFY(probe.hasCheckMark());

    // A refresh does not touch a running installation's spinner.
    probe.spinner()->show();
    probe.button()->hide();
    row.setPrinterStatus(false);
    QVERIFY(probe.spinner()->isVisible());
    QVERIFY(!probe.button()->isVisible());
}

void RowsTest::managerStartsForInstalledRow()
{
    // A stand-in printer manager on the search path records its start.
    QTemporaryDir bin;
    QVERIFY(bin.isValid());
    const QString marker = bin.filePath(QStringLiteral("started"));
    QFile manager(bin.filePath(QStringLiteral("vesk-printer")));
    QVERIFY(manager.open(QIODevice::WriteOnly));
    manager.write(QStringLiteral("#!/bin/sh\necho \"$#\" >'%1'\n").arg(marker).toUtf8());
    manager.close();
    QVERIFY(manager.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(bin.path()) + ':' + path);

    Printer printer = makePrinter(QStringLiteral("Office printer"));
    PrinterWidget row(printer, false);
    row.show();
    const int threads = threadCount();
    row.setPrinterStatus(true);
    QTest::mouseClick(RowProbe(row).button(), Qt::LeftButton);
    QTRY_VERIFY(QFile::exists(marker));
    qputenv("PATH", path);

    QFile started(marker);
    QVERIFY(started.open(QIODevice::ReadOnly));
    QCOMPARE(started.readAll().trimmed(), QByteArray("0")); // no arguments
    // Opening the manager is not an installation: no worker thread appears.
    QCOMPARE(threadCount(), threads);
}

void RowsTest::threadsFollowRowLife()
{
    const int threads = threadCount();
    std::vector<std::unique_ptr<PrinterWidget>> rows;
    for (int i = 0; i < 20; ++i) {
        Printer printer = makePrinter(QStringLiteral("Printer %1").arg(i));
        rows.push_back(std::make_unique<PrinterWidget>(printer, false));
    }
    // Idle rows hold no thread of their own.
    QCOMPARE(threadCount(), threads);

    // Each installation attempt starts its row's thread (the configuration
    // store is empty, so the attempt fails at once).
    for (int i = 0; i < 3; ++i) {
        rows[i]->show();
        QTest::mouseClick(RowProbe(*rows[i]).button(), Qt::LeftButton);
    }
    QCOMPARE(threadCount(), threads + 3);
    for (int i = 0; i < 3; ++i)
        QTRY_VERIFY(RowProbe(*rows[i]).button()->isVisible());

    // A second attempt of the same row reuses its thread.
    QTest::mouseClick(RowProbe(*rows[0]).button(), Qt::LeftButton);
    QTRY_VERIFY(RowProbe(*rows[0]).button()->isVisible());
    QCOMPARE(threadCount(), threads + 3);

    rows.clear();
    // wait() returns as the thread finishes; the kernel lets it go a moment later.
    QTRY_COMPARE(threadCount(), threads);
}

QTEST_MAIN(RowsTest)
#include "tst_rows.moc"
