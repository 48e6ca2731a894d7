#include "singleinstance.h"

#include <QCoreApplication>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include <cstdio>

using toolkit::SingleInstance;

namespace {

// Child mode: hold the key, report every message on stdout, quit on "quit".
int holdKey(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    SingleInstance instance(QString::fromLocal8Bit(argv[2]));
    if (!instance.claim()) {
        std::puts("busy");
        return 2;
    }
    QObject::connect(&instance, &SingleInstance::messageReceived, &app, [&app](const QByteArray &message) {
        std::printf("message:%s\n", message.constData());
        std::fflush(stdout);
        if (message == "quit")
            app.quit();
    });
    std::puts("claimed");
    std::fflush(stdout);
    return app.exec();
}

// Child mode: a later instance passes a message of the given size to the
// holder and reports by exit code whether it was delivered.
int sendFilled(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    SingleInstance instance(QString::fromLocal8Bit(argv[2]));
    if (instance.claim())
        return 2;
    const QByteArray message(QByteArray(argv[3]).toInt(), 'x');
    return instance.sendMessage(message, 10000) ? 0 : 1;
}

// Reads the child's output until a line appears or the time is up.
bool waitForLine(QProcess &process, const QByteArray &line, int timeoutMs = 10000)
{
    QByteArray seen;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < timeoutMs) {
        seen += process.readAllStandardOutput();
        if (seen.split('\n').contains(line))
            return true;
        process.waitForReadyRead(100);
    }
    return false;
}

} // namespace

class TestSingleInstance : public QObject
{
    Q_OBJECT

private slots:
    void secondClaimFailsWhileFirstHolds();
    void messagesReachTheFirstInstance_data();
    void messagesReachTheFirstInstance();
    void releasedKeyCanBeClaimedAgain();
    void keysAreIndependent();
    void otherProcessHoldsTheKey();
    void keyOfKilledProcessIsTakenOver();
    void sendWithoutHolderFails();

private:
    static QString uniqueKey() { return QStringLiteral("toolkit-test-%1").arg(QCoreApplication::applicationPid()); }
};

void TestSingleInstance::secondClaimFailsWhileFirstHolds()
{
    SingleInstance first(uniqueKey());
    QVERIFY(first.claim());
    QVERIFY(first.isClaimed());
    QVERIFY(QFile::exists(SingleInstance::lockFilePath(uniqueKey())));

    SingleInstance second(uniqueKey());
    QVERIFY(!second.claim());
    QVERIFY(!second.isClaimed());
}

void TestSingleInstance::messagesReachTheFirstInstance_data()
{
    QTest::addColumn<int>("size");
    QTest::newRow("short") << 5;
    QTest::newRow("empty") << 0;
    // Larger than the socket buffers, so it arrives in many reads.
    QTest::newRow("large") << 1024 * 1024;
}

void TestSingleInstance::messagesReachTheFirstInstance()
{
    QFETCH(int, size);
    SingleInstance first(uniqueKey());
    QVERIFY(first.claim());
    QSignalSpy received(&first, &SingleInstance::messageReceived);

    QProcess second;
    second.start(QCoreApplication::applicationFilePath(),
                 {QStringLiteral("--send"), uniqueKey(), QString::number(size)});
    QTRY_COMPARE_WITH_TIMEOUT(received.count(), 1, 10000);
    QTRY_COMPARE(second.state(), QProcess::NotRunning);
    QCOMPARE(second.exitCode(), 0);
    QCOMPARE(received.at(0).at(0).toByteArray(), QByteArray(size, 'x'));
}

void TestSingleInstance::releasedKeyCanBeClaimedAgain()
{
    {
        SingleInstance first(uniqueKey());
        QVERIFY(first.claim());
    }
    SingleInstance again(uniqueKey());
    QVERIFY(again.claim());
}

void TestSingleInstance::keysAreIndependent()
{
    SingleInstance a(uniqueKey() + QStringLiteral("-a"));
    SingleInstance b(uniqueKey() + QStringLiteral("-b"));
    QVERIFY(a.claim());
    QVERIFY(b.claim());
}

void TestSingleInstance::otherProcessHoldsTheKey()
{
    const QString key = uniqueKey() + QStringLiteral("-child");
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--hold"), key});
    QVERIFY(waitForLine(child, "claimed"));

    SingleInstance local(key);
    QVERIFY(!local.claim());
    QVERIFY(local.sendMessage("hello"));
    QVERIFY(waitForLine(child, "message:hello"));
    QVERIFY(local.sendMessage("quit"));
    QVERIFY(child.waitForFinished(10000));
    QCOMPARE(child.exitCode(), 0);

    // A cleanly ended holder leaves the key free.
    QVERIFY(local.claim());
}

void TestSingleInstance::keyOfKilledProcessIsTakenOver()
{
    const QString key = uniqueKey() + QStringLiteral("-killed");
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--hold"), key});
    QVERIFY(waitForLine(child, "claimed"));
    child.kill();
    QVERIFY(child.waitForFinished(10000));
    // The killed process left its lock and socket files behind.
    QVERIFY(QFile::exists(SingleInstance::lockFilePath(key)));

    SingleInstance successor(key);
    QVERIFY(successor.claim());
    QSignalSpy received(&successor, &SingleInstance::messageReceived);
    SingleInstance sender(key);
    bool sent = false;
    QMetaObject::invokeMethod(
        this, [&] { sent = sender.sendMessage("after"); }, Qt::QueuedConnection);
    QTRY_COMPARE(received.count(), 1);
    QVERIFY(sent);
}

void TestSingleInstance::sendWithoutHolderFails()
{
    SingleInstance nobody(uniqueKey() + QStringLiteral("-none"));
    QVERIFY(!nobody.sendMessage("lost", 500));
}

int main(int argc, char **argv)
{
    if (argc >= 3 && qstrcmp(argv[1], "--hold") == 0)
        return holdKey(argc, argv);
    if (argc >= 4 && qstrcmp(argv[1], "--send") == 0)
        return sendFilled(argc, argv);
    QCoreApplication app(argc, argv);
    TestSingleInstance test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_singleinstance.moc"
