// The socket client's core without sockets or windows: the message and
// file-name rules, and the job and server tables in a real SQLite file.
#include "clientresources.h"
#include "jobdatabase.h"
#include "logcapture.h"
#include "protocol.h"

#include <QtTest>

namespace {

// The rows of confInfo as "ip|code|login", in table order.
QStringList serverRows()
{
    QStringList rows;
    for (const JobDatabase::Server &server : JobDatabase::servers())
        rows << server.ip + QLatin1Char('|') + server.code + QLatin1Char('|') + QString::number(server.login);
    return rows;
}

} // namespace

class CoreTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QFile::remove(file());
        JobDatabase::open(file());
    }
    void cleanup() { JobDatabase::close(); }

    void replies_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("code");
        QTest::addColumn<QStringList>("names");
        const QByteArray gbk =
            QTextCodec::codecForName("GBK")->fromUnicode(QStringLiteral("2##财务打印机##Say \"hi\"##"));
        const QStringList none;
        // clang-format off
        QTest::newRow("trailing separator") << QByteArray("2##A##B##") << 2
                                            << QStringList{QStringLiteral("A"), QStringLiteral("B")};
        QTest::newRow("last name dropped") << QByteArray("2##A") << 2 << none;
        QTest::newRow("code alone") << QByteArray("2") << 2 << none;
        QTest::newRow("empty name kept") << QByteArray("2####B##") << 2 << QStringList{QString(), QStringLiteral("B")};
        QTest::newRow("GBK") << gbk << 2 << QStringList{QStringLiteral("财务打印机"), QStringLiteral("Say \"hi\"")};
        QTest::newRow("fields") << QByteArray("13##a.pdf") << 13 << none;
        QTest::newRow("up to NUL") << QByteArray("6\0" "5", 3) << 6 << none;
        QTest::newRow("no number") << QByteArray("ok") << 0 << none;
        QTest::newRow("merged") << QByteArray("813##a.pdf") << 813 << none;
        // clang-format on
    }

    // A reply's code, and the printer names when it is a printer list.
    void replies()
    {
        QFETCH(QByteArray, reply);
        QTEST(protocol::replyCode(reply), "code");
        QTEST(protocol::printerList(reply), "names");
    }

    void spooledName_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QString>("parts");
        const auto row = [](const char *fileName, const char *parts) {
            QTest::newRow(fileName) << QString::fromLatin1(fileName) << QString::fromLatin1(parts);
        };
        row("12_0_a.b.c_0_P.pdf", "12|a.b.c|P|a.b12.pdf");
        row("plain.pdf", "plain.pdf|||plain.pdf.pdf");
        // Every ".pdf" goes from the printer's name.
        row("3_0_x.pdf_0_my.pdf.pdf", "3|x.pdf|my|x3.pdf");
    }

    // Job tag, document and printer of a spooled file's name, and the job's key.
    void spooledName()
    {
        QFETCH(QString, fileName);
        const protocol::SpooledName name = protocol::parseSpooledName(fileName);
        QTEST(QStringList(
                  {name.jobTag, name.documentName, name.printerName, protocol::pdfName(name.documentName, name.jobTag)})
                  .join(QLatin1Char('|')),
              "parts");
    }

    void plainFileName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("plain");
        QTest::newRow("job") << QStringLiteral("7_0_a_0_b.pdf") << true;
        QTest::newRow("dots inside") << QStringLiteral("..x") << true;
        QTest::newRow("empty") << QStringLiteral("") << false;
        QTest::newRow("dot") << QStringLiteral(".") << false;
        QTest::newRow("dot dot") << QStringLiteral("..") << false;
        QTest::newRow("up") << QStringLiteral("../../home/user/x") << false;
        QTest::newRow("subfolder") << QStringLiteral("a/b") << false;
    }

    void plainFileName()
    {
        QFETCH(QString, name);
        QTEST(protocol::isPlainFileName(name), "plain");
    }

    void initialGeometry()
    {
        QCOMPARE(::initialGeometry(QSize(1280, 800)), QRect(390, 225, 500, 350));
        QCOMPARE(::initialGeometry(QSize(400, 300)), QRect(-50, -25, 500, 350));
    }

    // Quotes in names are stored as they are, rows outlive the connection, and
    // printers are busy with a job waiting or printing, failed with a failed one.
    void storedAsTheyAreAcrossReopening()
    {
        const QString address = QStringLiteral("1\",\"x\",1);--");
        const QString printer = QStringLiteral("Say \"hi\"");
        const QString document = QStringLiteral("a\" where 1=1 or \"b.doc");
        JobDatabase::saveServer(address, QStringLiteral("C\"ODE"), true, true);
        QVERIFY(JobDatabase::insertJob(QStringLiteral("q\"7.pdf"), printer, document, 0, QStringLiteral("d")));
        QVERIFY(JobDatabase::setJobState(QStringLiteral("q\"7.pdf"), 2, "update printing failed!"));
        for (const char *job : {"p.pdf Printing 1", "f.pdf Failed -1", "c.pdf Done 0"}) {
            const QStringList fields = QString::fromLatin1(job).split(QLatin1Char(' '));
            QVERIFY(JobDatabase::insertJob(fields[0], fields[1], QStringLiteral("f"), fields[2].toInt(), QString()));
        }
        JobDatabase::close();
        LogCapture log("olvenka.database");
        JobDatabase::open(file());
        QCOMPARE(log.texts(), QStringList({QStringLiteral("Succeed to connect database."),
                                           QStringLiteral("Table created!"), QStringLiteral("Table created!")}));

        QCOMPARE(serverRows(), QStringList{address + QStringLiteral("|C\"ODE|1")});
        QCOMPARE(JobDatabase::server(address)->code, QStringLiteral("C\"ODE"));
        QCOMPARE(JobDatabase::autoLoginServer()->ip, address);
        QCOMPARE(JobDatabase::jobs().value(0), (QStringList{QStringLiteral("q\"7.pdf"), printer, document,
                                                            QStringLiteral("2"), QStringLiteral("d")}));
        QCOMPARE(JobDatabase::busyPrinters(), (QStringList{printer, QStringLiteral("Printing")}));
        QCOMPARE(JobDatabase::failedPrinters(), QStringList{QStringLiteral("Failed")});
        QCOMPARE(JobDatabase::jobState(QStringLiteral("f.pdf")), -1);
        QCOMPARE(JobDatabase::jobState(QStringLiteral("none.pdf")), 0);
        JobDatabase::removeServer(address);
        QVERIFY(JobDatabase::servers().isEmpty());

        QVERIFY(!JobDatabase::insertJob(QStringLiteral("p.pdf"), QStringLiteral("Again"), QString(), 2, QString()));
        QVERIFY(log.contains(QtDebugMsg, QStringLiteral("insert failed! UNIQUE constraint failed")));
        QCOMPARE(JobDatabase::jobs().size(), 4);
    }

    void saveStep_data()
    {
        QTest::addColumn<bool>("save");
        QTest::addColumn<bool>("login");
        QTest::addColumn<QString>("rows");
        // Before each row: 10.0.0.1 saved with automatic login, 10.0.0.2 saved without.
        QTest::newRow("new, saved") << true << false
                                    << QStringLiteral("10.0.0.1|OLD1|1 10.0.0.2|OLD2|0 10.0.0.9|NEW|0");
        QTest::newRow("new, login") << true << true << QStringLiteral("10.0.0.1|OLD1|0 10.0.0.2|OLD2|0 10.0.0.9|NEW|1");
        QTest::newRow("new, not saved") << false << false << QStringLiteral("10.0.0.1|OLD1|1 10.0.0.2|OLD2|0");
        QTest::newRow("known, saved") << true << false << QStringLiteral("10.0.0.1|OLD1|1 10.0.0.2|NEW|0");
        QTest::newRow("known, saved, login") << true << true << QStringLiteral("10.0.0.1|OLD1|0 10.0.0.2|NEW|1");
        QTest::newRow("known, forgotten") << false << false << QStringLiteral("10.0.0.1|OLD1|1");
    }

    void saveStep()
    {
        QFETCH(bool, save);
        QFETCH(bool, login);
        JobDatabase::saveServer(QStringLiteral("10.0.0.1"), QStringLiteral("OLD1"), true, true);
        JobDatabase::saveServer(QStringLiteral("10.0.0.2"), QStringLiteral("OLD2"), true, false);
        const QString address = QLatin1String(QTest::currentDataTag()).startsWith(QLatin1String("new"))
                                    ? QStringLiteral("10.0.0.9")
                                    : QStringLiteral("10.0.0.2");
        JobDatabase::saveServer(address, QStringLiteral("NEW"), save, login);
        QTEST(serverRows().join(QLatin1Char(' ')), "rows");
    }

    void unopenedDatabase()
    {
        JobDatabase::close();
        LogCapture log("olvenka.database");
        JobDatabase::open(m_dir.filePath(QStringLiteral("missing/folder/jobs.db")));
        QVERIFY(log.contains(QtDebugMsg, QStringLiteral("Error: Failed to connect database.")));
        QCOMPARE(log.texts(QtDebugMsg).filter(QStringLiteral("Error: Fail to create table.")).size(), 2);
        QVERIFY(JobDatabase::servers().isEmpty());
        QVERIFY(log.contains(QtDebugMsg, QStringLiteral("select failed!")));
        QCOMPARE(JobDatabase::jobState(QStringLiteral("x.pdf")), 0);
    }

private:
    QString file() const { return m_dir.filePath(QStringLiteral("jobs.db")); }

    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(CoreTest)
#include "tst_core.moc"
