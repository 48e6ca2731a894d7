#include "cupsclient.h"
#include "cupstestsupport.h"

#include <QElapsedTimer>
#include <QFile>
#include <QUuid>
#include <QtTest>

#include <csignal>

// A compiler that never finishes is given up after 30 seconds and ended.
class TestCupsPpdTimeout : public QObject
{
    Q_OBJECT

private slots:
    void hangingCompilerIsEnded();
};

void TestCupsPpdTimeout::hangingCompilerIsEnded()
{
    StandInTools tools;
    QVERIFY(tools.add(QStringLiteral("ppdc"),
                      QStringLiteral("echo $$ >'%1/pid'; echo 'still working' >&2; exec sleep 120")
                          .arg(tools.path())));
    qputenv("PATH", QFile::encodeName(tools.path()) + ":/usr/bin:/bin");
    const QString name = QUuid::createUuid().toString(QUuid::WithoutBraces);

    const CupsLogCapture capture;
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(CUPSClient::generatePpdByDrv(tools.path() + QStringLiteral("/none.drv"), name), QString());
    const qint64 elapsed = timer.elapsed();

    QVERIFY2(elapsed >= 29000 && elapsed < 40000, qPrintable(QString::number(elapsed)));
    QVERIFY(capture.contains(QStringLiteral("ppdc complier failed because: still working")));
    QFile pidFile(tools.path() + QStringLiteral("/pid"));
    QVERIFY(pidFile.open(QIODevice::ReadOnly));
    const pid_t pid = pid_t(pidFile.readAll().trimmed().toInt());
    QVERIFY(pid > 0);
    QCOMPARE(::kill(pid, 0), -1);
}

QTEST_GUILESS_MAIN(TestCupsPpdTimeout)
#include "tst_cups_ppdtimeout.moc"
