// Load on the print-time path: 50 backend callers at once against the
// daemon, with one agent for each of five users, RequestAuthcode and
// NotifyJobFinish mixed. Every call must be answered, each code from the
// right user's agent.
#include "config.h"
#include "rsahelper.h"
#include "testprocess.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <memory>

namespace {

const QString daemonName = QStringLiteral("com.quorvia.cloud.print.daemon");
const QString address = QStringLiteral("tqp://10.20.30.40:9100");
const QStringList users{QStringLiteral("root"), QStringLiteral("nobody"), QStringLiteral("daemon"),
                        QStringLiteral("bin"), QStringLiteral("sys")};
constexpr int callers = 50;
constexpr int callsPerCaller = 40;

QString codeOf(const QString &user)
{
    return QStringLiteral("code-of-") + user;
}

// One backend connection that makes its calls one after the other.
class Caller : public QObject
{
public:
    Caller(int index, QObject *parent)
        : QObject(parent)
        , m_index(index)
        , m_bus(QDBusConnection::connectToBus(QDBusConnection::SystemBus, QStringLiteral("caller-%1").arg(index)))
    {
    }

    void next()
    {
        if (m_done == callsPerCaller)
            return;
        const int call = m_index * callsPerCaller + m_done;
        const QString user = users.at(call % users.size());
        const bool notify = call % 4 == 3;
        QDBusMessage message = QDBusMessage::createMethodCall(daemonName, QStringLiteral("/com/quorvia/cloud/print/daemon"),
                                                              daemonName,
                                                              notify ? QStringLiteral("NotifyJobFinish")
                                                                     : QStringLiteral("RequestAuthcode"));
        if (notify)
            message << QStringLiteral("queue-%1").arg(call) << QStringLiteral("job-%1.pdf").arg(call) << QString() << user;
        else
            message << address << user;
        m_timer.start();
        auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(message), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, user, notify] {
            latencies.append(m_timer.nsecsElapsed() / 1e6);
            watcher->deleteLater();
            if (watcher->isError())
                ++errors;
            else if (!notify
                     && QString::fromStdString(RsaHelper::rsaDencryptFromBase64(
                            QDBusPendingReply<QString>(*watcher).value().toStdString()))
                            != codeOf(user))
                ++wrongCodes;
            ++m_done;
            next();
        });
    }

    bool finished() const { return m_done == callsPerCaller; }

    QList<double> latencies;
    int errors = 0;
    int wrongCodes = 0;

private:
    int m_index;
    QDBusConnection m_bus;
    int m_done = 0;
    QElapsedTimer m_timer;
};

} // namespace

class LoadTest : public QObject
{
    Q_OBJECT

private slots:
    void manyCallersManyUsers();
};

void LoadTest::manyCallersManyUsers()
{
    QTemporaryDir homes;
    QVERIFY(QFile::setPermissions(homes.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                                    | QFile::ReadOther | QFile::ExeOther));
    const QByteArray ownHome = qgetenv("HOME");
    std::vector<std::unique_ptr<TestProcess>> agents;
    for (const QString &user : users) {
        // Each user's list holds the same server with a code of its own.
        const QString home = homes.filePath(user);
        QVERIFY(QDir().mkpath(home));
        qputenv("HOME", QFile::encodeName(home));
        Config config;
        config.servers.insert(address, {codeOf(user), address, QDateTime::currentDateTime()});
        QVERIFY(config.save());
        QCOMPARE(QProcess::execute(QStringLiteral("chown"), {QStringLiteral("-R"), user, home}), 0);

        auto agent = std::make_unique<TestProcess>();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), home);
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), home);
        agent->setEnvironment(environment);
        agent->start(QStringLiteral(TEST_AGENT_PATH), {}, user == QLatin1String("root") ? QString() : user);
        QVERIFY2(agent->waitForStderr(QStringLiteral("start cloud agent")), qPrintable(user));
        agents.push_back(std::move(agent));
    }
    qputenv("HOME", ownHome);

    TestProcess notifications;
    notifications.start(QStringLiteral(TEST_NOTIFICATIONS_PATH));
    TestProcess daemon;
    daemon.start(QStringLiteral(TEST_DAEMON_PATH));
    QTRY_VERIFY(QDBusConnection::systemBus().interface()->isServiceRegistered(daemonName));
    QTRY_VERIFY(QDBusConnection::sessionBus().interface()->isServiceRegistered(
        QStringLiteral("org.freedesktop.Notifications")));

    std::vector<Caller *> all;
    for (int i = 0; i < callers; ++i)
        all.push_back(new Caller(i, this));
    QElapsedTimer clock;
    clock.start();
    for (Caller *caller : all)
        caller->next();
    QTRY_VERIFY_WITH_TIMEOUT(std::all_of(all.begin(), all.end(), [](Caller *c) { return c->finished(); }), 120000);
    const qint64 elapsed = clock.elapsed();

    QList<double> latencies;
    int errors = 0;
    int wrongCodes = 0;
    for (Caller *caller : all) {
        latencies += caller->latencies;
        errors += caller->errors;
        wrongCodes += caller->wrongCodes;
    }
    std::sort(latencies.begin(), latencies.end());
    qInfo("%d calls in %lld ms (%.0f calls/s); latency median %.1f ms, 99th percentile %.1f ms, worst %.1f ms",
          int(latencies.size()), elapsed, latencies.size() * 1000.0 / double(elapsed), latencies.at(latencies.size() / 2),
          latencies.at(latencies.size() * 99 / 100), latencies.last());
    QCOMPARE(latencies.size(), callers * callsPerCaller);
    QCOMPARE(errors, 0);
    QCOMPARE(wrongCodes, 0);
}

QTEST_GUILESS_MAIN(LoadTest)
#include "tst_load.moc"
