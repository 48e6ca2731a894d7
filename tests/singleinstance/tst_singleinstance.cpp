#include "singleinstance.h"
#include "testprocess.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

namespace {

// Starts this program in child mode for key, with the environment variables
// given as NAME=VALUE, and waits until it holds the key.
bool startHolder(TestProcess &holder, const QString &key, const QStringList &environment = {},
                 const QString &account = {})
{
    const QStringList hold{QCoreApplication::applicationFilePath(), QStringLiteral("--hold"), key};
    holder.start(QStringLiteral("env"), environment + hold, account);
    return holder.waitForStdout(QStringLiteral("claimed\n"));
}

} // namespace

class TestSingleInstance : public QObject
{
    Q_OBJECT

private slots:
    // Plain keys will do: the lock files go to the test's private runtime
    // directory (testing/with-home.sh).
    void claimInOneProcess()
    {
        SingleInstance first(QStringLiteral("claim"));
        QVERIFY(first.claim());
        QVERIFY(!SingleInstance(QStringLiteral("claim")).claim());
        QVERIFY(SingleInstance(QStringLiteral("other")).claim());
        QVERIFY(!SingleInstance(QStringLiteral("none")).sendMessage("lost", 500));
    }

    // A holder killed instead, its lock and socket left behind: configurator.app
    // (secondStartExitsWhileTheFirstRuns) starts over after one.
    void holderInAnotherProcessEnds()
    {
        const QString key = QStringLiteral("holder");
        TestProcess child;
        QVERIFY(startHolder(child, key));

        SingleInstance successor(key);
        QVERIFY(!successor.claim());
        // The large one is more than the socket buffers hold, so it arrives in many reads.
        for (const int size : {5, 0, 1024 * 1024}) {
            QVERIFY(successor.sendMessage(QByteArray(size, 'x')));
            QVERIFY(child.waitForStdout(QStringLiteral("message:%1\n").arg(size)));
        }
        QCOMPARE(child.standardOutput(), QStringLiteral("claimed\nmessage:5\nmessage:0\nmessage:1048576\n"));
        QVERIFY(successor.sendMessage("quit"));
        QCOMPARE(child.waitForExit(), 0);
        QVERIFY(!QFile::exists(SingleInstance::lockFilePath(key)));

        QVERIFY(successor.claim());
        QSignalSpy received(&successor, &SingleInstance::messageReceived);
        QVERIFY(SingleInstance(key).sendMessage("after"));
        QTRY_COMPARE(received.count(), 1);
    }

    // Neither account has a usable runtime directory: the one named is a third
    // account's (as after su), and so are the fall-backs Qt would make in the
    // temporary folder. Each account must still hold its own key.
    void twoAccountsWithoutARuntimeDirectory()
    {
        QTemporaryDir temp;
        QVERIFY(QFile::setPermissions(temp.path(), QFile::Permissions(0x7777)));
        QStringList install{QStringLiteral("-d"), QStringLiteral("-o"), QStringLiteral("daemon")};
        for (const char *dir : {"foreign", "runtime-root", "runtime-nobody"})
            install << temp.filePath(QLatin1String(dir));
        QCOMPARE(QProcess::execute(QStringLiteral("install"), install), 0);
        const QStringList environment{QStringLiteral("XDG_RUNTIME_DIR=") + temp.filePath(QStringLiteral("foreign")),
                                      QStringLiteral("TMPDIR=") + temp.path()};
        TestProcess root;
        TestProcess nobody;
        QVERIFY(startHolder(root, QStringLiteral("accounts"), environment));
        QVERIFY(startHolder(nobody, QStringLiteral("accounts"), environment, QStringLiteral("nobody")));
    }
};

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 3 || qstrcmp(argv[1], "--hold") != 0) {
        TestSingleInstance test;
        return QTest::qExec(&test, argc, argv);
    }
    // Child mode: hold the key, report the size of every message on stdout, quit on "quit".
    SingleInstance instance(QString::fromLocal8Bit(argv[2]));
    if (!instance.claim())
        return 2;
    QObject::connect(&instance, &SingleInstance::messageReceived, &app, [&app](const QByteArray &message) {
        QTextStream(stdout) << "message:" << message.size() << Qt::endl;
        if (message == "quit")
            app.quit();
    });
    QTextStream(stdout) << "claimed" << Qt::endl;
    return app.exec();
}

#include "tst_singleinstance.moc"
