#include "aescrypt.h"
#include "builtinkeys.h"
#include "config.h"
#include "logrecorder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <sys/stat.h>

namespace {

constexpr char ConfigCategory[] = "quorvia.config";
const QString ServerA = QStringLiteral("tqp://10.0.0.1:9100");
const QString ServerB = QStringLiteral("tqp://10.0.0.2:9100");
const QString ServerC = QStringLiteral("tqp://192.168.1.7:443");

QDateTime at(const char *text)
{
    return QDateTime::fromString(QLatin1String(text), Qt::ISODate);
}

ServerConfig record(const QString &address, const QString &code, const QDateTime &lastUsed)
{
    return ServerConfig{code, address, lastUsed};
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

QByteArray decryptFile(const QString &path)
{
    QByteArray scratch;
    return AESCrypt::aesDecrypt(readFile(path), scratch);
}

QByteArray encryptBuiltin(const QByteArray &plain)
{
    QByteArray scratch;
    return AESCrypt::aesEncrypt(plain, scratch);
}

mode_t modeOf(const QString &path)
{
    struct stat st{};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? (st.st_mode & 07777) : mode_t(-1);
}

// JSON text of a saved store: the plain text without its trailing spaces.
int jsonLength(const QByteArray &plain)
{
    int end = plain.size();
    while (end > 0 && plain.at(end - 1) == ' ')
        --end;
    return end;
}

} // namespace

class TestConfig : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void emptyStoreIs32Bytes();
    void exactFileFormat();
    void spacePadding_data();
    void spacePadding();
    void roundTrip();
    void replacingARecord();
    void lastUsed_data();
    void lastUsed();
    void memberNameWinsOverAddress();
    void malformedRecordsAreKept();

    void missingFileIsNotDamaged();
    void emptyStoreFileIsNotDamaged();
    void damagedFileIsKept_data();
    void damagedFileIsKept();

    void permissions_data();
    void permissions();
    void saveFailureIsReported();

private:
    std::unique_ptr<QTemporaryDir> m_home;
    QString m_dir;
};

void TestConfig::initTestCase()
{
    // Never touch a real home, even when run by hand.
    m_home = std::make_unique<QTemporaryDir>();
    QVERIFY(m_home->isValid());
    qputenv("HOME", QFile::encodeName(m_home->path()));
    QCOMPARE(Config::filePath(),
             m_home->path() + QStringLiteral("/.config/quorvia/quorvia-cloud-print-configurator/server.conf"));
    m_dir = QFileInfo(Config::filePath()).path();
}

void TestConfig::init()
{
    QDir(m_home->path() + QStringLiteral("/.config")).removeRecursively();
}

void TestConfig::emptyStoreIs32Bytes()
{
    Config config;
    QVERIFY(config.save());
    QCOMPARE(QFileInfo(Config::filePath()).size(), 32);
    QCOMPARE(decryptFile(Config::filePath()), QByteArray("{\n}\n") + QByteArray(12, ' '));
}

void TestConfig::exactFileFormat()
{
    Config config;
    config.servers.insert(ServerB, record(ServerB, QStringLiteral("code-b"), QDateTime()));
    config.servers.insert(ServerA, record(ServerA, QStringLiteral("abc"), at("2026-12-05T16:18:16")));
    QVERIFY(config.save());

    const QByteArray json = "{\n"
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
                            "}\n";
    const QByteArray plain = decryptFile(Config::filePath());
    QCOMPARE(plain.left(jsonLength(plain)), json);
}

void TestConfig::spacePadding_data()
{
    // Code lengths 0..15 move the JSON length through every remainder mod 16.
    QTest::addColumn<int>("codeLength");
    for (int n = 0; n < 16; ++n)
        QTest::addRow("code of %d", n) << n;
}

void TestConfig::spacePadding()
{
    QFETCH(int, codeLength);
    Config config;
    config.servers.insert(ServerA, record(ServerA, QString(codeLength, QLatin1Char('c')), QDateTime()));
    QVERIFY(config.save());

    const QByteArray plain = decryptFile(Config::filePath());
    const int length = jsonLength(plain);
    QVERIFY(plain.left(length).endsWith("}\n"));
    const int spaces = plain.size() - length;
    QCOMPARE(spaces, 16 - length % 16);
    QCOMPARE(QFileInfo(Config::filePath()).size(), qint64(length + spaces + 16));
    if (length % 16 == 0)
        QCOMPARE(QFileInfo(Config::filePath()).size(), qint64(length + 32));
}

void TestConfig::roundTrip()
{
    const QString unicode = QStringLiteral("tqp://10.0.0.9:9100/ü");
    {
        Config config;
        config.servers.insert(ServerA, record(ServerA, QStringLiteral(" spaced code "), at("2025-01-31T23:59:58")));
        config.servers.insert(unicode, record(unicode, QStringLiteral("认证码\"\\"), at("2024-02-29T00:00:00")));
        config.servers.insert(ServerC, record(ServerC, QString(), QDateTime()));
        QVERIFY(config.save());
    }
    const Config loaded;
    QCOMPARE(loaded.servers.keys(), QStringList({ServerA, unicode, ServerC}));
    QCOMPARE(loaded.servers.value(ServerA).Authcode, QStringLiteral(" spaced code "));
    QCOMPARE(loaded.servers.value(ServerA).LastUsed, at("2025-01-31T23:59:58"));
    QCOMPARE(loaded.servers.value(unicode).Authcode, QStringLiteral("认证码\"\\"));
    QCOMPARE(loaded.servers.value(unicode).Address, unicode);
    QVERIFY(loaded.servers.value(ServerC).Authcode.isEmpty());
    QVERIFY(!loaded.servers.value(ServerC).LastUsed.isValid());
}

void TestConfig::replacingARecord()
{
    {
        Config config;
        config.servers.insert(ServerA, record(ServerA, QStringLiteral("old"), at("2025-01-01T10:00:00")));
        config.servers.insert(ServerB, record(ServerB, QStringLiteral("other"), at("2025-01-01T09:00:00")));
        QVERIFY(config.save());
    }
    {
        Config config;
        config.servers[ServerA] = record(ServerA, QStringLiteral("new"), at("2025-06-01T12:00:00"));
        QVERIFY(config.save());
    }
    const Config loaded;
    QCOMPARE(loaded.servers.size(), 2);
    QCOMPARE(loaded.servers.count(ServerA), 1);
    QCOMPARE(loaded.servers.value(ServerA).Authcode, QStringLiteral("new"));
    QCOMPARE(loaded.servers.value(ServerA).LastUsed, at("2025-06-01T12:00:00"));
    QCOMPARE(loaded.servers.value(ServerB).Authcode, QStringLiteral("other"));
}

void TestConfig::lastUsed_data()
{
    QTest::addColumn<QList<ServerConfig>>("records");
    QTest::addColumn<QString>("expected");

    const QDateTime early = at("2025-03-01T08:00:00");
    const QDateTime late = at("2025-03-02T08:00:00");
    QTest::newRow("empty store") << QList<ServerConfig>() << QString();
    QTest::newRow("single") << QList<ServerConfig>{record(ServerB, QStringLiteral("b"), early)} << ServerB;
    QTest::newRow("latest last in order")
        << QList<ServerConfig>{record(ServerA, QStringLiteral("a"), early), record(ServerC, QStringLiteral("c"), late)}
        << ServerC;
    QTest::newRow("latest first in order")
        << QList<ServerConfig>{record(ServerA, QStringLiteral("a"), late), record(ServerC, QStringLiteral("c"), early)}
        << ServerA;
    QTest::newRow("tie goes to first address")
        << QList<ServerConfig>{record(ServerC, QStringLiteral("c"), late), record(ServerB, QStringLiteral("b"), late),
                               record(ServerA, QStringLiteral("a"), early)}
        << ServerB;
}

void TestConfig::lastUsed()
{
    QFETCH(QList<ServerConfig>, records);
    QFETCH(QString, expected);
    {
        Config config;
        for (const ServerConfig &r : records)
            config.servers.insert(r.Address, r);
        QVERIFY(config.save());
    }
    const ServerConfig found = Config().lastUsed();
    QCOMPARE(found.Address, expected);
    if (expected.isEmpty()) {
        QVERIFY(found.Authcode.isEmpty());
        QVERIFY(found.LastUsed.isNull());
    } else {
        QCOMPARE(found.Authcode, Config().servers.value(expected).Authcode);
    }
}

void TestConfig::memberNameWinsOverAddress()
{
    const QByteArray json = "{ \"tqp://10.0.0.1:9100\": { \"Address\": \"tqp://evil:1\", \"Authcode\": \"x\", "
                            "\"LastUsed\": \"Sat Dec 5 16:18:16 2026\" } }";
    QVERIFY(writeFile(Config::filePath(), encryptBuiltin(json)));

    Config config;
    QCOMPARE(config.servers.keys(), QStringList{ServerA});
    QCOMPARE(config.servers.value(ServerA).Address, ServerA);
    QVERIFY(config.save());
    const QByteArray plain = decryptFile(Config::filePath());
    QVERIFY(plain.contains("\"Address\": \"tqp://10.0.0.1:9100\""));
    QVERIFY(!plain.contains("evil"));
}

void TestConfig::malformedRecordsAreKept()
{
    const QByteArray json = "{ \"a\": 5, \"b\": { \"Authcode\": 17 }, \"c\": { \"Authcode\": \"k\", "
                            "\"LastUsed\": \"yesterday\" }, \"d\": {} }";
    QVERIFY(writeFile(Config::filePath(), encryptBuiltin(json)));
    const Config config;
    QCOMPARE(config.servers.keys(), QStringList({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"),
                                                 QStringLiteral("d")}));
    QVERIFY(config.servers.value(QStringLiteral("b")).Authcode.isEmpty());
    QCOMPARE(config.servers.value(QStringLiteral("c")).Authcode, QStringLiteral("k"));
    QVERIFY(!config.servers.value(QStringLiteral("c")).LastUsed.isValid());
    QVERIFY(!QFile::exists(Config::damagedFilePath()));
}

void TestConfig::missingFileIsNotDamaged()
{
    const LogRecorder log(ConfigCategory);
    const Config config;
    QVERIFY(config.servers.isEmpty());
    QVERIFY(!QFile::exists(Config::damagedFilePath()));
    QCOMPARE(log.lines().size(), 1);
    QCOMPARE(log.lines().value(0).type, QtInfoMsg);
    QCOMPARE(log.lines().value(0).text, Config::filePath() + QStringLiteral(" not exist"));
}

void TestConfig::emptyStoreFileIsNotDamaged()
{
    QVERIFY(Config().save());
    const LogRecorder log(ConfigCategory);
    const Config config;
    QVERIFY(config.servers.isEmpty());
    QVERIFY(!QFile::exists(Config::damagedFilePath()));
    QCOMPARE(log.lines().size(), 0);
}

void TestConfig::damagedFileIsKept_data()
{
    QTest::addColumn<QByteArray>("content");

    Config good;
    good.servers.insert(ServerA, record(ServerA, QStringLiteral("code"), at("2025-01-01T10:00:00")));
    QVERIFY(good.save());
    const QByteArray valid = readFile(Config::filePath());
    QVERIFY(valid.size() > 48);

    const QByteArray json = "{ \"tqp://10.0.0.1:9100\": { \"Authcode\": \"x\" } }";
    AESCrypt::Key otherKey = builtinkeys::aesKey();
    otherKey[31] ^= 0x80;
    QByteArray foreign(json.size() + 16, '\0');
    foreign.resize(AESCrypt::encrypt(reinterpret_cast<const unsigned char *>(json.constData()), json.size(),
                                     otherKey, builtinkeys::aesIv(),
                                     reinterpret_cast<unsigned char *>(foreign.data()), foreign.size()));
    QByteArray random(160, Qt::Uninitialized);
    for (char &c : random)
        c = char(QRandomGenerator::global()->bounded(256));

    QTest::newRow("empty") << QByteArray();
    QTest::newRow("truncated to one block") << valid.left(16);
    QTest::newRow("truncated mid block") << valid.left(valid.size() - 21);
    QTest::newRow("random bytes") << random;
    QTest::newRow("plain json") << json;
    QTest::newRow("another key") << foreign;
    QTest::newRow("encrypted array") << encryptBuiltin("[ 1, 2 ]" + QByteArray(8, ' '));
}

void TestConfig::damagedFileIsKept()
{
    QFETCH(QByteArray, content);
    QVERIFY(writeFile(Config::filePath(), content));

    {
        const LogRecorder log(ConfigCategory);
        Config config;
        QVERIFY(config.servers.isEmpty());
        QVERIFY(log.contains(QtWarningMsg, Config::filePath() + QStringLiteral(" is damaged")));
        QCOMPARE(readFile(Config::damagedFilePath()), content);
        QCOMPARE(modeOf(Config::damagedFilePath()), mode_t(0600));
        QCOMPARE(readFile(Config::filePath()), content); // loading alone changes nothing

        config.servers.insert(ServerB, record(ServerB, QStringLiteral("fresh"), at("2025-05-05T05:05:05")));
        QVERIFY(config.save());
    }
    const Config reloaded;
    QCOMPARE(reloaded.servers.keys(), QStringList{ServerB});
    QCOMPARE(readFile(Config::damagedFilePath()), content);
}

void TestConfig::permissions_data()
{
    QTest::addColumn<bool>("existing");
    QTest::newRow("fresh home") << false;
    QTest::newRow("loose file and directory") << true;
}

void TestConfig::permissions()
{
    QFETCH(bool, existing);
    if (existing) {
        QVERIFY(Config().save());
        QVERIFY(::chmod(QFile::encodeName(Config::filePath()).constData(), 0644) == 0);
        QVERIFY(::chmod(QFile::encodeName(m_dir).constData(), 0755) == 0);
    }
    Config config;
    config.servers.insert(ServerA, record(ServerA, QStringLiteral("secret"), QDateTime::currentDateTime()));
    QVERIFY(config.save());

    QCOMPARE(modeOf(Config::filePath()), mode_t(0600));
    QCOMPARE(modeOf(m_dir), mode_t(0700));
    if (!existing) {
        QCOMPARE(modeOf(m_home->path() + QStringLiteral("/.config")), mode_t(0700));
        QCOMPARE(modeOf(m_home->path() + QStringLiteral("/.config/quorvia")), mode_t(0700));
    }
    // Nothing but the file itself is left behind by the replacing write.
    QCOMPARE(QDir(m_dir).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("server.conf")});
}

void TestConfig::saveFailureIsReported()
{
    // A plain file where a directory belongs makes the write fail, even for root.
    QVERIFY(writeFile(m_home->path() + QStringLiteral("/.config/quorvia"), "in the way"));
    Config config;
    config.servers.insert(ServerA, record(ServerA, QStringLiteral("lost"), QDateTime::currentDateTime()));
    const LogRecorder log(ConfigCategory);
    QVERIFY(!config.save());
    QVERIFY(log.contains(QtWarningMsg, QStringLiteral("cannot create the directory of ")));
}

QTEST_GUILESS_MAIN(TestConfig)
#include "tst_config.moc"
