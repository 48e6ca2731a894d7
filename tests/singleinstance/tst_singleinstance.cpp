#include "singleinstance.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QSignalSpy>
#include <QTest>

#include <cstdio>

namespace {

// Child mode: hold the key, report the size of every message on stdout, quit on "quit".
int holdKey(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    SingleInstance instance(QString::fromLocal8Bit(argv[2]));
    if (!instance.claim())
        return 2;
    QObject::connect(&instance, &SingleInstance::messageReceived, &app, [&app](const QByteArray &message) {
        std::printf("message:%d\n", int(message.size()));
        std::fflush(stdout);
        if (message == "quit")
            app.quit();
    });
    std::puts("claimed");
    std::fflush(stdout);
    return app.exec();
}

QString uniqueKey(const char *suffix)
{
    return QStringLiteral("toolkit-test-%1-").arg(QCoreApplication::applicationPid()) + QLatin1String(suffix);
}

} // namespace

class TestSingleInstance : public QObject
{
    Q_OBJECT

private slots:
    void claimInOneProcess();
    void holderInAnotherProcessEnds_data();
    void holderInAnotherProcessEnds();
    void twoAccountsWithoutARuntimeDirectory();
};

void TestSingleInstance::claimInOneProcess()
{
    SingleInstance first(uniqueKey("claim"));
    QVERIFY(first.claim());
    QVERIFY(!SingleInstance(uniqueKey("claim")).claim());
    QVERIFY(SingleInstance(uniqueKey("other")).claim());
    QVERIFY(!SingleInstance(uniqueKey("none")).sendMessage("lost", 500));
}

void TestSingleInstance::holderInAnotherProcessEnds_data()
{
    QTest::addColumn<bool>("killed");
    QTest::newRow("asked to quit") << false;
    // Leaves its lock and socket files behind.
    QTest::newRow("killed") << true;
}

void TestSingleInstance::holderInAnotherProcessEnds()
{
    QFETCH(bool, killed);
    const QString key = uniqueKey(killed ? "killed" : "quit");
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--hold"), key});
    QVERIFY(child.waitForReadyRead(10000));
    QCOMPARE(child.readAllStandardOutput(), QByteArray("claimed\n"));

    SingleInstance successor(key);
    QVERIFY(!successor.claim());
    // The large one is more than the socket buffers hold, so it arrives in many reads.
    for (const int size : {5, 0, 1024 * 1024}) {
        QVERIFY(successor.sendMessage(QByteArray(size, 'x')));
        QVERIFY(child.waitForReadyRead(10000));
        QCOMPARE(child.readLine(), "message:" + QByteArray::number(size) + '\n');
    }
    if (killed)
        child.kill();
    else
        QVERIFY(successor.sendMessage("quit"));
    QVERIFY(child.waitForFinished(10000));
    QCOMPARE(QFile::exists(SingleInstance::lockFilePath(key)), killed);

    QVERIFY(successor.claim());
    QSignalSpy received(&successor, &SingleInstance::messageReceived);
    QVERIFY(SingleInstance(key).sendMessage("after"));
    QTRY_COMPARE(received.count(), 1);
}

// Neither account has a usable runtime directory: the one named is a third
// account's (as after su), and so are the fall-backs Qt would make in the
// temporary folder. Each account must still hold its own key.
void TestSingleInstance::twoAccountsWithoutARuntimeDirectory()
{
    QTemporaryDir temp;
    QVERIFY(QFile::setPermissions(temp.path(), QFile::Permissions(0x7777)));
    for (const char *dir : {"foreign", "runtime-root", "runtime-nobody"}) {
        QVERIFY(QDir(temp.path()).mkdir(QLatin1String(dir)));
        QCOMPARE(QProcess::execute(QStringLiteral("chown"), {QStringLiteral("daemon"), temp.filePath(QLatin1String(dir))}), 0);
    }
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), temp.filePath(QStringLiteral("foreign")));
    environment.insert(QStringLiteral("TMPDIR"), temp.path());
    const QString key = uniqueKey("accounts");
    QProcess root;
    QProcess nobody;
    for (QProcess *holder : {&root, &nobody}) {
        holder->setProcessEnvironment(environment);
        const QStringList hold{QStringLiteral("--hold"), key};
        if (holder == &nobody)
            holder->start(QStringLiteral("setpriv"), QStringList{QStringLiteral("--reuid=nobody"), QStringLiteral("--regid=nogroup"),
                                                                 QStringLiteral("--clear-groups"), QStringLiteral("--"),
                                                                 QCoreApplication::applicationFilePath()}
                                                         + hold);
        else
            holder->start(QCoreApplication::applicationFilePath(), hold);
        QVERIFY(holder->waitForReadyRead(10000));
        QCOMPARE(holder->readAllStandardOutput(), QByteArray("claimed\n"));
    }
    root.kill();
    nobody.kill();
    root.waitForFinished();
    nobody.waitForFinished();
}

int main(int argc, char **argv)
{
    if (argc >= 3 && qstrcmp(argv[1], "--hold") == 0)
        return holdKey(argc, argv);
    QCoreApplication app(argc, argv);
    TestSingleInstance test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_singleinstance.moc"
