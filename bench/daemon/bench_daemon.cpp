// One forwarded "RequestAuthcode" round trip (backend -> daemon -> agent and
// back) with 10 and with 200 other connections on the system bus, against a
// direct call to the agent as the baseline measured in the same run. Also
// the peer search alone, as the daemon does it and done one query at a time.
//
// Needs the private buses: run through scripts/bench.sh, or as
//   testing/with-home.sh testing/dbus/with-buses.sh <build>/bench/daemon/bench_daemon
#include "benchsupport.h"
#include "config.h"
#include "dbushelper.h"
#include "testprocess.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QTextStream>

#include <algorithm>
#include <functional>
#include <vector>

namespace {

const QString address = QStringLiteral("tqp://10.0.0.1:9100");
constexpr int rounds = 60;

// After one untimed warm-up call.
double medianMs(const std::function<void()> &work)
{
    work();
    return bench::medianMs(rounds, work);
}

QString call(const QString &service, const QString &path, const QString &interface, const QVariantList &args)
{
    QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, QStringLiteral("RequestAuthcode"));
    message.setArguments(args);
    const QDBusMessage reply = QDBusConnection::systemBus().call(message);
    return reply.arguments().value(0).toString();
}

// The search as written down first: every query waits for its reply.
QByteArray searchOneByOne(const QByteArray &exe, const QByteArray &user)
{
    const QStringList names = QDBusConnection::systemBus().interface()->registeredServiceNames().value();
    for (const QString &name : names) {
        if (!name.startsWith(QLatin1Char(':')))
            continue;
        const quint32 pid = DBusHelper::findDBusPid(name);
        DBusHelper::findDBusUid(name);
        if (getProcIdExe(int(pid)) == exe && user == "root")
            return name.toUtf8();
    }
    return {};
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);

    Config config;
    config.servers.insert(address, {QStringLiteral("bench-code"), address, QDateTime::currentDateTime()});
    config.save();

    TestProcess daemon;
    TestProcess agent;
    daemon.start(QStringLiteral(BENCH_DAEMON_PATH));
    agent.start(QStringLiteral(BENCH_AGENT_PATH));
    if (!agent.waitForStderr(QStringLiteral("start cloud agent"))) {
        out << "the agent did not start (run under testing/dbus/with-buses.sh)\n" << agent.errorOutput();
        return 1;
    }
    const QByteArray agentExe = QByteArrayLiteral(BENCH_AGENT_PATH);
    const QString agentName = QString::fromUtf8(DBusHelper::findByUserExec(agentExe, "root"));

    out << "connections  direct call  via daemon  ratio  search  search one by one\n";
    std::vector<QDBusConnection> crowd;
    for (int size : {10, 200}) {
        while (int(crowd.size()) < size) {
            crowd.push_back(QDBusConnection::connectToBus(QDBusConnection::SystemBus,
                                                          QStringLiteral("crowd-%1").arg(crowd.size())));
        }
        const double direct = medianMs([&] {
            call(agentName, QStringLiteral("/com/quorvia/cloud/print/agent"),
                 QStringLiteral("com.quorvia.cloud.print.agent"), {address});
        });
        const double forwarded = medianMs([&] {
            call(QStringLiteral("com.quorvia.cloud.print.daemon"), QStringLiteral("/com/quorvia/cloud/print/daemon"),
                 QStringLiteral("com.quorvia.cloud.print.daemon"), {address, QStringLiteral("root")});
        });
        const double search = medianMs([&] { DBusHelper::findByUserExec(agentExe, "root"); });
        const double oneByOne = medianMs([&] { searchOneByOne(agentExe, "root"); });
        out << QStringLiteral("%1  %2 ms  %3 ms  %4x  %5 ms  %6 ms\n")
                   .arg(size, 11)
                   .arg(direct, 8, 'f', 2)
                   .arg(forwarded, 7, 'f', 2)
                   .arg(forwarded / direct, 5, 'f', 1)
                   .arg(search, 4, 'f', 2)
                   .arg(oneByOne, 6, 'f', 2);
        out.flush();
    }
    const QString reply =
        call(QStringLiteral("com.quorvia.cloud.print.daemon"), QStringLiteral("/com/quorvia/cloud/print/daemon"),
             QStringLiteral("com.quorvia.cloud.print.daemon"), {address, QStringLiteral("root")});
    out << "forwarded reply " << (reply.isEmpty() ? "EMPTY (agent not reached)" : "received") << "\n";
    return reply.isEmpty() ? 1 : 0;
}
