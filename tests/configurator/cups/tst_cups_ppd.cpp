#include "cupsclient.h"
#include "cupstestsupport.h"
#include "logcapture.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QUuid>
#include <QtTest>

#include <csignal>

namespace {

QByteArray sourceFile(const QString& path)
{
    QFile file(qEnvironmentVariable("QUORVIA_TEST_SOURCE_DIR") + path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

const QString kFailed = QStringLiteral("ppdc complier failed because: ");

}  // namespace

// Compiling driver descriptions into the queue's PPD with ppdc, the real one
// and stand-ins.
class TestCupsPpd : public QObject
{
    Q_OBJECT

    QTemporaryDir m_work;
    QString m_name;
    const QByteArray m_path = qgetenv("PATH");

    QString writeDrv(const QByteArray& content)
    {
        QFile file(m_work.filePath(m_name + QStringLiteral(".drv")));
        const bool written = file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
        return written ? file.fileName() : QString();
    }

private slots:
    void init() { m_name = QUuid::createUuid().toString(QUuid::WithoutBraces); }

    void cleanup()
    {
        qputenv("PATH", m_path);
        QDir(QStringLiteral("/tmp/") + m_name).removeRecursively();
    }

    void generatesPpd_data()
    {
        QTest::addColumn<QByteArray>("drv");
        QTest::addColumn<bool>("realPpdc"); // else the search path holds only the stand-in, if any
        QTest::addColumn<QString>("standIn");
        QTest::addColumn<QString>("log");   // none when the PPD comes out

        const QByteArray minimal = sourceFile(QStringLiteral("/testing/cups/tqp-minimal.drv"));
        QTest::newRow("minimal") << minimal << true << QString() << QString();
        QTest::newRow("packaged generic") << sourceFile(QStringLiteral("/configurator/cups/tqp-generic.drv")) << true
                                          << QString() << QString();
        QTest::newRow("other PPD file name") << QByteArray(minimal).replace("\"TQP.ppd\"", "\"Other.ppd\"") << true
                                             << QString() << kFailed;
        QTest::newRow("unknown directive") << QByteArray(minimal).replace("*MediaSize A4", "*MediaSize A4\nBogus 12")
                                           << true << QString() << kFailed + QStringLiteral("ppdc: Unknown token \"Bogus\"");
        QTest::newRow("missing") << minimal << false << QString() << kFailed;
        QTest::newRow("exits with output on stderr") << minimal << false << QStringLiteral("echo 'bad driver' >&2; exit 3")
                                                     << kFailed + QStringLiteral("bad driver");
        QTest::newRow("crashes") << minimal << false << QStringLiteral("kill -SEGV $$") << kFailed;
        // Given up after 30 seconds and ended.
        QTest::newRow("hangs") << minimal << false
                               << QStringLiteral("echo $$ >\"${0%/*}/pid\"; echo 'still working' >&2; exec /bin/sleep 120")
                               << kFailed + QStringLiteral("still working");
    }

    void generatesPpd()
    {
        QFETCH(QByteArray, drv);
        QFETCH(bool, realPpdc);
        QFETCH(QString, standIn);
        QFETCH(QString, log);
        StandInTools tools;
        if (!standIn.isEmpty())
            QVERIFY(tools.add(QStringLiteral("ppdc"), standIn));
        if (!realPpdc)
            qputenv("PATH", QFile::encodeName(tools.path()));
        const QString drvPath = writeDrv(drv);
        QVERIFY(!drv.isEmpty() && !drvPath.isEmpty());

        const LogCapture capture("quorvia.cups");
        QElapsedTimer timer;
        timer.start();
        const QString ppd = CUPSClient::generatePpdByDrv(drvPath, m_name);
        const qint64 elapsed = timer.elapsed();

        QCOMPARE(ppd, log.isEmpty() ? QStringLiteral("/tmp/%1/TQP.ppd").arg(m_name) : QString());
        // A failed run leaves no folder behind.
        QCOMPARE(QFileInfo::exists(QStringLiteral("/tmp/") + m_name), log.isEmpty());
        QFile file(ppd);
        if (log.isEmpty())
            QVERIFY(file.open(QIODevice::ReadOnly) && file.readAll().contains("*ModelName: \"Quorvia TQP Cloud Printer\"")
                    && capture.lines().isEmpty());
        else
            QVERIFY(capture.contains(QtWarningMsg, log));
        if (!standIn.isEmpty())
            QCOMPARE(tools.calls(), QStringList(QStringLiteral("ppdc -d /tmp/%1 %2 -v").arg(m_name, drvPath)));
        // Only the hanging stand-in writes its pid; it must be gone.
        QFile pid(tools.path() + QStringLiteral("/pid"));
        QVERIFY2((elapsed >= 29000) == pid.exists() && elapsed < 40000, qPrintable(QString::number(elapsed)));
        if (pid.open(QIODevice::ReadOnly))
            QCOMPARE(::kill(pid_t(pid.readAll().trimmed().toInt()), 0), -1);
    }
};

QTEST_GUILESS_MAIN(TestCupsPpd)
#include "tst_cups_ppd.moc"
