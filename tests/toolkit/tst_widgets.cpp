#include "alertbubble.h"
#include "dialog.h"
#include "fontsize.h"
#include "lineedit.h"
#include "mainwindow.h"
#include "placement.h"
#include "themeicon.h"
#include "titlebar.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QMenu>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>

#include <functional>

using DialogAction = std::function<void(toolkit::Dialog &)>;
Q_DECLARE_METATYPE(DialogAction)

class TestWidgets : public QObject
{
    Q_OBJECT

private slots:
    void dialogExecReturnsClickedIndex_data();
    void dialogExecReturnsClickedIndex();
    void dialogButtonSignalCarriesIndexAndText();

    void alertHidesAfterItsDuration();
    void alertShownAgainRestartsItsDuration();
    void alertWithoutDurationStaysUntilHidden();
    void alertSitsUnderTheFieldInsideTheWindow();
    void alertLeavesWithItsField();

    void themeIconsComeFromTheProgramFirst();
    void fontClassesShrinkFromT1ToT10();
    void titleBarMenuAndButtons();
    void centringOnTheScreen();
};

namespace {

// Shows a line edit inside a window of its own.
struct FieldWindow
{
    QWidget window;
    toolkit::LineEdit *field;
    toolkit::LineEdit *other;

    FieldWindow()
    {
        window.resize(400, 200);
        auto *layout = new QVBoxLayout(&window);
        field = new toolkit::LineEdit(&window);
        other = new toolkit::LineEdit(&window);
        layout->addWidget(field);
        layout->addWidget(other);
        layout->addStretch();
        window.show();
    }
};

} // namespace

void TestWidgets::dialogExecReturnsClickedIndex_data()
{
    QTest::addColumn<DialogAction>("action");
    QTest::addColumn<int>("expected");

    QTest::newRow("first button") << DialogAction(
        [](toolkit::Dialog &d) { QTest::mouseClick(d.button(0), Qt::LeftButton); })
                                  << 0;
    QTest::newRow("second button") << DialogAction(
        [](toolkit::Dialog &d) { QTest::mouseClick(d.button(1), Qt::LeftButton); })
                                   << 1;
    QTest::newRow("return presses the default") << DialogAction(
        [](toolkit::Dialog &d) { QTest::keyClick(&d, Qt::Key_Return); })
                                                << 1;
    QTest::newRow("escape") << DialogAction(
        [](toolkit::Dialog &d) { QTest::keyClick(&d, Qt::Key_Escape); })
                            << -1;
    QTest::newRow("window closed") << DialogAction([](toolkit::Dialog &d) { d.close(); })
                                   << -1;
}

void TestWidgets::dialogExecReturnsClickedIndex()
{
    QFETCH(DialogAction, action);
    QFETCH(int, expected);

    toolkit::Dialog dialog;
    dialog.setMessage(QStringLiteral("Continue?"));
    QCOMPARE(dialog.addButton(QStringLiteral("Cancel")), 0);
    QCOMPARE(dialog.addButton(QStringLiteral("Continue"), true, toolkit::Dialog::ButtonWarning), 1);
    QTimer::singleShot(0, &dialog, [&] { action(dialog); });
    QCOMPARE(dialog.exec(), expected);
    QVERIFY(!dialog.isVisible());
}

void TestWidgets::dialogButtonSignalCarriesIndexAndText()
{
    toolkit::Dialog dialog;
    dialog.addContent(new QWidget(&dialog));
    dialog.addButton(QStringLiteral("Cancel"));
    dialog.addButton(QStringLiteral("Print"));
    QSignalSpy clicked(&dialog, &toolkit::Dialog::buttonClicked);
    dialog.show();
    QTest::mouseClick(dialog.button(1), Qt::LeftButton);
    QCOMPARE(clicked.count(), 1);
    QCOMPARE(clicked.at(0).at(0).toInt(), 1);
    QCOMPARE(clicked.at(0).at(1).toString(), QStringLiteral("Print"));
    QVERIFY(!dialog.isVisible());
}

void TestWidgets::alertHidesAfterItsDuration()
{
    FieldWindow w;
    QSignalSpy changed(w.field, &toolkit::LineEdit::alertChanged);
    QElapsedTimer clock;
    clock.start();
    w.field->showAlertMessage(QStringLiteral("Invalid"), 300);
    QVERIFY(w.field->isAlert());
    QCOMPARE(w.field->alertMessage(), QStringLiteral("Invalid"));
    QTRY_VERIFY(!w.field->isAlert());
    QVERIFY2(clock.elapsed() >= 290, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(w.field->alertMessage(), QString());
    QCOMPARE(changed.count(), 2);
}

void TestWidgets::alertShownAgainRestartsItsDuration()
{
    FieldWindow w;
    QElapsedTimer clock;
    clock.start();
    w.field->showAlertMessage(QStringLiteral("first"), 300);
    QVERIFY(QTest::qWaitFor([&] { return clock.elapsed() >= 200; }));
    w.field->showAlertMessage(QStringLiteral("second"), 300);
    QCOMPARE(w.field->alertMessage(), QStringLiteral("second"));
    QTRY_VERIFY(!w.field->isAlert());
    QVERIFY2(clock.elapsed() >= 490, qPrintable(QString::number(clock.elapsed())));
}

void TestWidgets::alertWithoutDurationStaysUntilHidden()
{
    FieldWindow w;
    w.field->showAlertMessage(QStringLiteral("stays"));
    w.other->showAlertMessage(QStringLiteral("goes"), 100);
    QTRY_VERIFY(!w.other->isAlert());
    QVERIFY(w.field->isAlert());
    w.field->hideAlertMessage();
    QVERIFY(!w.field->isAlert());
}

void TestWidgets::alertSitsUnderTheFieldInsideTheWindow()
{
    FieldWindow w;
    w.field->showAlertMessage(QStringLiteral("Please check network connection or IP"), 1000);
    auto *bubble = w.window.findChild<toolkit::AlertBubble *>();
    QVERIFY(bubble);
    QVERIFY(bubble->isVisible());
    const QRect fieldRect(w.field->mapTo(&w.window, QPoint(0, 0)), w.field->size());
    QVERIFY(bubble->geometry().top() >= fieldRect.bottom());
    QVERIFY(bubble->geometry().top() <= fieldRect.bottom() + 10);
    QVERIFY(w.window.rect().contains(bubble->geometry()));
    // The bubble must be wide enough for its text.
    QVERIFY(bubble->width() > QFontMetrics(bubble->font()).horizontalAdvance(bubble->text()));
}

void TestWidgets::alertLeavesWithItsField()
{
    FieldWindow w;
    w.field->showAlertMessage(QStringLiteral("bye"), 5000);
    w.field->hide();
    QVERIFY(!w.field->isAlert());
    w.field->show();
    w.field->showAlertMessage(QStringLiteral("again"), 5000);
    QPointer<toolkit::AlertBubble> bubble = w.window.findChild<toolkit::AlertBubble *>();
    QVERIFY(bubble);
    delete w.field;
    QTRY_VERIFY(bubble.isNull());
}

void TestWidgets::themeIconsComeFromTheProgramFirst()
{
    // The test's icons are blue squares; the toolkit's own are grey outlines.
    const QColor programBlue(0x25, 0x63, 0xeb);
    const auto centre = [](const QIcon &icon) {
        return icon.pixmap(QSize(16, 16)).toImage().pixelColor(8, 8);
    };
    QCOMPARE(centre(toolkit::themeIcon(QStringLiteral("sample"))), programBlue);
    // The program's "search" replaces the toolkit's own.
    QCOMPARE(centre(toolkit::themeIcon(QStringLiteral("search"))), programBlue);
    QVERIFY(!toolkit::themeIcon(QStringLiteral("password_show")).isNull());
    QVERIFY(toolkit::themeIcon(QStringLiteral("no_such_icon")).isNull());
    // A name that is only a prefix of a file name does not match.
    QVERIFY(toolkit::themeIcon(QStringLiteral("sam")).isNull());
}

void TestWidgets::fontClassesShrinkFromT1ToT10()
{
    QWidget widget;
    int previous = INT_MAX;
    for (int i = 0; i <= static_cast<int>(toolkit::FontSize::T10); ++i) {
        toolkit::bindFontSize(&widget, static_cast<toolkit::FontSize>(i), i % 2 == 0);
        QVERIFY(widget.font().pixelSize() < previous);
        previous = widget.font().pixelSize();
        QCOMPARE(widget.font().weight(), i % 2 == 0 ? int(QFont::DemiBold) : int(QFont::Normal));
    }
}

void TestWidgets::titleBarMenuAndButtons()
{
    toolkit::MainWindow window;
    window.setWindowFlags(window.windowFlags() & ~Qt::WindowMaximizeButtonHint);
    window.setFixedSize(400, 300);
    toolkit::TitleBar *bar = window.titlebar();
    auto *menu = new QMenu(bar);
    menu->addMenu(QStringLiteral("Settings"))->addAction(QStringLiteral("Port Setting"));
    bar->setMenu(menu);
    auto *extra = new QWidget(bar);
    bar->addWidget(extra, Qt::AlignLeft);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QVERIFY(bar->menuVisible());
    bar->setMenuVisible(false);
    QVERIFY(!bar->menuVisible());
    QVERIFY(extra->isVisible());
    QVERIFY(extra->mapTo(bar, QPoint(0, 0)).x() < bar->width() / 2);

    QStringList visibleButtons;
    for (QAbstractButton *button : bar->findChildren<QAbstractButton *>()) {
        if (button->isVisible())
            visibleButtons << button->toolTip();
    }
    visibleButtons.sort();
    QCOMPARE(visibleButtons, (QStringList{QStringLiteral("Close"), QStringLiteral("Minimize")}));

    QMenu *popup = bar->popupMenu();
    emit popup->aboutToShow();
    QStringList texts;
    for (QAction *action : popup->actions()) {
        if (!action->isSeparator())
            texts << action->text();
    }
    QCOMPARE(texts, (QStringList{QStringLiteral("Settings"), QStringLiteral("About"), QStringLiteral("Exit")}));
}

void TestWidgets::centringOnTheScreen()
{
    QWidget widget;
    widget.resize(300, 200);
    toolkit::moveToCenter(&widget);
    const QPoint screenCentre = QGuiApplication::primaryScreen()->availableGeometry().center();
    QVERIFY((widget.frameGeometry().center() - screenCentre).manhattanLength() <= 2);

    QWidget small;
    small.resize(100, 50);
    widget.move(40, 60);
    toolkit::moveToCenterOf(&small, &widget);
    QVERIFY((small.frameGeometry().center() - widget.frameGeometry().center()).manhattanLength() <= 2);
}

QTEST_MAIN(TestWidgets)
#include "tst_widgets.moc"
