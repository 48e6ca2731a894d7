#pragma once

#include <QDateTime>
#include <QMap>
#include <QMetaType>
#include <QString>

// One cloud print server the user has connected to.
struct ServerConfig
{
    QString Authcode;   // in clear, as the user typed it
    QString Address;    // equals the record's key in Config::servers
    QDateTime LastUsed; // local time; invalid when unknown
};
Q_DECLARE_METATYPE(ServerConfig)

// The user's list of servers, kept AES-encrypted in
// ~/.config/quorvia/quorvia-cloud-print-configurator/server.conf and shared by
// the configurator and the agent. Construct one per operation: it loads the
// file at once; change `servers` and call save() right away (last writer wins).
class Config
{
public:
    Config();

    // Reads the file into `servers`. A missing file leaves the store empty;
    // a file that cannot be read, decrypted or parsed also leaves it empty and
    // is first copied to "server.conf.damaged" beside it, so the next save
    // cannot destroy what may still be recovered.
    void load();

    // Replaces the file with all of `servers`, atomically, readable by the
    // user only. Returns false (and logs) when the file could not be written;
    // the old file then stays as it was.
    bool save();

    // The record with the latest LastUsed (the first in address order among
    // equal times), or a default record when there is none.
    ServerConfig lastUsed() const;

    // The per-user settings folder, from the current home directory; the
    // configurator keeps its other files there too.
    static QString dirPath();
    // Full path of the file, from the current home directory.
    static QString filePath();
    static QString damagedFilePath();

    QMap<QString, ServerConfig> servers;
};
