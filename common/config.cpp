#include "config.h"

#include "aescrypt.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QLoggingCategory>
#include <QSaveFile>
#include <QStandardPaths>

#include <cerrno>
#include <sys/stat.h>
#include <sys/types.h>

Q_LOGGING_CATEGORY(lcConfig, "quorvia.config")

namespace {

const QLatin1String RelativeDir(".config/quorvia/quorvia-cloud-print-configurator");
const QLatin1String FileName("server.conf");
const QLatin1String DamagedSuffix(".damaged");

const QLatin1String AuthcodeKey("Authcode");
const QLatin1String AddressKey("Address");
const QLatin1String LastUsedKey("LastUsed");

constexpr QFileDevice::Permissions UserOnlyFile = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
constexpr QFileDevice::Permissions UserOnlyDir = UserOnlyFile | QFileDevice::ExeOwner;

QString homeDir()
{
    return QStandardPaths::standardLocations(QStandardPaths::HomeLocation).value(0);
}

// File systems without permission bits (vfat, some network mounts) refuse
// every chmod; the codes are stored there all the same, with a warning.
void warnNotPrivate(const QString &path, const QString &reason)
{
    qCWarning(lcConfig).noquote() << QLatin1String("cannot make ") + path + QLatin1String(" private to the user: ")
                                         + reason;
}

// Creates every missing directory of `relative` below `base` as user-only and
// makes the innermost one, which holds the codes, user-only where it can.
bool makePrivateDir(const QString &base, const QString &relative)
{
    QString path = base;
    const QStringList parts = relative.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (const QString &part : parts) {
        path += QLatin1Char('/') + part;
        if (::mkdir(QFile::encodeName(path).constData(), 0700) != 0 && errno != EEXIST)
            return false;
    }
    if (!QFileInfo(path).isDir())
        return false;
    QFile dir(path);
    if (!dir.setPermissions(UserOnlyDir))
        warnNotPrivate(path, dir.errorString());
    return true;
}

// Keeps an unreadable file out of reach of the next save, which would
// otherwise replace it with only the records of the saving process.
void keepDamaged(const QString &path, const QString &reason)
{
    const QString copy = Config::damagedFilePath();
    QFile::remove(copy);
    if (QFile::copy(path, copy)) {
        QFile::setPermissions(copy, UserOnlyFile);
        qCWarning(lcConfig).noquote() << path + QLatin1String(" is damaged (") + reason
                                             + QLatin1String("), a copy is kept as ") + copy;
    } else {
        qCWarning(lcConfig).noquote() << path + QLatin1String(" is damaged (") + reason
                                             + QLatin1String("), and no copy could be kept as ") + copy;
    }
}

// Trailing spaces bring the plain text to whole cipher blocks; a text that
// already fills them still gets a full block of spaces.
QByteArray padWithSpaces(QByteArray json)
{
    json.append(QByteArray(AESCrypt::BlockSize - json.size() % AESCrypt::BlockSize, ' '));
    return json;
}

} // namespace

Config::Config()
{
    load();
}

QString Config::dirPath()
{
    return homeDir() + QLatin1Char('/') + RelativeDir;
}

QString Config::filePath()
{
    return dirPath() + QLatin1Char('/') + FileName;
}

QString Config::damagedFilePath()
{
    return filePath() + DamagedSuffix;
}

void Config::load()
{
    const QString path = filePath();
    if (!QFileInfo::exists(path)) {
        qCInfo(lcConfig).noquote() << path + QLatin1String(" not exist");
        return;
    }

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        keepDamaged(path, file.errorString());
        return;
    }
    const QByteArray ciphertext = file.readAll();
    file.close();

    QByteArray scratch;
    const QByteArray plaintext = AESCrypt::aesDecrypt(ciphertext, scratch);
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(plaintext, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject()) {
        keepDamaged(path, parseError.error != QJsonParseError::NoError ? parseError.errorString()
                                                                       : QStringLiteral("not a server list"));
        return;
    }

    const QJsonObject top = document.object();
    for (auto it = top.constBegin(); it != top.constEnd(); ++it) {
        const QJsonObject value = it.value().toObject();
        ServerConfig record;
        record.Address = it.key();
        record.Authcode = value.value(AuthcodeKey).toString();
        record.LastUsed = QDateTime::fromString(value.value(LastUsedKey).toString(), Qt::TextDate);
        servers.insert(it.key(), record);
    }
}

bool Config::save()
{
    const QString path = filePath();
    if (!makePrivateDir(homeDir(), RelativeDir)) {
        qCWarning(lcConfig).noquote() << QLatin1String("cannot create the directory of ") + path;
        return false;
    }

    QJsonObject top;
    for (auto it = servers.constBegin(); it != servers.constEnd(); ++it) {
        QJsonObject record;
        record.insert(AuthcodeKey, it->Authcode);
        record.insert(AddressKey, it->Address);
        record.insert(LastUsedKey, it->LastUsed.isValid() ? it->LastUsed.toString(Qt::TextDate) : QString());
        top.insert(it.key(), record);
    }
    QByteArray scratch;
    const QByteArray ciphertext =
        AESCrypt::aesEncrypt(padWithSpaces(QJsonDocument(top).toJson(QJsonDocument::Indented)), scratch);

    // Written beside the old file and renamed over it, so an interrupted save
    // leaves the previous list intact.
    QSaveFile file(path);
    bool saved = !ciphertext.isEmpty() && file.open(QIODevice::WriteOnly);
    if (saved && !file.setPermissions(UserOnlyFile))
        warnNotPrivate(path, file.errorString());
    saved = saved && file.write(ciphertext) == ciphertext.size() && file.commit();
    if (!saved)
        qCWarning(lcConfig).noquote() << QLatin1String("cannot write ") + path + QLatin1String(": ")
                                             + file.errorString();
    return saved;
}

ServerConfig Config::lastUsed() const
{
    if (servers.isEmpty())
        return {};
    ServerConfig candidate = servers.first();
    for (const ServerConfig &record : servers) {
        if (candidate.LastUsed < record.LastUsed)
            candidate = record;
    }
    return candidate;
}
