// The window's pages against the reference server, a private cupsd reached
// as "localhost" (IPP_PORT) and a private system bus: local queues, state
// texts, the queue view, the connect page and the window's own behaviour.
#include "addprinterwidget.h"
#include "clientresources.h"
#include "jobdatabase.h"
#include "mainwindow.h"
#include "printlogwidget.h"
#include "socketserver.h"
#include "toolbutton.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

const QString code = QStringLiteral("ABCDEF123456");
const QString loopback = QStringLiteral("127.0.0.1");

// What CUPS on "localhost" says of a queue: its device, or "" when it has none.
QString deviceOf(const QString &queue)
{
    QProcess lpstat;
    lpstat.start(QStringLiteral("lpstat"), {QStringLiteral("-h"), QStringLiteral("localhost"), QStringLiteral("-v"), queue});
    lpstat.waitForFinished();
    const QString out = QString::fromUtf8(lpstat.readAllStandardOutput()).trimmed();
    return out.section(QStringLiteral(": "), 1);
}

QString queueState(const QString &queue)
{
    QProcess lpstat;
    lpstat.start(QStringLiteral("lpstat"),
                 {QStringLiteral("-h"), QStringLiteral("localhost"), QStringLiteral("-p"), queue, QStringLiteral("-a"), queue});
    lpstat.waitForFinished();
    const QString out = QString::fromUtf8(lpstat.readAllStandardOutput());
    return QLatin1String(out.contains(QStringLiteral("enabled")) ? "enabled " : "disabled ")
           + QLatin1String(out.contains(QStringLiteral("accepting requests")) ? "accepting" : "rejecting");
}

bool makeQueue(const QString &name, const QString &device)
{
    return QProcess::execute(QStringLiteral("lpadmin"), {QStringLiteral("-h"), QStringLiteral("localhost"),
                                                         QStringLiteral("-p"), name, QStringLiteral("-v"), device,
                                                         QStringLiteral("-P"), QStringLiteral(CLIENT_PPD)})
           == 0;
}

void addJob(const char *pdf, const char *printer, int state)
{
    JobDatabase::insertJob(QLatin1String(pdf), QString::fromUtf8(printer), QStringLiteral("doc"), state,
                           QStringLiteral("2026.12.07"));
}

} // namespace

class WindowTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void addAndRemoveQueues();
    void onlyTheClientsQueuesAreCleanedUp();
    void printerStateTexts();
    void rowsComeIntoViewWithTheirState();
    void queueViewFillsRowsWhenScrolled();
    void contextMenu_data();
    void contextMenu();
    void savedServers();
    void switchServerAroundTheCentre();
    void closeToTrayAndBack();
    void serverNamesNeverReachAShell();

private:
    bool startAndLogin(const QStringList &serverArguments = {});
    AddPrinterWidget *page() const { return m_window->addPrinterWidget(); }
    QTableWidget *table() const { return page()->findChild<QTableWidget *>(QStringLiteral("tableWidget")); }
    ToolButton *rowButton(int row) const { return qobject_cast<ToolButton *>(table()->cellWidget(row, 2)); }
    QString rowState(int row) const { return table()->cellWidget(row, 1)->findChildren<QLabel *>().value(1)->text(); }
    ToolButton *titleButton(const char *name) const;
    template<typename T> T *child(const char *name) const { return m_window->findChild<T *>(QLatin1String(name)); }
    // Quits through the tray menu's slot, then lets later event loops run:
    // a quit outside the application's loop would end them at once.
    void quitWindow();
    // The menu of a right-click in the queue view, its entries' enabled
    // states as "cancel priority" (1 or 0), choosing `choose` if enabled.
    QString openContextMenu(int choose);

    std::unique_ptr<sockettest::ReferenceSocketServer> m_server;
    std::unique_ptr<QTemporaryDir> m_dir;
    ClientSettings m_settings;
    std::unique_ptr<MainWindow> m_window;
};

void WindowTest::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_settings = ClientSettings::defaults();
    m_settings.spoolDir = m_dir->filePath(QStringLiteral("spool"));
    QDir().mkpath(m_settings.spoolDir);
    m_settings.queuePpd = QStringLiteral(CLIENT_PPD);
    m_settings.ppdDir = qEnvironmentVariable("QUORVIA_CUPSD_DIR") + QStringLiteral("/conf/ppd");
    m_settings.databaseFile = m_dir->filePath(QStringLiteral("jobs.db"));
}

void WindowTest::cleanup()
{
    m_window.reset();
    m_server.reset();
    m_dir.reset();
    for (const QString &queue : QDir(m_settings.ppdDir).entryList(QDir::Files))
        QProcess::execute(QStringLiteral("lpadmin"), {QStringLiteral("-h"), QStringLiteral("localhost"),
                                                      QStringLiteral("-x"), queue.chopped(4)});
}

bool WindowTest::startAndLogin(const QStringList &serverArguments)
{
    m_server = std::make_unique<sockettest::ReferenceSocketServer>(serverArguments);
    if (!m_server->start())
        return false;
    m_settings.verifyPort = m_server->verifyPort();
    m_settings.fileInfoPort = m_server->infoPort();
    m_settings.filePort = m_server->filePort();
    m_window = std::make_unique<MainWindow>(m_settings);
    m_window->setGeometry(400, 300, 500, 350);
    m_window->show();
    child<QComboBox>("comboBox")->setEditText(loopback);
    child<QLineEdit>("codeLineEdit")->setText(code);
    child<QPushButton>("settingBtn")->click();
    QElapsedTimer timer;
    timer.start();
    // Logged in once the page shows and both session connections are up.
    while ((m_window->size() != QSize(850, 650) || m_server->events(QStringLiteral("connected")).size() < 3)
           && timer.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return m_window->size() == QSize(850, 650) && m_server->events(QStringLiteral("connected")).size() == 3;
}

void WindowTest::quitWindow()
{
    m_window->quitAppSlot();
    QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
    QCoreApplication::exec();
}

ToolButton *WindowTest::titleButton(const char *name) const
{
    for (ToolButton *button : m_window->findChildren<ToolButton *>()) {
        if (button->name() == QLatin1String(name))
            return button;
    }
    return nullptr;
}

void WindowTest::addAndRemoveQueues()
{
    QVERIFY(startAndLogin());
    const QString ppd = m_settings.ppdDir + QStringLiteral("/Office.ppd");
    ToolButton *button = rowButton(0);
    QVERIFY(!button->isChecked());

    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(deviceOf(QStringLiteral("Office")), QStringLiteral("olvenka-cloud-printer:/"));
    QCOMPARE(queueState(QStringLiteral("Office")), QStringLiteral("enabled accepting"));
    QVERIFY(QFile::exists(ppd));
    QVERIFY(button->isChecked());
    QCOMPARE(button->name(), QStringLiteral("del"));

    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(deviceOf(QStringLiteral("Office")), QString());
    QVERIFY(!QFile::exists(ppd));
    QVERIFY(!button->isChecked());
    QCOMPARE(button->name(), QStringLiteral("add"));
}

void WindowTest::onlyTheClientsQueuesAreCleanedUp()
{
    const QString client = QStringLiteral("olvenka-cloud-printer:/");
    QVERIFY(makeQueue(QStringLiteral("Office"), client));
    QVERIFY(makeQueue(QStringLiteral("Gone"), client));
    QVERIFY(makeQueue(QStringLiteral("Foreign"), QStringLiteral("tqp://127.0.0.1:9100/Foreign")));

    QVERIFY(startAndLogin());
    QCOMPARE(deviceOf(QStringLiteral("Gone")), QString());
    QCOMPARE(deviceOf(QStringLiteral("Foreign")), QStringLiteral("tqp://127.0.0.1:9100/Foreign"));
    QCOMPARE(deviceOf(QStringLiteral("Office")), client);
    QVERIFY(rowButton(0)->isChecked());
    QVERIFY(!rowButton(1)->isChecked());

    quitWindow();
    QCOMPARE(deviceOf(QStringLiteral("Office")), QString());
    QCOMPARE(deviceOf(QStringLiteral("Foreign")), QStringLiteral("tqp://127.0.0.1:9100/Foreign"));
}

void WindowTest::printerStateTexts()
{
    QVERIFY(startAndLogin());
    QCOMPARE(rowState(0), QStringLiteral("Printer idle"));
    addJob("a.pdf", "Office", -1);
    addJob("b.pdf", "Office", 2);
    addJob("c.pdf", "财务打印机", 1);
    addJob("d.pdf", "Say \"hi\"", 0);
    addJob("e.pdf", "Say \"hi\"", 3);
    page()->updateTableWidget();
    QCOMPARE((QStringList{rowState(0), rowState(1), rowState(2)}),
             (QStringList{QStringLiteral("Printer anomaly"), QStringLiteral("Printing"), QStringLiteral("Printer idle")}));
}

void WindowTest::rowsComeIntoViewWithTheirState()
{
    QFile names(m_dir->filePath(QStringLiteral("printers")));
    QVERIFY(names.open(QIODevice::WriteOnly));
    for (int i = 0; i < 40; ++i)
        names.write("P" + QByteArray::number(i) + '\n');
    names.close();
    QVERIFY(startAndLogin({QStringLiteral("--printers-file"), names.fileName()}));
    addJob("a.pdf", "P39", -1);
    page()->updateTableWidget();
    table()->scrollToBottom();
    QVERIFY(table()->cellWidget(39, 1));
    QCOMPARE(table()->cellWidget(39, 1)->findChild<QLabel *>()->text(), QStringLiteral("P39"));
    QCOMPARE(rowState(39), QStringLiteral("Printer anomaly"));
    QCOMPARE(rowState(38), QStringLiteral("Printer idle"));
    QTest::mouseClick(rowButton(39), Qt::LeftButton);
    QCOMPARE(deviceOf(QStringLiteral("P39")), QStringLiteral("olvenka-cloud-printer:/"));
}

void WindowTest::queueViewFillsRowsWhenScrolled()
{
    QVERIFY(startAndLogin());
    for (int i = 0; i < 40; ++i)
        addJob(QByteArray("job" + QByteArray::number(i)).constData(), "Office", i == 39 ? 7 : 2);
    page()->findChild<QPushButton *>(QStringLiteral("viewBtn"))->click();
    PrintLogWidget *view = page()->printLogWidget();
    QTRY_VERIFY(view->isVisible());
    auto *model = qobject_cast<QStandardItemModel *>(view->findChild<QTableView *>()->model());
    const auto filled = [model](int row) { return model->item(row, 0) != nullptr; };
    QCOMPARE(model->rowCount(), 40);
    QVERIFY(filled(0) && filled(39));
    // Newest first; a state the client does not know shows as an anomaly.
    QCOMPARE(model->item(0, 3)->text(), QStringLiteral("Printer anomaly"));
    QCOMPARE(model->item(0, 0)->text(), QStringLiteral("1"));

    QScrollBar *bar = view->findChild<QTableView *>()->verticalScrollBar();
    bar->setValue(20);
    view->fillTableView();
    QVERIFY(!filled(19) && filled(20) && filled(39));
    bar->setValue(5);
    QVERIFY(!filled(4) && filled(5) && filled(13) && !filled(14));
}

QString WindowTest::openContextMenu(int choose)
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

void WindowTest::contextMenu_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<QString>("enabled");
    QTest::newRow("printed") << 0 << QStringLiteral("00");
    QTest::newRow("printing") << 1 << QStringLiteral("10");
    QTest::newRow("waiting") << 2 << QStringLiteral("11");
    QTest::newRow("cancelled") << 3 << QStringLiteral("00");
    QTest::newRow("anomaly") << -1 << QStringLiteral("00");
    QTest::newRow("no current row") << 2 << QStringLiteral("00");
}

void WindowTest::contextMenu()
{
    QFETCH(int, state);
    QFETCH(QString, enabled);
    QVERIFY(startAndLogin());
    addJob("r5.pdf", "Office", state);
    page()->findChild<QPushButton *>(QStringLiteral("viewBtn"))->click();
    auto *view = page()->printLogWidget()->findChild<QTableView *>();
    if (QTest::currentDataTag() != QByteArray("no current row"))
        view->setCurrentIndex(view->model()->index(0, 1));

    QSignalSpy cancel(page(), &AddPrinterWidget::cancelPrintingActionSignal);
    QSignalSpy priority(page(), &AddPrinterWidget::priorityPrintingActionSignal);
    QCOMPARE(openContextMenu(1), enabled);
    QCOMPARE(priority.count(), enabled.endsWith(QLatin1Char('1')) ? 1 : 0);
    // Messages have no framing: each is read by the server before the next.
    if (!priority.isEmpty())
        QCOMPARE(m_server->waitFor(QStringLiteral("command")).value(0), QStringLiteral("15"));
    QCOMPARE(openContextMenu(0), enabled);
    QCOMPARE(cancel.count(), enabled.startsWith(QLatin1Char('1')) ? 1 : 0);
    if (!cancel.isEmpty()) {
        QCOMPARE(cancel.at(0).at(0).toString(), QStringLiteral("14##Office##r5.pdf"));
        QCOMPARE(m_server->waitFor(QStringLiteral("command")).value(0), QStringLiteral("14"));
        QCOMPARE(JobDatabase::jobState(QStringLiteral("r5.pdf")), 3);
    }
}

void WindowTest::savedServers()
{
    JobDatabase::open(m_settings.databaseFile);
    // The first is marked for automatic login; nothing listens there.
    JobDatabase::saveServer(QStringLiteral("127.0.0.3"), QStringLiteral("AAAA"), true, true);
    JobDatabase::saveServer(QStringLiteral("127.0.0.4"), QStringLiteral("BBBB"), true, false);
    JobDatabase::close();
    m_window = std::make_unique<MainWindow>(m_settings);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    auto *box = child<QComboBox>("comboBox");
    auto *codeField = child<QLineEdit>("codeLineEdit");
    auto *login = child<QCheckBox>("loginCheckBox");
    auto *save = child<QCheckBox>("checkBox");
    QCOMPARE(box->count(), 2);
    QTRY_COMPARE(child<QLabel>("remindLabel")->text(), QStringLiteral("Connection exception"));

    box->setEditText(QStringLiteral("127.0.0.9"));
    QVERIFY(codeField->text().isEmpty() && !login->isChecked());
    box->setEditText(QStringLiteral("127.0.0.3"));
    QVERIFY(codeField->text() == QStringLiteral("AAAA") && login->isChecked());
    save->setChecked(false);
    emit box->activated(QStringLiteral("127.0.0.3"));
    QVERIFY(login->isChecked() && save->isChecked());
    emit box->activated(QStringLiteral("127.0.0.4"));
    QVERIFY(codeField->text() == QStringLiteral("BBBB") && !login->isChecked());

    QTest::mouseClick(login, Qt::LeftButton);
    QVERIFY(login->isChecked() && save->isChecked());
    QTest::mouseClick(save, Qt::LeftButton);
    QVERIFY(!login->isChecked() && !save->isChecked());

    auto *list = qobject_cast<QListWidget *>(box->view());
    emit list->itemWidget(list->item(0))->findChild<QPushButton *>()->pressed();
    QCOMPARE(box->count(), 1);
    QCOMPARE(JobDatabase::servers().size(), 1);
    QCOMPARE(JobDatabase::servers().at(0).ip, QStringLiteral("127.0.0.4"));

    QTest::keyClicks(box->lineEdit(), QStringLiteral("1234567890123456789"));
    QCOMPARE(box->currentText().size(), 15);
    codeField->clear();
    QTest::keyClicks(codeField, QStringLiteral("ab-c_1234567890123"));
    QCOMPARE(codeField->text(), QStringLiteral("abc123456789"));
    box->setEditText(QString());
    // A shortcut clicks its button after a short animation.
    QTest::keyClick(m_window.get(), Qt::Key_Return);
    QTRY_COMPARE(child<QLabel>("remindLabel")->text(), QStringLiteral("Please enter the server IP address!"));
}

void WindowTest::switchServerAroundTheCentre()
{
    QVERIFY(startAndLogin());
    QCOMPARE(m_window->geometry(), QRect(225, 150, 850, 650));
    child<QComboBox>("comboBox")->setEditText(QStringLiteral("127.0.0.8"));
    QTest::mouseClick(titleButton("switch"), Qt::LeftButton);
    QCOMPARE(m_window->geometry(), QRect(400, 300, 500, 350));
    QCOMPARE(child<QComboBox>("comboBox")->currentText(), loopback);
    QCOMPARE(child<QLineEdit>("codeLineEdit")->text(), code);
    QVERIFY(!titleButton("switch")->isVisible());
    QTRY_COMPARE(m_server->events(QStringLiteral("disconnected")).size(), 3);
}

void WindowTest::closeToTrayAndBack()
{
    QVERIFY(startAndLogin());
    page()->findChild<QPushButton *>(QStringLiteral("viewBtn"))->click();
    QVERIFY(titleButton("return")->isVisible());
    QVERIFY(!titleButton("switch")->isVisible());

    QTest::mouseClick(titleButton("close"), Qt::LeftButton);
    QVERIFY(m_window->isHidden());
    m_window->onSysTrayIconActived(QSystemTrayIcon::Trigger);
    QVERIFY(m_window->isVisible());
    QVERIFY(page()->listPart()->isVisible());
    QVERIFY(!page()->printLogWidget()->isVisible());
    QVERIFY(child<QWidget>("titleWid")->isVisible());
    QVERIFY(titleButton("switch")->isVisible());
    m_window->onSysTrayIconActived(QSystemTrayIcon::Trigger);
    QVERIFY(m_window->isHidden());
}

void WindowTest::serverNamesNeverReachAShell()
{
    const QString canary = m_dir->filePath(QStringLiteral("canary"));
    QFile names(m_dir->filePath(QStringLiteral("printers")));
    QVERIFY(names.open(QIODevice::WriteOnly));
    names.write(QStringLiteral("$(touch %1)\nx\";touch %1;\"y\n`touch %1`\n").arg(canary).toUtf8());
    names.close();
    QVERIFY(startAndLogin({QStringLiteral("--printers-file"), names.fileName()}));
    QCOMPARE(table()->rowCount(), 3);
    for (int row = 0; row < 3; ++row) {
        QTest::mouseClick(rowButton(row), Qt::LeftButton);
        QTest::mouseClick(rowButton(row), Qt::LeftButton);
    }
    quitWindow();
    QVERIFY(!QFile::exists(canary));
}

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    registerClientResources();
    WindowTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_window.moc"
