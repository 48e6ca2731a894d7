// The configurator program as a whole: one instance per user, the agent check.
#include "agentcheck.h"
#include "configdialog.h"
#include "logcapture.h"
#include "singleinstance.h"

#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

namespace {

const QString alreadyRunning = QStringLiteral("The quorvia-cloud-print-configurator is already running");

// A stand-in agent under `name` in a folder of its own: it notes each start in
// "started" beside itself and runs until the folder is removed.
struct FakeAgent
{
    explicit FakeAgent(const QString &name = QStringLiteral("quorvia-cloud-print-agent"))
        : path(dir.filePath(name))
    {
        QFile script(path);
        if (script.open(QIODevice::WriteOnly))
            script.write("#!/bin/sh\necho $$ >> \"$(dirname \"$0\")/started\"\n"
                         "while [ -e \"$0\" ]; do sleep 1; done\n");
        // Any account may run it and note its PID.
        ::chmod(QFile::encodeName(dir.path()).constData(), 0777);
        ::chmod(QFile::encodeName(path).constData(), 0755);
    }

    int starts() const
    {
        QFile file(dir.filePath(QStringLiteral("started")));
        return file.open(QIODevice::ReadOnly) ? int(file.readAll().count('\n')) : 0;
    }

    QTemporaryDir dir;
    const QString path;
};

// The PID recorded in the instance lock, 0 when there is none.
qint64 lockHolder()
{
    QLockFile lock(SingleInstance::lockFilePath(QStringLiteral("quorvia-cloud-print-configurator")));
    qint64 pid = 0;
    return lock.getLockInfo(&pid, nullptr, nullptr) ? pid : 0;
}

} // namespace

class TestApp : public QObject
{
    Q_OBJECT

private slots:
    void secondStartExitsWhileTheFirstRuns()
    {
        QProcess first;
        QProcess second;
        // The second time the first instance before has ended abruptly: its key is free again.
        for (int round = 0; round < 2; ++round) {
            first.start(QStringLiteral(CONFIGURATOR_EXECUTABLE), QStringList());
            QTRY_COMPARE_WITH_TIMEOUT(lockHolder(), first.processId(), 15000);
            second.start(QStringLiteral(CONFIGURATOR_EXECUTABLE), QStringList());
            QVERIFY(second.waitForFinished(30000));
            QCOMPARE(second.exitStatus(), QProcess::NormalExit);
            QCOMPARE(second.exitCode(), 255); // -1
            QVERIFY(QString::fromUtf8(second.readAllStandardError()).contains(alreadyRunning));
            QCOMPARE(first.state(), QProcess::Running);
            first.kill();
            QVERIFY(first.waitForFinished());
        }
        QFile log(QDir::homePath()
                  + QStringLiteral("/.cache/brantel/quorvia-cloud-print-configurator/"
                                   "quorvia-cloud-print-configurator.log"));
        QVERIFY2(log.open(QIODevice::ReadOnly), qPrintable(log.fileName()));
        QVERIFY(QString::fromUtf8(log.readAll()).contains(alreadyRunning));
    }

    void agentCheck_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("plain") << QStringLiteral("quorvia-cloud-print-agent");
        // Names a shell would split or run, whatever quotes it used.
        QTest::newRow("quote") << QStringLiteral("it's-the-agent");
        QTest::newRow("command") << QStringLiteral("agent$(touch canary)");
    }

    void agentCheck()
    {
        QFETCH(QString, name);
        // A canary left by an earlier, failed run must not fail this one.
        QFile::remove(QStringLiteral("canary"));
        FakeAgent agent(name);
        FakeAgent copy(name);
        const AgentCheck check(agent.path);
        // Neither a copy elsewhere nor another account's run of this very file counts.
        QVERIFY(AgentCheck(copy.path).ensureRunning());
        QProcess other;
        other.start(QStringLiteral("setpriv"), {QStringLiteral("--reuid=nobody"), QStringLiteral("--regid=nogroup"),
                                                QStringLiteral("--clear-groups"), agent.path});
        QTRY_COMPARE(agent.starts(), 1);
        QTRY_VERIFY(AgentCheck(copy.path).isRunning());
        QVERIFY(!check.isRunning());

        // Showing the window starts the agent, and only once.
        ConfiguratorWindow::setAgentPathForTesting(agent.path);
        ConfiguratorWindow window;
        window.show();
        QTRY_COMPARE(agent.starts(), 2);
        QTRY_VERIFY(check.isRunning());
        window.hide();
        window.show();
        QVERIFY(!check.ensureRunning());
        QCOMPARE(agent.starts(), 2);
        QCOMPARE(copy.starts(), 1);
        QVERIFY(!QFile::exists(QStringLiteral("canary")));

        LogCapture log;
        QVERIFY(!AgentCheck(agent.path + QStringLiteral("-missing")).ensureRunning());
        QVERIFY(log.contains(QtWarningMsg, QStringLiteral("cannot start the agent")));
        QVERIFY(log.texts(QtWarningMsg).constLast().endsWith(QStringLiteral(": no such file")));
    }
};

QTEST_MAIN(TestApp)
#include "tst_app.moc"
