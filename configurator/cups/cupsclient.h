#pragma once

#include "Print_types.h"

#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>

#include <cups/cups.h>

class QProcess;
class QUrl;

// Reads the local CUPS destinations and installs cloud printer queues. All
// operations are class-level and block until CUPS or the tools have answered,
// so they belong on a worker thread. The only state kept is the names of
// half-made queues that could not be removed yet.
class CUPSClient : public QObject
{
    Q_OBJECT

public:
    explicit CUPSClient(QObject *parent = nullptr);

    // Installed queues keyed by device URI; each record carries only Addr.
    static QMap<QString, cloudprint::Printer> listPrinter();
    // Every destination name (once per instance) in CUPS order.
    static QStringList listPrinterName();

    // Compiles the driver description into "/tmp/<name>/TQP.ppd" and returns
    // that path, or an empty string when no such PPD came out.
    static QString generatePpdByDrv(const QString &drv, const QString &name);

    // Creates, enables and accepts a queue for the printer with the given PPD.
    static bool addPrinter(const cloudprint::Printer &printer, const QString &ppd);
    // The same with the packaged generic PPD.
    static bool addPrinter(const cloudprint::Printer &printer);

    // Removes the half-made queues of failed installs whose removal failed
    // (cupsd stopped in between), and forgets those CUPS no longer has.
    // Each install does this first; the installed-state refresh does as well.
    static void removeLeftoverQueues();
};

cloudprint::Printer copyCUPSDest(cups_dest_t *dest);

// Queue name for a server printer ID and its device URI: readable, valid for
// CUPS and not yet taken.
QString printerNameEncode(const QString &name, const QUrl &url);

bool enablePrinter(const QString &name);
bool acceptPrinter(const QString &name);

// Runs a prepared process: true when it started, ended normally and returned 0.
bool checkProcessRun(QProcess &process);
