// CloudPrintRPCClient against the reference server over real TLS: results,
// the failure table with its log lines, malformed replies and time-outs.
#include "cloudprintclient.h"
#include "logcapture.h"
#include "referenceserver.h"
#include "testcertificates.h"
#include "wire.h"

#include <thrift/TApplicationException.h>
#include <thrift/protocol/TProtocolException.h>
#include <thrift/transport/TTransportException.h>

#include <QElapsedTimer>
#include <QTcpServer>
#include <QtTest>

using cloudprinttest::LogCapture;
using cloudprinttest::ReferenceServer;
using cloudprinttest::TestCertificates;

namespace {

cloudprint::Auth auth(const QString &code = QStringLiteral("1234"))
{
    cloudprint::Auth a;
    a.__set_Authcode(code.toStdString());
    return a;
}

QString describe(const std::vector<Printer> &printers)
{
    QStringList parts;
    for (const Printer &p : printers)
        parts << QString::fromStdString(p.ID + "|" + p.ServerName);
    return parts.join(QLatin1Char(';'));
}

// Runs one client operation and describes what came back, so that rows of a
// table can name the expected outcome as text.
QString run(CloudPrintRPCClient &client, const QString &method)
{
    try {
        if (method == QLatin1String("Connect"))
            return client.Connect() ? QStringLiteral("true") : QStringLiteral("false");
        if (method == QLatin1String("Verfiy"))
            return client.Verfiy(auth()) ? QStringLiteral("true") : QStringLiteral("false");
        if (method == QLatin1String("GetServerVersion"))
            return QStringLiteral("version:") + QString::fromStdString(client.GetServerVersion(auth()));
        if (method == QLatin1String("ListPrinter"))
            return QStringLiteral("printers:") + describe(client.ListPrinter(auth()));
        if (method == QLatin1String("GetPpdDrv")) {
            cloudprint::Printer printer;
            printer.__set_ID("p1");
            const QString path = client.GetPpdDrv(auth(), printer, QUuid::createUuid().toString(QUuid::WithoutBraces));
            QFile::remove(path);
            return QStringLiteral("path:") + (path.isEmpty() ? QString() : QStringLiteral("written"));
        }
    } catch (const apache::thrift::transport::TTransportException &) {
        return QStringLiteral("transport");
    } catch (const apache::thrift::TApplicationException &) {
        return QStringLiteral("application");
    } catch (const apache::thrift::protocol::TProtocolException &) {
        return QStringLiteral("protocol");
    } catch (const cloudprint::Exception &e) {
        return QStringLiteral("server:%1:%2").arg(e.Code).arg(QString::fromStdString(e.Description));
    }
    return QStringLiteral("unknown method");
}

QJsonObject fault(const QString &mode)
{
    return QJsonObject{{QStringLiteral("mode"), mode}};
}

QJsonObject rawFault(const Wire &wire)
{
    return QJsonObject{{QStringLiteral("mode"), QStringLiteral("raw")}, {QStringLiteral("hex"), wire.hex()}};
}

// A printer struct that carries an unknown field nested `depth` structs deep.
Wire nestedPrinterList(int depth)
{
    Wire w;
    w.reply("ListPrinter").field(Wire::List, 0).byte(Wire::Struct).i32(1);
    w.field(Wire::String, 1).str("deep");
    for (int i = 0; i < depth; ++i)
        w.field(Wire::Struct, 99);
    for (int i = 0; i < depth; ++i)
        w.stop();
    return w.stop().stop();
}

} // namespace

class TestRpcClient : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void callsReachTheServer();
    void verfiyChecksTheCode_data();
    void verfiyChecksTheCode();
    void jobCountsFollowTheServer();
    void failureTable_data();
    void failureTable();
    void malformedReplies_data();
    void malformedReplies();
    void failedCallLeavesClientUsable();
    void replyBoundIsPerCall();
    void oversizedReplyIsTransportFailure();
    void noListener();
    void stalledServerHitsReceiveTimeout();

private:
    std::unique_ptr<TestCertificates> m_certs;
};

void TestRpcClient::initTestCase()
{
    m_certs = std::make_unique<TestCertificates>();
    QVERIFY2(m_certs->ok(), qPrintable(m_certs->errorString()));
    CloudPrintRPCClient::setTrustedCaFileForTesting(m_certs->caFile());
}

void TestRpcClient::callsReachTheServer()
{
    ReferenceServer server(*m_certs);
    server.setCodes({QStringLiteral("1234")});
    server.setVersion(QStringLiteral("5.3.6"));
    server.addPrinter(ReferenceServer::printer(QStringLiteral("first"), 0, 0, QStringLiteral("driver one")));
    server.addPrinter(ReferenceServer::printer(QStringLiteral("second")));
    QVERIFY2(server.start(), qPrintable(server.errorString()));

    LogCapture log;
    CloudPrintRPCClient client(server.url());
    QCOMPARE(log.texts().value(0), QStringLiteral("server address: ") + server.url());
    QVERIFY(client.Connect());
    QVERIFY(client.Verfiy(auth()));
    QCOMPARE(client.GetServerVersion(auth()), std::string("5.3.6"));
    QVERIFY(log.contains(QStringLiteral("GetServerVersion: 5.3.6")));
    QCOMPARE(run(client, QStringLiteral("ListPrinter")), QStringLiteral("printers:first|print-server-01;second|print-server-01"));
    QVERIFY(!log.contains(QStringLiteral("Unknow")));
}

void TestRpcClient::verfiyChecksTheCode_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("right code") << QStringLiteral("1234") << true;
    QTest::newRow("wrong code") << QStringLiteral("4321") << false;
    QTest::newRow("empty code") << QString() << false;
    QTest::newRow("non-ASCII code travels as UTF-8") << QStringLiteral("Pässwört") << true;
}

void TestRpcClient::verfiyChecksTheCode()
{
    QFETCH(QString, code);
    QFETCH(bool, accepted);
    ReferenceServer server(*m_certs);
    server.setCodes({QStringLiteral("1234"), QStringLiteral("Pässwört")});
    QVERIFY2(server.start(), qPrintable(server.errorString()));

    LogCapture log;
    CloudPrintRPCClient client(server.url());
    QCOMPARE(client.Verfiy(auth(code)), accepted);
    // A rejected code is an answer, not a failure.
    QVERIFY(!log.contains(QStringLiteral("Verfiy Exception")));
}

void TestRpcClient::jobCountsFollowTheServer()
{
    ReferenceServer server(*m_certs);
    QJsonObject printer = ReferenceServer::printer(QStringLiteral("busy"));
    printer.insert(QStringLiteral("cJobsSequence"), QJsonArray{0, 3, 1});
    server.addPrinter(printer);
    QVERIFY2(server.start(), qPrintable(server.errorString()));

    CloudPrintRPCClient client(server.url());
    QList<int> counts;
    for (int i = 0; i < 4; ++i)
        counts << client.ListPrinter(auth()).at(0).cJobs;
    QCOMPARE(counts, (QList<int>{0, 3, 1, 1}));
}

void TestRpcClient::failureTable_data()
{
    QTest::addColumn<QString>("method");
    QTest::addColumn<QJsonObject>("serverFault");
    QTest::addColumn<QString>("logLine");
    QTest::addColumn<QString>("outcome");

    const QJsonObject broken = fault(QStringLiteral("closeMidReply"));
    const QJsonObject noResult = fault(QStringLiteral("noResult"));
    const QJsonObject declared{{QStringLiteral("mode"), QStringLiteral("exception")},
                               {QStringLiteral("code"), 7},
                               {QStringLiteral("description"), QStringLiteral("tray on fire")}};

    QTest::newRow("Verfiy transport") << "Verfiy" << broken << "Verfiy Exception" << "false";
    QTest::newRow("Verfiy application") << "Verfiy" << noResult
                                        << "TApplicationException Verfiy failed: unknown result" << "false";
    QTest::newRow("Verfiy declared") << "Verfiy" << declared << "Unknow Exception" << "false";

    QTest::newRow("GetServerVersion transport") << "GetServerVersion" << broken << "TTransportException"
                                                << "version:";
    QTest::newRow("GetServerVersion application")
        << "GetServerVersion" << noResult << "TApplicationException GetServerVersion failed: unknown result"
        << "version:";
    QTest::newRow("GetServerVersion declared") << "GetServerVersion" << declared << "Unknow Exception"
                                               << "version:";

    QTest::newRow("ListPrinter transport") << "ListPrinter" << broken << "TTransportException" << "transport";
    QTest::newRow("ListPrinter application") << "ListPrinter" << noResult
                                             << "TApplicationException ListPrinter failed: unknown result"
                                             << "application";
    QTest::newRow("ListPrinter declared, passed on unchanged")
        << "ListPrinter" << declared << "Unknow Exception" << "server:7:tray on fire";

    QTest::newRow("GetPpdDrv transport") << "GetPpdDrv" << broken << "TTransportException" << "transport";
    QTest::newRow("GetPpdDrv application") << "GetPpdDrv" << noResult
                                           << "TApplicationException GetPpdDrv failed: unknown result"
                                           << "application";
    QTest::newRow("GetPpdDrv declared") << "GetPpdDrv" << declared << "Unknow Exception"
                                        << "server:7:tray on fire";
}

void TestRpcClient::failureTable()
{
    QFETCH(QString, method);
    QFETCH(QJsonObject, serverFault);
    QFETCH(QString, logLine);
    QFETCH(QString, outcome);

    ReferenceServer server(*m_certs);
    server.addPrinter(ReferenceServer::printer(QStringLiteral("p1")));
    server.setDefaultDriver(QStringLiteral("driver"));
    server.setFault(method, serverFault);
    QVERIFY2(server.start(), qPrintable(server.errorString()));

    LogCapture log;
    CloudPrintRPCClient client(server.url());
    QCOMPARE(run(client, method), outcome);
    const int at = log.indexOf(logLine);
    QVERIFY2(at >= 0, qPrintable(log.texts().join(QLatin1Char('\n'))));
    QCOMPARE(log.entries().at(at).type, QtWarningMsg);
}

void TestRpcClient::malformedReplies_data()
{
    QTest::addColumn<QString>("method");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("logLine");
    QTest::addColumn<QString>("outcome");

    QTest::newRow("truncated") << "Verfiy" << Wire().reply("Verfiy").field(Wire::Bool, 0).bytes()
                               << "Verfiy Exception" << "false";
    QTest::newRow("truncated list") << "ListPrinter"
                                    << Wire().reply("ListPrinter").field(Wire::List, 0).byte(Wire::Struct).i32(3)
                                           .field(Wire::String, 1).str("p1").stop().bytes()
                                    << "TTransportException" << "transport";
    QTest::newRow("negative string length")
        << "GetServerVersion" << Wire().reply("GetServerVersion").field(Wire::String, 0).i32(-1).bytes()
        << "Unknow Exception" << "version:";
    QTest::newRow("huge string length")
        << "GetServerVersion" << Wire().reply("GetServerVersion").field(Wire::String, 0).i32(0x7ffffff0).bytes()
        << "TTransportException MaxMessageSize reached" << "version:";
    QTest::newRow("huge method name") << "Verfiy" << Wire().i32(0x80010002u).i32(0x7ffffff0).bytes()
                                      << "Verfiy Exception MaxMessageSize reached" << "false";
    QTest::newRow("huge list count")
        << "ListPrinter" << Wire().reply("ListPrinter").field(Wire::List, 0).byte(Wire::Struct).i32(0x7ffffff0).bytes()
        << "TTransportException MaxMessageSize reached" << "transport";
    QTest::newRow("list count within the byte bound, beyond any sane record count")
        << "ListPrinter" << Wire().reply("ListPrinter").field(Wire::List, 0).byte(Wire::Struct).i32(50000000).bytes()
        << "TTransportException MaxMessageSize reached" << "transport";
    QTest::newRow("negative list count")
        << "ListPrinter" << Wire().reply("ListPrinter").field(Wire::List, 0).byte(Wire::Struct).i32(-5).bytes()
        << "Unknow Exception" << "protocol";
    QTest::newRow("nesting past 64 levels") << "ListPrinter" << nestedPrinterList(70).bytes() << "Unknow Exception"
                                            << "protocol";
    QTest::newRow("nesting within the limit") << "ListPrinter" << nestedPrinterList(50).bytes() << QString()
                                              << "printers:deep|";
    QTest::newRow("wrong field type skipped")
        << "ListPrinter"
        << Wire().reply("ListPrinter").field(Wire::List, 0).byte(Wire::Struct).i32(1)
               .field(Wire::I32, 1).i32(5).field(Wire::String, 2).str("srv").stop().stop().bytes()
        << QString() << "printers:|srv";
    QTest::newRow("unknown fields skipped")
        << "ListPrinter"
        << Wire().reply("ListPrinter").field(Wire::List, 0).byte(Wire::Struct).i32(1)
               .field(Wire::String, 50).str("extra").field(Wire::List, 51).byte(Wire::I32).i32(2).i32(1).i32(2)
               .field(Wire::String, 1).str("p1").stop().stop().bytes()
        << QString() << "printers:p1|";
    QTest::newRow("printer omits fields")
        << "ListPrinter"
        << Wire().reply("ListPrinter").field(Wire::List, 0).byte(Wire::Struct).i32(2)
               .stop().field(Wire::String, 2).str("only server").stop().stop().bytes()
        << QString() << "printers:|;|only server";
    QTest::newRow("exception-type reply")
        << "Verfiy"
        << Wire().reply("Verfiy", Wire::Exception).field(Wire::String, 1).str("server broke")
               .field(Wire::I32, 2).i32(6).stop().bytes()
        << "TApplicationException server broke" << "false";
    QTest::newRow("success of the wrong type is a missing result")
        << "Verfiy" << Wire().reply("Verfiy").field(Wire::I32, 0).i32(1).stop().bytes()
        << "TApplicationException Verfiy failed: unknown result" << "false";
    QTest::newRow("old unversioned header")
        << "Verfiy" << Wire().oldReply("Verfiy").field(Wire::Bool, 0).byte(1).stop().bytes() << QString() << "true";
    QTest::newRow("bad version") << "Verfiy"
                                 << Wire().i32(0x80020002u).str("Verfiy").i32(0).field(Wire::Bool, 0).byte(1)
                                        .stop().bytes()
                                 << "Unknow Exception" << "false";
}

void TestRpcClient::malformedReplies()
{
    QFETCH(QString, method);
    QFETCH(QByteArray, reply);
    QFETCH(QString, logLine);
    QFETCH(QString, outcome);

    Wire wire;
    wire.raw(reply);
    ReferenceServer server(*m_certs);
    server.setFault(method, rawFault(wire));
    QVERIFY2(server.start(), qPrintable(server.errorString()));

    LogCapture log;
    CloudPrintRPCClient client(server.url());
    QCOMPARE(run(client, method), outcome);
    if (logLine.isEmpty())
        QVERIFY2(log.indexOf(QStringLiteral("T")) < 0 && !log.contains(QStringLiteral("Unknow")),
                 qPrintable(log.texts().join(QLatin1Char('\n'))));
    else
        QVERIFY2(log.contains(logLine), qPrintable(log.texts().join(QLatin1Char('\n'))));
}

void TestRpcClient::failedCallLeavesClientUsable()
{
    // The broken reply carries trailing bytes that must not leak into the next call.
    Wire wire;
    wire.reply("Verfiy", Wire::Exception).field(Wire::String, 1).str("once").stop().raw(QByteArray(40, 'z'));
    QJsonObject once = rawFault(wire);
    once.insert(QStringLiteral("count"), 1);

    ReferenceServer server(*m_certs);
    server.setFault(QStringLiteral("Verfiy"), once);
    QVERIFY2(server.start(), qPrintable(server.errorString()));

    CloudPrintRPCClient client(server.url());
    QVERIFY(!client.Verfiy(auth()));
    QVERIFY(client.Verfiy(auth()));
    QVERIFY(client.Verfiy(auth()));
}

void TestRpcClient::replyBoundIsPerCall()
{
    // Three replies of ~24 MiB each: together past the 64 MiB bound, each well below it.
    ReferenceServer server(*m_certs);
    server.generatePrinters(24, 1024 * 1024);
    QVERIFY2(server.start(), qPrintable(server.errorString()));

    CloudPrintRPCClient client(server.url());
    for (int i = 0; i < 3; ++i)
        QCOMPARE(client.ListPrinter(auth()).size(), size_t(24));
}

void TestRpcClient::oversizedReplyIsTransportFailure()
{
    ReferenceServer server(*m_certs);
    server.generatePrinters(17, 4 * 1024 * 1024);
    QVERIFY2(server.start(), qPrintable(server.errorString()));

    LogCapture log;
    CloudPrintRPCClient client(server.url());
    QCOMPARE(run(client, QStringLiteral("ListPrinter")), QStringLiteral("transport"));
    QVERIFY(log.contains(QStringLiteral("TTransportException MaxMessageSize reached")));
    QVERIFY(client.Verfiy(auth()));
}

void TestRpcClient::noListener()
{
    QTcpServer probe;
    QVERIFY(probe.listen(QHostAddress::LocalHost));
    const quint16 port = probe.serverPort();
    probe.close();

    LogCapture log;
    CloudPrintRPCClient client(QStringLiteral("tqp://127.0.0.1:%1").arg(port));
    QElapsedTimer timer;
    timer.start();
    QVERIFY(!client.Connect());
    QVERIFY(timer.elapsed() < 6000);
    QVERIFY(log.contains(QStringLiteral("Connect Exception")));
    QVERIFY(!client.Verfiy(auth()));
    QVERIFY(log.contains(QStringLiteral("Verfiy Exception")));
}

void TestRpcClient::stalledServerHitsReceiveTimeout()
{
    ReferenceServer server(*m_certs);
    server.setFault(QStringLiteral("Verfiy"), fault(QStringLiteral("stall")));
    QVERIFY2(server.start(), qPrintable(server.errorString()));

    CloudPrintRPCClient::setReceiveTimeoutForTesting(400);
    CloudPrintRPCClient client(server.url());
    CloudPrintRPCClient::setReceiveTimeoutForTesting(60000);

    LogCapture log;
    QElapsedTimer timer;
    timer.start();
    QVERIFY(!client.Verfiy(auth()));
    const qint64 elapsed = timer.elapsed();
    QVERIFY2(elapsed >= 350 && elapsed < 5000, qPrintable(QString::number(elapsed)));
    QVERIFY(log.contains(QStringLiteral("Verfiy Exception")));
}

QTEST_GUILESS_MAIN(TestRpcClient)
#include "tst_rpcclient.moc"
