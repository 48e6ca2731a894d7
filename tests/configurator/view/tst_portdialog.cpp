#include "configdialog.h"
#include "dialog.h"
#include "lineedit.h"
#include "portconfigdialog.h"
#include "printerport.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QTimer>

#include <functional>

namespace {

QString portFile()
{
    return printerport::PortFilePath();
}

QVariant storedPort()
{
    return QSettings(portFile(), QSettings::IniFormat).value(QStringLiteral("PrinterPorts/CloudPort"));
}

void storePort(const QVariant &value)
{
    QSettings settings(portFile(), QSettings::IniFormat);
    settings.setValue(QStringLiteral("PrinterPorts/CloudPort"), value);
}

// Runs `step` on the event loop every few milliseconds until it returns
// true, so that it can act inside a modal loop that the test has started.
void repeatUntilDone(QObject *context, std::function<bool()> step)
{
    auto *timer = new QTimer(context);
    QObject::connect(timer, &QTimer::timeout, context, [timer, step] {
        if (step())
            timer->deleteLater();
    });
    timer->start(10);
}

template<typename T>
T *visibleTopLevel()
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *match = qobject_cast<T *>(widget); match && match->isVisible())
            return match;
    }
    return nullptr;
}

} // namespace

class TestPortDialog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { ConfiguratorWindow::setAgentPathForTesting(QString()); }
    void init();

    void fieldShowsTheStoredValue_data();
    void fieldShowsTheStoredValue();
    void modify_data();
    void modify();
    void unwritablePortFile();
    void confirmationGuardsTheDialog();
};

void TestPortDialog::init()
{
    QFile::remove(portFile());
    printerport::ConfigPrinterPort();
}

void TestPortDialog::fieldShowsTheStoredValue_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<QString>("shown");
    QTest::newRow("default") << QVariant(9100) << "9100";
    QTest::newRow("out of range") << QVariant(70000) << "70000";
    QTest::newRow("text") << QVariant(QStringLiteral("text")) << "0";
}

void TestPortDialog::fieldShowsTheStoredValue()
{
    QFETCH(QVariant, stored);
    storePort(stored);
    PortConfigDialog dialog;
    QTEST(dialog.findChild<toolkit::LineEdit *>(QStringLiteral("portEdit"))->text(), "shown");
}

void TestPortDialog::modify_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("clickModify"); // else the dialog is closed
    QTest::addColumn<QString>("alert");
    QTest::addColumn<int>("stored");

    const QString range = QStringLiteral("Please enter a port from 1025 to 65535");
    QTest::newRow("valid") << "20000" << true << QString() << 20000;
    QTest::newRow("80") << "80" << true << range << 9100;
    QTest::newRow("1024") << "1024" << true << range << 9100;
    QTest::newRow("empty") << "" << true << range << 9100;
    QTest::newRow("closed") << "30000" << false << QString() << 9100;
}

void TestPortDialog::modify()
{
    QFETCH(QString, typed);
    QFETCH(bool, clickModify);
    QFETCH(int, stored);

    PortConfigDialog dialog;
    auto *edit = dialog.findChild<toolkit::LineEdit *>(QStringLiteral("portEdit"));
    QString alert;
    repeatUntilDone(&dialog, [&] {
        if (!dialog.isVisible())
            return false;
        edit->setText(typed);
        if (clickModify)
            dialog.findChild<QPushButton *>(QStringLiteral("modifyButton"))->click();
        alert = edit->alertMessage();
        // A saved port ends the dialog by itself; otherwise it stays open.
        if (!clickModify || stored == 9100)
            dialog.close();
        return true;
    });
    QCOMPARE(dialog.exec(), 0);
    QTEST(alert, "alert");
    QTEST(storedPort().toInt(), "stored");
    // The running configurator keeps its port until it starts again.
    QCOMPARE(printerport::GetCloudPrintPort(), 9100);
    printerport::ConfigPrinterPort();
    QTEST(printerport::GetCloudPrintPort(), "stored");
}

// A folder where the file should be: no account can write it.
void TestPortDialog::unwritablePortFile()
{
    QVERIFY(QFile::remove(portFile()) && QDir().mkpath(portFile()));
    PortConfigDialog dialog;
    auto *edit = dialog.findChild<toolkit::LineEdit *>(QStringLiteral("portEdit"));
    QString alert;
    repeatUntilDone(&dialog, [&] {
        if (!dialog.isVisible())
            return false;
        edit->setText(QStringLiteral("20000"));
        dialog.findChild<QPushButton *>(QStringLiteral("modifyButton"))->click();
        alert = edit->alertMessage();
        dialog.close();
        return true;
    });
    dialog.exec();
    QVERIFY(QDir(portFile()).removeRecursively());
    QCOMPARE(alert, QStringLiteral("The port could not be saved"));
}

void TestPortDialog::confirmationGuardsTheDialog()
{
    const std::unique_ptr<toolkit::Dialog> confirmation = createConfigTipDialog();
    QCOMPARE(confirmation->buttonCount(), 2);
    QCOMPARE(confirmation->button(0)->text(), QStringLiteral("Cancel"));
    QCOMPARE(confirmation->button(1)->text(), QStringLiteral("Continue"));
    QCOMPARE(confirmation->messageLabel()->text(),
             QStringLiteral("Modify configuration to restart service to take effect, whether to continue?"));

    ConfiguratorWindow window;
    window.show();

    // Cancel: no port dialog.
    bool portDialogSeen = false;
    repeatUntilDone(&window, [&] {
        portDialogSeen = portDialogSeen || visibleTopLevel<PortConfigDialog>();
        auto *asked = visibleTopLevel<toolkit::Dialog>();
        if (!asked)
            return false;
        asked->button(0)->click();
        return true;
    });
    window.showconfigTipDialog();
    QVERIFY(!portDialogSeen);

    // Continue: the port dialog opens, parented to the window.
    QWidget *portParent = nullptr;
    repeatUntilDone(&window, [&] {
        if (auto *asked = visibleTopLevel<toolkit::Dialog>()) {
            asked->button(1)->click();
            return false;
        }
        auto *portDialog = visibleTopLevel<PortConfigDialog>();
        if (!portDialog)
            return false;
        portParent = portDialog->parentWidget();
        portDialog->close();
        return true;
    });
    window.showconfigTipDialog();
    QCOMPARE(portParent, &window);
    QVERIFY(!visibleTopLevel<PortConfigDialog>());
}

QTEST_MAIN(TestPortDialog)
#include "tst_portdialog.moc"
