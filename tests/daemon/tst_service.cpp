// The print-time path end to end: the stand-in backend calls the daemon,
// which finds the user's agent (or signing service) on the private system
// bus and forwards the call; the agent answers from the user's server list.
#include "config.h"
#include "rsahelper.h"
#include "testprocess.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include <memory>

namespace {

const QString daemonName = QStringLiteral("com.quorvia.cloud.print.daemon");
const QString savedAddress = QStringLiteral("tqp://10.20.30.40:9100");
const QString savedCode = QStringLiteral("A1b2-C3d4 \u00e9");

struct BackendResult
{
    int exitCode = -1;
    QString reply;
};

} // namespace

class ServiceTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void withoutAgent();
    void requestAuthcode_data();
    void requestAuthcode();
    void notifyJobFinish();
    void signData_data();
    void signData();
    void remoteLog();
    void secondDaemonExits();

private:
    BackendResult backend(const QStringList &arguments);
    bool startAgent();

    TestProcess m_daemon;
    TestProcess m_agent;
    TestProcess m_signer;
    TestProcess m_notifications;
};

BackendResult ServiceTest::backend(const QStringList &arguments)
{
    TestProcess process;
    process.start(QStringLiteral(TEST_BACKEND_PATH), arguments);
    BackendResult result;
    result.exitCode = process.waitForExit();
    result.reply = process.standardOutput().trimmed();
    return result;
}

bool ServiceTest::startAgent()
{
    m_agent.start(QStringLiteral(TEST_AGENT_PATH));
    return m_agent.waitForStderr(QStringLiteral("start cloud agent"));
}

void ServiceTest::initTestCase()
{
    Config config;
    config.servers.insert(savedAddress, {savedCode, savedAddress, QDateTime::currentDateTime()});
    QVERIFY(config.save());

    m_daemon.start(QStringLiteral(TEST_DAEMON_PATH));
    m_signer.start(QStringLiteral(TEST_SIGNER_PATH));
    m_notifications.start(QStringLiteral(TEST_NOTIFICATIONS_PATH));
    QVERIFY(m_signer.waitForStdout(QStringLiteral("\n")));
    QDBusConnectionInterface *bus = QDBusConnection::systemBus().interface();
    QTRY_VERIFY(bus->isServiceRegistered(daemonName));
    QTRY_VERIFY(QDBusConnection::sessionBus().interface()->isServiceRegistered(
        QStringLiteral("org.freedesktop.Notifications")));
}

void ServiceTest::withoutAgent()
{
    const BackendResult result = backend({QStringLiteral("RequestAuthcode"), savedAddress, QStringLiteral("root")});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.reply, QString());
    QVERIFY(m_daemon.waitForStderr(QStringLiteral("RequestAuthcode find \n")));
    QVERIFY(m_daemon.waitForStderr(QStringLiteral("RequestAuthcode D-Bus Error:")));

    QVERIFY(startAgent());
}

void ServiceTest::requestAuthcode_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("code");
    QTest::newRow("saved code") << savedAddress << "root" << savedCode;
    QTest::newRow("unknown address") << "tqp://10.9.9.9:9100" << "root" << QString();
    QTest::newRow("agent of another user") << savedAddress << "nobody" << QString();
}

void ServiceTest::requestAuthcode()
{
    QFETCH(QString, address);
    QFETCH(QString, user);
    QFETCH(QString, code);

    const BackendResult result = backend({QStringLiteral("RequestAuthcode"), address, user});
    QCOMPARE(result.exitCode, 0);
    const std::string decoded = RsaHelper::rsaDencryptFromBase64(result.reply.toStdString());
    QCOMPARE(QString::fromStdString(decoded), code);
    QCOMPARE(result.reply.isEmpty(), code.isEmpty());
    if (address.startsWith(QStringLiteral("tqp://10.9.")))
        QVERIFY(m_agent.waitForStderr(QStringLiteral("server conf has no config information for ") + address));
}

void ServiceTest::notifyJobFinish()
{
    const BackendResult result = backend({QStringLiteral("NotifyJobFinish"), QStringLiteral("queue-7"),
                                          QStringLiteral("report.pdf"), QString(), QStringLiteral("root")});
    QCOMPARE(result.exitCode, 0);
    QVERIFY(m_notifications.waitForStdout(QStringLiteral("\n")));
    const QJsonObject call = QJsonDocument::fromJson(m_notifications.standardOutput().toUtf8()).object();
    QCOMPARE(call.value(QStringLiteral("summary")).toString(), QStringLiteral("Print Successful"));
    QCOMPARE(call.value(QStringLiteral("body")).toString(),
             QStringLiteral("report.pdf printed successfully\nPlease take them away timely"));
}

void ServiceTest::signData_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("reply");
    QTest::newRow("signing service of the user") << "root" << "signed:payload";
    QTest::newRow("no signing service of the user") << "nobody" << QString();
}

void ServiceTest::signData()
{
    QFETCH(QString, user);
    QFETCH(QString, reply);
    const BackendResult result = backend({QStringLiteral("SignData"), QStringLiteral("payload"), user});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.reply, reply);
    if (reply.isEmpty())
        QVERIFY(m_daemon.waitForStderr(QStringLiteral("SignData D-Bus Error:")));
}

void ServiceTest::remoteLog()
{
    const BackendResult result = backend({QStringLiteral("RemoteLog"), QStringLiteral("job 12 sent"),
                                          QStringLiteral("alice")});
    QCOMPARE(result.exitCode, 0);
    QVERIFY(m_daemon.waitForStderr(QStringLiteral("RemoteLog: alice job 12 sent")));
}

void ServiceTest::secondDaemonExits()
{
    TestProcess second;
    second.start(QStringLiteral(TEST_DAEMON_PATH));
    QCOMPARE(second.waitForExit(), 3);
    QVERIFY(second.errorOutput().contains(QStringLiteral("registerObject Error")));
    QVERIFY(QDBusConnection::systemBus().interface()->isServiceRegistered(daemonName));
}

QTEST_GUILESS_MAIN(ServiceTest)
#include "tst_service.moc"
