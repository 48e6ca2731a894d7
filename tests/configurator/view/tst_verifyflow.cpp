// The connection page: its inputs, the port dialog behind its menu, and
// verification against the reference cloud print server.
#include "dialog.h"
#include "inputvalidators.h"
#include "portconfigdialog.h"
#include "serveraddress.h"
#include "spinner.h"
#include "versionmatch.h"
#include "viewtestsupport.h"

#include <QSettings>

using ConfiguratorWindowInnter::Worker;

const QString kNetwork = QStringLiteral("Please check network connection or IP");

enum class Setup { Verified, Unreachable, RejectedKnown, ListingFails, ServerDies, NoPrinters, Version13, Version05,
                   VersionCallFails };
Q_DECLARE_METATYPE(Setup)

class TestVerifyFlow : public QObject
{
    Q_OBJECT

    TestCertificates m_certificates;

private slots:
    void initTestCase()
    {
        QVERIFY2(initViewTests(m_certificates), qPrintable(m_certificates.errorString()));
    }

    void init()
    {
        QFile::remove(Config::filePath());
        QFile::remove(printerport::PortFilePath());
        printerport::ConfigPrinterPort();
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

        QTest::newRow("typed, valid") << true << "10.0.0.5" << "code" << "10.0.0.5" << true;
        QTest::newRow("typed 0.1.2.3 loses its zero") << true << "0.1.2.3" << "code" << "1.2.3" << false;
        QTest::newRow("code of spaces") << false << "10.0.0.5" << "   " << "10.0.0.5" << false;
        QTest::newRow("address with spaces around") << false << "  10.0.0.5 " << "code" << "  10.0.0.5 " << true;
    }

    void nextButton()
    {
        QFETCH(bool, typed);
        QFETCH(QString, ip);
        QFETCH(QString, code);

        const Window w;
        auto *next = w.part<QPushButton>("nextButton");
        // Enabled until the first edit.
        QVERIFY(next->isEnabled());
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
        QTEST(next->isEnabled(), "enabled");
    }

    void prefillsFromTheLastUsedServer()
    {
        saveServer(QStringLiteral("tqp://10.0.0.5:9100"), QStringLiteral("s3cret"));
        saveServer(QStringLiteral("tqp://10.0.0.9:9100"), QStringLiteral("older"),
                   QDateTime::currentDateTime().addDays(-1));
        const Window w;
        QCOMPARE(w.part<QLineEdit>("ipEdit")->text(), QStringLiteral("10.0.0.5"));
        QCOMPARE(w.part<QLineEdit>("authCodeEdit")->text(), QStringLiteral("s3cret"));
        QVERIFY(w.part<QPushButton>("nextButton")->isEnabled());
    }

    void addressNormalisation_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("formatted");
        QTest::addColumn<QString>("server");

        QTest::newRow("typed with port") << "10.0.0.5:9200" << "tqp://10.0.0.5:9200" << "tqp://10.0.0.5:9200";
        QTest::newRow("extra parts ignored") << "10.0.0.5:9200:7" << "tqp://10.0.0.5:9200" << "tqp://10.0.0.5:9200";
        QTest::newRow("saved URL without port") << "tqp://10.0.0.5" << "tqp://10.0.0.5:9100" << "tqp://10.0.0.5:9100";
        QTest::newRow("URL with extras") << "tqp://user@10.0.0.5:9300/path?q=1#f"
                                         << "tqp://user@10.0.0.5:9300/path?q=1#f" << "tqp://10.0.0.5:9300";
        QTest::newRow("empty port") << "10.0.0.5:" << "tqp://10.0.0.5" << "tqp://10.0.0.5";
    }

    void addressNormalisation()
    {
        QFETCH(QString, input);
        QCOMPARE(printerport::GetCloudPrintPort(), 9100);
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
        QTest::newRow("0.0") << "5.3.6" << QByteArray("0.0") << int(VersionCompatible);
        // The pairing sums must not overflow for the largest numbers a server may send.
        QTest::newRow("largest major") << "5.3.6" << QByteArray("2147483647.0") << int(ClientVersionTooLow);
        QTest::newRow("largest minor") << "5.3.6" << QByteArray("1.2147483647") << int(ClientVersionTooLow);
        QTest::newRow("abc") << "5.3.6" << QByteArray("abc") << int(ServerVersionInvalid);
        QTest::newRow("x.y") << "5.3.6" << QByteArray("x.y") << int(VersionCompatible);
        QTest::newRow("same as client") << "5.3.6" << QByteArray("5.3.6") << int(ClientVersionTooLow);
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

    // Not the port the configurator runs with.
    void portFieldShowsTheFile()
    {
        QSettings(printerport::PortFilePath(), QSettings::IniFormat)
            .setValue(QStringLiteral("PrinterPorts/CloudPort"), 70000);
        const PortConfigDialog dialog;
        QCOMPARE(dialog.findChild<toolkit::LineEdit *>(QStringLiteral("portEdit"))->text(), QStringLiteral("70000"));
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
        QFETCH(int, stored);
        if (qstrcmp(QTest::currentDataTag(), "port file unwritable") == 0)
            QVERIFY(QFile::remove(printerport::PortFilePath()) && QDir().mkpath(printerport::PortFilePath()));

        const Window w;
        QStringList asked;
        QString alert;
        QWidget *portParent = nullptr;
        every(w.window.get(), [&] {
            QWidget *modal = QApplication::activeModalWidget();
            if (auto *confirmation = qobject_cast<toolkit::Dialog *>(modal)) {
                asked << confirmation->messageLabel()->text() << confirmation->button(0)->text()
                      << confirmation->button(1)->text();
                confirmation->button(answer)->click();
            } else if (auto *dialog = qobject_cast<PortConfigDialog *>(modal); dialog && !portParent) {
                portParent = dialog->parentWidget();
                auto *edit = dialog->findChild<toolkit::LineEdit *>(QStringLiteral("portEdit"));
                edit->setText(typed);
                if (clickModify)
                    dialog->findChild<QPushButton *>(QStringLiteral("modifyButton"))->click();
                alert = edit->alertMessage();
                // A saved port ends the dialog by itself; otherwise it stays open.
                if (!clickModify || stored == 9100)
                    dialog->close();
            }
        });
        w.window->showconfigTipDialog();
        QDir(printerport::PortFilePath()).removeRecursively();

        const QString question =
            QStringLiteral("Modify configuration to restart service to take effect, whether to continue?");
        QCOMPARE(asked, QStringList({question, QStringLiteral("Cancel"), QStringLiteral("Continue")}));
        QCOMPARE(portParent, answer ? w.window.get() : nullptr);
        QTEST(alert, "alert");
        // The running configurator keeps its port until it starts again.
        QCOMPARE(printerport::GetCloudPrintPort(), 9100);
        printerport::ConfigPrinterPort();
        QTEST(printerport::GetCloudPrintPort(), "stored");
        const QSettings file(printerport::PortFilePath(), QSettings::IniFormat);
        QTEST(file.value(QStringLiteral("PrinterPorts/CloudPort")).toInt(), "stored");
    }


    void resultsAndWhereTheyShow_data()
    {
        QTest::addColumn<Setup>("setup");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("where"); // the field or "dialog"; none: the printer page opens
        QTest::addColumn<QString>("alert");
        QTest::addColumn<bool>("saved");

        const QString tooHigh = QStringLiteral("Client version is too high");
        const int listed = Worker::Listed;
        QTest::newRow("verified") << Setup::Verified << listed << QString() << QString() << true;
        QTest::newRow("no server") << Setup::Unreachable << int(Worker::ConnectFailed) << "ipEdit" << kNetwork << false;
        // The server's saved record stays as it was.
        QTest::newRow("code rejected, server known") << Setup::RejectedKnown << int(Worker::VerifyFailed)
                                                     << "authCodeEdit" << "Invalid authorization code" << false;
        QTest::newRow("listing fails") << Setup::ListingFails << int(Worker::ListFailed) << "ipEdit" << kNetwork << true;
        // The server dies with the listing call in flight: a plain failure.
        QTest::newRow("server dies") << Setup::ServerDies << int(Worker::ListFailed) << "ipEdit" << kNetwork << true;
        QTest::newRow("no printers") << Setup::NoPrinters << listed << "dialog"
                                     << "No printer available, please try to connect to other print server [OK]" << true;
        QTest::newRow("server 1.3") << Setup::Version13 << listed << "ipEdit" << "Client version is too low" << true;
        QTest::newRow("server 0.5") << Setup::Version05 << listed << "ipEdit" << tooHigh << true;
        // The version comes back empty.
        QTest::newRow("version call fails") << Setup::VersionCallFails << listed << "ipEdit" << tooHigh << true;
    }

    void resultsAndWhereTheyShow()
    {
        QFETCH(Setup, setup);
        QFETCH(int, result);
        QFETCH(QString, where);
        QFETCH(QString, alert);
        QFETCH(bool, saved);

        const auto server = startServer(m_certificates, [setup](ReferenceServer &s) {
            const QJsonObject exception{{QStringLiteral("mode"), QStringLiteral("exception")}, {QStringLiteral("code"), 5}};
            if (setup == Setup::ListingFails)
                s.setFault(QStringLiteral("ListPrinter"), exception);
            if (setup == Setup::VersionCallFails)
                s.setFault(QStringLiteral("GetServerVersion"), exception);
            if (setup == Setup::ServerDies)
                s.setFault(QStringLiteral("ListPrinter"), {{QStringLiteral("mode"), QStringLiteral("stall")}});
            const QMap<Setup, QString> versions{{Setup::Version13, QStringLiteral("1.3")},
                                                {Setup::Version05, QStringLiteral("0.5")}};
            if (versions.contains(setup))
                s.setVersion(versions.value(setup));
        }, setup != Setup::NoPrinters);
        QVERIFY(server);
        if (setup == Setup::Unreachable)
            server->stop();

        const bool known = setup == Setup::RejectedKnown;
        const QString key = QStringLiteral("tqp://127.0.0.1:%1").arg(server->port());
        const QDateTime earlier(QDate(2026, 1, 2), QTime(3, 4, 5));
        if (known)
            saveServer(key, QStringLiteral("earlier"), earlier);

        Window w;
        QString dialog; // what a message box said, and its buttons
        every(w.window.get(), [&] {
            if (auto *box = qobject_cast<toolkit::Dialog *>(QApplication::activeModalWidget())) {
                for (const QLabel *label : box->findChildren<QLabel *>())
                    dialog += label->text();
                for (int i = 0; i < box->buttonCount(); ++i)
                    dialog += QStringLiteral(" [%1]").arg(box->button(i)->text());
                box->button(0)->click();
            }
        });
        const QDateTime before = QDateTime::currentDateTime();
        w.verify(known ? QStringLiteral("bad") : kCode);
        // Verifying: the spinner turns in place of "Next".
        auto *next = w.part<QPushButton>("nextButton");
        auto *spinner = w.part<toolkit::Spinner>("spinner");
        QVERIFY(next->isHidden() && spinner->isVisible() && spinner->isPlaying());
        if (setup == Setup::ServerDies) {
            // The server is recorded right before the listing call.
            QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(Config::filePath()), kVerifyTimeoutMs);
            QTest::qWait(300);
            QVERIFY(w.results.isEmpty());
            server->stop();
        }
        QTRY_COMPARE_WITH_TIMEOUT(w.results, QList<int>{result}, kVerifyTimeoutMs);
        // Idle again, also behind the printer page.
        QVERIFY(!next->isHidden() && spinner->isHidden() && !spinner->isPlaying());

        for (const char *field : {"ipEdit", "authCodeEdit"})
            QCOMPARE(w.part(field)->alertMessage(), where == QLatin1String(field) ? alert : QString());
        QCOMPARE(dialog, where == QLatin1String("dialog") ? alert : QString());
        QCOMPARE(w.page(), where.isEmpty() ? 1 : 0);
        QCOMPARE(w.list() != nullptr, where.isEmpty());

        const Config config;
        const ServerConfig record = config.servers.value(key);
        QCOMPARE(config.servers.size(), saved || known ? 1 : 0);
        QCOMPARE(record.Address, saved || known ? key : QString());
        QCOMPARE(record.Authcode, saved ? kCode : known ? QStringLiteral("earlier") : QString());
        if (saved)
            QVERIFY(record.LastUsed >= before.addSecs(-1));
        else
            QCOMPARE(record.LastUsed, known ? earlier : QDateTime());
        // Failed runs drop the session; a refused version keeps it.
        QCOMPARE(w.window->worker()->client() != nullptr, result == Worker::Listed);
    }

    // Shown as a verification ends (its results and where they show: above).
    void alertsLastThreeSecondsOrUntilTheNextEdit()
    {
        // Declared before the window, which may still report while it goes.
        QElapsedTimer clock;
        QList<qint64> hiddenAt;
        Window w;
        w.type("ipEdit", QStringLiteral("127.0.0.1"));
        w.type("authCodeEdit", QStringLiteral("bad"));
        auto *ip = w.part("ipEdit");
        auto *code = w.part("authCodeEdit");
        connect(code, &toolkit::LineEdit::alertChanged, code, [&](bool alert) {
            if (!alert)
                hiddenAt << clock.elapsed();
        });
        clock.start();
        w.window->finishVerfiy(Worker::VerifyFailed);
        QVERIFY(code->isAlert());
        QTRY_COMPARE_WITH_TIMEOUT(hiddenAt.size(), 1, 6000);
        // Coarse timers may fire up to 5 % early.
        QVERIFY2(hiddenAt.at(0) >= 2850 && hiddenAt.at(0) < 4000, qPrintable(QString::number(hiddenAt.at(0))));

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
        QCOMPARE(Config().servers.value(second->url()).Authcode, secondCode);
    }
};

QTEST_MAIN(TestVerifyFlow)
#include "tst_verifyflow.moc"
