#include "singleinstance.h"

#include <QCoreApplication>
#include <QProcess>
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

int main(int argc, char **argv)
{
    if (argc >= 3 && qstrcmp(argv[1], "--hold") == 0)
        return holdKey(argc, argv);
    QCoreApplication app(argc, argv);
    TestSingleInstance test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_singleinstance.moc"
