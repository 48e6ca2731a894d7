// The add button of printer rows against the reference cloud print server
// and a private cupsd: installations running side by side, and every way an
// installation can fail.
#include "printerwidget.h"

#include "cloudprintclient.h"
#include "config.h"
#include "cupsclient.h"
#include "cupstestsupport.h"
#include "cupstooldir.h"
#include "logcapture.h"
#include "referenceserver.h"
#include "rowprobe.h"
#include "spinner.h"

#include <QAbstractButton>
#include <QTcpServer>
#include <QtTest>

using cloudprinttest::ReferenceServer;
using cloudprinttest::TestCertificates;

namespace {

const QString kCode = QStringLiteral("good-code");

QString driverText(const QString &model)
{
    return QStringLiteral("#include <media.defs>\nManufacturer \"Quorvia\"\nVersion 1.0\n*MediaSize A4\n"
                          "{\n  ModelName \"%1\"\n  PCFileName \"TQP.ppd\"\n}\n")
        .arg(model);
}

// Makes `address` the last used server with `code`, as a verification would.
void useServer(const QString &address, const QString &code)
{
    Config config;
    config.servers.clear();
    config.servers.insert(address, ServerConfig{code, address, QDateTime::currentDateTime()});
    config.save();
}

} // namespace

class InstallTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup() { cupstooldir::setDirForTesting(QStringLiteral("/usr/sbin")); }
    void installsTwoRowsAtOnce();
    void failureKeepsAddButton_data();
    void failureKeepsAddButton();

private:
    Printer serverPrinter(const QString &id);

    TestCertificates m_certificates;
    ReferenceServer m_server{m_certificates};
    ReferenceServer m_throwingServer{m_certificates};
};

void InstallTest::initTestCase()
{
    initRowResources();
    QVERIFY2(m_certificates.ok(), qPrintable(m_certificates.errorString()));
    CloudPrintRPCClient::setTrustedCaFileForTesting(m_certificates.caFile());

    m_server.setCodes({kCode});
    m_server.addPrinter(ReferenceServer::printer(QStringLiteral("192.168.1.20\\HP LaserJet"), 0, 0,
                                                 driverText(QStringLiteral("Quorvia Laser"))));
    m_server.addPrinter(ReferenceServer::printer(QStringLiteral("Office printer"), 0, 0,
                                                 driverText(QStringLiteral("Quorvia Office"))));
    m_server.addPrinter(ReferenceServer::printer(QStringLiteral("No driver")));
    m_server.addPrinter(ReferenceServer::printer(QStringLiteral("Broken driver"), 0, 0, QStringLiteral("not a driver")));
    QVERIFY2(m_server.start(), qPrintable(m_server.errorString()));

    m_throwingServer.setFault(QStringLiteral("GetPpdDrv"), {{QStringLiteral("mode"), QStringLiteral("exception")}});
    QVERIFY2(m_throwingServer.start(), qPrintable(m_throwingServer.errorString()));
}

Printer InstallTest::serverPrinter(const QString &id)
{
    cloudprint::Auth auth;
    auth.Authcode = kCode.toStdString();
    for (const Printer &printer : CloudPrintRPCClient(m_server.url()).ListPrinter(auth)) {
        if (printer.ID == id.toStdString())
            return printer;
    }
    return Printer();
}

void InstallTest::installsTwoRowsAtOnce()
{
    useServer(m_server.url(), kCode);
    Printer laser = serverPrinter(QStringLiteral("192.168.1.20\\HP LaserJet"));
    Printer office = serverPrinter(QStringLiteral("Office printer"));
    // Built as installed, then its queue went away: its first click has to
    // create the row's worker.
    PrinterWidget first(laser, true);
    first.setPrinterStatus(false);
    PrinterWidget second(office, false);
    const LogCapture rpcLog("quorvia.rpc");
    first.show();
    second.show();
    QTest::mouseClick(RowProbe{first}.button(), Qt::LeftButton);
    QTest::mouseClick(RowProbe{second}.button(), Qt::LeftButton);
    QVERIFY(RowProbe{first}.spinner()->isVisible() && !RowProbe{first}.button()->isVisible());

    QTRY_VERIFY_WITH_TIMEOUT(RowProbe{first}.isAdded() && RowProbe{second}.isAdded(), 30000);
    QVERIFY(RowProbe{first}.button()->isVisible() && !RowProbe{first}.spinner()->isVisible());
    // Each queue got the PPD compiled from its own driver description.
    const QString port = QString::number(m_server.port());
    QVERIFY(queuePpd(QStringLiteral("HP-LaserJet@127.0.0.1:") + port).contains("\"Quorvia Laser\""));
    QVERIFY(queuePpd(QStringLiteral("Office-printer@127.0.0.1:") + port).contains("\"Quorvia Office\""));
    QVERIFY(queueState(QStringLiteral("Office-printer@127.0.0.1:") + port).accepting);

    // The temporary driver descriptions and PPDs are gone once the queues exist.
    const QString written = QStringLiteral("create temp ppd driver file: ");
    int drivers = 0;
    for (const QString &line : rpcLog.texts()) {
        if (!line.startsWith(written))
            continue;
        ++drivers;
        const QString driver = line.mid(written.size());
        QVERIFY2(!QFileInfo::exists(driver), qPrintable(driver));
        QVERIFY2(!QFileInfo::exists(driver.chopped(4)), qPrintable(driver.chopped(4)));
    }
    QCOMPARE(drivers, 2);
}

void InstallTest::failureKeepsAddButton_data()
{
    QTest::addColumn<QString>("server");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("printer");
    QTest::addColumn<QString>("log");

    const QString laser = QStringLiteral("192.168.1.20\\HP LaserJet");
    QTest::newRow("server unreachable") << "closed" << kCode << laser << "invalid server address";
    QTest::newRow("code refused") << "main" << "wrong-code" << laser << "invalid authcode";
    QTest::newRow("driver request throws") << "throwing" << kCode << laser << "get ppd driver failed";
    QTest::newRow("driver empty") << "main" << kCode << "No driver" << "get ppd driver begin";
    QTest::newRow("ppdc fails") << "main" << kCode << "Broken driver" << "generate ppd failed";
    QTest::newRow("lpadmin fails") << "main" << kCode << "Office printer" << "get ppd driver begin";
}

void InstallTest::failureKeepsAddButton()
{
    QFETCH(QString, server);
    QFETCH(QString, code);
    QFETCH(QString, printer);
    QFETCH(QString, log);

    QString address = server == QLatin1String("main") ? m_server.url() : m_throwingServer.url();
    if (server == QLatin1String("closed")) {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost);
        address = QStringLiteral("tqp://127.0.0.1:%1").arg(probe.serverPort());
    }
    useServer(address, code);
    StandInTools tools;
    if (qstrcmp(QTest::currentDataTag(), "lpadmin fails") == 0) {
        QVERIFY(tools.add(QStringLiteral("lpadmin"), QStringLiteral("exit 1")));
        cupstooldir::setDirForTesting(tools.path());
    }
    Printer record = serverPrinter(printer);
    const int queues = CUPSClient::listPrinterName().size();

    const LogCapture capture("quorvia.configurator");
    PrinterWidget row(record, false);
    row.show();
    const RowProbe probe{row};
    QTest::mouseClick(probe.button(), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(probe.button()->isVisible(), 30000);
    QVERIFY(!probe.spinner()->isVisible());
    QVERIFY(!static_cast<toolkit::Spinner *>(probe.spinner())->isPlaying());
    QVERIFY(!probe.isAdded() && !probe.hasCheckMark());
    QCOMPARE(CUPSClient::listPrinterName().size(), queues);
    QVERIFY2(capture.texts().contains(log), qPrintable(capture.texts().join(QLatin1Char('\n'))));
}

QTEST_MAIN(InstallTest)
#include "tst_install.moc"
