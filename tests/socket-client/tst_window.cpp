// The client's window against the reference socket print server, a private
// cupsd reached as "localhost" (IPP_PORT) and a private system bus: login,
// uploads handed over the bus, every reply of the server, local queues and
// the window's pages.
#include "addprinterwidget.h"
#include "clientresources.h"
#include "jobdatabase.h"
#include "logcapture.h"
#include "mainwindow.h"
#include "printlogwidget.h"
#include "socketserver.h"
#include "toolbutton.h"

#include <QtDBus>
#include <QtSql>
#include <QtTest>
#include <QtWidgets>

namespace {

const QString code = QStringLiteral("ABCDEF123456");
const QString loopback = QStringLiteral("127.0.0.1");
const QString clientDevice = QStringLiteral("olvenka-cloud-printer:/");

QByteArray randomBytes(int size)
{
    QByteArray bytes(size, 'x');
    QRandomGenerator::global()->fillRange(reinterpret_cast<quint32 *>(bytes.data()), size / 4);
    return bytes;
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

// What a CUPS tool run against "localhost" prints.
QString cups(const char *tool, const QStringList &arguments)
{
    QProcess process;
    process.start(QLatin1String(tool), QStringList{QStringLiteral("-h"), QStringLiteral("localhost")} + arguments);
    process.waitForFinished();
    return QString::fromUtf8(process.readAllStandardOutput());
}

// Every queue of the private CUPS server as "NAME=DEVICE", sorted.
QStringList queues()
{
    QStringList found;
    for (const QString &line : cups("lpstat", {QStringLiteral("-v")}).split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        found << line.section(QLatin1Char(' '), 2).replace(QStringLiteral(": "), QStringLiteral("="));
    found.sort();
    return found;
}

void addJob(const QString &pdf, const QString &printer, int state)
{
    QVERIFY(JobDatabase::insertJob(pdf, printer, QStringLiteral("doc"), state, QStringLiteral("2026.12.07")));
}

} // namespace

class WindowTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_settings = ClientSettings::defaults();
        m_settings.spoolDir = m_dir->filePath(QStringLiteral("spool"));
        QDir().mkpath(m_settings.spoolDir);
        m_settings.queuePpd = QStringLiteral(CLIENT_PPD);
        m_settings.ppdDir = qEnvironmentVariable("QUORVIA_CUPSD_DIR") + QStringLiteral("/conf/ppd");
        m_settings.databaseFile = m_dir->filePath(QStringLiteral("jobs.db"));
        // A server that stops reading ends an upload within a second.
        m_settings.writeTimeoutMs = 1000;
    }

    void cleanup()
    {
        m_window.reset();
        for (const QString &queue : QDir(m_settings.ppdDir).entryList(QDir::Files))
            cups("lpadmin", {QStringLiteral("-x"), queue.chopped(4)});
    }

    // Connecting fails or the session ends: the window stays or is back on the
    // connect page, in its place, saying why.
    void backOnConnectPage()
    {
        QVERIFY(startServer());
        showWindow();
        // Address, code, a status the server ends the session with once logged in
        // (or none: the attempt fails), message.
        for (const auto &[address, authCode, status, message] :
             {std::tuple{QString(), code, "", "Please enter the server IP address!"},
              {loopback, QString(), "", "Please enter the authorization code!"},
              {loopback, QStringLiteral("WRONG"), "", "IP address or the authorization code is wrong!"},
              // Host names are not looked up.
              {QStringLiteral("localhost"), code, "", "Connection exception"},
              {QStringLiteral("127.0.0.2"), code, "", "Connection exception"},
              {loopback, code, "7", "Please update the authorization code"},
              {loopback, code, "10", "Please check the server connection"}}) {
            if (*status) {
                QVERIFY(login());
                QVERIFY(m_server->command(QStringLiteral("status ") + QLatin1String(status)));
                QTRY_VERIFY(sessionClosed());
            } else {
                connectTo(address, authCode);
            }
            QTRY_COMPARE(child<QLabel>("remindLabel")->text(), QString::fromLatin1(message));
            QCOMPARE(m_window->geometry(), QRect(400, 300, 500, 350));
            QCOMPARE(child<QComboBox>("comboBox")->currentText(), address);
        }
    }

    // Only a job file lying in the spool folder is taken; the jobs go up one by
    // one, and refused ones leave no row and keep their spooled file.
    void upload()
    {
        QVERIFY(login());
        const QString victim = m_dir->filePath(QStringLiteral("victim"));
        QVERIFY(QFile(victim).open(QIODevice::WriteOnly));
        QVERIFY(QDir(m_settings.spoolDir).mkdir(QStringLiteral("sub")));
        QVERIFY(QFile::link(victim, m_settings.spoolDir + QStringLiteral("/link")));
        for (const char *name : {"../victim", "sub/../../victim", "", ".", "..", "sub", "link", "missing"})
            QCOMPARE(callPrint(QLatin1String(name)), -1);

        // File name, size, a fault the server plays, the header it sees, the job's key.
        for (const auto &[fileName, size, fault, header, pdfName] :
             {// More than the socket buffers take at once, and no whole number of chunks.
              std::tuple{"7_0_report.docx_0_Office.pdf", 2 * 1024 * 1024 + 17, "",
                         "report.docx|Office|2097169|7|duplex=1|5", "report7.pdf"},
              {"9_0_empty.txt_0_P.pdf", 0, "", "empty.txt|P|0|9|duplex=1|5", "empty9.pdf"},
              {"4_0_a.doc_0_Office.pdf", 9000, "header-reply 6", "a.doc|Office|9000|4|duplex=1|6", ""},
              {"5_0_b.doc_0_Office.pdf", 9000, "file-reply 9", "b.doc|Office|9000|5|duplex=1|5", ""}}) {
            const int rows = JobDatabase::jobs().size();
            QVERIFY(!*fault || m_server->command(QLatin1String(fault)));
            const QByteArray data = randomBytes(size);
            const QString path = spool(QLatin1String(fileName), data);
            QCOMPARE(callPrint(QLatin1String(fileName)), 0);
            const QStringList fields = QString::fromLatin1(header).split(QLatin1Char('|'));
            QCOMPARE(m_server->waitFor(QStringLiteral("header")), fields);
            if (fields.last() == QLatin1String("5"))
                QCOMPARE(contents(m_server->waitFor(QStringLiteral("received")).value(2)), data);
            // Long enough for a refused job to show if it were taken after all.
            QTest::qWait(200);
            const QStringList row{QLatin1String(pdfName), fields[1], fields[0], QStringLiteral("2"),
                                  QDate::currentDate().toString(QStringLiteral("yyyy.MM.dd"))};
            QTRY_COMPARE(JobDatabase::jobs().value(rows), *pdfName ? row : QStringList());
            QTRY_COMPARE(QFile::exists(path), !*pdfName);
        }
    }

    // Each reply on the file connection moves its job, unless the user cancelled
    // it. There is no framing: what one read brings is one message.
    void statusReplies()
    {
        QVERIFY(login());
        // Job, state before, state after.
        const std::tuple<const char *, int, int> jobs[]{{"p.pdf", 2, 1}, {"d.pdf", 1, 0}, {"f.pdf", 2, -1},
                                                        {"c.pdf", 3, 3}, {"r", 2, 1},     {"a.pdf", 2, 2}};
        for (const auto &[name, before, after] : jobs)
            addJob(QLatin1String(name), QStringLiteral("Office"), before);
        // "13##r" read alone is a message of its own, though "eport7.pdf" follows
        // 300 ms later; two replies in one read ("13##a.pdf11##a.pdf") name no job.
        for (const char *command : {"status 13 p.pdf", "status 11 d.pdf", "status 16 f.pdf", "status 11 c.pdf",
                                    "status 13 r|eport7.pdf", "status 13 a.pdf11##a.pdf"}) {
            QVERIFY(m_server->command(QLatin1String(command)));
            // Each in a read of its own.
            QTest::qWait(300);
        }
        for (const auto &[name, before, after] : jobs)
            QCOMPARE(QLatin1String(name) + QString::number(JobDatabase::jobState(QLatin1String(name))),
                     QLatin1String(name) + QString::number(after));
    }

    // An upload in flight ends as the server stalls, the user switches server or
    // the server is killed; the client goes on, and the next job goes through on
    // new connections.
    void interruptedUpload()
    {
        QVERIFY(login());
        LogCapture log("olvenka.session");
        for (const QString &how : {QStringLiteral("stall"), QStringLiteral("switch"), QStringLiteral("kill")}) {
            m_server->clearEvents();
            const int rows = JobDatabase::jobs().size();
            const QString name = QStringLiteral("1_0_%1.doc_0_Office.pdf").arg(how);
            const QString first = spool(name, randomBytes(32 * 1024 * 1024));
            // Unless the server stalls, the header gets an answer the client does
            // not know: the upload waits for one.
            const bool stalling = how == QLatin1String("stall");
            const bool switching = how == QLatin1String("switch");
            QVERIFY(m_server->command(stalling ? how : QStringLiteral("header-reply 0")));
            QCOMPARE(callPrint(name), 0);
            QVERIFY(!m_server->waitFor(QStringLiteral("header")).isEmpty());
            if (switching)
                QTest::mouseClick(titleButton("switch"), Qt::LeftButton);
            else if (!stalling)
                m_server->kill();
            QTRY_VERIFY_WITH_TIMEOUT(log.contains(QtWarningMsg, QStringLiteral("upload of %1 stopped").arg(name)),
                                     20000);
            QVERIFY(QFile::exists(first));
            QCOMPARE(JobDatabase::jobs().size(), rows);

            if (switching) {
                child<QPushButton>("settingBtn")->click();
                QTRY_COMPARE(m_window->size(), QSize(850, 650));
            } else if (!stalling) {
                QVERIFY(startServer({QStringLiteral("--ports"), m_server->ports()}));
            } else {
                // Once it reads again the server finds the connection gone.
                QVERIFY(m_server->command(QStringLiteral("resume")));
                QVERIFY(!m_server->waitFor(QStringLiteral("partial")).isEmpty());
            }
            const QByteArray data = randomBytes(20000);
            const QString next = QStringLiteral("2_0_%1.doc_0_Office.pdf").arg(how);
            spool(next, data);
            QCOMPARE(callPrint(next), 0);
            QCOMPARE(contents(m_server->waitFor(QStringLiteral("received")).value(2)), data);
            QTRY_COMPARE(JobDatabase::jobs().size(), rows + 1);
        }
    }

    void readOnlyDatabase()
    {
        QVERIFY(login());
        // The window's connection, reopened read-only under it.
        JobDatabase::close();
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"));
        db.setDatabaseName(m_settings.databaseFile);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        QVERIFY(db.open());
        LogCapture log("olvenka.database");
        // The client goes on past a job it cannot store.
        for (const QString &name :
             {QStringLiteral("1_0_a.doc_0_Office.pdf"), QStringLiteral("2_0_b.doc_0_Office.pdf")}) {
            spool(name, randomBytes(3000));
            QCOMPARE(callPrint(name), 0);
            QTRY_VERIFY(QDir(m_settings.spoolDir).isEmpty());
        }
        QVERIFY(m_server->command(QStringLiteral("status 13 a1.pdf")));
        QTRY_VERIFY(log.contains(QtDebugMsg, QStringLiteral("update printing failed!")));
    }

    // Requests that come while an upload is in flight wait their turn.
    void burstOfJobs()
    {
        constexpr int jobs = 1000;
        QVERIFY(login());
        QVector<QByteArray> data;
        for (int i = 0; i < jobs; ++i) {
            data.append(randomBytes(QRandomGenerator::global()->bounded(1, 9000)));
            spool(QStringLiteral("%1_0_d%1.doc_0_Office.pdf").arg(i), data.last());
        }
        for (int i = 0; i < jobs; ++i)
            QCOMPARE(callPrint(QStringLiteral("%1_0_d%1.doc_0_Office.pdf").arg(i)), 0);
        // Generous: a sanitizer build on a busy machine takes minutes.
        QTRY_VERIFY_WITH_TIMEOUT(JobDatabase::jobs().size() == jobs, 240000);
        for (int i = 0; i < jobs; ++i)
            QCOMPARE(contents(m_server->outDir() + QLatin1Char('/') + QString::number(i)), data.at(i));
    }

    // The printer page of a server with many printers, some with names meant to
    // reach a shell: local queues, row states, and rows made as they come into view.
    void printerPage()
    {
        const QString canary = m_dir->filePath(QStringLiteral("canary"));
        QString names = QStringLiteral("Office\n");
        for (int i = 1; i < 37; ++i)
            names += QStringLiteral("P%1\n").arg(i);
        names += QStringLiteral("$(touch %1)\nx\";touch %1;\"y\n`touch %1`\n").arg(canary);
        // At login the client removes its queues of printers the server does not
        // list, and only its own.
        const QString foreign = QStringLiteral("Foreign=tqp://127.0.0.1:9100/Foreign");
        const QString office = QStringLiteral("Office=") + clientDevice;
        for (const QString &queue : QStringList{foreign, office, QStringLiteral("Gone=") + clientDevice}) {
            cups("lpadmin", {QStringLiteral("-p"), queue.section(QLatin1Char('='), 0, 0), QStringLiteral("-v"),
                             queue.section(QLatin1Char('='), 1), QStringLiteral("-P"), QStringLiteral(CLIENT_PPD)});
        }
        QVERIFY(login({QStringLiteral("--printers"), names}));
        QCOMPARE(queues(), (QStringList{foreign, office}));

        // A button's name follows its checked state; a wrong start shows as a wrong queue change.
        ToolButton *button = rowButton(0);
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(queues(), QStringList{foreign});
        QCOMPARE(button->name(), QStringLiteral("add"));
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(queues(), (QStringList{foreign, office}));
        const QString state = cups(
            "lpstat", {QStringLiteral("-p"), QStringLiteral("Office"), QStringLiteral("-a"), QStringLiteral("Office")});
        QVERIFY2(state.contains(QStringLiteral("enabled")) && !state.contains(QStringLiteral("not accepting")),
                 qPrintable(state));
        QCOMPARE(button->name(), QStringLiteral("del"));

        // A failed job makes its printer's state an anomaly, one waiting or
        // printing makes it busy; shown rows change, later ones come so.
        QCOMPARE(rowText(0, 1), QStringLiteral("Printer idle"));
        for (const QString &job : QStringLiteral("Office -1|Office 2|P1 1|P2 0|P2 3|P36 -1").split(QLatin1Char('|')))
            addJob(job, job.section(QLatin1Char(' '), 0, 0), job.section(QLatin1Char(' '), 1).toInt());
        page()->updateTableWidget();
        QCOMPARE((QStringList{rowText(0, 1), rowText(1, 1), rowText(2, 1)}),
                 QStringLiteral("Printer anomaly|Printing|Printer idle").split(QLatin1Char('|')));
        table()->scrollToBottom();
        QVERIFY(table()->cellWidget(39, 1));
        QCOMPARE((QStringList{rowText(35, 1), rowText(36, 0), rowText(36, 1)}),
                 QStringLiteral("Printer idle|P36|Printer anomaly").split(QLatin1Char('|')));
        QTest::mouseClick(rowButton(36), Qt::LeftButton);
        QCOMPARE(queues(), (QStringList{foreign, office, QStringLiteral("P36=") + clientDevice}));
        // Names from the server never reach a shell.
        for (int row = 37; row < 40; ++row) {
            QTest::mouseClick(rowButton(row), Qt::LeftButton);
            QTest::mouseClick(rowButton(row), Qt::LeftButton);
        }

        // At the end the client removes all its queues. Quit through the tray
        // menu's slot inside the application's loop, which the quit ends: outside
        // it, the quit would end later event loops at once.
        QTimer::singleShot(0, m_window.get(), &MainWindow::quitAppSlot);
        QCoreApplication::exec();
        QCOMPARE(queues(), QStringList{foreign});
        QVERIFY(!QFile::exists(canary));
    }

    // The queue view: the newest job first with its state, rows filled as they
    // come into view, and the right-click menu on the current job, with nothing
    // to do without one. The server gets each command whole; prioritising leaves
    // the job's state, cancelling sets it.
    void queueView()
    {
        QVERIFY(login());
        for (int i = 0; i < 34; ++i)
            addJob(QStringLiteral("job%1").arg(i), QStringLiteral("Office"), 0);
        for (int state : {7, -1, 3, 0, 1, 2})
            addJob(QStringLiteral("s%1.pdf").arg(state), QStringLiteral("Office"), state);
        page()->findChild<QPushButton *>(QStringLiteral("viewBtn"))->click();
        PrintLogWidget *log = page()->printLogWidget();
        QTRY_VERIFY(log->isVisible());
        auto *view = log->findChild<QTableView *>();
        auto *model = qobject_cast<QStandardItemModel *>(view->model());
        const auto filled = [model](int row) { return model->item(row, 0) != nullptr; };
        QCOMPARE(model->rowCount(), 40);
        QVERIFY(filled(0) && filled(39));
        QCOMPARE(model->item(0, 0)->text(), QStringLiteral("1"));
        // Each row's state and the entries enabled for it; an unknown state is an anomaly.
        QStringList shown{openContextMenu(-1)};
        for (int row = 0; row < 6; ++row) {
            view->setCurrentIndex(model->index(row, 1));
            shown << model->item(row, 3)->text() + QLatin1Char(' ') + openContextMenu(-1);
        }
        QCOMPARE(shown, QStringLiteral("00|Print waiting 11|Printing 10|Completed 00|Cancel printing 00|"
                                       "Printer anomaly 00|Printer anomaly 00")
                            .split(QLatin1Char('|')));
        view->verticalScrollBar()->setValue(20);
        log->fillTableView();
        QVERIFY(!filled(19) && filled(20) && filled(39));
        view->verticalScrollBar()->setValue(5);
        QVERIFY(!filled(4) && filled(5) && filled(13) && !filled(14));

        view->setCurrentIndex(model->index(0, 1));
        // Messages have no framing: each is read by the server before the next.
        openContextMenu(1);
        QCOMPARE(m_server->waitFor(QStringLiteral("command")).join(QLatin1Char('|')),
                 QStringLiteral("15|Office|s2.pdf"));
        QCOMPARE(JobDatabase::jobState(QStringLiteral("s2.pdf")), 2);
        openContextMenu(0);
        QCOMPARE(m_server->waitFor(QStringLiteral("command")).join(QLatin1Char('|')),
                 QStringLiteral("14|Office|s2.pdf"));
        QCOMPARE(JobDatabase::jobState(QStringLiteral("s2.pdf")), 3);
    }

    // A saved server marked so is logged in to at the start, and the window grows
    // around its centre. Then the title bar's buttons: the queue view's return,
    // closing to the tray and back, and switching server. Back on the connect
    // page, the saved servers fill in the form.
    void savedServers()
    {
        QVERIFY(startServer());
        JobDatabase::open(m_settings.databaseFile);
        JobDatabase::saveServer(loopback, code, true, true);
        JobDatabase::saveServer(QStringLiteral("127.0.0.4"), QStringLiteral("BBBB"), true, false);
        JobDatabase::close();
        showWindow();
        QCOMPARE(m_server->waitFor(QStringLiteral("verify")), (QStringList{code, loopback, QStringLiteral("2")}));
        QTRY_COMPARE(m_window->geometry(), QRect(225, 150, 850, 650));

        page()->findChild<QPushButton *>(QStringLiteral("viewBtn"))->click();
        QVERIFY(titleButton("return")->isVisible());
        QVERIFY(!titleButton("switch")->isVisible());

        QTest::mouseClick(titleButton("close"), Qt::LeftButton);
        QVERIFY(m_window->isHidden());
        m_window->onSysTrayIconActived(QSystemTrayIcon::Trigger);
        QVERIFY(page()->listPart()->isVisible());
        QVERIFY(!page()->printLogWidget()->isVisible());
        QVERIFY(child<QWidget>("titleWid")->isVisible());
        QVERIFY(titleButton("switch")->isVisible());
        m_window->onSysTrayIconActived(QSystemTrayIcon::Trigger);
        QVERIFY(m_window->isHidden());
        m_window->onSysTrayIconActived(QSystemTrayIcon::Trigger);

        child<QComboBox>("comboBox")->setEditText(QStringLiteral("127.0.0.8"));
        QTest::mouseClick(titleButton("switch"), Qt::LeftButton);
        QCOMPARE(child<QComboBox>("comboBox")->currentText(), loopback);
        QCOMPARE(child<QLineEdit>("codeLineEdit")->text(), code);
        QVERIFY(!titleButton("switch")->isVisible());
        QTRY_VERIFY(sessionClosed());

        auto *box = child<QComboBox>("comboBox");
        auto *codeField = child<QLineEdit>("codeLineEdit");
        auto *login = child<QCheckBox>("loginCheckBox");
        auto *save = child<QCheckBox>("checkBox");

        box->setEditText(QStringLiteral("127.0.0.9"));
        QVERIFY(codeField->text().isEmpty() && !login->isChecked());
        box->setEditText(loopback);
        QVERIFY(codeField->text() == code && login->isChecked());
        save->setChecked(false);
        // What a choice from the list emits; the client listens to the text form,
        // which Qt 5.15 declares deprecated for direct use.
        QMetaObject::invokeMethod(box, "activated", Q_ARG(QString, loopback));
        QVERIFY(login->isChecked() && save->isChecked());
        QMetaObject::invokeMethod(box, "activated", Q_ARG(QString, QStringLiteral("127.0.0.4")));
        QVERIFY(codeField->text() == QStringLiteral("BBBB") && !login->isChecked());

        QTest::mouseClick(login, Qt::LeftButton);
        QVERIFY(login->isChecked() && save->isChecked());
        QTest::mouseClick(save, Qt::LeftButton);
        QVERIFY(!login->isChecked() && !save->isChecked());

        auto *list = qobject_cast<QListWidget *>(box->view());
        emit list->itemWidget(list->item(0))->findChild<QPushButton *>()->pressed();
        QCOMPARE(box->count(), 1);
        QCOMPARE(JobDatabase::servers().value(0).ip, QStringLiteral("127.0.0.4"));

        QTest::keyClicks(box->lineEdit(), QStringLiteral("1234567890123456789"));
        QCOMPARE(box->currentText().size(), 15);
        codeField->clear();
        QTest::keyClicks(codeField, QStringLiteral("ab-c_1234567890123"));
        QCOMPARE(codeField->text(), QStringLiteral("abc123456789"));
        box->setEditText(QString());
        // A shortcut clicks its button after a short animation, in the active window.
        m_window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        QTest::keyClick(m_window.get(), Qt::Key_Return);
        QTRY_COMPARE(child<QLabel>("remindLabel")->text(), QStringLiteral("Please enter the server IP address!"));
    }

private:
    bool startServer(const QStringList &arguments = {})
    {
        m_server = std::make_unique<sockettest::ReferenceSocketServer>(arguments);
        const bool started = m_server->start();
        m_settings.verifyPort = m_server->verifyPort();
        m_settings.fileInfoPort = m_server->infoPort();
        m_settings.filePort = m_server->filePort();
        return started;
    }
    void showWindow()
    {
        m_window = std::make_unique<MainWindow>(m_settings);
        m_window->setGeometry(400, 300, 500, 350);
        m_window->show();
    }
    void connectTo(const QString &address, const QString &authCode)
    {
        child<QComboBox>("comboBox")->setEditText(address);
        child<QLineEdit>("codeLineEdit")->setText(authCode);
        child<QPushButton>("settingBtn")->click();
    }
    // Starts a server and the window and logs in; the server's events start afresh.

    bool login(const QStringList &serverArguments = {})
    {
        if (!startServer(serverArguments))
            return false;
        showWindow();
        connectTo(loopback, code);
        // Logged in once the page shows and both session connections are up.
        const bool loggedIn = QTest::qWaitFor([this] {
            return m_window->size() == QSize(850, 650) && m_server->events(QStringLiteral("connected")).size() == 3;
        });
        m_server->clearEvents();
        return loggedIn;
    }
    QString spool(const QString &name, const QByteArray &data)
    {
        QFile file(m_settings.spoolDir + QLatin1Char('/') + name);
        if (file.open(QIODevice::WriteOnly))
            file.write(data);
        return file.fileName();
    }
    // Hands a spooled file to the window as the print backend does, over the bus.

    int callPrint(const QString &fileName)
    {
        const QString service = QStringLiteral("com.olvenka.cloud.printer");
        QDBusMessage call = QDBusMessage::createMethodCall(service, QStringLiteral("/com/olvenka/cloud/printer"),
                                                           service, QStringLiteral("callPrintOperation"));
        call << fileName << QStringLiteral("duplex=1");
        QDBusPendingReply<int> reply = m_caller.asyncCall(call);
        return QTest::qWaitFor([&reply] { return reply.isFinished(); }) && reply.isValid() ? reply.value() : -100;
    }
    // The menu of a right-click in the queue view, its entries' enabled
    // states as "cancel priority" (1 or 0), choosing `choose` if enabled.

    QString openContextMenu(int choose)
    {
        QString enabled;
        QTimer::singleShot(0, this, [&enabled, choose] {
            auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
            if (!menu)
                return;
            const QList<QAction *> actions = menu->actions();
            for (QAction *action : actions)
                enabled += action->isEnabled() ? QLatin1Char('1') : QLatin1Char('0');
            QAction *chosen = actions.value(choose);
            if (chosen && chosen->isEnabled()) {
                menu->setActiveAction(chosen);
                QTest::keyClick(menu, Qt::Key_Enter);
            } else {
                menu->close();
            }
        });
        page()->printLogWidget()->rightClickedSlot();
        return enabled;
    }
    template<typename T>
    T *child(const char *name) const
    {
        return m_window->findChild<T *>(QLatin1String(name));
    }
    AddPrinterWidget *page() const { return m_window->addPrinterWidget(); }
    QTableWidget *table() const { return page()->findChild<QTableWidget *>(QStringLiteral("tableWidget")); }
    ToolButton *rowButton(int row) const { return qobject_cast<ToolButton *>(table()->cellWidget(row, 2)); }
    // Line 0 of a printer row is its name, line 1 its state.
    QString rowText(int row, int line) const
    {
        return table()->cellWidget(row, 1)->findChildren<QLabel *>().value(line)->text();
    }
    ToolButton *titleButton(const char *name) const
    {
        for (ToolButton *button : m_window->findChildren<ToolButton *>()) {
            if (button->name() == QLatin1String(name))
                return button;
        }
        return nullptr;
    }
    // The server saw both session connections go.
    bool sessionClosed() const
    {
        const QList<QStringList> gone = m_server->events(QStringLiteral("disconnected"));
        return gone.contains({QStringLiteral("info")}) && gone.contains({QStringLiteral("file")});
    }

    std::unique_ptr<sockettest::ReferenceSocketServer> m_server;
    std::unique_ptr<QTemporaryDir> m_dir;
    ClientSettings m_settings;
    std::unique_ptr<MainWindow> m_window;
    QDBusConnection m_caller = QDBusConnection::connectToBus(QDBusConnection::SystemBus, QStringLiteral("caller"));
};

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    registerClientResources();
    WindowTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_window.moc"
