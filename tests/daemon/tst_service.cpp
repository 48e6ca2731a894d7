// The print-time path end to end: the stand-in backend calls the daemon,
// which finds the user's agent (or signing service) on the private system
// bus and forwards the call; the agent answers from the user's server list.
#include "config.h"
#include "rsahelper.h"
#include "testprocess.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDateTime>
#include <QTest>

#include <memory>

namespace {

const QString daemonName = QStringLiteral("com.quorvia.cloud.print.daemon");
const QString savedAddress = QStringLiteral("tqp://10.20.30.40:9100");
const QString savedCode = QStringLiteral("A1b2-C3d4 \u00e9");

} // namespace

class ServiceTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void backendCall_data();
    void backendCall();
    void secondDaemonExits();

private:
    TestProcess m_daemon;
    TestProcess m_agent;
    TestProcess m_signer;
    TestProcess m_notifications;
};

void ServiceTest::initTestCase()
{
    Config config;
    config.servers.insert(savedAddress, {savedCode, savedAddress, QDateTime::currentDateTime()});
    QVERIFY(config.save());

    m_daemon.start(QStringLiteral(TEST_DAEMON_PATH));
    m_signer.start(QStringLiteral(TEST_SIGNER_PATH));
    m_notifications.start(QStringLiteral(TEST_NOTIFICATIONS_PATH));
    QVERIFY(m_signer.waitForStdout(QStringLiteral("\n")));
    QTRY_VERIFY(QDBusConnection::systemBus().interface()->isServiceRegistered(daemonName));
    QTRY_VERIFY(QDBusConnection::sessionBus().interface()->isServiceRegistered(
        QStringLiteral("org.freedesktop.Notifications")));
}

// Rows run in order: the agent starts after the first.
void ServiceTest::backendCall_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("reply"); // RequestAuthcode: once decrypted
    QTest::addColumn<QStringList>("daemonLog");
    QTest::addColumn<QString>("agentLog");
    QTest::addColumn<QString>("notification");

    const QString authcode = QStringLiteral("RequestAuthcode");
    const QString unknown = QStringLiteral("tqp://10.9.9.9:9100");
    QTest::newRow("no agent") << QStringList{authcode, savedAddress, QStringLiteral("root")} << QString()
                              << QStringList{QStringLiteral("RequestAuthcode find \n"),
                                             QStringLiteral("RequestAuthcode D-Bus Error:")}
                              << QString() << QString();
    QTest::newRow("saved code") << QStringList{authcode, savedAddress, QStringLiteral("root")} << savedCode
                                << QStringList() << QString() << QString();
    QTest::newRow("unknown address") << QStringList{authcode, unknown, QStringLiteral("root")} << QString()
                                     << QStringList() << QStringLiteral("server conf has no config information for ") + unknown
                                     << QString();
    QTest::newRow("agent of another user") << QStringList{authcode, savedAddress, QStringLiteral("nobody")}
                                           << QString() << QStringList() << QString() << QString();
    QTest::newRow("job finished") << QStringList{QStringLiteral("NotifyJobFinish"), QStringLiteral("queue-7"),
                                                 QStringLiteral("report.pdf"), QString(), QStringLiteral("root")}
                                  << QString() << QStringList() << QString()
                                  << QStringLiteral("\"body\":\"report.pdf printed successfully\\nPlease take them away timely\"");
    QTest::newRow("signing service of the user")
        << QStringList{QStringLiteral("SignData"), QStringLiteral("payload"), QStringLiteral("root")}
        << QStringLiteral("signed:payload") << QStringList() << QString() << QString();
    QTest::newRow("no signing service of the user")
        << QStringList{QStringLiteral("SignData"), QStringLiteral("payload"), QStringLiteral("nobody")} << QString()
        << QStringList{QStringLiteral("SignData D-Bus Error:")} << QString() << QString();
    QTest::newRow("remote log") << QStringList{QStringLiteral("RemoteLog"), QStringLiteral("job 12 sent"),
                                              QStringLiteral("alice")}
                                << QString() << QStringList{QStringLiteral("RemoteLog: alice job 12 sent")} << QString()
                                << QString();
}

void ServiceTest::backendCall()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, reply);
    QFETCH(QStringList, daemonLog);
    QFETCH(QString, agentLog);
    QFETCH(QString, notification);

    if (qstrcmp(QTest::currentDataTag(), "no agent") != 0 && m_agent.pid() <= 0) {
        m_agent.start(QStringLiteral(TEST_AGENT_PATH));
        QVERIFY(m_agent.waitForStderr(QStringLiteral("start cloud agent")));
    }
    TestProcess backend;
    backend.start(QStringLiteral(TEST_BACKEND_PATH), arguments);
    QCOMPARE(backend.waitForExit(), 0);
    const QString output = backend.standardOutput().trimmed();
    QCOMPARE(arguments.first() == QLatin1String("RequestAuthcode")
                 ? QString::fromStdString(RsaHelper::rsaDencryptFromBase64(output.toStdString()))
                 : output,
             reply);
    // Nothing to send is an empty reply, not an encrypted empty text.
    QCOMPARE(output.isEmpty(), reply.isEmpty());
    for (const QString &line : daemonLog)
        QVERIFY2(m_daemon.waitForStderr(line), qPrintable(line));
    QVERIFY(agentLog.isEmpty() || m_agent.waitForStderr(agentLog));
    QVERIFY(notification.isEmpty() || m_notifications.waitForStdout(notification));
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
