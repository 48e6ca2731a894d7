#include "cupsclient.h"
#include "cupstestsupport.h"

#include <QDir>
#include <QFile>
#include <QUuid>
#include <QtTest>

// Compiling driver descriptions into the queue's PPD with ppdc.
class TestCupsPpd : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void compiles_data();
    void compiles();
    void compilerMissingOrFailing_data();
    void compilerMissingOrFailing();

private:
    QString writeDrv(const QByteArray& content);
    QString m_name;
    QTemporaryDir m_work;
    QByteArray m_path;
};

namespace {
QByteArray sourceFile(const QString& path)
{
    QFile file(qEnvironmentVariable("QUORVIA_TEST_SOURCE_DIR") + path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray minimalDrv()
{
    return sourceFile(QStringLiteral("/testing/cups/tqp-minimal.drv"));
}
}  // namespace

void TestCupsPpd::init()
{
    m_name = QUuid::createUuid().toString(QUuid::WithoutBraces);
    m_path = qgetenv("PATH");
}

void TestCupsPpd::cleanup()
{
    qputenv("PATH", m_path);
    QDir(QStringLiteral("/tmp/") + m_name).removeRecursively();
}

QString TestCupsPpd::writeDrv(const QByteArray& content)
{
    const QString path = m_work.filePath(m_name + QStringLiteral(".drv"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        return {};
    return path;
}

void TestCupsPpd::compiles_data()
{
    QTest::addColumn<QByteArray>("drv");
    QTest::addColumn<bool>("expectPpd");
    QTest::addColumn<QString>("log");

    const QByteArray minimal = minimalDrv();
    QTest::newRow("minimal") << minimal << true << QString();
    QTest::newRow("packaged generic") << sourceFile(QStringLiteral("/configurator/cups/tqp-generic.drv"))
                                      << true << QString();
    QByteArray other = minimal;
    other.replace("\"TQP.ppd\"", "\"Other.ppd\"");
    QTest::newRow("other PPD file name") << other << false << QString();
    // Prints its usage text on stdout and exits 1.
    QTest::newRow("no PCFileName") << QByteArray("#include <media.defs>\nVersion 1.0\n*MediaSize A4\n{ ModelName \"X\" }\n")
                                   << false << QString();
    QByteArray unknown = minimal;
    unknown.replace("*MediaSize A4", "*MediaSize A4\nBogusDirective 12");
    QTest::newRow("unknown directive") << unknown << false << QStringLiteral("ppdc: Unknown token \"BogusDirective\"");
    QByteArray include = minimal;
    include.replace("<media.defs>", "<nosuch.defs>");
    QTest::newRow("missing include") << include << false << QStringLiteral("ppdc: Unable to find include file");
}

void TestCupsPpd::compiles()
{
    QFETCH(QByteArray, drv);
    QFETCH(bool, expectPpd);
    QFETCH(QString, log);
    QVERIFY(!drv.isEmpty());
    const QString drvPath = writeDrv(drv);
    QVERIFY(!drvPath.isEmpty());

    const CupsLogCapture capture;
    const QString ppd = CUPSClient::generatePpdByDrv(drvPath, m_name);

    const QString expected = QStringLiteral("/tmp/%1/TQP.ppd").arg(m_name);
    QCOMPARE(ppd, expectPpd ? expected : QString());
    if (expectPpd) {
        QFile file(ppd);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll().contains("*ModelName: \"Quorvia TQP Cloud Printer\""));
        QVERIFY(capture.lines().isEmpty());
    } else {
        QVERIFY(capture.contains(QStringLiteral("ppdc complier failed because:") + QLatin1Char(' ') + log));
    }
}

void TestCupsPpd::compilerMissingOrFailing_data()
{
    QTest::addColumn<QString>("standIn");
    QTest::addColumn<QString>("log");

    QTest::newRow("missing") << QString() << QString();
    QTest::newRow("exits with output on stderr") << QStringLiteral("echo 'bad driver' >&2; exit 3")
                                                 << QStringLiteral("bad driver");
    QTest::newRow("crashes") << QStringLiteral("kill -SEGV $$") << QString();
}

// The search path holds only the stand-in (or nothing at all).
void TestCupsPpd::compilerMissingOrFailing()
{
    QFETCH(QString, standIn);
    QFETCH(QString, log);
    StandInTools tools;
    if (!standIn.isEmpty())
        QVERIFY(tools.add(QStringLiteral("ppdc"), standIn));
    qputenv("PATH", QFile::encodeName(tools.path()));
    const QString drvPath = writeDrv(minimalDrv());

    const CupsLogCapture capture;
    QCOMPARE(CUPSClient::generatePpdByDrv(drvPath, m_name), QString());
    QVERIFY(capture.contains(QStringLiteral("ppdc complier failed because: ") + log));
    if (!standIn.isEmpty())
        QCOMPARE(tools.calls(), QStringList(QStringLiteral("ppdc -d /tmp/%1 %2 -v").arg(m_name, drvPath)));
}

QTEST_GUILESS_MAIN(TestCupsPpd)
#include "tst_cups_ppd.moc"
