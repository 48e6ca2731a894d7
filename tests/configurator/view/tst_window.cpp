// The configurator window against the reference cloud print server and a
// private cupsd. The connection page: its inputs, the port dialog behind its
// menu, verification. Printer rows: installations running side by side, the
// printer manager, every way an installation can fail; the list that holds
// the rows; and the printer page: rows, search, polls, installation, queues
// added and removed from outside, a second verification and "back".
#include "cloudprintclient.h"
#include "config.h"
#include "configdialog.h"
#include "cupsclient.h"
#include "cupstestsupport.h"
#include "cupstooldir.h"
#include "dialog.h"
#include "inputvalidators.h"
#include "lineedit.h"
#include "logcapture.h"
#include "portconfigdialog.h"
#include "printer.h"
#include "printerlist.h"
#include "printerport.h"
#include "printerwidget.h"
#include "referenceserver.h"
#include "serveraddress.h"
#include "spinner.h"
#include "verifyworker.h"
#include "versionmatch.h"

#include <QAbstractButton>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QtTest>

#include <functional>
#include <memory>

using cloudprinttest::ReferenceServer;
using cloudprinttest::TestCertificates;
using ConfiguratorWindowInnter::Worker;

namespace {

// How long a verification may take: the worker waits a second before it starts.
constexpr int kVerifyTimeoutMs = 20000;
// The local refresh runs every 2 s; listing the private cupsd is quick.
constexpr int kRefreshTimeoutMs = 2500;
const QString kCode = QStringLiteral("page-code");
const QString kLaser = QStringLiteral("192.168.1.20\\HP LaserJet");
const QString kCanon = QStringLiteral("192.168.1.21\\Canon iR");
const QString kSeven = QStringLiteral("Printer 7");
const QString kNetwork = QStringLiteral("Please check network connection or IP");
const QString kCanonBusy = QStringLiteral("3 print jobs are being processed, red, Local connection");

// Records a server in the user's server list, as a verification does.
void saveServer(const QString &address, const QString &code, const QDateTime &lastUsed = QDateTime::currentDateTime())
{
    Config config;
    config.servers.insert(address, ServerConfig{code, address, lastUsed});
    config.save();
}

// A driver description that ppdc compiles into a PPD of this model.
QString driverText(const QString &model)
{
    return QStringLiteral("#include <media.defs>\nManufacturer \"Quorvia\"\nVersion 1.0\n*MediaSize A4\n"
                          "{\n  ModelName \"%1\"\n  PCFileName \"TQP.ppd\"\n}\n")
        .arg(model);
}

// Threads of this process, from the kernel's view.
int threadCount()
{
    return QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size();
}

// Runs `step` every few milliseconds while `context` lives, also inside
// modal loops that the test starts.
void every(QObject *context, const std::function<void()> &step)
{
    auto *timer = new QTimer(context);
    QObject::connect(timer, &QTimer::timeout, context, step);
    timer->start(10);
}

QImage labelImage(const QWidget &row, const char *name)
{
    const auto *label = row.findChild<QLabel *>(QLatin1String(name));
    return label ? label->pixmap(Qt::ReturnByValue).toImage() : QImage();
}

// Reads what a printer row shows.
struct RowProbe
{
    const PrinterWidget &row;

    // "nameLabel", "statusText", "connectionLabel"
    QString text(const char *label) const { return row.findChild<QLabel *>(QLatin1String(label))->text(); }
    // "(Added)" shown
    bool isAdded() const { return !row.findChild<QWidget *>(QStringLiteral("addedLabel"))->isHidden(); }
    QAbstractButton *button() const { return row.findChild<QAbstractButton *>(QStringLiteral("actionButton")); }
    toolkit::Spinner *spinner() const { return row.findChild<toolkit::Spinner *>(QStringLiteral("rowSpinner")); }

    // The status text, the colour of the status dot and the connection, as
    // "Printer is idle, green, Local connection".
    QString look() const
    {
        const QImage image = labelImage(row, "statusDot");
        const QColor c = image.isNull() ? QColor(Qt::transparent) : image.pixelColor(image.rect().center());
        QString dot = QStringLiteral("other");
        if (c.alpha() < 128)
            dot = QStringLiteral("none");
        else if (c.red() > c.green() + 40 && c.red() > c.blue() + 40)
            dot = QStringLiteral("red");
        else if (c.green() > c.red() + 40 && c.green() > c.blue())
            dot = QStringLiteral("green");
        else if (qAbs(c.red() - c.green()) < 30 && qAbs(c.green() - c.blue()) < 30)
            dot = QStringLiteral("grey");
        return QStringLiteral("%1, %2, %3").arg(text("statusText"), dot, text("connectionLabel"));
    }

    // The picture differs from that of the same printer not installed.
    bool hasCheckMark() const
    {
        Printer printer(printerRecord(text("nameLabel")));
        const PrinterWidget plain(printer, false);
        const QImage image = labelImage(row, "iconLabel");
        return !image.isNull() && image != labelImage(plain, "iconLabel");
    }
};

// A server with sample printers, in all their states (the Canon has jobs
// from the second listing on, Printer 7 more from the third), that accepts
// kCode; windows built next reach it through the cloud port. `configure`
// runs before it starts. Null when it did not start.
std::unique_ptr<ReferenceServer> startServer(
    const TestCertificates &certificates, const std::function<void(ReferenceServer &)> &configure = [](auto &) {},
    bool withPrinters = true)
{
    auto server = std::make_unique<ReferenceServer>(certificates);
    server->setCodes({kCode});
    server->setVersion(QStringLiteral("1.2.3"));
    server->setDefaultDriver(driverText(QStringLiteral("Quorvia Page Test")));
    const auto add = [&](const QString &id, const char *portName, int status, int attributes, const QJsonArray &jobs,
                         const QString &driver = QString()) {
        QJsonObject printer = ReferenceServer::printer(id, status, jobs.first().toInt(), driver);
        printer.insert(QStringLiteral("PortName"), QLatin1String(portName));
        printer.insert(QStringLiteral("Attributes"), attributes);
        printer.insert(QStringLiteral("cJobsSequence"), jobs);
        server->addPrinter(printer);
    };
    if (withPrinters) {
        add(kLaser, "192.168.1.20", 0, 0, {0}, driverText(QStringLiteral("Quorvia Laser")));
        add(kCanon, "IP_192.168.1.21", 0x8, 0x240, {0, 3});
        add(QStringLiteral("Office hp color"), "USB001", 0x80, 0, {2, 5});
        add(QStringLiteral("Label printer"), "LPT1", 0, 0x400, {2});
        add(kSeven, "fe80::1", 0, 0, {2, 2, 4});
    }
    configure(*server);
    if (!server->start())
        return nullptr;
    printerport::ConfigPrinterPort();
    printerport::SetCloudPrintPort(server->port());
    return server;
}

// The main window and the parts of it that a user works with.
struct Window
{
    std::unique_ptr<ConfiguratorWindow> window = std::make_unique<ConfiguratorWindow>();
    // Verification results, each recorded once the window has handled it.
    QList<int> results;
    // What the message boxes said, with their buttons ("text [OK]"); each is
    // answered with the button `answer`.
    QString said;
    int answer = 0;

    Window()
    {
        // After the window's own handler: a recorded result has been handled.
        QObject::connect(window->worker(), &ConfiguratorWindowInnter::Worker::listPrinterFinish, window.get(),
                         [this](int result) { results << result; });
        every(window.get(), [this] {
            if (auto *box = qobject_cast<toolkit::Dialog *>(QApplication::activeModalWidget())) {
                for (const QLabel *label : box->findChildren<QLabel *>())
                    said += label->text();
                for (int i = 0; i < box->buttonCount(); ++i)
                    said += QStringLiteral(" [%1]").arg(box->button(i)->text());
                box->button(answer)->click();
            }
        });
        window->show();
    }
    template<typename T = toolkit::LineEdit>
    T *part(const char *name) const
    {
        return window->findChild<T *>(QLatin1String(name));
    }
    int page() const { return window->findChild<QStackedWidget *>()->currentIndex(); }
    PrinterList *list() const { return part<PrinterList>("printerList"); }
    RowProbe row(const QString &id) const { return RowProbe{*list()->row(id.toStdString())}; }
    void type(const char *field, const QString &text) const
    {
        part<QLineEdit>(field)->clear();
        QTest::keyClicks(part<QLineEdit>(field), text);
    }
    // Types address and code as a user would and presses "Next".
    void verify(const QString &code = kCode, const QString &address = QStringLiteral("127.0.0.1")) const
    {
        type("ipEdit", address);
        type("authCodeEdit", code);
        QTest::mouseClick(part<QPushButton>("nextButton"), Qt::LeftButton);
    }
    // The names of the rows the search leaves visible.
    QStringList search(const QString &text) const
    {
        type("searchEdit", text);
        QTest::keyClick(part<QLineEdit>("searchEdit"), Qt::Key_Return);
        QStringList names;
        for (int i = 0; i < list()->count(); ++i) {
            if (!list()->item(i)->isHidden())
                names << RowProbe{*list()->rowAt(i)}.text("nameLabel");
        }
        return names;
    }
};

bool titleBarControlsShown(const Window &w, bool shown)
{
    const char *const controls[] = {"backButton", "refreshButton", "searchEdit"};
    return std::all_of(std::begin(controls), std::end(controls),
                       [&](const char *name) { return w.part<QWidget>(name)->isVisible() == shown; });
}

} // namespace

class TestWindow : public QObject
{
    Q_OBJECT

    TestCertificates m_certificates;
    ReferenceServer m_server{m_certificates};
    ReferenceServer m_throwingServer{m_certificates};
    const QByteArray m_path = qgetenv("PATH");

private slots:
    void initTestCase()
    {
        QVERIFY2(m_certificates.ok(), qPrintable(m_certificates.errorString()));
        Q_INIT_RESOURCE(confighelper);
        Q_INIT_RESOURCE(theme_icons);
        CloudPrintRPCClient::setTrustedCaFileForTesting(m_certificates.caFile());
        // Windows must not start the agent.
        ConfiguratorWindow::setAgentPathForTesting(QString());

        m_server.setCodes({kCode});
        m_server.addPrinter(ReferenceServer::printer(QStringLiteral("Office printer"), 0, 0,
                                                     driverText(QStringLiteral("Quorvia Office"))));
        m_server.addPrinter(ReferenceServer::printer(QStringLiteral("No driver")));
        m_server.addPrinter(
            ReferenceServer::printer(QStringLiteral("Broken driver"), 0, 0, QStringLiteral("not a driver")));
        QVERIFY2(m_server.start(), qPrintable(m_server.errorString()));

        m_throwingServer.setFault(QStringLiteral("GetPpdDrv"), {{QStringLiteral("mode"), QStringLiteral("exception")}});
        QVERIFY2(m_throwingServer.start(), qPrintable(m_throwingServer.errorString()));
    }

    // The last used server is the one the rows fetch their drivers from.
    void init()
    {
        QFile::remove(Config::filePath());
        QFile::remove(printerport::PortFilePath());
        printerport::ConfigPrinterPort();
    }

    void cleanup()
    {
        cupstooldir::setDirForTesting(QStringLiteral("/usr/sbin"));
        qputenv("PATH", m_path);
    }

    void validators_data()
    {
        QTest::addColumn<bool>("ip"); // else the auth code
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("state");

        const struct
        {
            bool ip;
            int state;
            const char *texts;
        } groups[] = {
            {true, QValidator::Acceptable, "1.0.0.0|255.255.255.255"},
            {true, QValidator::Intermediate, "1.2.3|10.0.0."},
            {true, QValidator::Invalid, "0.1.2.3|1.2.3.256|1.02.3.4|1.2.3.4.5|10.0.0.5:9100| 10.0.0.5|1.2c"},
            // Anything but a space and the CJK ideographs, each block's edges tried.
            {false, QValidator::Acceptable, "a-b_c!@#$%|a\tb|\u4dff|\u9fa6|\ufa2e"},
            {false, QValidator::Invalid, "a b|x\u4e00|\u9fa5|\uf900|\ufa2d"},
        };
        for (const auto &group : groups) {
            for (const QString &text : QString::fromUtf8(group.texts).split(QLatin1Char('|')))
                QTest::addRow("%s %s", group.ip ? "ip" : "code", qPrintable(text)) << group.ip << text << group.state;
        }
    }

    void validators()
    {
        QFETCH(bool, ip);
        QFETCH(QString, text);
        QFETCH(int, state);
        std::unique_ptr<QValidator> validator(ip ? createIpValidator(nullptr) : createAuthcodeValidator(nullptr));
        int pos = 0;
        QCOMPARE(int(validator->validate(text, pos)), state);
        if (ip)
            QCOMPARE(isIpv4Address(text), state == QValidator::Acceptable);
    }

    void nextButton_data()
    {
        QTest::addColumn<bool>("typed"); // through the validators, else set as raw text
        QTest::addColumn<QString>("ip");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<bool>("enabled");

        // clang-format off
        QTest::newRow("typed, valid") << true << "10.0.0.5" << "code" << "10.0.0.5" << true;
        QTest::newRow("typed 0.1.2.3 loses its zero") << true << "0.1.2.3" << "code" << "1.2.3" << false;
        QTest::newRow("code of spaces") << false << "10.0.0.5" << "   " << "10.0.0.5" << false;
        QTest::newRow("address with spaces around") << false << "  10.0.0.5 " << "code" << "  10.0.0.5 " << true;
        // clang-format on
    }

    void nextButton()
    {
        QFETCH(bool, typed);
        QFETCH(QString, ip);
        QFETCH(QString, code);

        const Window w;
        // Enabled until the first edit.
        QVERIFY(w.part<QPushButton>("nextButton")->isEnabled());
        if (typed) {
            w.type("authCodeEdit", code);
            w.type("ipEdit", ip);
        } else {
            // A change to each text, so that the handlers see the raw texts.
            for (const auto &[field, text] : {std::make_pair("ipEdit", ip), std::make_pair("authCodeEdit", code)}) {
                w.part<QLineEdit>(field)->setText(text + QStringLiteral("x"));
                w.part<QLineEdit>(field)->setText(text);
            }
        }
        QTEST(w.part<QLineEdit>("ipEdit")->text(), "shown");
        QTEST(w.part<QPushButton>("nextButton")->isEnabled(), "enabled");
    }

    void prefillsFromTheLastUsedServer()
    {
        saveServer(QStringLiteral("tqp://10.0.0.5:9100"), QStringLiteral("s3cret"));
        saveServer(QStringLiteral("tqp://10.0.0.9:9100"), QStringLiteral("older"),
                   QDateTime::currentDateTime().addDays(-1));
        const Window w;
        QCOMPARE(w.part<QLineEdit>("ipEdit")->text(), QStringLiteral("10.0.0.5"));
        QCOMPARE(w.part<QLineEdit>("authCodeEdit")->text(), QStringLiteral("s3cret"));
    }

    void addressNormalisation_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("formatted");
        QTest::addColumn<QString>("server");

        // clang-format off
        QTest::newRow("extra parts ignored") << "10.0.0.5:9200:7" << "tqp://10.0.0.5:9200" << "tqp://10.0.0.5:9200";
        QTest::newRow("saved URL without port") << "tqp://10.0.0.5" << "tqp://10.0.0.5:9100" << "tqp://10.0.0.5:9100";
        QTest::newRow("URL with extras") << "tqp://user@10.0.0.5:9300/path?q=1#f"
                                         << "tqp://user@10.0.0.5:9300/path?q=1#f" << "tqp://10.0.0.5:9300";
        QTest::newRow("empty port") << "10.0.0.5:" << "tqp://10.0.0.5" << "tqp://10.0.0.5";
        // clang-format on
    }

    void addressNormalisation()
    {
        QFETCH(QString, input);
        const QUrl url = formatAddress(input);
        QTEST(url.toString(), "formatted");
        QTEST(serverAddress(url).toString(), "server");
    }

    void versionRule_data()
    {
        QTest::addColumn<QString>("client");
        QTest::addColumn<QByteArray>("server");
        QTest::addColumn<int>("result");

        // A client of this one's version against the servers it must accept and refuse.
        QTest::newRow("2.0") << "5.3.6" << QByteArray("2.0") << int(ClientVersionTooLow);
        QTest::newRow("1.1") << "5.3.6" << QByteArray("1.1") << int(VersionCompatible);
        // The pairing sums must not overflow for the largest numbers a server may send.
        QTest::newRow("largest major") << "5.3.6" << QByteArray("2147483647.0") << int(ClientVersionTooLow);
        QTest::newRow("largest minor") << "5.3.6" << QByteArray("1.2147483647") << int(ClientVersionTooLow);
        QTest::newRow("abc") << "5.3.6" << QByteArray("abc") << int(ServerVersionInvalid);
        QTest::newRow("x.y") << "5.3.6" << QByteArray("x.y") << int(VersionCompatible);
        // The rule for other clients.
        QTest::newRow("old client") << "5.2" << QByteArray("9.9") << int(VersionCompatible);
        QTest::newRow("server minor behind") << "6.3" << QByteArray("2.1") << int(ClientVersionTooHigh);
        QTest::newRow("server major behind") << "7.3" << QByteArray("2.2") << int(ClientVersionTooHigh);
        QTest::newRow("empty beats client") << "7" << QByteArray() << int(ServerVersionInvalid);
    }

    void versionRule()
    {
        QFETCH(QString, client);
        QFETCH(QByteArray, server);
        QTEST(isVersionMatch(client, server), "result");
    }

    void portDialog_data()
    {
        QTest::addColumn<int>("answer"); // the button of the confirmation: 0 cancels
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("clickModify"); // else the port dialog is closed
        QTest::addColumn<QString>("alert");
        QTest::addColumn<int>("stored");

        const QString range = QStringLiteral("Please enter a port from 1025 to 65535");
        QTest::newRow("valid") << 1 << "20000" << true << QString() << 20000;
        QTest::newRow("1024") << 1 << "1024" << true << range << 9100;
        QTest::newRow("closed") << 1 << "30000" << false << QString() << 9100;
        QTest::newRow("cancelled") << 0 << "30000" << true << QString() << 9100;
        // A folder where the file should be: no account can write it.
        QTest::newRow("port file unwritable") << 1 << "20000" << true << "The port could not be saved" << 9100;
    }

    // The menu's port setting: a confirmation first, then the port dialog.
    void portDialog()
    {
        QFETCH(int, answer);
        QFETCH(QString, typed);
        QFETCH(bool, clickModify);
        if (qstrcmp(QTest::currentDataTag(), "port file unwritable") == 0)
            QVERIFY(QFile::remove(printerport::PortFilePath()) && QDir().mkpath(printerport::PortFilePath()));

        Window w;
        w.answer = answer;
        QString alert;
        QWidget *portParent = nullptr;
        every(w.window.get(), [&] {
            if (auto *dialog = qobject_cast<PortConfigDialog *>(QApplication::activeModalWidget());
                dialog && !portParent) {
                portParent = dialog->parentWidget();
                auto *edit = dialog->findChild<toolkit::LineEdit *>(QStringLiteral("portEdit"));
                edit->setText(typed);
                if (clickModify)
                    dialog->findChild<QPushButton *>(QStringLiteral("modifyButton"))->click();
                alert = edit->alertMessage();
                // A saved port ends the dialog by itself; otherwise it stays open.
                if (!clickModify || !alert.isEmpty())
                    dialog->close();
            }
        });
        w.window->showconfigTipDialog();
        // The dialog shows the stored port, and a port refused or not saved is not taken for one.
        QCOMPARE(PortConfigDialog().findChild<toolkit::LineEdit *>(QStringLiteral("portEdit"))->text(),
                 QString::number(printerport::GetCloudPrintPortInFile()));
        QVERIFY(alert.isEmpty() || printerport::GetCloudPrintPortInFile() != typed.toInt());
        QDir(printerport::PortFilePath()).removeRecursively();

        QCOMPARE(w.said, QStringLiteral("Modify configuration to restart service to take effect, whether to continue?"
                                        " [Cancel] [Continue]"));
        QCOMPARE(portParent, answer ? w.window.get() : nullptr);
        QTEST(alert, "alert");
        // The running configurator keeps its port until it starts again.
        QCOMPARE(printerport::GetCloudPrintPort(), 9100);
        printerport::ConfigPrinterPort();
        QTEST(printerport::GetCloudPrintPort(), "stored");
    }

    void resultsAndWhereTheyShow_data()
    {
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("where"); // the field or "dialog"; none: the printer page opens
        QTest::addColumn<QString>("alert");

        const QString tooHigh = QStringLiteral("Client version is too high");
        // clang-format off
        QTest::newRow("verified") << int(Worker::Listed) << QString() << QString();
        QTest::newRow("no server") << int(Worker::ConnectFailed) << "ipEdit" << kNetwork;
        // The server's saved record stays as it was.
        QTest::newRow("code rejected, server known") << int(Worker::VerifyFailed) << "authCodeEdit"
                                                     << "Invalid authorization code";
        // The server dies with the listing call in flight: a plain failure.
        QTest::newRow("server dies") << int(Worker::ListFailed) << "ipEdit" << kNetwork;
        QTest::newRow("no printers") << int(Worker::Listed) << "dialog"
                                     << "No printer available, please try to connect to other print server [OK]";
        QTest::newRow("server version 1.3") << int(Worker::Listed) << "ipEdit" << "Client version is too low";
        QTest::newRow("server version 0.5") << int(Worker::Listed) << "ipEdit" << tooHigh;
        // The version comes back empty.
        QTest::newRow("version call fails") << int(Worker::Listed) << "ipEdit" << tooHigh;
        // clang-format on
    }

    void resultsAndWhereTheyShow()
    {
        QFETCH(int, result);
        QFETCH(QString, where);
        QFETCH(QString, alert);
        // Recorded once the server accepted the code.
        const bool saved = result == Worker::Listed || result == Worker::ListFailed;

        const QByteArray tag = QTest::currentDataTag();
        const auto server = startServer(
            m_certificates,
            [&tag](ReferenceServer &s) {
                if (tag == "version call fails")
                    s.setFault(QStringLiteral("GetServerVersion"),
                               {{QStringLiteral("mode"), QStringLiteral("exception")}});
                if (tag == "server dies")
                    s.setFault(QStringLiteral("ListPrinter"), {{QStringLiteral("mode"), QStringLiteral("stall")}});
                if (tag.startsWith("server version "))
                    s.setVersion(QString::fromLatin1(tag.mid(15)));
            },
            tag != "no printers");
        QVERIFY(server);
        if (tag == "no server")
            server->stop();

        const bool known = tag.startsWith("code rejected");
        const QString key = QStringLiteral("tqp://127.0.0.1:%1").arg(server->port());
        const QDateTime earlier(QDate(2026, 1, 2), QTime(3, 4, 5));
        if (known)
            saveServer(key, QStringLiteral("earlier"), earlier);

        Window w;
        w.verify(known ? QStringLiteral("bad") : kCode);
        // Verifying: the spinner turns in place of "Next".
        auto *next = w.part<QPushButton>("nextButton");
        auto *spinner = w.part<toolkit::Spinner>("spinner");
        QVERIFY(next->isHidden() && spinner->isVisible() && spinner->isPlaying());
        if (tag == "server dies") {
            // The server is recorded right before the listing call.
            QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(Config::filePath()), kVerifyTimeoutMs);
            server->stop();
        }
        QTRY_COMPARE_WITH_TIMEOUT(w.results, QList<int>{result}, kVerifyTimeoutMs);
        // Idle again, also behind the printer page.
        QVERIFY(!next->isHidden() && spinner->isHidden() && !spinner->isPlaying());

        for (const char *field : {"ipEdit", "authCodeEdit"})
            QCOMPARE(w.part(field)->alertMessage(), where == QLatin1String(field) ? alert : QString());
        QCOMPARE(w.said, where == QLatin1String("dialog") ? alert : QString());
        QCOMPARE(w.page(), where.isEmpty() ? 1 : 0);

        const ServerConfig record = Config().servers.value(key);
        QCOMPARE(Config().servers.size(), saved || known ? 1 : 0);
        QCOMPARE(record.Address, saved || known ? key : QString());
        QCOMPARE(record.Authcode, saved ? kCode : known ? QStringLiteral("earlier") : QString());
        if (saved)
            QVERIFY(record.LastUsed.isValid() && record.LastUsed.secsTo(QDateTime::currentDateTime()) < 60);
        else
            QCOMPARE(record.LastUsed, known ? earlier : QDateTime());
        // Failed runs drop the session; a refused version keeps it.
        QCOMPARE(w.window->worker()->client() != nullptr, result == Worker::Listed);
    }

    // Shown as a verification ends (its results and where they show: above).
    void alertsLastThreeSecondsOrUntilTheNextEdit()
    {
        Window w;
        w.type("ipEdit", QStringLiteral("127.0.0.1"));
        w.type("authCodeEdit", QStringLiteral("bad"));
        auto *ip = w.part("ipEdit");
        auto *code = w.part("authCodeEdit");
        QElapsedTimer clock;
        clock.start();
        w.window->finishVerfiy(Worker::VerifyFailed);
        QTRY_VERIFY_WITH_TIMEOUT(!code->isAlert(), 6000);
        // Coarse timers may fire up to 5 % early.
        const qint64 hiddenAt = clock.elapsed();
        QVERIFY2(hiddenAt >= 2850 && hiddenAt < 4000, qPrintable(QString::number(hiddenAt)));

        // An edit of either field hides it at once.
        w.window->finishVerfiy(Worker::VerifyFailed);
        QTest::keyClick(ip, Qt::Key_Backspace);
        QVERIFY(!code->isAlert());

        // So does the next press of "Next".
        ip->setText(QStringLiteral("127.0.0.1"));
        w.window->finishVerfiy(Worker::ConnectFailed);
        QVERIFY(ip->isAlert());
        QTest::mouseClick(w.part<QPushButton>("nextButton"), Qt::LeftButton);
        QVERIFY(!ip->isAlert());
        QTRY_COMPARE_WITH_TIMEOUT(w.results.size(), 1, kVerifyTimeoutMs);
    }

    void keptSessionIsNotReusedForAnotherServer()
    {
        const QString secondCode = QStringLiteral("second-code");
        const auto first = startServer(m_certificates);
        const auto second = startServer(m_certificates, [&](ReferenceServer &s) { s.setCodes({secondCode}); });
        QVERIFY(first && second);

        Worker worker;
        QSignalSpy finished(&worker, &Worker::listPrinterFinish);
        worker.doListPrinterFor(first->url(), kCode);
        worker.doListPrinterFor(second->url(), secondCode);
        QCOMPARE(finished, (QList<QVariantList>{{int(Worker::Listed)}, {int(Worker::Listed)}}));
    }

    void failureKeepsAddButton_data()
    {
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("printer");
        QTest::addColumn<QString>("log");

        const QString main = m_server.url();
        // Nothing listens on port 1.
        // clang-format off
        QTest::newRow("server unreachable") << "tqp://127.0.0.1:1" << "Office printer" << "invalid server address";
        QTest::newRow("code refused") << main << "Office printer" << "invalid authcode";
        QTest::newRow("driver request throws") << m_throwingServer.url() << "Office printer" << "get ppd driver failed";
        QTest::newRow("driver empty") << main << "No driver" << "get ppd driver begin";
        QTest::newRow("ppdc fails") << main << "Broken driver" << "generate ppd failed";
        QTest::newRow("lpadmin fails") << main << "Office printer" << "get ppd driver begin";
        // clang-format on
    }

    void failureKeepsAddButton()
    {
        QFETCH(QString, server);
        QFETCH(QString, printer);
        QFETCH(QString, log);

        const QByteArray tag = QTest::currentDataTag();
        saveServer(server, tag == "code refused" ? QStringLiteral("wrong-code") : kCode);
        StandInTools tools;
        if (tag == "lpadmin fails") {
            QVERIFY(tools.add(QStringLiteral("lpadmin"), QStringLiteral("exit 1")));
            cupstooldir::setDirForTesting(tools.path());
        }
        Printer record(printerRecord(printer));
        const int queues = CUPSClient::listPrinterName().size();

        const LogCapture capture("quorvia.configurator");
        PrinterWidget row(record, false);
        row.show();
        const RowProbe probe{row};
        QTest::mouseClick(probe.button(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(probe.button()->isVisible(), 30000);
        QVERIFY(!probe.spinner()->isVisible() && !probe.spinner()->isPlaying());
        QVERIFY(!probe.isAdded() && !probe.hasCheckMark());
        QCOMPARE(CUPSClient::listPrinterName().size(), queues);
        QVERIFY2(capture.texts().contains(log), qPrintable(capture.texts().join(QLatin1Char('\n'))));
    }

    void rebuildAndPolledStates()
    {
        const Printer first(printerRecord(QStringLiteral("Twin"), QStringLiteral("USB001")));
        Printer second(printerRecord(QStringLiteral("Twin"), QStringLiteral("USB002")));
        const Printer other(printerRecord(QStringLiteral("Other")));
        PrinterList list;
        list.rebuild({first, second, other}, {});

        // Repeated IDs: both rows stay, a polled state goes to the later one.
        second.cJobs = 4;
        list.applyServerStates({second, Printer(printerRecord(QStringLiteral("Not on the page")))});
        QCOMPARE(RowProbe{*list.rowAt(1)}.text("statusText"), QStringLiteral("4 print jobs are being processed"));
        QCOMPARE(RowProbe{*list.rowAt(0)}.text("statusText"), QStringLiteral("Printer is idle"));

        // Filtering stops, with a warning, at an item without a row.
        list.insertItem(1, QStringLiteral("plain item"));
        list.item(2)->setHidden(true);
        const LogCapture capture("quorvia.configurator");
        list.updateVisiblePrinter(QStringLiteral("twin"), QString(), true);
        QVERIFY(capture.contains(QtWarningMsg, QStringLiteral("dynamic_cast item to PrinterWidget failed")));
        QVERIFY(list.item(2)->isHidden());

        list.rebuild({other}, {});
        QCOMPARE(list.count(), 1);
        QVERIFY(!list.row(first.ID));
    }

    void listsPollsInstallsAndGoesBack()
    {
        const auto server = startServer(m_certificates);
        QVERIFY(server);
        Window w;
        w.verify();
        QTRY_COMPARE_WITH_TIMEOUT(w.page(), 1, kVerifyTimeoutMs);
        const QStringList looks = {
            QStringLiteral("Printer is idle, green, Internet connection:192.168.1.20"),
            // Other status and attribute bits.
            QStringLiteral("Printer is idle, green, Local connection"),
            QStringLiteral("Printer is offline, grey, Local connection"),
            // The offline attribute wins over jobs.
            QStringLiteral("Printer is offline, grey, Local connection"),
            QStringLiteral("2 print jobs are being processed, red, Internet connection:fe80::1"),
        };
        for (int i = 0; i < 5; ++i)
            QCOMPARE(RowProbe{*w.list()->rowAt(i)}.look(), looks.at(i));

        // A dotted address is matched against the whole connection, anything
        // else against the names in any case.
        QCOMPARE(w.search(QStringLiteral("192.168.1.20")), QStringList{kLaser});
        QCOMPARE(w.search(QStringLiteral("192.168.1")), QStringList{});
        QCOMPARE(w.search(QStringLiteral("HP")), (QStringList{kLaser, QStringLiteral("Office hp color")}));
        QCOMPARE(w.search(QStringLiteral("21")), QStringList{kCanon});
        QCOMPARE(w.search(QString()), (QStringList{kLaser, kCanon, QStringLiteral("Office hp color"),
                                                   QStringLiteral("Label printer"), kSeven}));

        // The refresh button polls the last used server, which records it anew.
        const QDateTime verifiedAt = Config().lastUsed().LastUsed;
        QTest::mouseClick(w.part<QAbstractButton>("refreshButton"), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(w.row(kCanon).look(), kCanonBusy, kVerifyTimeoutMs);
        QVERIFY(Config().lastUsed().LastUsed > verifiedAt);

        // Two rows install at once, each in a thread of its own (the poll's
        // thread runs already) and with the PPD of its own driver.
        const LogCapture rpcLog("quorvia.rpc");
        const int threads = threadCount();
        QTest::mouseClick(w.row(kSeven).button(), Qt::LeftButton);
        QTest::mouseClick(w.row(kLaser).button(), Qt::LeftButton);
        // Refreshes leave a running installation's spinner alone.
        w.list()->refreshInstalled({{server->url() + QStringLiteral("/192.168.1.20%5CHP%20LaserJet"), {}}});
        w.list()->refreshInstalled({});
        QVERIFY(w.row(kLaser).spinner()->isVisible() && !w.row(kLaser).button()->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(w.row(kSeven).isAdded() && w.row(kLaser).isAdded(), 30000);
        QCOMPARE(threadCount(), threads + 2);
        const QString at = QStringLiteral("@127.0.0.1:%1").arg(server->port());
        QVERIFY(queuePpd(QStringLiteral("HP-LaserJet") + at).contains("\"Quorvia Laser\""));
        QVERIFY(queuePpd(QStringLiteral("Printer-7") + at).contains("\"Quorvia Page Test\""));
        // The temporary driver descriptions and PPDs are gone once the queues exist.
        const QString written = QStringLiteral("create temp ppd driver file: ");
        const QStringList drivers = rpcLog.texts().filter(QRegularExpression(QLatin1Char('^') + written));
        QCOMPARE(drivers.size(), 2);
        for (const QString &line : drivers) {
            const QString driver = line.mid(written.size());
            QVERIFY2(!QFileInfo::exists(driver) && !QFileInfo::exists(driver.chopped(4)), qPrintable(driver));
        }
        // Queues added and removed by other programs show within the refresh.
        QVERIFY(addQueue(QStringLiteral("by-hand"), server->url() + QStringLiteral("/192.168.1.21%5CCanon%20iR")));
        QTRY_VERIFY_WITH_TIMEOUT(w.row(kCanon).isAdded(), kRefreshTimeoutMs);
        QVERIFY(w.row(kCanon).hasCheckMark());

        // Leaving the page ends the session.
        QTest::mouseClick(w.part<QAbstractButton>("backButton"), Qt::LeftButton);
        QVERIFY(!w.window->worker()->client() && !w.window->worker()->auth());
        QCOMPARE(w.page(), 0);
        QVERIFY(titleBarControlsShown(w, false));
        // Behind the connection page the local refresh goes on, and so does the
        // server poll against the last used server (started as its timer would).
        QVERIFY(lpadmin({QStringLiteral("-x"), QStringLiteral("by-hand")}));
        QTRY_VERIFY_WITH_TIMEOUT(!w.row(kCanon).isAdded(), kRefreshTimeoutMs);
        QVERIFY(!w.row(kCanon).hasCheckMark());
        w.window->checkoutPrintStatus();
        QTRY_COMPARE_WITH_TIMEOUT(w.row(kSeven).look(),
                                  QStringLiteral("4 print jobs are being processed, red, Internet connection:fe80::1"),
                                  kVerifyTimeoutMs);

        // The same server again: new rows on the same page, no row thread left.
        w.verify();
        QTRY_COMPARE_WITH_TIMEOUT(w.results.size(), 2, kVerifyTimeoutMs);
        QCOMPARE(w.page(), 1);
        // Built with the queues there are now.
        QVERIFY(w.row(kSeven).isAdded() && !w.row(kCanon).isAdded());
        QCOMPARE(w.part<QLabel>("ipCaption")->text(), QStringLiteral("IP Address (127.0.0.1)"));
        QVERIFY(titleBarControlsShown(w, true));
        // wait() returns as a thread ends; the kernel lets it go a moment later.
        QTRY_VERIFY(threadCount() <= threads);

        // Built as installed, then its queue went away: its first click has
        // to create the row's worker.
        QVERIFY(lpadmin({QStringLiteral("-x"), QStringLiteral("Printer-7") + at}));
        QTRY_VERIFY_WITH_TIMEOUT(!w.row(kSeven).isAdded(), kRefreshTimeoutMs);
        QTest::mouseClick(w.row(kSeven).button(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(w.row(kSeven).isAdded(), 30000);
        // Installed: the button opens the manager without arguments or a worker thread.
        StandInTools bin;
        QVERIFY(bin.add(QStringLiteral("vesk-printer"), QString()));
        qputenv("PATH", QFile::encodeName(bin.path()) + ':' + m_path);
        const int rowThreads = threadCount();
        QTest::mouseClick(w.row(kLaser).button(), Qt::LeftButton);
        QTRY_COMPARE(bin.calls(), QStringList(QStringLiteral("vesk-printer ")));
        QCOMPARE(threadCount(), rowThreads);
    }
};

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
