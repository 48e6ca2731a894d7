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
    QStringList args = QCoreApplication::arguments().mid(1);
    const QString daemon = QStringLiteral("com.quorvia.cloud.print.daemon");
    QDBusMessage call = QDBusMessage::createMethodCall(daemon, QStringLiteral("/com/quorvia/cloud/print/daemon"),
                                                       daemon, args.takeFirst());
    for (const QString &arg : qAsConst(args))
        call << arg;

    const QDBusMessage reply = QDBusConnection::systemBus().call(call);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        QTextStream(stderr) << reply.errorName() << ": " << reply.errorMessage() << Qt::endl;
        return 1;
    }
    QTextStream(stdout) << reply.arguments().value(0).toString() << Qt::endl;
    return 0;
}
