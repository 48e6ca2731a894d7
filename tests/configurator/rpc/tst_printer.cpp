// The configurator's printer record: status texts and levels, device URIs
// made by ListPrinter, and the driver description files of GetPpdDrv.
#include "cloudprintclient.h"
#include "logcapture.h"
#include "printer.h"
#include "referenceserver.h"
#include "testcertificates.h"

#include <QtTest>

#include <sys/stat.h>

using cloudprinttest::LogCapture;
using cloudprinttest::ReferenceServer;
using cloudprinttest::TestCertificates;

class TestPrinter : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void status_data();
    void status();
    void deviceUri_data();
    void deviceUri();
    void driverFile_data();
    void driverFile();
    void driverFileIsNeverReused();

private:
    std::unique_ptr<TestCertificates> m_certs;
};

void TestPrinter::initTestCase()
{
    m_certs = std::make_unique<TestCertificates>();
    QVERIFY2(m_certs->ok(), qPrintable(m_certs->errorString()));
    CloudPrintRPCClient::setTrustedCaFileForTesting(m_certs->caFile());
}

void TestPrinter::status_data()
{
    QTest::addColumn<int>("flags");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("level");

    QTest::newRow("no flag") << 0 << "Printer is idle" << int(Printer::Idle);
    QTest::newRow("paused and error: lowest decides") << 0x3 << "Paused" << int(Printer::Error);
    QTest::newRow("idle bit 2 before busy bit 9") << 0x204 << "Printer is idle" << int(Printer::Idle);
    QTest::newRow("driver update alone") << 0x4000000 << "Need update driver" << int(Printer::Error);
    QTest::newRow("busy 0x200") << 0x200 << "Processing" << int(Printer::Busy);
    QTest::newRow("printing 0x400") << 0x400 << "Processing" << int(Printer::Busy);
    QTest::newRow("processing 0x4000") << 0x4000 << "Processing" << int(Printer::Busy);
    QTest::newRow("busy before toner low") << 0x20200 << "Processing" << int(Printer::Busy);
    QTest::newRow("offline") << 0x80 << "Offline" << int(Printer::Error);
    QTest::newRow("paper jam") << 0x8 << "Paper jammed" << int(Printer::Error);
    QTest::newRow("output bin full") << 0x800 << "Output bin full" << int(Printer::Error);
    QTest::newRow("unavailable") << 0x1000 << "Unavailable" << int(Printer::Error);
    QTest::newRow("warming up") << 0x10000 << "Printer is idle" << int(Printer::Idle);
    QTest::newRow("user intervention") << 0x100000 << "User intervention required" << int(Printer::Error);
    QTest::newRow("power save") << 0x1000000 << "Printer is idle" << int(Printer::Idle);
    QTest::newRow("server offline") << 0x2000000 << "Server Offline" << int(Printer::Error);
    QTest::newRow("bits above the table only") << int(0x88000000) << "Printer is idle" << int(Printer::Idle);
    QTest::newRow("high bit with a table bit") << int(0x80000010) << "Out of paper" << int(Printer::Error);
}

void TestPrinter::status()
{
    QFETCH(int, flags);
    QFETCH(QString, text);
    QFETCH(int, level);
    Printer printer;
    printer.__set_Status(flags);
    QCOMPARE(printer.statusText(), text);
    QCOMPARE(int(printer.statusLevel()), level);
}

void TestPrinter::deviceUri_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("path");

    QTest::newRow("backslash and space") << "192.168.1.20\\HP LaserJet" << "192.168.1.20%5CHP%20LaserJet";
    QTest::newRow("port and share") << "10.1.2.3:9100\\Office" << "10.1.2.3:9100%5COffice";
    QTest::newRow("unreserved and slash kept") << "a-b.c_d~e/f" << "a-b.c_d~e/f";
    QTest::newRow("percent, query and fragment encoded") << "50%?#x" << "50%25%3F%23x";
    QTest::newRow("non-ASCII as UTF-8") << QStringLiteral("Drucker Büro") << "Drucker%20B%C3%BCro";
    QTest::newRow("empty") << "" << "";
}

void TestPrinter::deviceUri()
{
    QFETCH(QString, id);
    QFETCH(QString, path);

    ReferenceServer server(*m_certs);
    server.addPrinter(ReferenceServer::printer(id, 0x400, 2));
    QVERIFY2(server.start(), qPrintable(server.errorString()));

    CloudPrintRPCClient client(server.url());
    const std::vector<Printer> printers = client.ListPrinter(cloudprint::Auth());
    QCOMPARE(printers.size(), size_t(1));
    const Printer &printer = printers.front();
    QCOMPARE(QString::fromStdString(printer.Addr), server.url() + QLatin1Char('/') + path);
    // Everything else is the server's record.
    QCOMPARE(QString::fromStdString(printer.ID), id);
    QCOMPARE(printer.cJobs, 2);
    QCOMPARE(printer.statusLevel(), Printer::Busy);
}

void TestPrinter::driverFile_data()
{
    QTest::addColumn<QString>("driver");
    QTest::addColumn<QByteArray>("written");

    QTest::newRow("text") << "#include <media.defs>\nVersion 1.0\n" << QByteArray("#include <media.defs>\nVersion 1.0\n");
    QTest::newRow("cut at the first NUL") << QStringLiteral("head") + QChar(0) + QStringLiteral("tail")
                                          << QByteArray("head");
    QTest::newRow("empty text writes no file") << QString() << QByteArray();
}

void TestPrinter::driverFile()
{
    QFETCH(QString, driver);
    QFETCH(QByteArray, written);

    ReferenceServer server(*m_certs);
    server.addPrinter(ReferenceServer::printer(QStringLiteral("p1"), 0, 0, driver));
    QVERIFY2(server.start(), qPrintable(server.errorString()));

    const QString name = QUuid::createUuid().toString(QUuid::WithoutBraces);
    const QString expected = QStringLiteral("/tmp/") + name + QStringLiteral(".drv");
    LogCapture log;
    CloudPrintRPCClient client(server.url());
    cloudprint::Printer printer;
    printer.__set_ID("p1");
    const QString path = client.GetPpdDrv(cloudprint::Auth(), printer, name);

    if (driver.isEmpty()) {
        QCOMPARE(path, QString());
        QVERIFY(!QFile::exists(expected));
        return;
    }
    QCOMPARE(path, expected);
    QVERIFY(log.hasType(QStringLiteral("create temp ppd driver file: ") + expected, QtInfoMsg));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), written);
    struct stat info;
    QCOMPARE(::stat(QFile::encodeName(path).constData(), &info), 0);
    QCOMPARE(info.st_mode & 07777, mode_t(0600));
    QVERIFY(QFile::remove(path));
}

void TestPrinter::driverFileIsNeverReused()
{
    ReferenceServer server(*m_certs);
    server.setDefaultDriver(QStringLiteral("driver text"));
    QVERIFY2(server.start(), qPrintable(server.errorString()));
    CloudPrintRPCClient client(server.url());

    // Someone else's file (or link) at the path is left alone and not used.
    const QString name = QUuid::createUuid().toString(QUuid::WithoutBraces);
    const QString path = QStringLiteral("/tmp/") + name + QStringLiteral(".drv");
    {
        QFile planted(path);
        QVERIFY(planted.open(QIODevice::WriteOnly));
        planted.write("planted");
    }
    QCOMPARE(client.GetPpdDrv(cloudprint::Auth(), cloudprint::Printer(), name), QString());
    QFile planted(path);
    QVERIFY(planted.open(QIODevice::ReadOnly));
    QCOMPARE(planted.readAll(), QByteArray("planted"));
    QVERIFY(QFile::remove(path));

    const QString linkName = QUuid::createUuid().toString(QUuid::WithoutBraces);
    const QString link = QStringLiteral("/tmp/") + linkName + QStringLiteral(".drv");
    const QString target = path + QStringLiteral(".target");
    QVERIFY(QFile::link(target, link));
    QCOMPARE(client.GetPpdDrv(cloudprint::Auth(), cloudprint::Printer(), linkName), QString());
    QVERIFY(!QFile::exists(target));
    QVERIFY(QFile::remove(link));

    // A name that would leave /tmp cannot be written.
    QCOMPARE(client.GetPpdDrv(cloudprint::Auth(), cloudprint::Printer(), QStringLiteral("no-such-dir/x")), QString());
}

QTEST_GUILESS_MAIN(TestPrinter)
#include "tst_printer.moc"
