#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

#include <optional>

// The client's SQLite file on the application's default connection: the
// job log (printerinfo) and the saved servers (confInfo). Every value is
// bound as a parameter, so quotes in names from the server, the spool or
// the user are stored as they are.
class JobDatabase
{
public:
    struct Server
    {
        QString ip;
        QString code;
        int login = 0;
    };

    // Opens the file and creates both tables; failures are logged and the
    // client goes on without stored data.
    static void open(const QString &file);
    static void close();

    static QVector<Server> servers();
    static void removeServer(const QString &ip);
    static std::optional<Server> server(const QString &ip);
    static std::optional<Server> autoLoginServer();
    // Remembers or forgets a server after it accepted the code.
    static void saveServer(const QString &ip, const QString &code, bool save, bool login);

    // The job's state, 0 when there is no such job or the lookup fails.
    static int jobState(const QString &pdfName);
    static bool insertJob(const QString &pdfName, const QString &printer, const QString &fileName, int state,
                          const QString &date);
    // failureText is the log line for a failed update.
    static bool setJobState(const QString &pdfName, int state, const char *failureText);
    // Every job in table order: pdfname, printer, filename, state, time.
    static QVector<QStringList> jobs();
    // Printers with a waiting or printing job, and with a failed one.
    static QStringList busyPrinters();
    static QStringList failedPrinters();
};
