// Stand-in for the print backend of tqp queues: calls one method of the
// daemon on the system bus with the given string arguments, the job owner's
// login name last, and prints the reply's string (an empty line if none).
//   quorvia-test-backend METHOD ARG... USER
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QTextStream>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    const QString daemon = QStringLiteral("com.quorvia.cloud.print.daemon");
    // Without a method name the call fails like any other refused call.
    QDBusMessage call = QDBusMessage::createMethodCall(daemon, QStringLiteral("/com/quorvia/cloud/print/daemon"),
                                                       daemon, args.value(1));
    for (const QString &arg : args.mid(2))
        call << arg;

    const QDBusMessage reply = QDBusConnection::systemBus().call(call);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        QTextStream(stderr) << reply.errorName() << ": " << reply.errorMessage() << Qt::endl;
        return 1;
    }
    QTextStream(stdout) << reply.arguments().value(0).toString() << Qt::endl;
    return 0;
}
