// The rows of the printer page as a whole: rebuilding, the installed state
// from local queues, polled server states, and search.
#include "printerlist.h"

#include "logcapture.h"
#include "printerwidget.h"
#include "rowprobe.h"

#include <QAbstractButton>
#include <QtTest>

namespace {

Printer printerAt(const QString &id, const QString &portName)
{
    Printer printer = makePrinter(id);
    printer.PortName = portName.toStdString();
    return printer;
}

std::vector<Printer> samplePrinters()
{
    return {
        printerAt(QStringLiteral("192.168.1.20\\HP LaserJet"), QStringLiteral("192.168.1.20")),
        printerAt(QStringLiteral("192.168.1.21\\Canon iR"), QStringLiteral("192.168.1.21")),
        printerAt(QStringLiteral("Office hp color"), QStringLiteral("USB001")),
        printerAt(QStringLiteral("Printer 7"), QStringLiteral("192.168.1.200")),
    };
}

QMap<QString, cloudprint::Printer> localQueues(const std::vector<Printer> &installed)
{
    QMap<QString, cloudprint::Printer> local;
    for (const Printer &printer : installed) {
        cloudprint::Printer queue;
        queue.Addr = printer.Addr;
        local.insert(QString::fromStdString(printer.Addr), queue);
    }
    return local;
}

QStringList visibleNames(const PrinterList &list)
{
    QStringList names;
    for (int i = 0; i < list.count(); ++i) {
        if (!list.item(i)->isHidden())
            names << RowProbe(*list.rowAt(i)).nameText();
    }
    return names;
}

} // namespace

class PrinterListTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void rebuildMarksInstalledRows();
    void rebuildKeepsRepeatedIds();
    void rebuildEndsRowThreads();
    void refreshFollowsLocalQueues();
    void polledStates();
    void search_data();
    void search();
    void searchStopsAtForeignItem();
};

void PrinterListTest::initTestCase()
{
    initRowResources();
}

void PrinterListTest::rebuildMarksInstalledRows()
{
    const std::vector<Printer> printers = samplePrinters();
    PrinterList list;
    list.rebuild(printers, localQueues({printers[1]}));

    QCOMPARE(list.count(), 4);
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(RowProbe(*list.rowAt(i)).nameText(), QString::fromStdString(printers[i].ID));
        QCOMPARE(RowProbe(*list.rowAt(i)).isAdded(), i == 1);
        QCOMPARE(list.item(i)->sizeHint(), QSize(640, 74));
    }
    QCOMPARE(list.row(printers[2].ID), list.rowAt(2));

    // A second server's list replaces every row.
    list.rebuild({printerAt(QStringLiteral("Other"), QString())}, {});
    QCOMPARE(list.count(), 1);
    QVERIFY(!list.row(printers[0].ID));
    QCOMPARE(RowProbe(*list.rowAt(0)).nameText(), QStringLiteral("Other"));
}

void PrinterListTest::rebuildKeepsRepeatedIds()
{
    Printer first = printerAt(QStringLiteral("Twin"), QStringLiteral("USB001"));
    Printer second = printerAt(QStringLiteral("Twin"), QStringLiteral("USB002"));
    PrinterList list;
    list.rebuild({first, second}, {});
    QCOMPARE(list.count(), 2);
    QCOMPARE(list.row(first.ID), list.rowAt(1));

    second.cJobs = 4;
    list.applyServerStates({second});
    QCOMPARE(RowProbe(*list.rowAt(1)).statusText(), QStringLiteral("4 print jobs are being processed"));
    QCOMPARE(RowProbe(*list.rowAt(0)).statusText(), QStringLiteral("Printer is idle"));
}

void PrinterListTest::rebuildEndsRowThreads()
{
    const int threads = threadCount();
    PrinterList list;
    list.rebuild(samplePrinters(), {});
    list.show();
    // Installation attempts start the rows' threads (they fail at once: no
    // server has been recorded).
    for (int i = 0; i < 3; ++i)
        QTest::mouseClick(RowProbe(*list.rowAt(i)).button(), Qt::LeftButton);
    QCOMPARE(threadCount(), threads + 3);
    for (int i = 0; i < 3; ++i)
        QTRY_VERIFY(RowProbe(*list.rowAt(i)).button()->isVisible());

    list.rebuild(samplePrinters(), {});
    // wait() returns as the thread finishes; the kernel lets it go a moment later.
    QTRY_COMPARE(threadCount(), threads);
    QCOMPARE(list.count(), 4);
}

void PrinterListTest::refreshFollowsLocalQueues()
{
    const std::vector<Printer> printers = samplePrinters();
    PrinterList list;
    list.rebuild(printers, {});
    QVERIFY(!RowProbe(*list.rowAt(3)).isAdded());

    list.refreshInstalled(localQueues({printers[3], printers[0]}));
    QVERIFY(RowProbe(*list.rowAt(0)).isAdded());
    QVERIFY(!RowProbe(*list.rowAt(1)).isAdded());
    QVERIFY(RowProbe(*list.rowAt(3)).isAdded());
    QVERIFY(RowProbe(*list.rowAt(3)).hasCheckMark());

    list.refreshInstalled(localQueues({printers[0]}));
    QVERIFY(RowProbe(*list.rowAt(0)).isAdded());
    QVERIFY(!RowProbe(*list.rowAt(3)).isAdded());
    QVERIFY(!RowProbe(*list.rowAt(3)).hasCheckMark());
}

void PrinterListTest::polledStates()
{
    std::vector<Printer> printers = samplePrinters();
    PrinterList list;
    list.rebuild(printers, {});

    printers[0].Status = 0x80; // offline even with jobs queued
    printers[0].cJobs = 6;
    printers[1].cJobs = 3;
    printers[2].Attributes = 0x400;
    Printer unknown = printerAt(QStringLiteral("Not on the page"), QString());
    unknown.cJobs = 9;
    list.applyServerStates({printers[0], printers[1], printers[2], unknown});

    QCOMPARE(RowProbe(*list.rowAt(0)).statusText(), QStringLiteral("Printer is offline"));
    QCOMPARE(RowProbe(*list.rowAt(0)).dotColour(), DotColour::Grey);
    QCOMPARE(RowProbe(*list.rowAt(1)).statusText(), QStringLiteral("3 print jobs are being processed"));
    QCOMPARE(RowProbe(*list.rowAt(1)).dotColour(), DotColour::Red);
    QCOMPARE(RowProbe(*list.rowAt(2)).statusText(), QStringLiteral("Printer is offline"));
    QCOMPARE(RowProbe(*list.rowAt(3)).statusText(), QStringLiteral("Printer is idle"));
    QCOMPARE(list.count(), 4);

    printers[1].cJobs = 0;
    list.applyServerStates({printers[1]});
    QCOMPARE(RowProbe(*list.rowAt(1)).statusText(), QStringLiteral("Printer is idle"));
}

void PrinterListTest::search_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("visible");

    const QString laser = QStringLiteral("192.168.1.20\\HP LaserJet");
    const QString canon = QStringLiteral("192.168.1.21\\Canon iR");
    const QString office = QStringLiteral("Office hp color");
    const QString seven = QStringLiteral("Printer 7");
    QTest::newRow("dotted address") << "192.168.1.20" << QStringList{laser};
    QTest::newRow("address of no row") << "10.0.0.1" << QStringList{};
    QTest::newRow("letters any case") << "HP" << QStringList{laser, office};
    QTest::newRow("number as name") << "7" << QStringList{seven};
    QTest::newRow("number in the address part") << "21" << QStringList{canon};
    QTest::newRow("part of an address") << "192.168.1" << QStringList{};
    QTest::newRow("empty") << "" << QStringList{laser, canon, office, seven};
}

void PrinterListTest::search()
{
    QFETCH(QString, text);
    QFETCH(QStringList, visible);

    PrinterList list;
    list.rebuild(samplePrinters(), {});
    list.filter(QStringLiteral("canon"));
    QCOMPARE(visibleNames(list).size(), 1);

    list.filter(text);
    QCOMPARE(visibleNames(list), visible);
}

void PrinterListTest::searchStopsAtForeignItem()
{
    PrinterList list;
    list.rebuild(samplePrinters(), {});
    list.filter(QStringLiteral("Canon"));
    list.insertItem(2, QStringLiteral("plain item"));

    LogCapture capture;
    list.updateVisiblePrinter(QStringLiteral("hp"), QString(), true);
    QVERIFY(capture.contains(QStringLiteral("dynamic_cast item to PrinterWidget failed")));
    // Items before the foreign one are filtered, those after keep their state.
    QVERIFY(list.item(0)->isHidden() == false);
    QVERIFY(list.item(1)->isHidden());
    QVERIFY(list.item(3)->isHidden());
    QVERIFY(list.item(4)->isHidden());
}

QTEST_MAIN(PrinterListTest)
#include "tst_printerlist.moc"
