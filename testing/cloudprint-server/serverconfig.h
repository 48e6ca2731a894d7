#pragma once

#include "Print_types.h"

#include <QHash>
#include <QString>

#include <string>
#include <vector>

// How the reference server misbehaves for one method.
struct Fault
{
    enum Mode {
        Exception,     // throws cloudprint::Exception {code, description}
        NoResult,      // replies with neither success nor err
        Stall,         // reads the call and never answers
        CloseMidReply, // sends the first half of the normal reply, then closes
        Raw,           // sends the bytes of `hex` as the reply, then closes
        Slow,          // answers normally after `delayMs`
    };

    Mode mode = Exception;
    int code = 0;
    std::string description;
    std::string bytes;
    int delayMs = 0;
    int remaining = -1; // calls left to misbehave on; -1 means every call
};

struct ServerPrinter
{
    cloudprint::Printer record;
    std::vector<int32_t> jobCounts; // cJobs for the 1st, 2nd, ... ListPrinter call; last one repeats
    std::string driver;
};

struct ServerConfig
{
    QString listen = QStringLiteral("127.0.0.1");
    int port = 0;
    QString portFile;
    QString certificate;
    QString key;
    std::vector<std::string> codes;
    std::string version;
    std::string defaultDriver;
    std::vector<ServerPrinter> printers;
    QHash<QString, Fault> faults;

    // Reads the JSON configuration; relative paths are taken from the file's folder.
    bool load(const QString &path, QString *error);
};

// A printer record as the generated sample printers look: number `index`,
// with `commentBytes` of padding in Comment.
cloudprint::Printer samplePrinter(int index, int commentBytes);
