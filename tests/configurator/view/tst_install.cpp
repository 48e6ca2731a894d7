// The add button of a printer row against the reference cloud print server
// and a private cupsd: a successful installation and every way it can fail.
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

QString closedPortUrl()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    const quint16 port = probe.serverPort();
    probe.close();
    return QStringLiteral("tqp://127.0.0.1:%1").arg(port);
}

} // namespace

class InstallTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void installsQueue();
    void installsTwoRowsAtOnce();
    void failureKeepsAddButton_data();
    void failureKeepsAddButton();

private:
    Printer serverPrinter(ReferenceServer &server, const QString &id);

    TestCertificates m_certificates;
    std::unique_ptr<ReferenceServer> m_server;
    std::unique_ptr<ReferenceServer> m_throwingServer;
};

void InstallTest::initTestCase()
{
    initRowResources();
    QVERIFY2(m_certificates.ok(), qPrintable(m_certificates.errorString()));
    QVERIFY(!qEnvironmentVariableIsEmpty("CUPS_SERVER"));
    CloudPrintRPCClient::setTrustedCaFileForTesting(m_certificates.caFile());

    m_server = std::make_unique<ReferenceServer>(m_certificates);
    m_server->setCodes({kCode});
    m_server->addPrinter(ReferenceServer::printer(QStringLiteral("192.168.1.20\\HP LaserJet"), 0, 0,
                                                  driverText(QStringLiteral("Quorvia Demo Laser"))));
    m_server->addPrinter(ReferenceServer::printer(QStringLiteral("Office printer"), 0, 0,
                                                  driverText(QStringLiteral("Quorvia Office"))));
    m_server->addPrinter(ReferenceServer::printer(QStringLiteral("No driver")));
    m_server->addPrinter(ReferenceServer::printer(QStringLiteral("Broken driver"), 0, 0,
                                                  QStringLiteral("this is not a driver description")));
    QVERIFY2(m_server->start(), qPrintable(m_server->errorString()));

    m_throwingServer = std::make_unique<ReferenceServer>(m_certificates);
    m_throwingServer->setDefaultDriver(driverText(QStringLiteral("Never used")));
    m_throwingServer->setFault(QStringLiteral("GetPpdDrv"),
                               QJsonObject{{QStringLiteral("mode"), QStringLiteral("exception")},
                                           {QStringLiteral("code"), 500},
                                           {QStringLiteral("description"), QStringLiteral("no driver")}});
    QVERIFY2(m_throwingServer->start(), qPrintable(m_throwingServer->errorString()));
}

void InstallTest::cleanup()
{
    cupstooldir::setDirForTesting(QStringLiteral("/usr/sbin"));
}

Printer InstallTest::serverPrinter(ReferenceServer &server, const QString &id)
{
    cloudprint::Auth auth;
    auth.Authcode = kCode.toStdString();
    for (const Printer &printer : CloudPrintRPCClient(server.url()).ListPrinter(auth)) {
        if (printer.ID == id.toStdString())
            return printer;
    }
    return Printer();
}

void InstallTest::installsQueue()
{
    useServer(m_server->url(), kCode);
    Printer printer = serverPrinter(*m_server, QStringLiteral("192.168.1.20\\HP LaserJet"));
    const QString uri = QStringLiteral("tqp://127.0.0.1:%1/192.168.1.20%5CHP%20LaserJet").arg(m_server->port());
    QCOMPARE(QString::fromStdString(printer.Addr), uri);

    // Built as installed, then its queue went away: the first click has to
    // create the worker.
    PrinterWidget row(printer, true);
    row.show();
    row.setPrinterStatus(false);
    RowProbe probe(row);
    QTest::mouseClick(probe.button(), Qt::LeftButton);
    QVERIFY(!probe.button()->isVisible());
    QVERIFY(probe.spinner()->isVisible());

    QTRY_VERIFY_WITH_TIMEOUT(probe.isAdded(), 30000);
    QVERIFY(probe.hasCheckMark());
    QVERIFY(probe.button()->isVisible());
    QVERIFY(!probe.spinner()->isVisible());
    QVERIFY(!static_cast<toolkit::Spinner *>(probe.spinner())->isPlaying());

    const QString queue = QStringLiteral("HP-LaserJet@127.0.0.1:%1").arg(m_server->port());
    const QueueState state = queueState(queue);
    QVERIFY(state.exists);
    QCOMPARE(state.deviceUri, uri);
    QVERIFY(!state.shared);
    QCOMPARE(state.errorPolicy, QStringLiteral("abort-job"));
    QCOMPARE(state.state, 3);
    QVERIFY(state.accepting);
    QVERIFY(queuePpd(queue).contains("*ModelName: \"Quorvia Demo Laser\""));
    QVERIFY(CUPSClient::listPrinter().contains(row.getAddr()));
}

void InstallTest::installsTwoRowsAtOnce()
{
    const auto laserQueues = [] {
        int count = 0;
        for (const QString &name : CUPSClient::listPrinterName())
            count += name.startsWith(QStringLiteral("HP-LaserJet@")) ? 1 : 0;
        return count;
    };
    useServer(m_server->url(), kCode);
    Printer office = serverPrinter(*m_server, QStringLiteral("Office printer"));
    Printer laser = serverPrinter(*m_server, QStringLiteral("192.168.1.20\\HP LaserJet"));
    const int laserBefore = laserQueues();
    PrinterWidget first(office, false);
    PrinterWidget second(laser, false);
    first.show();
    second.show();
    QTest::mouseClick(RowProbe(first).button(), Qt::LeftButton);
    QTest::mouseClick(RowProbe(second).button(), Qt::LeftButton);

    QTRY_VERIFY_WITH_TIMEOUT(RowProbe(first).isAdded() && RowProbe(second).isAdded(), 30000);
    QVERIFY(queuePpd(QStringLiteral("Office-printer@127.0.0.1:%1").arg(m_server->port()))
                .contains("\"Quorvia Office\""));
    // A name already taken gets a time suffix; the queue is still created.
    QCOMPARE(laserQueues(), laserBefore + 1);
}

void InstallTest::failureKeepsAddButton_data()
{
    QTest::addColumn<QString>("server");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("printer");
    QTest::addColumn<bool>("failingLpadmin");
    QTest::addColumn<QString>("log");

    const QString laser = QStringLiteral("192.168.1.20\\HP LaserJet");
    QTest::newRow("server unreachable") << "closed" << kCode << laser << false << "invalid server address";
    QTest::newRow("code refused") << "main" << "wrong-code" << laser << false << "invalid authcode";
    QTest::newRow("driver request throws") << "throwing" << kCode << laser << false << "get ppd driver failed";
    QTest::newRow("driver empty") << "main" << kCode << "No driver" << false << "";
    QTest::newRow("ppdc fails") << "main" << kCode << "Broken driver" << false << "generate ppd failed";
    QTest::newRow("lpadmin fails") << "main" << kCode << "Office printer" << true << "";
}

void InstallTest::failureKeepsAddButton()
{
    QFETCH(QString, server);
    QFETCH(QString, code);
    QFETCH(QString, printer);
    QFETCH(bool, failingLpadmin);
    QFETCH(QString, log);

    Printer record = serverPrinter(*m_server, printer);
    QVERIFY(!record.Addr.empty());
    if (server == QLatin1String("closed"))
        useServer(closedPortUrl(), code);
    else
        useServer(server == QLatin1String("main") ? m_server->url() : m_throwingServer->url(), code);

    StandInTools tools;
    if (failingLpadmin) {
        QVERIFY(tools.add(QStringLiteral("lpadmin"), QStringLiteral("echo refused >&2; exit 1")));
        cupstooldir::setDirForTesting(tools.path());
    }
    const int queuesBefore = CUPSClient::listPrinterName().size();

    LogCapture capture;
    PrinterWidget row(record, false);
    row.show();
    RowProbe probe(row);
    QTest::mouseClick(probe.button(), Qt::LeftButton);
    QVERIFY(probe.spinner()->isVisible());

    QTRY_VERIFY_WITH_TIMEOUT(probe.button()->isVisible(), 30000);
    QVERIFY(!probe.spinner()->isVisible());
    QVERIFY(!static_cast<toolkit::Spinner *>(probe.spinner())->isPlaying());
    QVERIFY(!probe.isAdded());
    QVERIFY(!probe.hasCheckMark());
    QCOMPARE(CUPSClient::listPrinterName().size(), queuesBefore);
    if (!log.isEmpty())
        QVERIFY2(capture.contains(log), qPrintable(capture.lines().join(QLatin1Char('\n'))));
    QVERIFY(capture.contains(QStringLiteral("get ppd driver begin")) == (log != QLatin1String("invalid server address")
                                                                           && log != QLatin1String("invalid authcode")));
    if (failingLpadmin)
        QVERIFY(tools.calls().value(0).startsWith(QStringLiteral("lpadmin -E -p Office-printer@")));
}

QTEST_MAIN(InstallTest)
#include "tst_install.moc"
