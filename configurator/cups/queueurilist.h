#pragma once

#include "cupsdestlist.h"

#include <QByteArray>

#include <vector>

// The local destinations with their device URIs, as cupsGetDests() lists
// them, at a fraction of its cost: one CUPS-Get-Printers request that asks
// only for "printer-name" and "device-uri", merged with the instances and
// options of the system and user lpoptions files the way libcups merges them.
// Printers that cupsGetDests() would add from network discovery are not
// local queues and are not listed.
class QueueUriList
{
public:
    static CupsDestList fetch();

private:
    struct Printer
    {
        QByteArray name;
        QByteArray deviceUri;
    };
    // One "Dest" or "Default" line of an lpoptions file.
    struct LpoptionsLine
    {
        QByteArray name;
        QByteArray instance;
        QByteArray options;
    };

    static std::vector<Printer> requestPrinters();
    static void readLpoptions(const QByteArray &path, std::vector<LpoptionsLine> &lines);
};
