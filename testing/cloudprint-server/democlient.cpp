// Makes the configurator's calls against one cloud print server and prints
// what came back: used by scripts/demo.sh.
// Usage: cloudprint-demo-client tqp://ADDRESS:PORT CODE
#include "cloudprintclient.h"

#include <QCoreApplication>
#include <QFile>
#include <QTextStream>

#include <exception>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    QTextStream out(stdout);
    if (args.size() != 3) {
        QTextStream(stderr) << "usage: cloudprint-demo-client tqp://ADDRESS:PORT CODE\n";
        return 2;
    }

    CloudPrintRPCClient client(args.at(1));
    cloudprint::Auth auth;
    auth.__set_Authcode(args.at(2).toStdString());

    if (!client.Connect()) {
        out << "cannot connect to " << args.at(1) << "\n";
        return 1;
    }
    if (!client.Verfiy(auth)) {
        out << "verification failed\n";
        return 1;
    }
    out << "verified; server version " << QString::fromStdString(client.GetServerVersion(auth)) << "\n";

    try {
        const std::vector<Printer> printers = client.ListPrinter(auth);
        out << printers.size() << " printer(s):\n";
        for (const Printer &printer : printers) {
            out << "  " << QString::fromStdString(printer.ID) << "\n"
                << "      device URI " << QString::fromStdString(printer.Addr) << "\n"
                << "      status     " << printer.statusText() << ", " << printer.cJobs << " job(s)\n";
        }
        if (!printers.empty()) {
            const QString path = client.GetPpdDrv(auth, printers.front(), QStringLiteral("demo-%1").arg(app.applicationPid()));
            out << "driver description of the first printer: " << (path.isEmpty() ? QStringLiteral("(none)") : path)
                << "\n";
            if (!path.isEmpty())
                QFile::remove(path);
        }
    } catch (const std::exception &e) {
        out << "listing failed: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
