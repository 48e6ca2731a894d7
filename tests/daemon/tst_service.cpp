// The daemon's search for a user's program among the connections of a
// private system bus, and the print-time path end to end: the stand-in
// backend calls the daemon, which forwards the call to the user's agent (or
// signing service); the agent answers from the user's server list.
#include "config.h"
#include "dbushelper.h"
#include "rsahelper.h"
#include "testprocess.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusPendingCall>
#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <unistd.h>

namespace {

const QString daemonName = QStringLiteral("com.quorvia.cloud.print.daemon");
const QString signerPath = QStringLiteral(TEST_SERVICES_PATH);
const QString savedAddress = QStringLiteral("tqp://10.20.30.40:9100");
const QString savedCode = QStringLiteral("A1b2-C3d4 \u00e9");

} // namespace

class DaemonTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // Servers 10.20.30.40 to .42: a plain code, an empty one, one longer than an RSA block.
        const QStringList codes{savedCode, QString(), QString(130, QLatin1Char('k'))};
        Config config;
        for (int i = 0; i < codes.size(); ++i) {
            const QString address = QStringLiteral("tqp://10.20.30.%1:9100").arg(40 + i);
            config.servers.insert(address, {codes.at(i), address, QDateTime::currentDateTime()});
        }
        QVERIFY(config.save());
        m_daemon.start(QStringLiteral(TEST_DAEMON_PATH));
        m_notifications.start(QStringLiteral(TEST_SERVICES_PATH), {QStringLiteral("notifications")});
        m_agent.start(QStringLiteral(TEST_AGENT_PATH));
        QVERIFY(m_agent.waitForStderr(QStringLiteral("start cloud agent")));

        // Signing services as bus peers, two of root and one of nobody. Of two
        // matching connections the search must return the one the bus lists first.
        const QStringList rootPeers{startPeer(signerPath), startPeer(signerPath)};
        m_nobodyPeer = startPeer(signerPath, QStringLiteral("nobody"));
        QVERIFY(!rootPeers.contains(QString()) && !m_nobodyPeer.isEmpty());
        const QStringList names = QDBusConnection::systemBus().interface()->registeredServiceNames().value();
        const auto first = std::find_first_of(names.begin(), names.end(), rootPeers.begin(), rootPeers.end());
        QVERIFY(first != names.end());
        m_firstRootPeer = *first;
        // An update replaces the executable while the old program still runs.
        const QString replaced = m_replaced.filePath(QStringLiteral("agent"));
        QVERIFY(QFile::copy(signerPath, replaced));
        m_replacedPeer = startPeer(replaced);
        QVERIFY(!m_replacedPeer.isEmpty() && QFile::remove(replaced) && QFile::copy(signerPath, replaced));

        QVERIFY(m_notifications.waitForStdout(QStringLiteral("\n")));
        QTRY_VERIFY(QDBusConnection::systemBus().interface()->isServiceRegistered(daemonName));
    }

    void busQueries()
    {
        QCOMPARE(DBusHelper::findDBusPid(QDBusConnection::systemBus().baseService()), quint32(::getpid()));
        QCOMPARE(DBusHelper::findDBusUid(m_nobodyPeer), quint32(65534));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^D-Bus Error: .*NameHasNoOwner")));
        QCOMPARE(DBusHelper::findDBusPid(QStringLiteral(":1.99999")), quint32(0));
    }

    void findByUserExec_data()
    {
        QTest::addColumn<QByteArray>("exe");
        QTest::addColumn<QByteArray>("user");
        QTest::addColumn<QString>("expected");

        const QByteArray signer = signerPath.toLocal8Bit();
        const QByteArray self = QCoreApplication::applicationFilePath().toLocal8Bit();
        // clang-format off
        QTest::newRow("two of the user: first in bus order") << signer << QByteArray("root") << m_firstRootPeer;
        QTest::newRow("program under another account") << signer << QByteArray("nobody") << m_nobodyPeer;
        QTest::newRow("account without the program") << signer << QByteArray("lp") << "";
        QTest::newRow("other program of the account") << self << QByteArray("nobody") << "";
        QTest::newRow("other program, same directory") << QByteArray(signer + "-old") << QByteArray("root") << "";
        QTest::newRow("replaced while running") << QFile::encodeName(m_replaced.filePath(QStringLiteral("agent")))
                                                << QByteArray("root") << m_replacedPeer;
        // clang-format on
    }

    void findByUserExec()
    {
        QFETCH(QByteArray, exe);
        QFETCH(QByteArray, user);
        QFETCH(QString, expected);

        QCOMPARE(QString::fromUtf8(DBusHelper::findByUserExec(exe, user)), expected);
    }

    void backendCall_data()
    {
        QTest::addColumn<QString>("call");   // method, arguments and user, joined by "|"
        QTest::addColumn<QString>("reply");  // RequestAuthcode: once decrypted
        QTest::addColumn<QString>("output"); // of the daemon or the notification service

        // clang-format off
        QTest::newRow("saved code") << "RequestAuthcode|tqp://10.20.30.40:9100|root" << savedCode << "";
        QTest::newRow("saved empty code") << "RequestAuthcode|tqp://10.20.30.41:9100|root" << "" << "";
        QTest::newRow("long code, two blocks") << "RequestAuthcode|tqp://10.20.30.42:9100|root"
                                               << QString(130, QLatin1Char('k')) << "";
        QTest::newRow("same host without port") << "RequestAuthcode|tqp://10.20.30.40|root" << "" << "";
        QTest::newRow("other spelling of the host") << "RequestAuthcode|tqp://10.020.030.040:9100|root" << "" << "";
        QTest::newRow("no agent of the user") << "RequestAuthcode|tqp://10.20.30.40:9100|nobody" << ""
                                              << "RequestAuthcode D-Bus Error:";
        QTest::newRow("job finished") << "NotifyJobFinish|queue-7|report.pdf||root" << ""
                                      << "\"report.pdf printed successfully\\nPlease take them away timely\"";
        QTest::newRow("signing service of the user") << "SignData|payload|root" << "signed:payload" << "";
        QTest::newRow("no signing service of the user") << "SignData|payload|daemon" << "" << "SignData D-Bus Error:";
        QTest::newRow("remote log") << "RemoteLog|job 12 sent|alice" << "" << "RemoteLog: alice job 12 sent";
        // clang-format on
    }

    void backendCall()
    {
        QFETCH(QString, call);
        QFETCH(QString, reply);
        QFETCH(QString, output);

        TestProcess backend;
        backend.start(QStringLiteral(TEST_BACKEND_PATH), call.split(QLatin1Char('|')));
        QCOMPARE(backend.waitForExit(), 0);
        const QString printed = backend.standardOutput().trimmed();
        const QString code = QString::fromStdString(RsaHelper::rsaDencryptFromBase64(printed.toStdString()));
        QCOMPARE(call.startsWith(QLatin1String("RequestAuthcode|")) ? code : printed, reply);
        // Nothing to send is an empty reply, not an encrypted empty text.
        QCOMPARE(printed.isEmpty(), reply.isEmpty());
        QTRY_VERIFY2(m_daemon.errorOutput().contains(output) || m_notifications.standardOutput().contains(output),
                     qPrintable(output));
    }

    void secondDaemonExits()
    {
        TestProcess second;
        second.start(QStringLiteral(TEST_DAEMON_PATH));
        QCOMPARE(second.waitForExit(), 3);
        QVERIFY(second.errorOutput().contains(QStringLiteral("registerObject Error")));
        QVERIFY(QDBusConnection::systemBus().interface()->isServiceRegistered(daemonName));
    }

    // Load: 2,000 backend calls, RequestAuthcode and NotifyJobFinish mixed, for
    // five more users whose agents hold the same server with the user's name as
    // its code. Every call must be answered, each code from the right agent.
    void manyCallersManyUsers()
    {
        const QStringList users = QStringLiteral("nobody daemon bin sys lp").split(QLatin1Char(' '));
        QTemporaryDir homes;
        QVERIFY(QFile::setPermissions(homes.path(), QFile::Permissions(0x7705)));
        const QByteArray ownHome = qgetenv("HOME");
        for (const QString &user : users) {
            const QString home = homes.filePath(user);
            QVERIFY(QDir().mkpath(home));
            qputenv("HOME", QFile::encodeName(home)); // for Config here and for the agent
            Config config;
            config.servers.insert(savedAddress, {user, savedAddress, QDateTime()});
            QVERIFY(config.save());
            QCOMPARE(QProcess::execute(QStringLiteral("chown"), {QStringLiteral("-R"), user, home}), 0);
            m_peers.push_back(std::make_unique<TestProcess>());
            m_peers.back()->start(QStringLiteral(TEST_AGENT_PATH), {}, user);
            QVERIFY2(m_peers.back()->waitForStderr(QStringLiteral("start cloud agent")), qPrintable(user));
        }
        qputenv("HOME", ownHome);

        // 50 callers on connections of their own, 40 calls each, all at once.
        std::vector<QDBusConnection> buses;
        for (int i = 0; i < 50; ++i)
            buses.push_back(
                QDBusConnection::connectToBus(QDBusConnection::SystemBus, QStringLiteral("caller-%1").arg(i)));
        std::vector<std::pair<QDBusPendingCall, QString>> calls; // each with the code it must bring back
        for (int id = 0; id < 2000; ++id) {
            const QString user = users.at(id % users.size());
            const bool notify = id % 4 == 3;
            QDBusMessage message = QDBusMessage::createMethodCall(
                daemonName, QStringLiteral("/com/quorvia/cloud/print/daemon"), daemonName,
                notify ? QStringLiteral("NotifyJobFinish") : QStringLiteral("RequestAuthcode"));
            message.setArguments(notify
                                     ? QVariantList{QStringLiteral("queue"), QStringLiteral("job.pdf"), QString(), user}
                                     : QVariantList{savedAddress, user});
            // Queued behind all the others: more time than a single call gets.
            calls.emplace_back(buses[id % buses.size()].asyncCall(message, 120000), notify ? QString() : user);
        }
        for (const auto &[call, code] : calls) {
            QTRY_VERIFY_WITH_TIMEOUT(call.isFinished(), 120000);
            QVERIFY2(!call.isError(), qPrintable(call.error().message()));
            const std::string reply = call.reply().arguments().value(0).toString().toStdString();
            QCOMPARE(QString::fromStdString(RsaHelper::rsaDencryptFromBase64(reply)), code);
        }
    }

private:
    // Starts the stand-in signing service from exe under account and returns
    // its unique connection name, empty if it did not come up.
    QString startPeer(const QString &exe, const QString &account = {})
    {
        m_peers.push_back(std::make_unique<TestProcess>());
        m_peers.back()->start(exe, {}, account);
        m_peers.back()->waitForStdout(QStringLiteral("\n"));
        return m_peers.back()->standardOutput().trimmed();
    }

    TestProcess m_daemon;
    TestProcess m_agent;
    TestProcess m_notifications;
    std::vector<std::unique_ptr<TestProcess>> m_peers;
    QString m_firstRootPeer;
    QString m_nobodyPeer;
    QTemporaryDir m_replaced;
    QString m_replacedPeer;
};

QTEST_GUILESS_MAIN(DaemonTest)
#include "tst_service.moc"
