// The real program: what it sets up at start, and a second start that only
// brings the first one's window forward.
#include "singleapplication.h"

#include <QWidget>
#include <QtDBus>
#include <QtSql>
#include <QtTest>

namespace {

const QString program = QStringLiteral(CLIENT_EXECUTABLE);
const QString serviceName = QStringLiteral("com.olvenka.cloud.printer");

} // namespace

class StartupTest : public QObject
{
    Q_OBJECT

private slots:
    void firstStartRegistersAndKeepsItsTables()
    {
        // A home and runtime folder of its own, so this test process is no
        // instance the program would defer to.
        QTemporaryDir scratch;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), scratch.path());
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), scratch.path());
        QProcess client;
        client.setProcessEnvironment(environment);
        client.setProcessChannelMode(QProcess::ForwardedChannels);
        client.start(program, QStringList());
        QDBusConnectionInterface *bus = QDBusConnection::systemBus().interface();
        QTRY_VERIFY_WITH_TIMEOUT(bus->isServiceRegistered(serviceName), 10000);
        // The print object is called in the window tests; here the name must be this program's.
        QCOMPARE(qint64(bus->servicePid(serviceName)), client.processId());

        client.terminate();
        QVERIFY(client.waitForFinished(10000));
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("check"));
        db.setDatabaseName(scratch.filePath(QStringLiteral(".config/olvenka-cloud-printer/OlvenkaCloudPrinter.db")));
        QVERIFY(db.open());
        QStringList tables = db.tables();
        tables.sort();
        QCOMPARE(tables, (QStringList{QStringLiteral("confInfo"), QStringLiteral("printerinfo")}));
    }

    void secondStartRaisesTheFirstWindow_data()
    {
        QTest::addColumn<bool>("hidden");
        QTest::newRow("minimized") << false;
        QTest::newRow("hidden to the tray") << true;
    }

    void secondStartRaisesTheFirstWindow()
    {
        QFETCH(bool, hidden);
        auto *app = qobject_cast<SingleApplication *>(QCoreApplication::instance());
        QWidget window;
        app->setActivationWindow(&window);
        window.showMinimized();
        if (hidden)
            window.hide();

        QProcess second;
        second.start(program, QStringList());
        QVERIFY(second.waitForFinished(10000));
        QVERIFY(second.exitStatus() == QProcess::NormalExit && second.exitCode() == 0);
        QTRY_VERIFY(window.isVisible() && !(window.windowState() & Qt::WindowMinimized));
    }
};

int main(int argc, char **argv)
{
    // This process plays the first instance for the second-start cases.
    SingleApplication app(QStringLiteral("olvenka-cloud-printer-client"), argc, argv);
    if (app.isRunning())
        return 1;
    StartupTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_startup.moc"
