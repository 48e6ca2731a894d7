// CloudPrintRPCClient against the reference server over real TLS: the peer
// check, results and the failure table with its log lines, malformed replies,
// device URIs, the cloud port, driver description files, reply bounds and
// time-outs.
#include "cloudprintaccessmanager.h"
#include "cloudprintclient.h"
#include "logcapture.h"
#include "printerport.h"
#include "referenceserver.h"

#include "buildconfig.h"

#include <thrift/TApplicationException.h>
#include <thrift/protocol/TProtocolException.h>
#include <thrift/transport/TTransportException.h>

#include <QtTest>

using apache::thrift::transport::AccessManager;
using cloudprinttest::ReferenceServer;
using cloudprinttest::TestCertificates;

namespace {

// Thrift binary-protocol bytes for replies no correct server would send, as hex
// (spaces ignored). A field is its type (02 bool, 08 i32, 0b string, 0c struct,
// 0f list) and a 16-bit id, a list its element type and a 32-bit count, 00 ends a struct.
QString str(const QByteArray &text)
{
    return QStringLiteral("%1").arg(text.size(), 8, 16, QLatin1Char('0')) + QString::fromLatin1(text.toHex());
}

// Strict message header: version word with the type (2 reply, 3 exception), name, sequence id.
QString reply(const QByteArray &method, int type = 2)
{
    return QStringLiteral("800100%1").arg(type, 2, 16, QLatin1Char('0')) + str(method) + QStringLiteral("00000000");
}

// A ListPrinter reply whose printer carries an unknown field nested `depth` structs deep.
QString nested(int depth)
{
    return reply("ListPrinter") + QStringLiteral("0f0000 0c 00000001 0b0001") + str("deep")
           + QStringLiteral("0c0063").repeated(depth) + QStringLiteral("00").repeated(depth + 2);
}

// Runs one client operation and describes what came back, so that rows of a
// table can name the expected outcome as text.
QString run(CloudPrintRPCClient &client, const QString &method)
{
    try {
        if (method == QLatin1String("Verfiy"))
            return client.Verfiy(cloudprint::Auth()) ? QStringLiteral("true") : QStringLiteral("false");
        if (method == QLatin1String("GetServerVersion"))
            return QStringLiteral("version:") + QString::fromStdString(client.GetServerVersion(cloudprint::Auth()));
        if (method == QLatin1String("ListPrinter")) {
            QStringList printers;
            for (const Printer &p : client.ListPrinter(cloudprint::Auth()))
                printers << QString::fromStdString(p.ID);
            return QStringLiteral("printers:") + printers.join(QLatin1Char(';'));
        }
        // "GetPpdDrv:file" and ":link" put someone else's file or link at the path first, ":dir/" a folder
        // into the name. The outcome tells whether a path came back, whether only the user may read the
        // file at the path, and what it holds.
        const QString planted = method.section(QLatin1Char(':'), 1);
        const QString name = (planted.endsWith(QLatin1Char('/')) ? planted : QString())
                             + QUuid::createUuid().toString(QUuid::WithoutBraces);
        QFile file(QStringLiteral("/tmp/") + name + QStringLiteral(".drv"));
        if (planted == QLatin1String("file") && file.open(QIODevice::WriteOnly))
            file.write("planted");
        file.close();
        if (planted == QLatin1String("link"))
            QFile::link(file.fileName() + QStringLiteral(".target"), file.fileName());
        cloudprint::Printer printer;
        printer.__set_ID("a");
        const bool returned = !client.GetPpdDrv(cloudprint::Auth(), printer, name).isEmpty();
        const auto userOnly = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser;
        const bool own = file.permissions() == userOnly;
        const QByteArray content = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        file.remove();
        // Every byte counts: a NUL too.
        return QStringLiteral("path:%1 own:%2 file:%3")
            .arg(int(returned))
            .arg(int(own))
            .arg(QString::fromLatin1(content.constData(), content.size()));
    } catch (const apache::thrift::transport::TTransportException &) {
        return QStringLiteral("transport");
    } catch (const apache::thrift::TApplicationException &) {
        return QStringLiteral("application");
    } catch (const apache::thrift::protocol::TProtocolException &) {
        return QStringLiteral("protocol");
    } catch (const cloudprint::Exception &e) {
        return QStringLiteral("server:%1:%2").arg(e.Code).arg(QString::fromStdString(e.Description));
    }
}

// Printers by ID and status flags, and what the client makes of them: the
// path of the device URI, the status text and level.
const std::tuple<const char *, int, const char *, const char *, Printer::PrinterStatus> kListed[] = {
    {"192.168.1.20\\HP LaserJet", 0, "192.168.1.20%5CHP%20LaserJet", "Printer is idle", Printer::Idle},
    // Paused and error: the lowest flag decides.
    {"10.1.2.3:9100\\Office", 0x3, "10.1.2.3:9100%5COffice", "Paused", Printer::Error},
    // Idle (bit 2) before busy (bit 9), busy before toner low.
    {"a-b.c_d~e/f", 0x204, "a-b.c_d~e/f", "Printer is idle", Printer::Idle},
    {"50%?#x", 0x20200, "50%25%3F%23x", "Processing", Printer::Busy},
    // Not all ASCII: encoded another way, keeping ":" and "/" all the same.
    {"1.2.3.4:80/Drucker Büro", 0x4000, "1.2.3.4:80/Drucker%20B%C3%BCro", "Processing", Printer::Busy},
    // Power save.
    {"", 0x1000000, "", "Printer is idle", Printer::Idle},
    {"driver update", 0x4000000, "driver%20update", "Need update driver", Printer::Error},
    // Flags above the table only.
    {"high flags", int(0x88000000), "high%20flags", "Printer is idle", Printer::Idle},
};

} // namespace

Q_DECLARE_METATYPE(TestCertificates::Server)

class TestRpcClient : public QObject
{
    Q_OBJECT

    TestCertificates m_certs;

private slots:
    void initTestCase()
    {
        QVERIFY2(m_certs.ok(), qPrintable(m_certs.errorString()));
        CloudPrintRPCClient::setTrustedCaFileForTesting(m_certs.caFile());
    }

    void serverCertificates_data()
    {
        QTest::addColumn<TestCertificates::Server>("certificate");
        QTest::addColumn<bool>("caMissing");
        QTest::addColumn<QString>("stage"); // of the name check
        QTest::addColumn<bool>("accepted");

        QTest::newRow("vendor domain") << TestCertificates::VendorDomain << false << "v2" << true;
        QTest::newRow("IP address first") << TestCertificates::IpAddressFirst << false << "v3" << false;
        QTest::newRow("embedded NUL in the name") << TestCertificates::EmbeddedNul << false << "v2" << false;
        // Refused by the chain check before any name is looked at.
        QTest::newRow("expired") << TestCertificates::Expired << false << "" << false;
        QTest::newRow("untrusted CA") << TestCertificates::UntrustedCa << false << "" << false;
        QTest::newRow("CA file missing") << TestCertificates::VendorDomain << true << "" << false;
    }

    void serverCertificates()
    {
        QFETCH(TestCertificates::Server, certificate);
        QFETCH(bool, caMissing);
        QFETCH(QString, stage);

        ReferenceServer server(m_certs, certificate);
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        CloudPrintRPCClient::setTrustedCaFileForTesting(m_certs.caFile() + QLatin1String(caMissing ? ".x" : ""));
        LogCapture log;
        CloudPrintRPCClient client(server.url());
        CloudPrintRPCClient::setTrustedCaFileForTesting(m_certs.caFile());
        QCOMPARE(log.texts(QtCriticalMsg).contains(QStringLiteral("CA.pem not exist")), caMissing);
        QTEST(client.Verfiy(cloudprint::Auth()), "accepted");
        // A name that is not an address is checked with information only; an address is refused with a warning.
        QCOMPARE(log.texts(QtInfoMsg).contains(QStringLiteral("v2 stage")), stage == QLatin1String("v2"));
        QCOMPARE(log.texts(QtWarningMsg).contains(QStringLiteral("v3 stage")), stage == QLatin1String("v3"));
    }

    // Names other than the vendor domain, each refused at the name stage.
    void nameComparison_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<int>("size");

        const QByteArray domain(QUORVIA_VENDOR_DOMAIN);
        QTest::newRow("other case") << domain.toUpper() << domain.size();
        QTest::newRow("prefix only") << domain << domain.size() - 1;
        QTest::newRow("longer") << domain + ".evil" << domain.size() + 5;
        QTest::newRow("conversion failed") << QByteArray() << -1;
    }

    void nameComparison()
    {
        QFETCH(QByteArray, name);
        QFETCH(int, size);

        LogCapture log;
        const char *data = size < 0 ? nullptr : name.constData();
        QCOMPARE(int(CloudPrintAccessManager().verify(std::string("10.0.0.5"), data, size)), int(AccessManager::DENY));
        QCOMPARE(log.texts(QtInfoMsg), QStringList{QStringLiteral("v2 stage")});
    }

    void call_data()
    {
        QTest::addColumn<QString>("method");
        QTest::addColumn<QString>("serverFault"); // a fault mode, or the hex bytes of a raw reply
        QTest::addColumn<QString>("outcome");
        QTest::addColumn<QString>("logLine");

        const auto row = [](const char *name, const char *method, const QString &serverFault, const char *outcome,
                            const char *logLine) {
            QTest::newRow(name) << method << serverFault << outcome << logLine;
        };
        const char *const oversized = "TTransportException MaxMessageSize reached";
        const char *const unknown = "Unknow Exception";
        const char *const application = "TApplicationException";
        // The connection closes within the reply's first word.
        const QString broken = QStringLiteral("800100");
        const QString declared = QStringLiteral("exception");
        const QString list = reply("ListPrinter") + QStringLiteral("0f0000");

        row("GetServerVersion", "GetServerVersion", {}, "version:5.3.6", "");

        row("Verfiy without a result", "Verfiy", reply("Verfiy") + QStringLiteral("00"), "false", application);
        row("Verfiy declared", "Verfiy", declared, "false", unknown);
        row("Verfiy stalled past the receive time-out", "Verfiy", QStringLiteral("stall"), "false", "Verfiy Exception");
        row("ListPrinter slow, within the receive time-out", "ListPrinter", QStringLiteral("slow"), "printers:a", "");
        row("ListPrinter cut within the list", "ListPrinter", list + QStringLiteral("0c 00000002 0b0001") + str("a"),
            "transport", "TTransportException");
        row("ListPrinter declared, passed on unchanged", "ListPrinter", declared, "server:7:tray on fire", unknown);
        row("GetPpdDrv transport", "GetPpdDrv", broken, "transport", "TTransportException");
        row("GetPpdDrv writes up to the first NUL", "GetPpdDrv", {}, "path:1 own:1 file:head", "");
        // Someone else's file or link at the path is left alone and not used.
        row("GetPpdDrv, a file there", "GetPpdDrv:file", {}, "path:0 own:0 file:planted", "cannot create driver file");
        row("GetPpdDrv, a link there", "GetPpdDrv:link", {}, "path:0 own:0 file:", "cannot create driver file");
        row("GetPpdDrv, a name leaving /tmp", "GetPpdDrv:no-such-dir/", {},
            "path:0 own:0 file:", "invalid driver file name: no-such-dir/");

        const QString version = reply("GetServerVersion");
        row("huge string length", "GetServerVersion", version + QStringLiteral("0b0000 7ffffff0"),
            "version:", oversized);
        row("negative string length", "GetServerVersion", version + QStringLiteral("0b0000 fffffffe"),
            "version:", unknown);
        row("huge method name", "Verfiy", QStringLiteral("80010002 7ffffff0"), "false", "Verfiy Exception MaxMessage");
        // 2^20 empty records: a megabyte on the wire, past the record bound in memory.
        row("list count past the record bound", "ListPrinter", list + QStringLiteral("0c 00100000"), "transport",
            oversized);
        row("list of another type", "ListPrinter", list + QStringLiteral("08 00000001 00000005 00"), "protocol",
            unknown);
        row("nesting past 64 levels", "ListPrinter", nested(70), "protocol", unknown);
        row("nesting within the limit", "ListPrinter", nested(50), "printers:deep", "");
        row("unknown fields skipped", "ListPrinter",
            reply("ListPrinter") + QStringLiteral("0b0007") + str("extra") + QStringLiteral("0f0000 0c 00000001 0b0032")
                + str("extra") + QStringLiteral("0f0033 08 00000002 00000001 00000002 0b0001") + str("p1")
                + QStringLiteral("00 00"),
            "printers:p1", "");
        row("success of the wrong type is a missing result", "ListPrinter",
            reply("ListPrinter") + QStringLiteral("080000 00000001 00"), "application", application);
        // Trailing bytes of a broken reply must not leak into the next call.
        row("exception-type reply", "ListPrinter",
            reply("ListPrinter", 3) + QStringLiteral("0b0001") + str("server broke")
                + QStringLiteral("080002 00000006 00") + QStringLiteral("7a").repeated(40),
            "application", "TApplicationException server broke");
        row("old unversioned header", "Verfiy", str("Verfiy") + QStringLiteral("02 00000000 020000 01 00"), "true", "");
    }

    void call()
    {
        QFETCH(QString, method);
        QFETCH(QString, serverFault);
        QFETCH(QString, outcome);
        QFETCH(QString, logLine);

        ReferenceServer server(m_certs);
        const QString withNul = QStringLiteral("head") + QChar(0) + QStringLiteral("tail");
        server.addPrinter(ReferenceServer::printer(QStringLiteral("a"), 0, 0, withNul));
        // Faults hit the first call only; "slow" is 1.2 s, within the receive time-out of 2 s.
        const bool mode = serverFault.contains(QRegularExpression(QStringLiteral("^[a-z]+$")));
        if (!serverFault.isEmpty()) {
            server.setFault(method, {{QStringLiteral("mode"), mode ? serverFault : QStringLiteral("raw")},
                                     {QStringLiteral("hex"), QString(serverFault).remove(QLatin1Char(' '))},
                                     {QStringLiteral("delayMs"), 1200},
                                     {QStringLiteral("code"), 7},
                                     {QStringLiteral("description"), QStringLiteral("tray on fire")},
                                     {QStringLiteral("count"), 1}});
        }
        QVERIFY2(server.start(), qPrintable(server.errorString()));

        LogCapture log;
        CloudPrintRPCClient::setReceiveTimeoutForTesting(2000);
        CloudPrintRPCClient client(server.url());
        CloudPrintRPCClient::setReceiveTimeoutForTesting(60000);
        QCOMPARE(run(client, method), outcome);
        const QStringList warnings = log.texts(QtWarningMsg);
        QVERIFY2(logLine.isEmpty() ? warnings.isEmpty() : warnings.size() == 1 && warnings.at(0).startsWith(logLine),
                 qPrintable(warnings.join(QLatin1Char('\n'))));
        QCOMPARE(log.texts().value(0), QStringLiteral("server address: ") + server.url());
        QCOMPARE(log.texts(QtDebugMsg).contains(QStringLiteral("GetServerVersion: 5.3.6")),
                 outcome == QLatin1String("version:5.3.6"));

        // The fault hit one call only: the same object serves the next one as a new one does.
        CloudPrintRPCClient fresh(server.url());
        if (!serverFault.isEmpty())
            QCOMPARE(run(client, method), run(fresh, method));
    }

    // The printers are listed through an address without a port, so their
    // device URIs must name the port actually used.
    void listedPrintersUseTheCloudPort()
    {
        ReferenceServer server(m_certs);
        for (const auto &[id, status, uriPath, text, level] : kListed)
            server.addPrinter(ReferenceServer::printer(QString::fromUtf8(id), status));
        QVERIFY2(server.start(), qPrintable(server.errorString()));

        printerport::ConfigPrinterPort();
        printerport::SetCloudPrintPort(server.port());
        // Before the restart the address still goes to 9100, where nothing listens.
        LogCapture log;
        QVERIFY(!CloudPrintRPCClient(QStringLiteral("tqp://127.0.0.1")).Connect());
        QVERIFY(!log.texts(QtWarningMsg).filter(QStringLiteral("Connect Exception")).isEmpty());
        printerport::ConfigPrinterPort();
        const std::vector<Printer> printers =
            CloudPrintRPCClient(QStringLiteral("tqp://127.0.0.1")).ListPrinter(cloudprint::Auth());
        QCOMPARE(printers.size(), std::size(kListed));
        for (size_t i = 0; i < std::size(kListed); ++i) {
            const auto &[id, status, uriPath, text, level] = kListed[i];
            QCOMPARE(printers[i].statusText(), QLatin1String(text));
            QCOMPARE(printers[i].statusLevel(), level);
            QCOMPARE(QString::fromStdString(printers[i].Addr),
                     server.url() + QLatin1Char('/') + QLatin1String(uriPath));
        }
    }

    void replyBoundIsPerCall()
    {
        // Three replies of ~24 MiB: together past the 64 MiB bound, each well below it.
        ReferenceServer server(m_certs);
        server.generatePrinters(24, 1024 * 1024);
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        CloudPrintRPCClient client(server.url());
        for (int i = 0; i < 3; ++i)
            QCOMPARE(client.ListPrinter(cloudprint::Auth()).size(), size_t(24));

        server.generatePrinters(17, 4 * 1024 * 1024);
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        LogCapture log;
        CloudPrintRPCClient oversized(server.url());
        QCOMPARE(run(oversized, QStringLiteral("ListPrinter")), QStringLiteral("transport"));
        QCOMPARE(log.texts(QtWarningMsg), QStringList{QStringLiteral("TTransportException MaxMessageSize reached")});
    }
};

QTEST_GUILESS_MAIN(TestRpcClient)
#include "tst_rpcclient.moc"
