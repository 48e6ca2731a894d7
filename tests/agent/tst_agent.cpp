// The agent's requests, made on the object the daemon's calls reach, with
// the notification stand-in on a private session bus. The bus path itself
// is covered by the daemon's tests, which run the agent as a program.
#include "agent.h"
#include "authcodeinputdialog.h"
#include "config.h"
#include "rsahelper.h"
#include "testprocess.h"

#include <QAbstractButton>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTest>
#include <QTextBoundaryFinder>
#include <QTimer>

#include <functional>

namespace {

const QString notificationsName = QStringLiteral("org.freedesktop.Notifications");
const QString address = QStringLiteral("tqp://192.168.7.2:9100");
const QString otherAddress = QStringLiteral("tqp://192.168.7.3:9100");

// The code in an agent's reply.
QString codeIn(const QString &reply)
{
    const QString code = QString::fromStdString(RsaHelper::rsaDencryptFromBase64(reply.toStdString()));
    // Nothing to send is an empty reply, not an encrypted empty text.
    return reply.isEmpty() || !code.isEmpty() ? code : QStringLiteral("<encrypted empty text>");
}

} // namespace

class AgentTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        m_notifications.start(QStringLiteral(TEST_SERVICES_PATH), {QStringLiteral("notifications")});
        QVERIFY(m_notifications.waitForStdout(QStringLiteral("\n")));
    }

    void notifyJobFinish_data()
    {
        QTest::addColumn<QString>("job");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QString>("summary");
        QTest::addColumn<QString>("body");

        const QString printed = QStringLiteral("%1 printed successfully\nPlease take them away timely");
        const QString canceled = QStringLiteral("Print jobs is canceled ");
        const QString failed = QStringLiteral("Print jobs are terminated, please contact the admin");
        const QString name38 = QString(34, QLatin1Char('c')) + QStringLiteral(".pdf");
        const QString name39 = QString(35, QLatin1Char('c')) + QStringLiteral(".pdf");
        // clang-format off
        QTest::newRow("printed, 13 characters") << "abcdefghijklm" << "" << "Print Successful"
                                                << printed.arg(QStringLiteral("abcdefghijklm"));
        QTest::newRow("printed, 14 characters") << "abcdefghijklmn" << "" << "Print Successful"
                                                << printed.arg(QStringLiteral("abcdefghijk..."));
        QTest::newRow("cancelled, 38-character name") << QStringLiteral("/tmp/") + name38 << "CUPS_BACKEND_CANCEL"
                                                      << "Cloud Print" << canceled + name38;
        QTest::newRow("cancelled, 39-character name") << QStringLiteral("/tmp/") + name39 << "CUPS_BACKEND_CANCEL"
                                                      << "Cloud Print" << canceled + name39.left(36) + QStringLiteral("...");
        QTest::newRow("lower-case cancel code") << "report.pdf" << "cups_backend_cancel" << "Print Failed" << failed;
        QTest::newRow("failed") << "report.pdf" << "CUPS_BACKEND_FAILED" << "Print Failed" << failed;
        // clang-format on
    }

    void notifyJobFinish()
    {
        QFETCH(QString, job);
        QFETCH(QString, error);
        QFETCH(QString, summary);
        QFETCH(QString, body);

        const QString app = QStringLiteral("quorvia-cloud-print-configurator");
        const QJsonArray expected{app, 0, app, summary, body, QJsonArray(), QJsonObject(), 5000};
        const QString line = QString::fromUtf8(QJsonDocument(expected).toJson(QJsonDocument::Compact));
        // Rows may send the same notification: count this one.
        const int seen = m_notifications.standardOutput().count(line);
        m_agent.NotifyJobFinish(QStringLiteral("queue-1"), job, error);
        QVERIFY2(QTest::qWaitFor([&] { return m_notifications.standardOutput().count(line) > seen; }),
                 qPrintable(m_notifications.standardOutput()));
    }

    void requestInputAuthcode_data()
    {
        QTest::addColumn<QString>("asked");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("close");
        QTest::addColumn<QString>("saved"); // the code on record for the asked address afterwards

        // clang-format off
        QTest::newRow("print") << address << "N3w-c0de" << "print" << "N3w-c0de";
        QTest::newRow("print keeps spaces") << address << "  spaced  " << "print" << "  spaced  ";
        QTest::newRow("print empty") << address << "" << "print" << "";
        QTest::newRow("print, address without a record") << "tqp://192.168.7.4:9100" << "Fr3sh" << "print" << "Fr3sh";
        QTest::newRow("cancel") << address << "ignored" << "cancel" << "first";
        QTest::newRow("escape") << address << "ignored" << "escape" << "first";
        QTest::newRow("window control") << address << "ignored" << "window" << "first";
        QTest::newRow("job finished meanwhile") << address << "ignored" << "notify" << "first";
        // Neither relabels the open prompt nor saves under the second address.
        QTest::newRow("second prompt meanwhile") << address << "for-the-first" << "second" << "for-the-first";
        // clang-format on
    }

    void requestInputAuthcode()
    {
        QFETCH(QString, asked);
        QFETCH(QString, typed);
        QFETCH(QString, close);
        QFETCH(QString, saved);

        AuthcodeInputDialog *dialog = m_agent.inputDialog();
        auto *lineEdit = dialog->findChild<QLineEdit *>();
        QVERIFY(lineEdit);
        // A first prompt confirmed with "Print" leaves its code in the dialog.
        QCOMPARE(codeIn(prompt(address,
                               [&] {
                                   lineEdit->setText(QStringLiteral("first"));
                                   dialog->button(AuthcodeInputDialog::PrintButton)->click();
                               })),
                 QStringLiteral("first"));
        const QDateTime firstUsed = Config().servers.value(address).LastUsed;
        // The file keeps whole seconds.
        const QDateTime before = QDateTime::fromSecsSinceEpoch(QDateTime::currentSecsSinceEpoch());

        QString shownText;
        QString message;
        QString secondCode;
        const bool printed = close == QLatin1String("print") || close == QLatin1String("second");
        const QString reply = prompt(asked, [&] {
            shownText = lineEdit->text();
            lineEdit->clear();
            QTest::keyClicks(lineEdit, typed);
            if (close == QLatin1String("second"))
                secondCode = codeIn(m_agent.RequestInputAuthcode(otherAddress));
            for (const QLabel *label : dialog->findChildren<QLabel *>()) {
                if (label->text().contains(QStringLiteral("cloud print server")))
                    message = label->text();
            }
            if (printed)
                QTest::mouseClick(dialog->button(AuthcodeInputDialog::PrintButton), Qt::LeftButton);
            else if (close == QLatin1String("cancel"))
                QTest::mouseClick(dialog->button(AuthcodeInputDialog::CancelButton), Qt::LeftButton);
            else if (close == QLatin1String("escape"))
                QTest::keyClick(lineEdit, Qt::Key_Escape);
            else if (close == QLatin1String("window"))
                dialog->close();
            else
                m_agent.NotifyJobFinish(QStringLiteral("q"), QStringLiteral("a.pdf"), QString());
        });

        QCOMPARE(shownText, QStringLiteral("first"));
        // Word joiners keep the address on one line: the message may wrap, but never inside the address.
        const QString plain = QString(message).remove(QChar(0x2060));
        QCOMPARE(plain,
                 QStringLiteral("The authorization code of cloud print server (%1) has been updated").arg(asked));
        const int start = plain.indexOf(asked);
        const int end = message.lastIndexOf(asked.back()) + 1;
        QTextBoundaryFinder breaks(QTextBoundaryFinder::Line, message);
        for (int at = breaks.toNextBoundary(); at != -1; at = breaks.toNextBoundary())
            QVERIFY2(at <= start || at >= end, qPrintable(QString::number(at)));
        QCOMPARE(codeIn(reply), printed ? typed : QString());
        QCOMPARE(secondCode, QString());
        QVERIFY(!Config().servers.contains(otherAddress));
        const ServerConfig record = Config().servers.value(asked);
        QCOMPARE(record.Authcode, saved);
        QVERIFY(printed ? record.LastUsed >= before : record.LastUsed == firstUsed);
        if (close == QLatin1String("notify"))
            QVERIFY(m_notifications.waitForStdout(QStringLiteral("\"Print Successful\",\"a.pdf printed")));
    }

    void notifyWithoutNotificationService()
    {
        m_notifications.stop();
        QTRY_VERIFY(!QDBusConnection::sessionBus().interface()->isServiceRegistered(notificationsName));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^D-Bus Error: .*Notifications")));
        m_agent.NotifyJobFinish(QStringLiteral("q"), QStringLiteral("a.pdf"), QString());
    }

    void refusedRegistrationExits()
    {
        TestProcess agent;
        agent.start(QStringLiteral("env"), {QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS=unix:path=/nonexistent/bus"),
                                            QStringLiteral(TEST_AGENT_PATH)});
        QCOMPARE(agent.waitForExit(), 3);
        QVERIFY(agent.errorOutput().contains(QStringLiteral("registerObject Error")));
    }

private:
    // Asks for a code for addr and runs action in the dialog's event loop,
    // so once it is on screen; an action not run by then is dropped.
    QString prompt(const QString &addr, const std::function<void()> &action)
    {
        QObject context;
        QTimer::singleShot(0, &context, action);
        return m_agent.RequestInputAuthcode(addr);
    }

    Agent m_agent;
    TestProcess m_notifications;
};

QTEST_MAIN(AgentTest)
#include "tst_agent.moc"
