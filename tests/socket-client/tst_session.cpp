// The window's session with the reference socket print server: login, the
// printer list, uploads handed over the private system bus, and every reply.
#include "addprinterwidget.h"
#include "clientresources.h"
#include "jobdatabase.h"
#include "logcapture.h"
#include "mainwindow.h"
#include "socketserver.h"
#include "toolbutton.h"

#include <QApplication>
#include <QComboBox>
#include <QDBusConnection>
#include <QDBusPendingReply>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString code = QStringLiteral("ABCDEF123456");
const QString loopback = QStringLiteral("127.0.0.1");

QByteArray randomBytes(int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (char &byte : bytes)
        byte = char(QRandomGenerator::global()->bounded(256));
    return bytes;
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

} // namespace

class SessionTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void autoLoginAtStart();
    void connectFailures_data();
    void connectFailures();
    void uploadAndJobCommands();
    void stateMachine_data();
    void stateMachine();
    void splitAndMergedReplies();
    void sessionEnds_data();
    void sessionEnds();
    void fileNames_data();
    void fileNames();
    void onlyJobFilesInTheSpool();
    void backToBackJobs();
    void refusedUploads_data();
    void refusedUploads();
    void stalledServerEndsTheUpload();
    void switchingServerEndsTheUpload();
    void serverKilled_data();
    void serverKilled();
    void readOnlyDatabase();
    void burstOfJobs();

private:
    void startWindow();
    // Types address and code and presses "Connect to server".
    void connectTo(const QString &address, const QString &authCode);
    bool login();
    QString spool(const QString &name, const QByteArray &data);
    int callPrint(const QString &fileName);
    QString remindText() const { return m_window->findChild<QLabel *>(QStringLiteral("remindLabel"))->text(); }

    std::unique_ptr<sockettest::ReferenceSocketServer> m_server;
    std::unique_ptr<QTemporaryDir> m_dir;
    ClientSettings m_settings;
    std::unique_ptr<MainWindow> m_window;
    QDBusConnection m_caller = QDBusConnection::connectToBus(QDBusConnection::SystemBus, QStringLiteral("caller"));
};

void SessionTest::init()
{
    m_server = std::make_unique<sockettest::ReferenceSocketServer>();
    QVERIFY2(m_server->start(), qPrintable(m_server->errorString()));
    m_dir = std::make_unique<QTemporaryDir>();
    m_settings = ClientSettings::defaults();
    m_settings.spoolDir = m_dir->filePath(QStringLiteral("spool"));
    m_settings.ppdDir = m_dir->filePath(QStringLiteral("ppd"));
    m_settings.databaseFile = m_dir->filePath(QStringLiteral("jobs.db"));
    m_settings.verifyPort = m_server->verifyPort();
    m_settings.fileInfoPort = m_server->infoPort();
    m_settings.filePort = m_server->filePort();
    m_settings.writeTimeoutMs = 1000;
    QDir().mkpath(m_settings.spoolDir);
    QDir().mkpath(m_settings.ppdDir);
}

void SessionTest::cleanup()
{
    m_window.reset();
    m_server.reset();
    m_dir.reset();
}

void SessionTest::startWindow()
{
    m_window = std::make_unique<MainWindow>(m_settings);
    m_window->setGeometry(400, 300, 500, 350);
    m_window->show();
}

void SessionTest::connectTo(const QString &address, const QString &authCode)
{
    m_window->findChild<QComboBox *>(QStringLiteral("comboBox"))->setEditText(address);
    m_window->findChild<QLineEdit *>(QStringLiteral("codeLineEdit"))->setText(authCode);
    m_window->findChild<QPushButton *>(QStringLiteral("settingBtn"))->click();
}

bool SessionTest::login()
{
    startWindow();
    connectTo(loopback, code);
    const bool verified = m_server->waitFor(QStringLiteral("verify")).value(2) == QLatin1String("2");
    QElapsedTimer timer;
    timer.start();
    while (m_server->events(QStringLiteral("connected")).size() < 3 && timer.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    const bool connected = m_server->events(QStringLiteral("connected")).size() == 3;
    m_server->clearEvents();
    return verified && connected;
}

QString SessionTest::spool(const QString &name, const QByteArray &data)
{
    QFile file(m_settings.spoolDir + QLatin1Char('/') + name);
    if (file.open(QIODevice::WriteOnly))
        file.write(data);
    return file.fileName();
}

int SessionTest::callPrint(const QString &fileName)
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("com.olvenka.cloud.printer"), QStringLiteral("/com/olvenka/cloud/printer"),
        QStringLiteral("com.olvenka.cloud.printer"), QStringLiteral("callPrintOperation"));
    call << fileName << QStringLiteral("duplex=1");
    QDBusPendingReply<int> reply = m_caller.asyncCall(call);
    QElapsedTimer timer;
    timer.start();
    while (!reply.isFinished() && timer.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return reply.isValid() ? reply.value() : -100;
}

void SessionTest::autoLoginAtStart()
{
    JobDatabase::open(m_settings.databaseFile);
    JobDatabase::saveServer(loopback, code, true, true);
    JobDatabase::close();
    startWindow();

    QCOMPARE(m_server->waitFor(QStringLiteral("verify")), (QStringList{code, loopback, QStringLiteral("2")}));
    QTRY_COMPARE(m_window->geometry(), QRect(225, 150, 850, 650));
    const auto *table = m_window->addPrinterWidget()->findChild<QTableWidget *>(QStringLiteral("tableWidget"));
    QStringList names;
    for (int row = 0; row < table->rowCount(); ++row)
        names << table->cellWidget(row, 1)->findChild<QLabel *>()->text();
    QCOMPARE(names, (QStringList{QStringLiteral("Office"), QStringLiteral("财务打印机"), QStringLiteral("Say \"hi\"")}));
    QVERIFY(remindText().isEmpty());
}

void SessionTest::connectFailures_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("authCode");
    QTest::addColumn<QString>("message");
    QTest::newRow("wrong code") << loopback << QStringLiteral("WRONG")
                                << QStringLiteral("IP address or the authorization code is wrong!");
    QTest::newRow("nobody listening") << QStringLiteral("127.0.0.2") << code << QStringLiteral("Connection exception");
    QTest::newRow("host names are not looked up") << QStringLiteral("localhost") << code
                                                  << QStringLiteral("Connection exception");
    QTest::newRow("no address") << QString() << code << QStringLiteral("Please enter the server IP address!");
    QTest::newRow("no code") << loopback << QString() << QStringLiteral("Please enter the authorization code!");
}

void SessionTest::connectFailures()
{
    QFETCH(QString, address);
    QFETCH(QString, authCode);
    startWindow();
    connectTo(address, authCode);
    QFETCH(QString, message);
    QTRY_COMPARE(remindText(), message);
    QCOMPARE(m_window->size(), QSize(500, 350));
}

void SessionTest::uploadAndJobCommands()
{
    QVERIFY(login());
    const QByteArray data = randomBytes(300 * 1024 + 17);
    const QString path = spool(QStringLiteral("7_0_report.docx_0_Office.pdf"), data);
    QCOMPARE(callPrint(QFileInfo(path).fileName()), 0);

    QCOMPARE(m_server->waitFor(QStringLiteral("header")),
             (QStringList{QStringLiteral("report.docx"), QStringLiteral("Office"), QString::number(data.size()),
                          QStringLiteral("7"), QStringLiteral("duplex=1"), QStringLiteral("5")}));
    const QStringList received = m_server->waitFor(QStringLiteral("received"));
    QCOMPARE(contents(received.value(2)), data);
    QTRY_COMPARE(JobDatabase::jobs().value(0),
                 (QStringList{QStringLiteral("report7.pdf"), QStringLiteral("Office"), QStringLiteral("report.docx"),
                              QStringLiteral("2"), QDate::currentDate().toString(QStringLiteral("yyyy.MM.dd"))}));
    QTRY_VERIFY(!QFile::exists(path));

    emit m_window->addPrinterWidget()->priorityPrintingActionSignal(QStringLiteral("15##Office##report7.pdf"));
    QCOMPARE(m_server->waitFor(QStringLiteral("command")),
             (QStringList{QStringLiteral("15"), QStringLiteral("Office"), QStringLiteral("report7.pdf")}));
    QCOMPARE(JobDatabase::jobState(QStringLiteral("report7.pdf")), 2);
    emit m_window->addPrinterWidget()->cancelPrintingActionSignal(QStringLiteral("14##Office##report7.pdf"));
    QCOMPARE(m_server->waitFor(QStringLiteral("command")),
             (QStringList{QStringLiteral("14"), QStringLiteral("Office"), QStringLiteral("report7.pdf")}));
    QCOMPARE(JobDatabase::jobState(QStringLiteral("report7.pdf")), 3);
}

void SessionTest::stateMachine_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("reply");
    QTest::addColumn<int>("to");
    QTest::newRow("waiting, printing") << 2 << 13 << 1;
    QTest::newRow("printing, printed") << 1 << 11 << 0;
    QTest::newRow("waiting, failed") << 2 << 16 << -1;
    QTest::newRow("printed, printing") << 0 << 13 << 1;
    QTest::newRow("cancelled, printed") << 3 << 11 << 3;
    QTest::newRow("cancelled, printing") << 3 << 13 << 3;
    QTest::newRow("cancelled, failed") << 3 << 16 << 3;
}

void SessionTest::stateMachine()
{
    QFETCH(int, from);
    QFETCH(int, reply);
    QVERIFY(login());
    QVERIFY(JobDatabase::insertJob(QStringLiteral("r9.pdf"), QStringLiteral("Office"), QStringLiteral("r"), from,
                                   QStringLiteral("d")));
    QVERIFY(m_server->command(QStringLiteral("status %1 r9.pdf").arg(reply)));
    QVERIFY(!m_server->waitFor(QStringLiteral("sent")).isEmpty());
    QTest::qWait(100);
    QTEST(JobDatabase::jobState(QStringLiteral("r9.pdf")), "to");
}

void SessionTest::splitAndMergedReplies()
{
    QVERIFY(login());
    for (const char *pdf : {"r", "report7.pdf", "a.pdf"})
        QVERIFY(JobDatabase::insertJob(QLatin1String(pdf), QStringLiteral("Office"), QStringLiteral("f"), 2,
                                       QStringLiteral("d")));
    // "13##r" then "eport7.pdf": the first part is a message of its own.
    QVERIFY(m_server->command(QStringLiteral("split-next 5")));
    QVERIFY(m_server->command(QStringLiteral("status 13 report7.pdf")));
    QTRY_COMPARE(JobDatabase::jobState(QStringLiteral("r")), 1);
    QVERIFY(!m_server->waitFor(QStringLiteral("sent")).isEmpty());
    QVERIFY(!m_server->waitFor(QStringLiteral("sent")).isEmpty());
    // "13##a.pdf11##a.pdf" in one read names no job.
    QVERIFY(m_server->command(QStringLiteral("merge-next")));
    QVERIFY(m_server->command(QStringLiteral("status 13 a.pdf")));
    QVERIFY(m_server->command(QStringLiteral("status 11 a.pdf")));
    QVERIFY(!m_server->waitFor(QStringLiteral("sent")).isEmpty());
    QTest::qWait(200);
    QCOMPARE(JobDatabase::jobState(QStringLiteral("report7.pdf")), 2);
    QCOMPARE(JobDatabase::jobState(QStringLiteral("a.pdf")), 2);
}

void SessionTest::sessionEnds_data()
{
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QString>("message");
    QTest::newRow("code revoked") << QStringLiteral("7") << QStringLiteral("Please update the authorization code");
    QTest::newRow("server problem") << QStringLiteral("10") << QStringLiteral("Please check the server connection");
}

void SessionTest::sessionEnds()
{
    QFETCH(QString, reply);
    QVERIFY(login());
    QTRY_COMPARE(m_window->size(), QSize(850, 650));
    QVERIFY(m_server->command(QStringLiteral("send file ") + reply));
    QFETCH(QString, message);
    QTRY_COMPARE(remindText(), message);
    QCOMPARE(m_window->geometry(), QRect(400, 300, 500, 350));
    QTRY_VERIFY(m_server->events(QStringLiteral("disconnected")).contains({QStringLiteral("info")})
                && m_server->events(QStringLiteral("disconnected")).contains({QStringLiteral("file")}));
    QCOMPARE(m_window->findChild<QComboBox *>(QStringLiteral("comboBox"))->currentText(), loopback);
}

void SessionTest::fileNames_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<int>("size");
    QTest::addColumn<QStringList>("header");
    QTest::addColumn<QString>("pdfName");
    const auto fields = [](const char *text) { return QString::fromUtf8(text).split(QLatin1Char('|')); };
    QTest::newRow("empty file") << QStringLiteral("9_0_empty.txt_0_P.pdf") << 0 << fields("empty.txt|P|0|9")
                                << QStringLiteral("empty9.pdf");
    QTest::newRow("no separator") << QStringLiteral("plain.pdf") << 5000 << fields("||5000|plain.pdf")
                                  << QStringLiteral("plain.pdf.pdf");
}

void SessionTest::fileNames()
{
    QFETCH(QString, fileName);
    QFETCH(int, size);
    QVERIFY(login());
    const QByteArray data = randomBytes(size);
    spool(fileName, data);
    QCOMPARE(callPrint(fileName), 0);
    QFETCH(QStringList, header);
    QCOMPARE(QStringList(m_server->waitFor(QStringLiteral("header")).mid(0, 4)), header);
    QCOMPARE(contents(m_server->waitFor(QStringLiteral("received")).value(2)), data);
    QFETCH(QString, pdfName);
    QTRY_COMPARE(JobDatabase::jobs().value(0).value(0), pdfName);
}

void SessionTest::onlyJobFilesInTheSpool()
{
    QVERIFY(login());
    const QString victim = m_dir->filePath(QStringLiteral("victim"));
    QFile file(victim);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write("keep") == 4);
    file.close();
    QVERIFY(QDir(m_settings.spoolDir).mkdir(QStringLiteral("sub")));
    QVERIFY(QFile::link(victim, m_settings.spoolDir + QStringLiteral("/link")));
    for (const QString &name : {QStringLiteral("../victim"), QStringLiteral("sub/../../victim"), QString(),
                                QStringLiteral("."), QStringLiteral(".."), QStringLiteral("sub"),
                                QStringLiteral("link"), QStringLiteral("missing")})
        QCOMPARE(callPrint(name), -1);
    QTest::qWait(100);
    QVERIFY(m_server->events(QStringLiteral("header")).isEmpty());
    QCOMPARE(contents(victim), QByteArray("keep"));
}

void SessionTest::backToBackJobs()
{
    QVERIFY(login());
    const QByteArray first = randomBytes(2 * 1024 * 1024);
    const QByteArray second = randomBytes(4096 * 3);
    spool(QStringLiteral("1_0_one.doc_0_Office.pdf"), first);
    spool(QStringLiteral("2_0_two.doc_0_Office.pdf"), second);
    QCOMPARE(callPrint(QStringLiteral("1_0_one.doc_0_Office.pdf")), 0);
    QCOMPARE(callPrint(QStringLiteral("2_0_two.doc_0_Office.pdf")), 0);
    QCOMPARE(contents(m_server->waitFor(QStringLiteral("received")).value(2)), first);
    QCOMPARE(contents(m_server->waitFor(QStringLiteral("received")).value(2)), second);
    QTRY_COMPARE(JobDatabase::jobs().size(), 2);
    QCOMPARE(JobDatabase::jobs().at(1).at(0), QStringLiteral("two2.pdf"));
}

void SessionTest::refusedUploads_data()
{
    QTest::addColumn<QString>("fault");
    QTest::newRow("header refused") << QStringLiteral("header-reply 6");
    QTest::newRow("reception failed") << QStringLiteral("file-reply 9");
}

void SessionTest::refusedUploads()
{
    QFETCH(QString, fault);
    QVERIFY(login());
    QVERIFY(m_server->command(fault));
    const QString path = spool(QStringLiteral("4_0_a.doc_0_Office.pdf"), randomBytes(9000));
    QCOMPARE(callPrint(QStringLiteral("4_0_a.doc_0_Office.pdf")), 0);
    QVERIFY(!m_server->waitFor(QStringLiteral("sent")).isEmpty());
    QTest::qWait(200);
    QVERIFY(JobDatabase::jobs().isEmpty());
    QVERIFY(QFile::exists(path));
}

void SessionTest::stalledServerEndsTheUpload()
{
    QVERIFY(login());
    QVERIFY(m_server->command(QStringLiteral("stall-after 65536")));
    const QString stalled = spool(QStringLiteral("5_0_big.doc_0_Office.pdf"), randomBytes(32 * 1024 * 1024));
    LogCapture log("olvenka.session");
    QCOMPARE(callPrint(QStringLiteral("5_0_big.doc_0_Office.pdf")), 0);
    QTRY_VERIFY_WITH_TIMEOUT(log.contains(QtWarningMsg, QStringLiteral("upload of 5_0_big.doc_0_Office.pdf stopped")),
                             20000);
    // Once it reads again the server finds the connection gone.
    QVERIFY(m_server->command(QStringLiteral("resume")));
    QVERIFY(!m_server->waitFor(QStringLiteral("partial")).isEmpty());
    QVERIFY(JobDatabase::jobs().isEmpty());
    QVERIFY(QFile::exists(stalled));

    // The next job goes through on a new connection.
    const QByteArray data = randomBytes(10000);
    spool(QStringLiteral("6_0_small.doc_0_Office.pdf"), data);
    QCOMPARE(callPrint(QStringLiteral("6_0_small.doc_0_Office.pdf")), 0);
    QCOMPARE(contents(m_server->waitFor(QStringLiteral("received")).value(2)), data);
    QTRY_COMPARE(JobDatabase::jobs().size(), 1);
}

void SessionTest::switchingServerEndsTheUpload()
{
    QVERIFY(login());
    // The header's answer is held back: the upload waits for it.
    QVERIFY(m_server->command(QStringLiteral("merge-next")));
    spool(QStringLiteral("1_0_held.doc_0_Office.pdf"), randomBytes(100));
    QCOMPARE(callPrint(QStringLiteral("1_0_held.doc_0_Office.pdf")), 0);
    QVERIFY(!m_server->waitFor(QStringLiteral("header")).isEmpty());
    for (ToolButton *button : m_window->findChildren<ToolButton *>()) {
        if (button->name() == QLatin1String("switch"))
            QTest::mouseClick(button, Qt::LeftButton);
    }
    QCOMPARE(m_window->size(), QSize(500, 350));

    m_window->findChild<QPushButton *>(QStringLiteral("settingBtn"))->click();
    QTRY_COMPARE(m_window->size(), QSize(850, 650));
    const QByteArray data = randomBytes(5000);
    spool(QStringLiteral("2_0_next.doc_0_Office.pdf"), data);
    QCOMPARE(callPrint(QStringLiteral("2_0_next.doc_0_Office.pdf")), 0);
    QCOMPARE(contents(m_server->waitFor(QStringLiteral("received")).value(2)), data);
}

void SessionTest::serverKilled_data()
{
    QTest::addColumn<bool>("midUpload");
    QTest::newRow("mid-session") << false;
    QTest::newRow("mid-upload") << true;
}

// The server vanishes; the client goes on, and a server back on its ports
// takes the next job.
void SessionTest::serverKilled()
{
    QFETCH(bool, midUpload);
    QVERIFY(login());
    LogCapture log("olvenka.session");
    if (midUpload) {
        QVERIFY(m_server->command(QStringLiteral("stall-after 100000")));
        spool(QStringLiteral("1_0_big.doc_0_Office.pdf"), randomBytes(16 * 1024 * 1024));
        QCOMPARE(callPrint(QStringLiteral("1_0_big.doc_0_Office.pdf")), 0);
        QVERIFY(!m_server->waitFor(QStringLiteral("stalled")).isEmpty());
    }
    const QString ports = QStringLiteral("%1,%2,%3").arg(m_settings.verifyPort).arg(m_settings.fileInfoPort).arg(m_settings.filePort);
    m_server->kill();
    if (midUpload)
        QTRY_VERIFY(log.contains(QtWarningMsg, QStringLiteral("upload of 1_0_big.doc_0_Office.pdf stopped")));
    QTest::qWait(100);

    m_server = std::make_unique<sockettest::ReferenceSocketServer>(QStringList{QStringLiteral("--ports"), ports});
    QVERIFY2(m_server->start(), qPrintable(m_server->errorString()));
    const QByteArray data = randomBytes(20000);
    spool(QStringLiteral("2_0_after.doc_0_Office.pdf"), data);
    QCOMPARE(callPrint(QStringLiteral("2_0_after.doc_0_Office.pdf")), 0);
    QCOMPARE(contents(m_server->waitFor(QStringLiteral("received")).value(2)), data);
    QTRY_COMPARE(JobDatabase::jobs().size(), 1);
}

void SessionTest::readOnlyDatabase()
{
    QVERIFY(login());
    // The window's connection, reopened read-only under it.
    JobDatabase::close();
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"));
    db.setDatabaseName(m_settings.databaseFile);
    db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
    QVERIFY(db.open());
    LogCapture log("olvenka.database");
    for (const char *name : {"1_0_a.doc_0_Office.pdf", "2_0_b.doc_0_Office.pdf"}) {
        const QString path = spool(QLatin1String(name), randomBytes(3000));
        QCOMPARE(callPrint(QLatin1String(name)), 0);
        QVERIFY(!m_server->waitFor(QStringLiteral("received")).isEmpty());
        QTRY_VERIFY(!QFile::exists(path));
    }
    QVERIFY(log.contains(QtDebugMsg, QStringLiteral("insert failed!")));
    QVERIFY(m_server->command(QStringLiteral("status 13 a1.pdf")));
    QTRY_VERIFY(log.contains(QtDebugMsg, QStringLiteral("update printing failed!")));
}

// Memory of the process, in kB.
static long residentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    status.open(QIODevice::ReadOnly);
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

void SessionTest::burstOfJobs()
{
    constexpr int jobs = 1000;
    QVERIFY(login());
    QVector<QByteArray> data;
    for (int i = 0; i < jobs; ++i) {
        data.append(randomBytes(QRandomGenerator::global()->bounded(1, 9000)));
        spool(QStringLiteral("%1_0_d%1.doc_0_Office.pdf").arg(i), data.last());
    }
    const long before = residentKb();
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < jobs; ++i)
        QCOMPARE(callPrint(QStringLiteral("%1_0_d%1.doc_0_Office.pdf").arg(i)), 0);
    // Generous: a sanitizer build on a busy machine takes minutes.
    QTRY_VERIFY_WITH_TIMEOUT(JobDatabase::jobs().size() == jobs, 240000);
    qInfo("%d jobs uploaded in %lld ms; resident memory %ld kB before, %ld kB after", jobs, timer.elapsed(), before,
          residentKb());
    for (int i = 0; i < jobs; ++i)
        QCOMPARE(contents(m_server->outDir() + QLatin1Char('/') + QString::number(i)), data.at(i));
    QTRY_VERIFY(QDir(m_settings.spoolDir).isEmpty());
}

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    registerClientResources();
    SessionTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_session.moc"
