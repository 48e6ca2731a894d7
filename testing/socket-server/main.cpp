// Reference socket print server: stands in for the socket client's print
// server in tests. See README.md for options, control commands and events.
#include "controlchannel.h"
#include "events.h"
#include "options.h"
#include "printsession.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    ServerOptions options;
    QString error;
    if (!options.parse(QCoreApplication::arguments(), &error)) {
        std::fprintf(stderr, "olvenka-reference-server: %s\n", qPrintable(error));
        return 1;
    }
    PrintSession session(options);
    if (!session.listen(&error)) {
        std::fprintf(stderr, "olvenka-reference-server: %s\n", qPrintable(error));
        return 1;
    }
    writeEvent({QStringLiteral("listening"), QString::number(session.port(Role::Verify)),
                QString::number(session.port(Role::Info)), QString::number(session.port(Role::File))});
    ControlChannel control(&session);
    return QCoreApplication::exec();
}
