#pragma once

#include "Print_types.h"

#include <QJsonObject>
#include <QString>

#include <vector>

// The reference server's configuration file, as README.md describes it.
struct ServerConfig
{
    // The file's content, with its file names made absolute (relative ones
    // are taken from the file's folder).
    QJsonObject json;
    // The configured printers, then the generated ones.
    std::vector<cloudprint::Printer> printers;

    bool load(const QString &path, QString *error);
};

// A printer record as the generated sample printers look: number `index`,
// with `commentBytes` of padding in Comment.
cloudprint::Printer samplePrinter(int index, int commentBytes);
