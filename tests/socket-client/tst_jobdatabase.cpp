// The job and server tables in a real SQLite file.
#include "jobdatabase.h"
#include "logcapture.h"

#include <QTemporaryDir>
#include <QTest>

namespace {

using Server = JobDatabase::Server;

// The rows of confInfo as "ip|code|login", in table order.
QStringList serverRows()
{
    QStringList rows;
    for (const Server &server : JobDatabase::servers())
        rows << server.ip + QLatin1Char('|') + server.code + QLatin1Char('|') + QString::number(server.login);
    return rows;
}

QStringList rows(const char *spaced)
{
    return QString::fromUtf8(spaced).split(QLatin1Char(' '));
}

} // namespace

class JobDatabaseTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup() { JobDatabase::close(); }
    void storedAsTheyAreAcrossReopening();
    void saveStep_data();
    void saveStep();
    void jobStates();
    void unopenedDatabase();

private:
    QString file() const { return m_dir.filePath(QStringLiteral("jobs.db")); }

    QTemporaryDir m_dir;
};

void JobDatabaseTest::init()
{
    QFile::remove(file());
    JobDatabase::open(file());
}

// Quotes in names are stored as they are, and rows outlive the connection.
void JobDatabaseTest::storedAsTheyAreAcrossReopening()
{
    const QString address = QStringLiteral("1\",\"x\",1);--");
    const QString printer = QStringLiteral("Say \"hi\"");
    const QString document = QStringLiteral("a\" where 1=1 or \"b.doc");
    JobDatabase::saveServer(address, QStringLiteral("C\"ODE"), true, true);
    QVERIFY(JobDatabase::insertJob(QStringLiteral("q\"7.pdf"), printer, document, 2, QStringLiteral("d")));
    QVERIFY(JobDatabase::setJobState(QStringLiteral("q\"7.pdf"), 1, "update printing failed!"));
    JobDatabase::close();
    LogCapture log("olvenka.database");
    JobDatabase::open(file());
    QCOMPARE(log.texts(), QStringList({QStringLiteral("Succeed to connect database."), QStringLiteral("Table created!"),
                                       QStringLiteral("Table created!")}));

    QCOMPARE(serverRows(), QStringList{address + QStringLiteral("|C\"ODE|1")});
    QCOMPARE(JobDatabase::server(address)->code, QStringLiteral("C\"ODE"));
    QCOMPARE(JobDatabase::autoLoginServer()->ip, address);
    QCOMPARE(JobDatabase::jobs().value(0), (QStringList{QStringLiteral("q\"7.pdf"), printer, document,
                                                        QStringLiteral("1"), QStringLiteral("d")}));
    QCOMPARE(JobDatabase::busyPrinters(), QStringList{printer});
    JobDatabase::removeServer(address);
    QVERIFY(JobDatabase::servers().isEmpty());
}

void JobDatabaseTest::saveStep_data()
{
    QTest::addColumn<bool>("save");
    QTest::addColumn<bool>("login");
    QTest::addColumn<QStringList>("rows");
    // Before each row: 10.0.0.1 saved with automatic login, 10.0.0.2 saved without.
    QTest::newRow("new, saved") << true << false
                                << rows("10.0.0.1|OLD1|1 10.0.0.2|OLD2|0 10.0.0.9|NEW|0");
    QTest::newRow("new, saved, login") << true << true
                                       << rows("10.0.0.1|OLD1|0 10.0.0.2|OLD2|0 10.0.0.9|NEW|1");
    QTest::newRow("new, not saved") << false << false << rows("10.0.0.1|OLD1|1 10.0.0.2|OLD2|0");
    QTest::newRow("known, saved") << true << false << rows("10.0.0.1|OLD1|1 10.0.0.2|NEW|0");
    QTest::newRow("known, saved, login") << true << true << rows("10.0.0.1|OLD1|0 10.0.0.2|NEW|1");
    QTest::newRow("known, forgotten") << false << false << rows("10.0.0.1|OLD1|1");
}

void JobDatabaseTest::saveStep()
{
    QFETCH(bool, save);
    QFETCH(bool, login);
    JobDatabase::saveServer(QStringLiteral("10.0.0.1"), QStringLiteral("OLD1"), true, true);
    JobDatabase::saveServer(QStringLiteral("10.0.0.2"), QStringLiteral("OLD2"), true, false);
    const QString address = QLatin1String(QTest::currentDataTag()).startsWith(QLatin1String("new"))
                                ? QStringLiteral("10.0.0.9")
                                : QStringLiteral("10.0.0.2");
    JobDatabase::saveServer(address, QStringLiteral("NEW"), save, login);
    QTEST(serverRows(), "rows");
}

void JobDatabaseTest::jobStates()
{
    const auto insert = [](const char *pdf, const char *printer, int state) {
        return JobDatabase::insertJob(QLatin1String(pdf), QLatin1String(printer), QStringLiteral("f"), state,
                                      QStringLiteral("d"));
    };
    QVERIFY(insert("w.pdf", "Waiting", 2));
    QVERIFY(insert("p.pdf", "Printing", 1));
    QVERIFY(insert("f.pdf", "Failed", -1));
    QVERIFY(insert("c.pdf", "Done", 0));
    QCOMPARE(JobDatabase::busyPrinters(), (QStringList{QStringLiteral("Waiting"), QStringLiteral("Printing")}));
    QCOMPARE(JobDatabase::failedPrinters(), QStringList{QStringLiteral("Failed")});
    QCOMPARE(JobDatabase::jobState(QStringLiteral("f.pdf")), -1);
    QCOMPARE(JobDatabase::jobState(QStringLiteral("none.pdf")), 0);

    LogCapture log("olvenka.database");
    QVERIFY(!insert("w.pdf", "Again", 2));
    QVERIFY(log.contains(QtDebugMsg, QStringLiteral("insert failed! UNIQUE constraint failed")));
    QCOMPARE(JobDatabase::jobs().size(), 4);
}

void JobDatabaseTest::unopenedDatabase()
{
    JobDatabase::close();
    LogCapture log("olvenka.database");
    JobDatabase::open(m_dir.filePath(QStringLiteral("missing/folder/jobs.db")));
    QVERIFY(log.contains(QtDebugMsg, QStringLiteral("Error: Failed to connect database.")));
    QCOMPARE(log.texts(QtDebugMsg).filter(QStringLiteral("Error: Fail to create table.")).size(), 2);
    QVERIFY(JobDatabase::servers().isEmpty());
    QVERIFY(log.contains(QtDebugMsg, QStringLiteral("select failed!")));
    QVERIFY(!JobDatabase::setJobState(QStringLiteral("x.pdf"), 0, "update finished printing failed!"));
    QVERIFY(log.contains(QtDebugMsg, QStringLiteral("update finished printing failed!")));
    QCOMPARE(JobDatabase::jobState(QStringLiteral("x.pdf")), 0);
}

QTEST_GUILESS_MAIN(JobDatabaseTest)
#include "tst_jobdatabase.moc"
