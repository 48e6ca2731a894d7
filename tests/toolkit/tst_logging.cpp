#include "applicationsettings.h"
#include "logmanager.h"
#include "style.h"

#include <QApplication>
#include <QDir>
#include <QLoggingCategory>
#include <QProcess>
#include <QTest>

#include <cstdio>

Q_LOGGING_CATEGORY(lcTest, "quorvia.test")

namespace {

// Child mode: log through both appenders, then report the file's path.
int logChild(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("toolkit-test"));
    QCoreApplication::setApplicationName(QStringLiteral("log-child"));
    toolkit::LogManager::registerConsoleAppender();
    toolkit::LogManager::registerFileAppender();
    qCWarning(lcTest) << "written to both";
    qCDebug(lcTest) << "debug too";
    std::printf("%s\n", qPrintable(toolkit::LogManager::logFilePath()));
    return 0;
}

} // namespace

class TestLogging : public QObject
{
    Q_OBJECT

private slots:
    void logLinesGoToConsoleAndFile();
    void themeChoiceIsKeptPerApplication();
};

void TestLogging::logLinesGoToConsoleAndFile()
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

        const QString path = QString::fromUtf8(child.readAllStandardOutput()).trimmed();
        QVERIFY2(path.startsWith(QDir::homePath() + QStringLiteral("/.cache/")), qPrintable(path));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        // The file is appended to, never truncated, across runs.
        QCOMPARE(QString::fromUtf8(file.readAll()).count(QStringLiteral("written to both")), run);
    }
}

void TestLogging::themeChoiceIsKeptPerApplication()
{
    QCoreApplication::setOrganizationName(QStringLiteral("toolkit-test"));
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

int main(int argc, char **argv)
{
    if (argc >= 2 && qstrcmp(argv[1], "--log") == 0)
        return logChild(argc, argv);
    QApplication app(argc, argv);
    TestLogging test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_logging.moc"
