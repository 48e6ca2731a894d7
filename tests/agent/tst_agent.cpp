// The agent's bus object, called over a private system bus from a second
// connection, with the notification stand-in on a private session bus.
#include "agent.h"
#include "authcodeinputdialog.h"
#include "config.h"
#include "rsahelper.h"
#include "testprocess.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusPendingReply>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <functional>

namespace {

const QString agentPath = QStringLiteral("/com/quorvia/cloud/print/agent");
const QString agentInterface = QStringLiteral("com.quorvia.cloud.print.agent");
const QString notificationsName = QStringLiteral("org.freedesktop.Notifications");
const QString address = QStringLiteral("tqp://192.168.7.2:9100");

QString decoded(const QString &reply)
{
    return QString::fromStdString(RsaHelper::rsaDencryptFromBase64(reply.toStdString()));
}

// The label's text without the word joiners that keep an address on one line.
QString plainText(const QLabel *label)
{
    return QString(label->text()).remove(QChar(0x2060));
}

void saveCode(const QString &addr, const QString &code)
{
    Config config;
    config.servers[addr] = {code, addr, QDateTime::currentDateTime().addDays(-3)};
    config.save();
}

} // namespace

class AgentTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void requestAuthcode_data();
    void requestAuthcode();
    void notifyJobFinish_data();
    void notifyJobFinish();
    void requestInputAuthcode_data();
    void requestInputAuthcode();
    void secondPromptWhileOneIsOpen();
    void addressStaysOnOneLine();
    void notifyWithoutNotificationService();
    void refusedRegistrationExits();

private:
    QDBusPendingCall callAgent(const QString &method, const QVariantList &arguments);
    // Runs action once, as soon as the agent's dialog is on screen.
    void whenDialogShown(std::function<void()> action);
    QJsonObject nextNotification();

    Agent m_agent;
    QDBusConnection m_caller = QDBusConnection::connectToBus(QDBusConnection::SystemBus, QStringLiteral("caller"));
    TestProcess m_notifications;
    int m_notificationsSeen = 0;
};

QDBusPendingCall AgentTest::callAgent(const QString &method, const QVariantList &arguments)
{
    QDBusMessage call = QDBusMessage::createMethodCall(QDBusConnection::systemBus().baseService(), agentPath,
                                                       agentInterface, method);
    call.setArguments(arguments);
    return m_caller.asyncCall(call);
}

void AgentTest::whenDialogShown(std::function<void()> action)
{
    auto *poll = new QTimer(this);
    poll->setInterval(5);
    connect(poll, &QTimer::timeout, this, [this, poll, action] {
        if (!m_agent.inputDialog()->isVisible())
            return;
        poll->stop();
        poll->deleteLater();
        action();
    });
    poll->start();
}

QJsonObject AgentTest::nextNotification()
{
    if (!m_notifications.waitForStdoutLines(++m_notificationsSeen))
        return {};
    const QStringList lines = m_notifications.standardOutput().split(QLatin1Char('\n'));
    return QJsonDocument::fromJson(lines.at(m_notificationsSeen - 1).toUtf8()).object();
}

void AgentTest::initTestCase()
{
    QVERIFY(QDBusConnection::systemBus().registerObject(agentPath, &m_agent, QDBusConnection::ExportAdaptors));
    QVERIFY(m_caller.isConnected());

    m_notifications.start(QStringLiteral(TEST_NOTIFICATIONS_PATH));
    QTRY_VERIFY(QDBusConnection::sessionBus().interface()->isServiceRegistered(notificationsName));
}

void AgentTest::requestAuthcode_data()
{
    QTest::addColumn<QString>("asked");
    QTest::addColumn<QString>("saved");
    QTest::addColumn<QString>("code");
    QTest::newRow("saved code") << address << address << "Q7-x9 z";
    QTest::newRow("saved empty code") << address << address << QString();
    QTest::newRow("long code, two blocks") << address << address << QString(130, QLatin1Char('k'));
    QTest::newRow("same host without port") << "tqp://192.168.7.2" << address << QString();
    QTest::newRow("other spelling of the host") << "tqp://192.168.007.002:9100" << address << QString();
}

void AgentTest::requestAuthcode()
{
    QFETCH(QString, asked);
    QFETCH(QString, saved);
    QFETCH(QString, code);

    saveCode(saved, asked == saved ? code : QStringLiteral("not-for-this-address"));
    if (asked != saved)
        QTest::ignoreMessage(QtCriticalMsg, qPrintable(QStringLiteral("server conf has no config information for ") + asked));

    QDBusPendingReply<QString> reply = callAgent(QStringLiteral("RequestAuthcode"), {asked});
    QTRY_VERIFY(reply.isFinished());
    QVERIFY(!reply.isError());
    QCOMPARE(decoded(reply.value()), code);
    // Nothing to send is an empty reply, not an encrypted empty text.
    QCOMPARE(reply.value().isEmpty(), code.isEmpty());
}

void AgentTest::notifyJobFinish_data()
{
    QTest::addColumn<QString>("job");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QString>("summary");
    QTest::addColumn<QString>("body");

    const QString printed = QStringLiteral("%1 printed successfully\nPlease take them away timely");
    const QString name38 = QString(34, QLatin1Char('c')) + QStringLiteral(".pdf");
    const QString name39 = QString(35, QLatin1Char('c')) + QStringLiteral(".pdf");
    QTest::newRow("printed, 13 characters") << "abcdefghijklm" << "" << "Print Successful"
                                            << printed.arg(QStringLiteral("abcdefghijklm"));
    QTest::newRow("printed, 14 characters") << "abcdefghijklmn" << "" << "Print Successful"
                                            << printed.arg(QStringLiteral("abcdefghijk..."));
    QTest::newRow("cancelled file path") << "/var/spool/tqp/report.pdf" << "CUPS_BACKEND_CANCEL" << "Cloud Print"
                                         << "Print jobs is canceled report.pdf";
    QTest::newRow("cancelled, 38-character name") << QStringLiteral("/tmp/") + name38 << "CUPS_BACKEND_CANCEL"
                                                  << "Cloud Print" << QStringLiteral("Print jobs is canceled ") + name38;
    QTest::newRow("cancelled, 39-character name") << QStringLiteral("/tmp/") + name39 << "CUPS_BACKEND_CANCEL"
                                                  << "Cloud Print"
                                                  << QStringLiteral("Print jobs is canceled ") + name39.left(36)
                                                         + QStringLiteral("...");
    QTest::newRow("lower-case cancel code") << "report.pdf" << "cups_backend_cancel" << "Print Failed"
                                            << "Print jobs are terminated, please contact the admin";
    QTest::newRow("failed") << "report.pdf" << "CUPS_BACKEND_FAILED" << "Print Failed"
                            << "Print jobs are terminated, please contact the admin";
}

void AgentTest::notifyJobFinish()
{
    QFETCH(QString, job);
    QFETCH(QString, error);
    QFETCH(QString, summary);
    QFETCH(QString, body);

    QDBusPendingReply<> reply = callAgent(QStringLiteral("NotifyJobFinish"), {QStringLiteral("queue-1"), job, error});
    QTRY_VERIFY(reply.isFinished());
    QVERIFY(!reply.isError());

    const QString app = QStringLiteral("quorvia-cloud-print-configurator");
    const QJsonObject expected{{QStringLiteral("appName"), app}, {QStringLiteral("replacesId"), 0},
                               {QStringLiteral("icon"), app}, {QStringLiteral("summary"), summary},
                               {QStringLiteral("body"), body}, {QStringLiteral("actions"), QJsonArray()},
                               {QStringLiteral("hints"), QJsonObject()}, {QStringLiteral("expireTimeout"), 5000}};
    QCOMPARE(QJsonDocument(nextNotification()).toJson(), QJsonDocument(expected).toJson());
}

void AgentTest::requestInputAuthcode_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("close");
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QString>("saved");

    QTest::newRow("print") << "N3w-c0de" << "print" << "N3w-c0de" << "N3w-c0de";
    QTest::newRow("print keeps spaces") << "  spaced  " << "print" << "  spaced  " << "  spaced  ";
    QTest::newRow("print empty") << "" << "print" << "" << "";
    QTest::newRow("cancel") << "ignored" << "cancel" << "" << "first";
    QTest::newRow("escape") << "ignored" << "escape" << "" << "first";
    QTest::newRow("window control") << "ignored" << "window" << "" << "first";
    QTest::newRow("job finished meanwhile") << "ignored" << "notify" << "" << "first";
}

void AgentTest::requestInputAuthcode()
{
    QFETCH(QString, typed);
    QFETCH(QString, close);
    QFETCH(QString, reply);
    QFETCH(QString, saved);

    AuthcodeInputDialog *dialog = m_agent.inputDialog();
    auto *lineEdit = dialog->findChild<QLineEdit *>();
    QVERIFY(lineEdit);
    auto type = [lineEdit](const QString &text) {
        lineEdit->clear();
        QTest::keyClicks(lineEdit, text);
    };

    // A first prompt confirmed with "Print" leaves its code in the dialog.
    whenDialogShown([&] {
        type(QStringLiteral("first"));
        dialog->button(AuthcodeInputDialog::PrintButton)->click();
    });
    QDBusPendingReply<QString> first = callAgent(QStringLiteral("RequestInputAuthcode"), {address});
    QTRY_VERIFY(first.isFinished());
    QCOMPARE(decoded(first.value()), QStringLiteral("first"));

    const ServerConfig afterFirst = Config().servers.value(address);
    // The file keeps whole seconds.
    QDateTime before = QDateTime::currentDateTime();
    before.setTime(QTime(before.time().hour(), before.time().minute(), before.time().second()));
    QString shownText;
    QStringList shownLabels;
    QDBusPendingCall notify{QDBusPendingCall::fromCompletedCall(QDBusMessage())};
    whenDialogShown([&] {
        shownText = lineEdit->text();
        for (const QLabel *label : dialog->findChildren<QLabel *>())
            shownLabels.append(plainText(label));
        type(typed);
        if (close == QLatin1String("print"))
            QTest::mouseClick(dialog->button(AuthcodeInputDialog::PrintButton), Qt::LeftButton);
        else if (close == QLatin1String("cancel"))
            QTest::mouseClick(dialog->button(AuthcodeInputDialog::CancelButton), Qt::LeftButton);
        else if (close == QLatin1String("escape"))
            QTest::keyClick(lineEdit, Qt::Key_Escape);
        else if (close == QLatin1String("window"))
            dialog->close();
        else
            notify = callAgent(QStringLiteral("NotifyJobFinish"), {QStringLiteral("q"), QStringLiteral("a.pdf"), QString()});
    });
    QDBusPendingReply<QString> second = callAgent(QStringLiteral("RequestInputAuthcode"), {address});
    QTRY_VERIFY(second.isFinished());
    QVERIFY(!second.isError());

    QCOMPARE(shownText, QStringLiteral("first"));
    QVERIFY(shownLabels.contains(
        QStringLiteral("The authorization code of cloud print server (%1) has been updated").arg(address)));
    QCOMPARE(decoded(second.value()), reply);
    QCOMPARE(second.value().isEmpty(), reply.isEmpty());
    QVERIFY(!dialog->isVisible());
    const ServerConfig record = Config().servers.value(address);
    QCOMPARE(record.Authcode, saved);
    if (close == QLatin1String("print"))
        QVERIFY(record.LastUsed >= before);
    else
        QCOMPARE(record.LastUsed, afterFirst.LastUsed);
    if (close == QLatin1String("notify")) {
        QTRY_VERIFY(notify.isFinished());
        QCOMPARE(nextNotification().value(QStringLiteral("summary")).toString(), QStringLiteral("Print Successful"));
    }
}

void AgentTest::secondPromptWhileOneIsOpen()
{
    const QString other = QStringLiteral("tqp://192.168.7.3:9100");
    AuthcodeInputDialog *dialog = m_agent.inputDialog();
    auto *lineEdit = dialog->findChild<QLineEdit *>();
    QVERIFY(lineEdit);
    QDBusPendingCall second{QDBusPendingCall::fromCompletedCall(QDBusMessage())};
    QStringList labelsAfterSecond;
    whenDialogShown([&] {
        second = callAgent(QStringLiteral("RequestInputAuthcode"), {other});
        QTimer::singleShot(0, this, [&] {
            // Answered only once the second call is through.
            auto *wait = new QTimer(this);
            connect(wait, &QTimer::timeout, this, [&, wait] {
                if (!second.isFinished())
                    return;
                wait->stop();
                wait->deleteLater();
                for (const QLabel *label : dialog->findChildren<QLabel *>())
                    labelsAfterSecond.append(plainText(label));
                lineEdit->clear();
                QTest::keyClicks(lineEdit, QStringLiteral("for-the-first"));
                dialog->button(AuthcodeInputDialog::PrintButton)->click();
            });
            wait->start(5);
        });
    });
    QDBusPendingReply<QString> first = callAgent(QStringLiteral("RequestInputAuthcode"), {address});
    QTRY_VERIFY(first.isFinished());

    QVERIFY(!second.isError());
    QCOMPARE(QDBusPendingReply<QString>(second).value(), QString());
    QVERIFY(labelsAfterSecond.contains(
        QStringLiteral("The authorization code of cloud print server (%1) has been updated").arg(address)));
    QCOMPARE(decoded(first.value()), QStringLiteral("for-the-first"));
    const Config config;
    QCOMPARE(config.servers.value(address).Authcode, QStringLiteral("for-the-first"));
    QVERIFY(!config.servers.contains(other));
}

void AgentTest::addressStaysOnOneLine()
{
    const QString url = QStringLiteral("tqp://10.0.0.5:9100");
    AuthcodeInputDialog dialog;
    dialog.setAddress(url);
    QLabel *message = nullptr;
    for (QLabel *label : dialog.findChildren<QLabel *>()) {
        if (plainText(label).contains(url))
            message = label;
    }
    QVERIFY(message);
    // Laid out as the label does, at any width: the message wraps, but never
    // inside the address.
    QTextDocument document;
    document.setDefaultFont(message->font());
    document.setDocumentMargin(0);
    document.setPlainText(message->text());
    const QTextBlock block = document.firstBlock();
    const int start = plainText(message).indexOf(url);
    const int end = block.text().lastIndexOf(url.back()) + 1;
    for (int width = 250; width <= 600; width += 5) {
        document.setTextWidth(width);
        document.size();
        for (int i = 0; i < block.layout()->lineCount(); ++i) {
            const int lineStart = block.layout()->lineAt(i).textStart();
            QVERIFY2(lineStart <= start || lineStart >= end, qPrintable(QString::number(width)));
        }
    }
}

void AgentTest::notifyWithoutNotificationService()
{
    m_notifications.stop();
    QTRY_VERIFY(!QDBusConnection::sessionBus().interface()->isServiceRegistered(notificationsName));

    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^D-Bus Error: .*Notifications")));
    QDBusPendingReply<> reply = callAgent(QStringLiteral("NotifyJobFinish"),
                                          {QStringLiteral("q"), QStringLiteral("a.pdf"), QString()});
    QTRY_VERIFY(reply.isFinished());
    QVERIFY(!reply.isError());
}

void AgentTest::refusedRegistrationExits()
{
    TestProcess agent;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), QStringLiteral("unix:path=/nonexistent/bus"));
    agent.setEnvironment(environment);
    agent.start(QStringLiteral(TEST_AGENT_PATH));
    QCOMPARE(agent.waitForExit(), 3);
    QVERIFY(agent.errorOutput().contains(QStringLiteral("registerObject Error")));
}

QTEST_MAIN(AgentTest)
#include "tst_agent.moc"
