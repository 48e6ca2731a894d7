#include "alertbubble.h"
#include "applicationsettings.h"
#include "dialog.h"
#include "fontsize.h"
#include "lineedit.h"
#include "logmanager.h"
#include "mainwindow.h"
#include "placement.h"
#include "style.h"
#include "themeicon.h"
#include "titlebar.h"

#include <QtTest>
#include <QtWidgets>

#include <cstdio>

Q_LOGGING_CATEGORY(lcTest, "quorvia.test")

class TestWidgets : public QObject
{
    Q_OBJECT

private slots:
    void dialogExecReturnsClickedIndex_data()
    {
        QTest::addColumn<int>("key"); // none: a click on the first button
        QTest::addColumn<int>("expected");
        QTest::newRow("first button") << 0 << 0;
        QTest::newRow("return presses the default") << int(Qt::Key_Return) << 1;
        QTest::newRow("escape") << int(Qt::Key_Escape) << -1;
    }

    void dialogExecReturnsClickedIndex()
    {
        QFETCH(int, key);
        QFETCH(int, expected);
        toolkit::Dialog dialog;
        dialog.setMessage(QStringLiteral("Continue?"));
        dialog.addContent(new QWidget(&dialog));
        QCOMPARE(dialog.addButton(QStringLiteral("Cancel")), 0);
        QCOMPARE(dialog.addButton(QStringLiteral("Print"), true, toolkit::Dialog::ButtonWarning), 1);
        QSignalSpy clicked(&dialog, &toolkit::Dialog::buttonClicked);
        QTimer::singleShot(0, &dialog, [&] {
            if (key)
                QTest::keyClick(&dialog, Qt::Key(key));
            else
                QTest::mouseClick(dialog.button(0), Qt::LeftButton);
        });
        QCOMPARE(dialog.exec(), expected);
        QVERIFY(!dialog.isVisible());
        const QList<QVariantList> signal{{expected, expected ? QStringLiteral("Print") : QStringLiteral("Cancel")}};
        QCOMPARE(QList<QVariantList>(clicked), expected < 0 ? QList<QVariantList>() : signal);
    }

    void alertBubble()
    {
        QWidget window;
        window.resize(400, 200);
        auto *field = new toolkit::LineEdit(&window);
        auto *other = new toolkit::LineEdit(&window);
        field->setGeometry(10, 10, 380, 24);
        other->setGeometry(10, 60, 380, 24);
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

    void themeIconsComeFromTheProgramFirst()
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

    void fontClassesShrinkFromT1ToT10()
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

    void titleBarMenuAndButtons()
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

    void centringOnTheScreen()
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

    void logLinesGoToConsoleAndFile()
    {
        for (int run = 1; run <= 2; ++run) {
            QProcess child;
            child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--log")});
            QVERIFY(child.waitForFinished(10000));
            QCOMPARE(child.exitCode(), 0);
            const QString console = QString::fromUtf8(child.readAllStandardError());
            QVERIFY2(console.contains(QStringLiteral("[Warning] [quorvia.test] written to both"))
                         && console.contains(QStringLiteral("[Debug] [quorvia.test] debug too")),
                     qPrintable(console));

            // Where the file lies: configurator.app (secondStartExitsWhileTheFirstRuns) reads it there.
            QFile file(QString::fromUtf8(child.readAllStandardOutput()).trimmed());
            QVERIFY(file.open(QIODevice::ReadOnly));
            // The file is appended to, never truncated, across runs.
            QCOMPARE(QString::fromUtf8(file.readAll()).count(QStringLiteral("written to both")), run);
        }
    }

    void themeChoiceIsKeptPerApplication()
    {
        QCoreApplication::setApplicationName(QStringLiteral("theme-a"));
        {
            toolkit::ApplicationSettings settings;
            QCOMPARE(settings.theme(), toolkit::Theme::Light);
            settings.setTheme(toolkit::Theme::Dark);
            QCOMPARE(toolkit::currentTheme(), toolkit::Theme::Dark);
            QCOMPARE(qApp->palette().color(QPalette::Window), toolkit::colors().window);
        }
        QCOMPARE(toolkit::ApplicationSettings().theme(), toolkit::Theme::Dark);

        QCoreApplication::setApplicationName(QStringLiteral("theme-b"));
        QCOMPARE(toolkit::ApplicationSettings().theme(), toolkit::Theme::Light);
        QCOMPARE(toolkit::currentTheme(), toolkit::Theme::Light);
    }
};

int main(int argc, char **argv)
{
    QCoreApplication::setOrganizationName(QStringLiteral("toolkit-test"));
    // The child of logLinesGoToConsoleAndFile: logs through both appenders,
    // then reports the file's path.
    if (argc == 2 && qstrcmp(argv[1], "--log") == 0) {
        QCoreApplication app(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("log-child"));
        toolkit::LogManager::registerConsoleAppender();
        toolkit::LogManager::registerFileAppender();
        qCWarning(lcTest) << "written to both";
        qCDebug(lcTest) << "debug too";
        std::printf("%s\n", qPrintable(toolkit::LogManager::logFilePath()));
        return 0;
    }
    QApplication app(argc, argv);
    TestWidgets test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_widgets.moc"
