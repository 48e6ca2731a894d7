#include "aescrypt.h"
#include "builtinkeys.h"
#include "config.h"
#include "logcapture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr char ConfigCategory[] = "quorvia.config";
const QString ServerA = QStringLiteral("tqp://10.0.0.1:9100");
const QString ServerB = QStringLiteral("tqp://10.0.0.2:9100");
const QString ServerC = QStringLiteral("tqp://192.168.1.7:443");

ServerConfig record(const QString &address, const QString &code, const QDateTime &lastUsed = {})
{
    return ServerConfig{code, address, lastUsed};
}

// "key|Address|Authcode|LastUsed" per record, in map order.
QStringList entries(const QMap<QString, ServerConfig> &servers)
{
    QStringList lines;
    for (auto it = servers.cbegin(); it != servers.cend(); ++it)
        lines << QStringList{it.key(), it->Address, it->Authcode, it->LastUsed.toString(Qt::ISODate)}.join(QLatin1Char('|'));
    return lines;
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

QByteArray decryptStore()
{
    QByteArray scratch;
    return AESCrypt::aesDecrypt(readFile(Config::filePath()), scratch);
}

QByteArray encrypt(const QByteArray &plain, const AESCrypt::Key &key = builtinkeys::aesKey())
{
    QByteArray out(plain.size() + AESCrypt::BlockSize, '\0');
    out.resize(AESCrypt::encrypt(reinterpret_cast<const unsigned char *>(plain.constData()), plain.size(), key,
                                 builtinkeys::aesIv(), reinterpret_cast<unsigned char *>(out.data()), out.size()));
    return out;
}

mode_t modeOf(const QString &path)
{
    struct stat st{};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? (st.st_mode & 07777) : mode_t(-1);
}

QMap<QString, ServerConfig> byAddress(const QList<ServerConfig> &records)
{
    QMap<QString, ServerConfig> servers;
    for (const ServerConfig &r : records)
        servers.insert(r.Address, r);
    return servers;
}

bool saveRecords(const QList<ServerConfig> &records)
{
    Config config;
    config.servers = byAddress(records);
    return config.save();
}

} // namespace

class TestConfig : public QObject
{
    Q_OBJECT

    QTemporaryDir m_home;

private slots:
    void initTestCase()
    {
        // Never touch a real home, even when run by hand.
        QVERIFY(m_home.isValid());
        qputenv("HOME", QFile::encodeName(m_home.path()));
        QCOMPARE(Config::filePath(),
                 m_home.path() + QStringLiteral("/.config/quorvia/quorvia-cloud-print-configurator/server.conf"));
    }

    void init() { QDir(m_home.path() + QStringLiteral("/.config")).removeRecursively(); }

    void saveAndLoad_data()
    {
        QTest::addColumn<QList<ServerConfig>>("records");
        QTest::addColumn<QByteArray>("json"); // checked when not empty

        QTest::newRow("empty store") << QList<ServerConfig>() << QByteArray("{\n}\n");
        QTest::newRow("two records")
            << QList<ServerConfig>{record(ServerB, QStringLiteral("code-b")),
                                   record(ServerA, QStringLiteral("abc"), QDateTime({2026, 12, 5}, {16, 18, 16}))}
            << QByteArray("{\n"
                          "    \"tqp://10.0.0.1:9100\": {\n"
                          "        \"Address\": \"tqp://10.0.0.1:9100\",\n"
                          "        \"Authcode\": \"abc\",\n"
                          "        \"LastUsed\": \"Sat Dec 5 16:18:16 2026\"\n"
                          "    },\n"
                          "    \"tqp://10.0.0.2:9100\": {\n"
                          "        \"Address\": \"tqp://10.0.0.2:9100\",\n"
                          "        \"Authcode\": \"code-b\",\n"
                          "        \"LastUsed\": \"\"\n"
                          "    }\n"
                          "}\n");
        QTest::newRow("special characters")
            << QList<ServerConfig>{record(QStringLiteral("tqp://10.0.0.9:9100/ü"), QStringLiteral(" 认证码\"\\ "),
                                          QDateTime({2024, 2, 29}, {0, 0, 0}))}
            << QByteArray();
        // Code lengths 0..15 move the JSON length through every remainder mod 16.
        for (int n = 0; n < 16; ++n)
            QTest::addRow("code of %d", n) << QList<ServerConfig>{record(ServerA, QString(n, QLatin1Char('c')))}
                                           << QByteArray();
    }

    // The JSON text, 1 to 16 spaces up to whole blocks, one block of cipher
    // padding; saved over a missing file and loaded back without complaint.
    void saveAndLoad()
    {
        QFETCH(QList<ServerConfig>, records);
        QFETCH(QByteArray, json);
        {
            const LogCapture log(ConfigCategory);
            QVERIFY(saveRecords(records));
            QCOMPARE(log.lines().size(), 1);
            QCOMPARE(log.lines().value(0).type, QtInfoMsg);
            QCOMPARE(log.lines().value(0).text, Config::filePath() + QStringLiteral(" not exist"));
        }
        const QByteArray plain = decryptStore();
        int length = plain.size();
        while (length > 0 && plain.at(length - 1) == ' ')
            --length;
        QVERIFY(plain.left(length).endsWith("}\n"));
        if (!json.isEmpty())
            QCOMPARE(plain.left(length), json);
        QCOMPARE(plain.size() % 16, 0);
        QVERIFY(plain.size() - length >= 1 && plain.size() - length <= 16);
        QCOMPARE(QFileInfo(Config::filePath()).size(), qint64(plain.size() + 16));

        const LogCapture log(ConfigCategory);
        QCOMPARE(entries(Config().servers), entries(byAddress(records)));
        QVERIFY(log.lines().isEmpty());
        QVERIFY(!QFile::exists(Config::damagedFilePath()));
    }

    void lastUsed_data()
    {
        QTest::addColumn<QList<ServerConfig>>("records");
        QTest::addColumn<QString>("expected");

        const QDateTime early({2025, 3, 1}, {8, 0, 0});
        const QDateTime late({2025, 3, 2}, {8, 0, 0});
        const QString a = QStringLiteral("a");
        QTest::newRow("empty store") << QList<ServerConfig>() << QString();
        QTest::newRow("latest first") << QList<ServerConfig>{record(ServerA, a, late), record(ServerC, a, early)} << ServerA;
        // Neither the first nor the last record; equal times keep the earlier one.
        QTest::newRow("tie goes to first address")
            << QList<ServerConfig>{record(ServerC, a, late), record(ServerB, a, late), record(ServerA, a, early)} << ServerB;
    }

    void lastUsed()
    {
        QFETCH(QList<ServerConfig>, records);
        QFETCH(QString, expected);
        Config config;
        config.servers = byAddress(records);
        const ServerConfig found = config.lastUsed();
        QCOMPARE(found.Address, expected);
        QCOMPARE(found.LastUsed.isNull(), expected.isEmpty());
    }

    // The member name is the address ("Address" in the file is not trusted),
    // and records with missing or malformed members are kept.
    void fileRecordsAreReadByMemberName()
    {
        QVERIFY(writeFile(Config::filePath(),
                          encrypt("{ \"tqp://10.0.0.1:9100\": { \"Address\": \"tqp://evil:1\", \"Authcode\": \"x\" },"
                                  " \"a\": 5, \"b\": { \"Authcode\": 17 }, \"c\": { \"Authcode\": \"k\", "
                                  "\"LastUsed\": \"yesterday\" } }")));
        Config config;
        QCOMPARE(entries(config.servers), QStringList({QStringLiteral("a|a||"), QStringLiteral("b|b||"), QStringLiteral("c|c|k|"),
                                                       ServerA + QLatin1Char('|') + ServerA + QStringLiteral("|x|")}));
        QVERIFY(!QFile::exists(Config::damagedFilePath()));

        // Storing a record under a known address replaces it.
        const QString c = QStringLiteral("c");
        config.servers[c] = record(c, QStringLiteral("new"), QDateTime({2025, 6, 1}, {12, 0, 0}));
        QVERIFY(config.save());
        QCOMPARE(Config().servers.size(), 4);
        QCOMPARE(entries(Config().servers).value(2), QStringLiteral("c|c|new|2025-06-01T12:00:00"));
        const QByteArray plain = decryptStore();
        QVERIFY(plain.contains("\"Address\": \"tqp://10.0.0.1:9100\""));
        QVERIFY(!plain.contains("evil"));
    }

    void damagedFileIsKept_data()
    {
        QTest::addColumn<QByteArray>("content");
        const QByteArray json = "{ \"tqp://10.0.0.1:9100\": { \"Authcode\": \"x\" } }";
        AESCrypt::Key otherKey = builtinkeys::aesKey();
        otherKey[31] ^= 0x80;

        QTest::newRow("empty") << QByteArray();
        QTest::newRow("truncated mid block") << encrypt(json).left(40);
        QTest::newRow("plain json") << json;
        QTest::newRow("another key") << encrypt(json, otherKey);
        QTest::newRow("encrypted array") << encrypt("[ 1, 2 ]" + QByteArray(8, ' '));
    }

    void damagedFileIsKept()
    {
        QFETCH(QByteArray, content);
        QVERIFY(writeFile(Config::filePath(), content));
        {
            const LogCapture log(ConfigCategory);
            Config config;
            QVERIFY(config.servers.isEmpty());
            QVERIFY(log.contains(QtWarningMsg, Config::filePath() + QStringLiteral(" is damaged")));
            QCOMPARE(readFile(Config::damagedFilePath()), content);
            QCOMPARE(modeOf(Config::damagedFilePath()), mode_t(0600));
            QCOMPARE(readFile(Config::filePath()), content); // loading alone changes nothing

            config.servers.insert(ServerB, record(ServerB, QStringLiteral("fresh")));
            QVERIFY(config.save());
        }
        QCOMPARE(Config().servers.keys(), QStringList{ServerB});
        QCOMPARE(readFile(Config::damagedFilePath()), content);
    }

    void permissions()
    {
        const QString dir = QFileInfo(Config::filePath()).path();
        for (const bool loose : {false, true}) {
            if (loose) {
                QVERIFY(::chmod(QFile::encodeName(Config::filePath()).constData(), 0644) == 0);
                QVERIFY(::chmod(QFile::encodeName(dir).constData(), 0755) == 0);
            }
            QVERIFY(saveRecords({record(ServerA, QStringLiteral("secret"))}));
            QCOMPARE(modeOf(Config::filePath()), mode_t(0600));
            QCOMPARE(modeOf(dir), mode_t(0700));
        }
        QCOMPARE(modeOf(m_home.path() + QStringLiteral("/.config")), mode_t(0700));
        QCOMPARE(modeOf(m_home.path() + QStringLiteral("/.config/quorvia")), mode_t(0700));
        // Nothing but the file itself is left behind by the replacing write.
        QCOMPARE(QDir(dir).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("server.conf")});
    }

    void saveFailureIsReported()
    {
        // A plain file where a directory belongs makes the write fail, even for root.
        QVERIFY(writeFile(m_home.path() + QStringLiteral("/.config/quorvia"), "in the way"));
        const LogCapture log(ConfigCategory);
        QVERIFY(!saveRecords({record(ServerA, QStringLiteral("lost"))}));
        QVERIFY(log.contains(QtWarningMsg, QStringLiteral("cannot create the directory of ")));
    }
    // Homes without permission bits (vfat, some network mounts) refuse every
    // chmod: the codes must be stored all the same.
    void saveWhereChmodFails()
    {
        if (::geteuid() != 0)
            QSKIP("needs root to save as another user");
        // Folders of root's, open to all: as nobody, writing into them works
        // but making them private does not (setfsuid drops CAP_FOWNER).
        QString dir = m_home.path();
        for (const char *part : {"", "/.config", "/quorvia", "/quorvia-cloud-print-configurator"}) {
            dir += QLatin1String(part);
            QVERIFY(QDir().mkpath(dir) && ::chmod(QFile::encodeName(dir).constData(), 0777) == 0);
        }
        const LogCapture log(ConfigCategory);
        ::setfsuid(65534);
        const bool saved = saveRecords({record(ServerA, QStringLiteral("kept"))});
        ::setfsuid(0);
        QVERIFY(saved);
        QVERIFY2(log.contains(QtWarningMsg, QStringLiteral("cannot make ") + Config::dirPath() + QStringLiteral(" private")),
                 qPrintable(log.texts().join(QLatin1Char('\n'))));
        QCOMPARE(Config().servers.value(ServerA).Authcode, QStringLiteral("kept"));
    }
};

QTEST_GUILESS_MAIN(TestConfig)
#include "tst_config.moc"
