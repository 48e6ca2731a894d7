// server.conf that decrypts fine but holds arbitrary text: the input is
// encrypted with the real AES layer first, so the JSON reading is reached.
// A text that does not come back whole from the AES layer fails the checks
// below; common.crypto (aesScratchBuffer) names that fault.

#include "configcheck.h"

#include "aescrypt.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

void fuzz(const QByteArray &json)
{
    QByteArray scratch;
    const QByteArray cipher = AESCrypt::aesEncrypt(json, scratch);
    const QMap<QString, ServerConfig> servers = loadServerFile(cipher);
    // Exactly the records of a JSON object are loaded, under its keys.
    const QJsonDocument document = QJsonDocument::fromJson(json);
    FUZZ_CHECK(QFile::exists(Config::damagedFilePath()) == !document.isObject());
    FUZZ_CHECK(servers.isEmpty() || document.isObject());
    if (document.isObject()) {
        const QStringList keys = document.object().keys();
        FUZZ_CHECK(QSet<QString>(servers.keyBegin(), servers.keyEnd()) == QSet<QString>(keys.begin(), keys.end()));
    }
}
