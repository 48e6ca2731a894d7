#pragma once

// Shared by the two server list targets: puts bytes where Config reads
// server.conf in a private home, loads them and checks what came out.

#include "fuzzing.h"

#include "config.h"

#include <QFile>
#include <QFileInfo>

// Loads `fileBytes` as server.conf and returns the store. A file that does
// not load must leave the store empty with a copy kept beside it; one that
// loads must survive a save and a reload unchanged.
inline QMap<QString, ServerConfig> loadServerFile(const QByteArray &fileBytes)
{
    static const bool ready = !privateHome().isEmpty() && QDir().mkpath(QFileInfo(Config::filePath()).path());
    FUZZ_CHECK(ready);
    QFile::remove(Config::damagedFilePath());
    QFile file(Config::filePath());
    FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(fileBytes) == fileBytes.size());
    file.close();

    Config config;
    if (QFile::exists(Config::damagedFilePath())) {
        FUZZ_CHECK(config.servers.isEmpty());
        QFile copy(Config::damagedFilePath());
        FUZZ_CHECK(copy.open(QIODevice::ReadOnly) && copy.readAll() == fileBytes);
        return config.servers;
    }
    FUZZ_CHECK(config.save());
    const Config again;
    FUZZ_CHECK(!QFile::exists(Config::damagedFilePath()));
    FUZZ_CHECK(again.servers.keys() == config.servers.keys());
    for (auto it = config.servers.cbegin(); it != config.servers.cend(); ++it) {
        FUZZ_CHECK(it.key() == it->Address);
        const ServerConfig &reloaded = again.servers.value(it.key());
        FUZZ_CHECK(reloaded.Authcode == it->Authcode);
        // The file keeps whole seconds: a foreign file's fractions are dropped.
        FUZZ_CHECK(reloaded.LastUsed.toString(Qt::TextDate) == it->LastUsed.toString(Qt::TextDate));
    }
    return config.servers;
}
