#pragma once

#include "Print_types.h"

#include <QJsonObject>
#include <QString>

#include <string>
#include <vector>

struct ServerPrinter
{
    cloudprint::Printer record;
    std::vector<int32_t> jobCounts; // cJobs for the 1st, 2nd, ... ListPrinter call; last one repeats
    std::string driver;
};

// The reference server's configuration file, as README.md describes it.
struct ServerConfig
{
    QString listen;
    int port = 0;
    QString portFile;
    QString certificate;
    QString key;
    std::vector<std::string> codes;
    std::string version;
    std::string defaultDriver;
    std::vector<ServerPrinter> printers;
    QJsonObject faults; // method name: {"mode", ...}

    // Relative paths are taken from the file's folder.
    bool load(const QString &path, QString *error);
};

// A printer record as the generated sample printers look: number `index`,
// with `commentBytes` of padding in Comment.
cloudprint::Printer samplePrinter(int index, int commentBytes);
