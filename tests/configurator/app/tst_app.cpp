#include "agentcheck.h"
#include "logcapture.h"
#include "configdialog.h"
#include "singleinstance.h"

#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <memory>

namespace {

const QString instanceKey = QStringLiteral("quorvia-cloud-print-configurator");
const QString alreadyRunning = QStringLiteral("The quorvia-cloud-print-configurator is already running");

// A stand-in agent under the agent's file name: it notes its PID in
// "started" beside itself and runs until it is stopped.
class FakeAgent
{
public:
    explicit FakeAgent(const QString &name = QStringLiteral("quorvia-cloud-print-agent"))
        : m_name(name)
    {
        QFile script(path());
        if (script.open(QIODevice::WriteOnly)) {
            script.write("#!/bin/sh\n"
                         "echo $$ >> \"$(dirname \"$0\")/started\"\n"
                         "while :; do sleep 1; done\n");
            script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
    }

    ~FakeAgent()
    {
        for (qint64 pid : pids())
            ::kill(static_cast<pid_t>(pid), SIGTERM);
    }

    QString path() const { return m_dir.filePath(m_name); }

    // Lets another account run it.
    void shareWithOthers() const
    {
        const auto readAndRun = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup
            | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;
        QFile::setPermissions(m_dir.path(), readAndRun);
        QFile::setPermissions(path(), readAndRun);
    }

    QList<qint64> pids() const
    {
        QFile file(m_dir.filePath(QStringLiteral("started")));
        QList<qint64> result;
        if (file.open(QIODevice::ReadOnly)) {
            for (const QByteArray &line : file.readAll().split('\n')) {
                if (!line.isEmpty())
                    result << line.toLongLong();
            }
        }
        return result;
    }

private:
    QString m_name;
    QTemporaryDir m_dir;
};

QString logFile()
{
    return QDir::homePath()
        + QStringLiteral("/.cache/brantel/quorvia-cloud-print-configurator/quorvia-cloud-print-configurator.log");
}

// The PID recorded in the instance lock, 0 when there is none.
qint64 lockHolder()
{
    QLockFile lock(SingleInstance::lockFilePath(instanceKey));
    qint64 pid = 0;
    QString host;
    QString application;
    return lock.getLockInfo(&pid, &host, &application) ? pid : 0;
}

} // namespace

class TestApp : public QObject
{
    Q_OBJECT

private slots:
    void secondStartExitsWhileTheFirstRuns();
    void agentIsStartedOnlyWhenNotRunning();
    void agentPathsThatAShellWouldSplit_data();
    void agentPathsThatAShellWouldSplit();
    void showingTheWindowChecksForTheAgent();
    void anotherUsersAgentDoesNotCount();
};

void TestApp::secondStartExitsWhileTheFirstRuns()
{
    QProcess first;
    first.start(QStringLiteral(CONFIGURATOR_EXECUTABLE), QStringList());
    QTRY_COMPARE_WITH_TIMEOUT(lockHolder(), first.processId(), 15000);
    QProcess second;
    second.start(QStringLiteral(CONFIGURATOR_EXECUTABLE), QStringList());
    QVERIFY(second.waitForFinished(30000));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 255); // -1
    QVERIFY(QString::fromUtf8(second.readAllStandardError()).contains(alreadyRunning));
    QFile log(logFile());
    QVERIFY2(log.open(QIODevice::ReadOnly), qPrintable(logFile()));
    QVERIFY(QString::fromUtf8(log.readAll()).contains(alreadyRunning));
    QCOMPARE(first.state(), QProcess::Running);

    // A first instance that ended abruptly leaves its key to the next start.
    first.kill();
    QVERIFY(first.waitForFinished());
    first.start(QStringLiteral(CONFIGURATOR_EXECUTABLE), QStringList());
    QTRY_COMPARE_WITH_TIMEOUT(lockHolder(), first.processId(), 15000);
    second.start(QStringLiteral(CONFIGURATOR_EXECUTABLE), QStringList());
    QVERIFY(second.waitForFinished(30000));
    QCOMPARE(second.exitCode(), 255);
    QCOMPARE(first.state(), QProcess::Running);
    first.terminate();
    QVERIFY(first.waitForFinished());
}

void TestApp::agentIsStartedOnlyWhenNotRunning()
{
    FakeAgent copy;
    FakeAgent installed;
    const AgentCheck check(installed.path());
    QVERIFY(AgentCheck(copy.path()).ensureRunning());
    QTRY_VERIFY(AgentCheck(copy.path()).isRunning());
    // Only the full path counts, so the copy does not stop a start.
    QVERIFY(!check.isRunning());
    QVERIFY(check.ensureRunning());
    QTRY_COMPARE(installed.pids().size(), 1);
    QTRY_VERIFY(check.isRunning());
    QVERIFY(!check.ensureRunning());
    QCOMPARE(installed.pids().size(), 1);
    QCOMPARE(copy.pids().size(), 1);
}

void TestApp::agentPathsThatAShellWouldSplit_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("space") << QStringLiteral("cloud print agent");
    QTest::newRow("quote") << QStringLiteral("it's-the-agent");
    QTest::newRow("command") << QStringLiteral("agent$(touch canary)");
}

void TestApp::agentPathsThatAShellWouldSplit()
{
    QFETCH(QString, name);
    FakeAgent agent(name);
    const AgentCheck check(agent.path());
    QVERIFY(!check.isRunning());
    QVERIFY(check.ensureRunning());
    QTRY_VERIFY(check.isRunning());
    QVERIFY(!QFile::exists(QStringLiteral("canary")));

    LogCapture log;
    QVERIFY(!AgentCheck(agent.path() + QStringLiteral("-missing")).ensureRunning());
    QVERIFY(log.contains(QtWarningMsg, QStringLiteral("cannot start the agent")));
    QVERIFY(log.texts(QtWarningMsg).constLast().endsWith(QStringLiteral(": no such file")));
}

void TestApp::anotherUsersAgentDoesNotCount()
{
    FakeAgent agent;
    agent.shareWithOthers();
    QProcess other;
    other.start(QStringLiteral("setpriv"), {QStringLiteral("--reuid=nobody"), QStringLiteral("--regid=nogroup"),
                                            QStringLiteral("--clear-groups"), agent.path()});
    QVERIFY(other.waitForStarted());
    const auto everyonesProcesses = [] {
        QProcess ps;
        ps.start(QStringLiteral("ps"), {QStringLiteral("aux")});
        ps.waitForFinished();
        return QString::fromLocal8Bit(ps.readAllStandardOutput());
    };
    QTRY_VERIFY(everyonesProcesses().contains(agent.path()));
    QVERIFY(!AgentCheck(agent.path()).isRunning());
    other.kill();
    other.waitForFinished();
}

void TestApp::showingTheWindowChecksForTheAgent()
{
    FakeAgent agent;
    ConfiguratorWindow::setAgentPathForTesting(agent.path());
    ConfiguratorWindow window;
    window.show();
    QTRY_COMPARE(agent.pids().size(), 1);
    QTRY_VERIFY(AgentCheck(agent.path()).isRunning());
    window.hide();
    window.show();
    QCOMPARE(agent.pids().size(), 1);
}

QTEST_MAIN(TestApp)
#include "tst_app.moc"
