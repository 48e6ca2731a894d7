#include "cupsclient.h"
#include "cupstestsupport.h"
#include "logcapture.h"

#include <QDir>
#include <QElapsedTimer>
#include <QUuid>
#include <QtTest>

#include <csignal>

namespace {

QByteArray sourceFile(const char* path)
{
    QFile file(qEnvironmentVariable("QUORVIA_TEST_SOURCE_DIR") + QLatin1String(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

const QString kFailed = QStringLiteral("ppdc complier failed because: ");

}  // namespace

// Compiling driver descriptions into the queue's PPD with ppdc: the search
// path holds only a stand-in, which passes the call on to the real ppdc or
// fails in its own way.
class TestCupsPpd : public QObject
{
    Q_OBJECT

    QTemporaryDir m_work;
    QString m_name;
    const QByteArray m_path = qgetenv("PATH");

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
        QTest::addColumn<QString>("standIn"); // none: no ppdc at all
        QTest::addColumn<QString>("log");     // none when the PPD comes out

        const QByteArray minimal = sourceFile("/testing/cups/tqp-minimal.drv");
        const QString real = QStringLiteral("exec /usr/bin/ppdc \"$@\"");
        QTest::newRow("minimal") << minimal << real << QString();
        QTest::newRow("packaged generic") << sourceFile("/configurator/cups/tqp-generic.drv") << real << QString();
        QTest::newRow("other PPD file name") << QByteArray(minimal).replace("\"TQP.ppd\"", "\"Other.ppd\"") << real
                                             << kFailed;
        QTest::newRow("unknown directive") << QByteArray(minimal).replace("*MediaSize A4", "*MediaSize A4\nBogus 12")
                                           << real << kFailed + QStringLiteral("ppdc: Unknown token \"Bogus\"");
        QTest::newRow("missing") << minimal << QString() << kFailed;
        QTest::newRow("exits with output on stderr") << minimal << QStringLiteral("echo 'bad driver' >&2; exit 3")
                                                     << kFailed + QStringLiteral("bad driver");
        QTest::newRow("crashes") << minimal << QStringLiteral("kill -SEGV $$") << kFailed;
        // Given up after 30 seconds and ended.
        QTest::newRow("hangs") << minimal
                               << QStringLiteral("echo $$ >\"${0%/*}/pid\"; echo 'still working' >&2; exec /bin/sleep 120")
                               << kFailed + QStringLiteral("still working");
    }

    void generatesPpd()
    {
        QFETCH(QByteArray, drv);
        QFETCH(QString, standIn);
        QFETCH(QString, log);
        StandInTools tools;
        QVERIFY(standIn.isEmpty() || tools.add(QStringLiteral("ppdc"), standIn));
        qputenv("PATH", QFile::encodeName(tools.path()));
        QFile drvFile(m_work.filePath(m_name + QStringLiteral(".drv")));
        QVERIFY(!drv.isEmpty() && drvFile.open(QIODevice::WriteOnly) && drvFile.write(drv) == drv.size());
        drvFile.close();

        const LogCapture capture("quorvia.cups");
        QElapsedTimer timer;
        timer.start();
        const QString ppd = CUPSClient::generatePpdByDrv(drvFile.fileName(), m_name);
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
        const QString call = QStringLiteral("ppdc -d /tmp/%1 %2 -v").arg(m_name, drvFile.fileName());
        QCOMPARE(tools.calls(), standIn.isEmpty() ? QStringList() : QStringList(call));
        // Only the hanging stand-in writes its pid; it must be gone.
        QFile pid(tools.path() + QStringLiteral("/pid"));
        QVERIFY2((elapsed >= 29000) == pid.exists() && elapsed < 40000, qPrintable(QString::number(elapsed)));
        if (pid.open(QIODevice::ReadOnly))
            QCOMPARE(::kill(pid_t(pid.readAll().trimmed().toInt()), 0), -1);
    }
};

QTEST_GUILESS_MAIN(TestCupsPpd)
#include "tst_cups_ppd.moc"
