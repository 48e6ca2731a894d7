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
    void alertBubble();
    void themeIconsComeFromTheProgramFirst();
    void fontClassesShrinkFromT1ToT10();
    void titleBarMenuAndButtons();
    void centringOnTheScreen();
};

void TestWidgets::dialogExecReturnsClickedIndex_data()
{
    QTest::addColumn<DialogAction>("action");
    QTest::addColumn<int>("expected");

    QTest::newRow("first button")
        << DialogAction([](toolkit::Dialog &d) { QTest::mouseClick(d.button(0), Qt::LeftButton); }) << 0;
    QTest::newRow("return presses the default")
        << DialogAction([](toolkit::Dialog &d) { QTest::keyClick(&d, Qt::Key_Return); }) << 1;
    QTest::newRow("escape") << DialogAction([](toolkit::Dialog &d) { QTest::keyClick(&d, Qt::Key_Escape); }) << -1;
}

void TestWidgets::dialogExecReturnsClickedIndex()
{
    QFETCH(DialogAction, action);
    QFETCH(int, expected);

    toolkit::Dialog dialog;
    dialog.setMessage(QStringLiteral("Continue?"));
    dialog.addContent(new QWidget(&dialog));
    QCOMPARE(dialog.addButton(QStringLiteral("Cancel")), 0);
    QCOMPARE(dialog.addButton(QStringLiteral("Print"), true, toolkit::Dialog::ButtonWarning), 1);
    QSignalSpy clicked(&dialog, &toolkit::Dialog::buttonClicked);
    QTimer::singleShot(0, &dialog, [&] { action(dialog); });
    QCOMPARE(dialog.exec(), expected);
    QVERIFY(!dialog.isVisible());
    const QList<QVariantList> signal{{expected, expected ? QStringLiteral("Print") : QStringLiteral("Cancel")}};
    QCOMPARE(QList<QVariantList>(clicked), expected < 0 ? QList<QVariantList>() : signal);
}

void TestWidgets::alertBubble()
{
    QWidget window;
    window.resize(400, 200);
    auto *layout = new QVBoxLayout(&window);
    auto *field = new toolkit::LineEdit(&window);
    auto *other = new toolkit::LineEdit(&window);
    layout->addWidget(field);
    layout->addWidget(other);
    layout->addStretch();
    window.show();
    QSignalSpy changed(field, &toolkit::LineEdit::alertChanged);
    QElapsedTimer clock;
    clock.start();

    // Under its field, inside the window, wide enough for its text.
    field->showAlertMessage(QStringLiteral("Please check network connection or IP"), 300);
    QPointer<toolkit::AlertBubble> bubble = window.findChild<toolkit::AlertBubble *>();
    QVERIFY(bubble && bubble->isVisible());
    const int fieldBottom = field->mapTo(&window, QPoint(0, field->height() - 1)).y();
    QVERIFY(bubble->geometry().top() >= fieldBottom && bubble->geometry().top() <= fieldBottom + 10);
    QVERIFY(window.rect().contains(bubble->geometry()));
    QVERIFY(bubble->width() > QFontMetrics(bubble->font()).horizontalAdvance(bubble->text()));

    // Shown again: the new text, and the time starts over. Without a duration it stays.
    other->showAlertMessage(QStringLiteral("stays"));
    QVERIFY(QTest::qWaitFor([&] { return clock.elapsed() >= 200; }));
    field->showAlertMessage(QStringLiteral("second"), 300);
    QCOMPARE(field->alertMessage(), QStringLiteral("second"));
    QTRY_VERIFY(!field->isAlert());
    QVERIFY2(clock.elapsed() >= 490, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(field->alertMessage(), QString());
    QCOMPARE(changed.count(), 2);
    QCOMPARE(other->alertMessage(), QStringLiteral("stays"));
    other->hideAlertMessage();
    QVERIFY(!other->isAlert());

    // It leaves with its field: hidden along, deleted along.
    field->showAlertMessage(QStringLiteral("again"), 5000);
    field->hide();
    QVERIFY(!field->isAlert() && !bubble->isVisible());
    delete field;
    QTRY_VERIFY(bubble.isNull());
}

void TestWidgets::themeIconsComeFromTheProgramFirst()
{
    // The test's icons are blue squares; the toolkit's own are grey outlines.
    const QColor programBlue(0x25, 0x63, 0xeb);
    const auto centre = [](const char *name) {
        return toolkit::themeIcon(QLatin1String(name)).pixmap(QSize(16, 16)).toImage().pixelColor(8, 8);
    };
    QCOMPARE(centre("sample"), programBlue);
    // The program's "search" replaces the toolkit's own.
    QCOMPARE(centre("search"), programBlue);
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
    toolkit::TitleBar *bar = window.titlebar();
    auto *menu = new QMenu(bar);
    menu->addMenu(QStringLiteral("Settings"))->addAction(QStringLiteral("Port Setting"));
    bar->setMenu(menu);
    auto *extra = new QWidget(bar);
    bar->addWidget(extra, Qt::AlignLeft);
    window.setFixedSize(400, 300);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QVERIFY(bar->menuVisible());
    bar->setMenuVisible(false);
    QVERIFY(!bar->menuVisible());
    QVERIFY(extra->isVisible() && extra->mapTo(bar, QPoint(0, 0)).x() < bar->width() / 2);

    QStringList buttons;
    for (QAbstractButton *button : bar->findChildren<QAbstractButton *>()) {
        if (button->isVisible())
            buttons << button->toolTip();
    }
    buttons.sort();
    QCOMPARE(buttons, (QStringList{QStringLiteral("Close"), QStringLiteral("Minimize")}));

    emit bar->popupMenu()->aboutToShow();
    QStringList entries;
    for (const QAction *action : bar->popupMenu()->actions()) {
        if (!action->isSeparator())
            entries << action->text();
    }
    QCOMPARE(entries, (QStringList{QStringLiteral("Settings"), QStringLiteral("About"), QStringLiteral("Exit")}));
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
