// Printer rows and the list that holds them: what a row shows, switching
// between installed and not, the printer manager, rebuilding and search.
#include "printerlist.h"
#include "printerwidget.h"

#include "logcapture.h"
#include "rowprobe.h"

#include <QAbstractButton>
#include <QTemporaryDir>
#include <QtTest>

class RowsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { initRowResources(); }
    void rowLook_data();
    void rowLook();
    void switchesStateAndOpensManager();
    void rebuildAndPolledStates();
    void search_data();
    void search();
};

// The window test covers the plain states; these are the edge cases.
void RowsTest::rowLook_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("attributes");
    QTest::addColumn<int>("jobs");
    QTest::addColumn<QString>("portName");
    QTest::addColumn<QString>("state");
    QTest::addColumn<DotColour>("dot");
    QTest::addColumn<QString>("connection");

    QTest::newRow("jobs, IPv6") << 0 << 0 << 2 << "fe80::1" << "2 print jobs are being processed" << DotColour::Red
                                << "Internet connection:fe80::1";
    QTest::newRow("offline attribute with jobs") << 0 << 0x400 << 2 << "USB001" << "Printer is offline"
                                                 << DotColour::Grey << "Local connection";
    QTest::newRow("other bits") << 0x8 << 0x240 << 0 << "IP_192.168.1.20" << "Printer is idle" << DotColour::Green
                                << "Local connection";
}

void RowsTest::rowLook()
{
    QFETCH(int, status);
    QFETCH(int, attributes);
    QFETCH(int, jobs);
    QFETCH(QString, portName);

    Printer printer = makePrinter(QStringLiteral("192.168.1.20\\HP LaserJet"), portName);
    printer.Status = status;
    printer.Attributes = attributes;
    printer.cJobs = jobs;
    const PrinterWidget row(printer, false);
    const RowProbe probe{row};
    QTEST(probe.text("statusText"), "state");
    QTEST(probe.dot(), "dot");
    QTEST(probe.text("connectionLabel"), "connection");
    QCOMPARE(row.getAddr(), QStringLiteral("tqp://10.0.0.5:9100/192.168.1.20%5CHP%20LaserJet"));
    QCOMPARE(row.size(), QSize(640, 74));
}

void RowsTest::switchesStateAndOpensManager()
{
    // A stand-in printer manager on the search path records its arguments.
    QTemporaryDir bin;
    const QString marker = bin.filePath(QStringLiteral("started"));
    QFile manager(bin.filePath(QStringLiteral("vesk-printer")));
    QVERIFY(manager.open(QIODevice::WriteOnly));
    manager.write(QStringLiteral("#!/bin/sh\necho \"$#\" >'%1'\n").arg(marker).toUtf8());
    manager.close();
    QVERIFY(manager.setPermissions(QFile::ReadOwner | QFile::ExeOwner));
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(bin.path()) + ':' + path);

    Printer printer = makePrinter(QStringLiteral("Office printer"));
    PrinterWidget row(printer, true);
    row.show();
    const RowProbe probe{row};
    row.setPrinterStatus(false);
    QVERIFY(!probe.isAdded() && !probe.hasCheckMark());
    row.setPrinterStatus(true);
    QVERIFY(probe.isAdded() && probe.hasCheckMark());

    // Installed: the button opens the manager without arguments or a worker thread.
    const int threads = threadCount();
    QTest::mouseClick(probe.button(), Qt::LeftButton);
    QTRY_VERIFY(QFile::exists(marker));
    qputenv("PATH", path);
    QFile started(marker);
    QVERIFY(started.open(QIODevice::ReadOnly));
    QCOMPARE(started.readAll().trimmed(), QByteArray("0"));
    QCOMPARE(threadCount(), threads);

    // A refresh leaves a running installation's spinner alone.
    probe.spinner()->show();
    probe.button()->hide();
    row.setPrinterStatus(false);
    QVERIFY(probe.spinner()->isVisible() && !probe.button()->isVisible());
}

void RowsTest::rebuildAndPolledStates()
{
    const Printer first = makePrinter(QStringLiteral("Twin"), QStringLiteral("USB001"));
    Printer second = makePrinter(QStringLiteral("Twin"), QStringLiteral("USB002"));
    const Printer other = makePrinter(QStringLiteral("Other"));
    cloudprint::Printer queue;
    queue.Addr = other.Addr;
    PrinterList list;
    list.rebuild({first, second, other}, {{QString::fromStdString(other.Addr), queue}});
    QCOMPARE(list.count(), 3);
    QVERIFY(!RowProbe{*list.rowAt(0)}.isAdded());
    QVERIFY(RowProbe{*list.rowAt(2)}.isAdded());

    // Repeated IDs: both rows stay, a polled state goes to the later one.
    QCOMPARE(list.row(first.ID), list.rowAt(1));
    second.cJobs = 4;
    list.applyServerStates({second, makePrinter(QStringLiteral("Not on the page"))});
    QCOMPARE(RowProbe{*list.rowAt(1)}.text("statusText"), QStringLiteral("4 print jobs are being processed"));
    QCOMPARE(RowProbe{*list.rowAt(0)}.text("statusText"), QStringLiteral("Printer is idle"));

    // Filtering stops, with a warning, at an item without a row.
    list.insertItem(1, QStringLiteral("plain item"));
    list.item(2)->setHidden(true);
    const LogCapture capture("quorvia.configurator");
    list.updateVisiblePrinter(QStringLiteral("twin"), QString(), true);
    QVERIFY(capture.contains(QtWarningMsg, QStringLiteral("dynamic_cast item to PrinterWidget failed")));
    QVERIFY(!list.item(0)->isHidden());
    QVERIFY(list.item(2)->isHidden());

    list.rebuild({other}, {});
    QCOMPARE(list.count(), 1);
    QVERIFY(!list.row(first.ID));
}

void RowsTest::search_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("visible");

    const QString laser = QStringLiteral("192.168.1.20\\HP LaserJet");
    const QString canon = QStringLiteral("192.168.1.21\\Canon iR");
    const QString office = QStringLiteral("Office hp color");
    QTest::newRow("dotted address: exact connection") << "192.168.1.20" << QStringList{laser};
    QTest::newRow("address prefix matches nothing") << "192.168.1" << QStringList{};
    QTest::newRow("letters in any case") << "HP" << QStringList{laser, office};
    QTest::newRow("number is a name") << "21" << QStringList{canon};
    QTest::newRow("empty shows all") << "" << QStringList{laser, canon, office, QStringLiteral("Printer 7")};
}

void RowsTest::search()
{
    PrinterList list;
    list.rebuild({makePrinter(QStringLiteral("192.168.1.20\\HP LaserJet"), QStringLiteral("192.168.1.20")),
                  makePrinter(QStringLiteral("192.168.1.21\\Canon iR"), QStringLiteral("192.168.1.21")),
                  makePrinter(QStringLiteral("Office hp color"), QStringLiteral("USB001")),
                  makePrinter(QStringLiteral("Printer 7"), QStringLiteral("192.168.1.200"))},
                 {});
    list.filter(QStringLiteral("canon"));
    QFETCH(QString, text);
    list.filter(text);
    QTEST(visibleNames(list), "visible");
}

QTEST_MAIN(RowsTest)
#include "tst_rows.moc"
