// The server list store: its file format, foreign and damaged files, the
// permissions it keeps, and saves under faults (a writer killed in the middle
// of its saves, a full file system, a home that refuses chmod).
#include "aescrypt.h"
#include "config.h"
#include "logcapture.h"

#include <QtTest>

#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using Servers = QMap<QString, ServerConfig>;

constexpr char ConfigCategory[] = "quorvia.config";
const QString ServerA = QStringLiteral("tqp://10.0.0.1:9100");
const QString ServerB = QStringLiteral("tqp://10.0.0.2:9100");
const QString ServerC = QStringLiteral("tqp://192.168.1.7:443");

ServerConfig record(const QString &address, const QString &code, const QDateTime &lastUsed = {})
{
    return ServerConfig{code, address, lastUsed};
}

Servers byAddress(const QList<ServerConfig> &records)
{
    Servers servers;
    for (const ServerConfig &r : records)
        servers.insert(r.Address, r);
    return servers;
}

// Lists of different sizes for the fault tests, so that a mixed or cut file cannot pass.
Servers numbered(int count, const QString &code)
{
    QList<ServerConfig> records;
    for (int i = 0; i < count; ++i)
        records << record(QStringLiteral("tqp://10.0.%1.%2:9100").arg(i / 200).arg(i % 200), code,
                          QDateTime({2026, 12, 7}, {8, i % 60}));
    return byAddress(records);
}
const Servers listA = numbered(40, QStringLiteral("AAAA1111"));
const Servers listB = numbered(300, QStringLiteral("BBBB2222"));

// "key|Address|Authcode|LastUsed" per record, in map order.
QStringList entries(const Servers &servers)
{
    QStringList lines;
    for (auto it = servers.cbegin(); it != servers.cend(); ++it)
        lines << QStringList{it.key(), it->Address, it->Authcode, it->LastUsed.toString(Qt::ISODate)}.join(
            QLatin1Char('|'));
    return lines;
}

bool save(const Servers &servers)
{
    Config config;
    config.servers = servers;
    return config.save();
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
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray encrypt(const QByteArray &plain)
{
    QByteArray scratch;
    return AESCrypt::aesEncrypt(plain, scratch);
}

mode_t modeOf(const QString &path)
{
    struct stat st
    { };
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? (st.st_mode & 07777) : mode_t(-1);
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

    // Records of other characters, codes with spaces at their ends and a leap
    // day go through a save and a reload in fuzz.config_json (escapes) and
    // agent.service (print keeps spaces).
    void saveAndLoad_data()
    {
        QTest::addColumn<QList<ServerConfig>>("records");
        QTest::addColumn<QByteArray>("json"); // in compact form; checked when not empty
        QTest::addColumn<QString>("lastUsed");

        const QDateTime early({2025, 3, 1}, {8, 0, 0});
        const QDateTime late({2025, 3, 2}, {8, 0, 0});
        const QString a = QStringLiteral("a");
        QTest::newRow("empty store") << QList<ServerConfig>() << QByteArray("{}") << QString();
        QTest::newRow("two records")
            << QList<ServerConfig>{record(ServerB, QStringLiteral("code-b")),
                                   record(ServerA, QStringLiteral("abc"), QDateTime({2026, 12, 5}, {16, 18, 16}))}
            << QByteArray("{\"tqp://10.0.0.1:9100\":{\"Address\":\"tqp://10.0.0.1:9100\",\"Authcode\":\"abc\","
                          "\"LastUsed\":\"Sat Dec 5 16:18:16 2026\"},\"tqp://10.0.0.2:9100\":{\"Address\":"
                          "\"tqp://10.0.0.2:9100\",\"Authcode\":\"code-b\",\"LastUsed\":\"\"}}")
            << ServerA;
        // Neither the first nor the last record; equal times keep the earlier one. The latest as the
        // first record: configurator.view (verifyflow, prefillsFromTheLastUsedServer).
        QTest::newRow("tie goes to first address")
            << QList<ServerConfig>{record(ServerC, a, late), record(ServerB, a, late), record(ServerA, a, early)}
            << QByteArray() << ServerB;
        // Code lengths 0..15 move the JSON length through every remainder mod 16.
        // clang-format off
        for (int n = 0; n < 16; ++n)
            QTest::addRow("code of %d", n) << QList<ServerConfig>{record(ServerA, QString(n, QLatin1Char('c')))}
                                           << QByteArray() << ServerA;
        // clang-format on
    }

    // The JSON text, 1 to 16 spaces up to whole blocks, one block of cipher
    // padding; saved over a missing file, private to the user, and loaded
    // back without complaint.
    void saveAndLoad()
    {
        QFETCH(QList<ServerConfig>, records);
        QFETCH(QByteArray, json);
        QFETCH(QString, lastUsed);
        {
            const LogCapture log(ConfigCategory);
            QVERIFY(save(byAddress(records)));
            QCOMPARE(log.texts(QtInfoMsg), QStringList{Config::filePath() + QStringLiteral(" not exist")});
            QCOMPARE(log.lines().size(), 1);
        }
        QByteArray scratch;
        const QByteArray plain = AESCrypt::aesDecrypt(readFile(Config::filePath()), scratch);
        const int length = plain.lastIndexOf("}\n") + 2;
        QCOMPARE(plain.mid(length), QByteArray(plain.size() - length, ' '));
        QCOMPARE(plain.size(), (length / 16 + 1) * 16);
        if (!json.isEmpty())
            QCOMPARE(QJsonDocument::fromJson(plain.left(length)).toJson(QJsonDocument::Compact), json);
        QCOMPARE(QFileInfo(Config::filePath()).size(), qint64(plain.size() + 16));
        QCOMPARE(modeOf(Config::filePath()), mode_t(0600));
        for (QString dir = Config::dirPath(); dir != m_home.path(); dir = QFileInfo(dir).path())
            QCOMPARE(modeOf(dir), mode_t(0700));

        const LogCapture log(ConfigCategory);
        const Config loaded;
        QCOMPARE(entries(loaded.servers), entries(byAddress(records)));
        QCOMPARE(loaded.lastUsed().Address, lastUsed);
        QVERIFY(log.lines().isEmpty());
        QVERIFY(!QFile::exists(Config::damagedFilePath()));
    }

    // Files that decrypt to anything but a JSON object: fuzz.config_json.
    void damagedFileIsKept_data()
    {
        QTest::addColumn<QByteArray>("content");
        const QByteArray json = "{ \"tqp://10.0.0.1:9100\": { \"Authcode\": \"x\" } }";

        QTest::newRow("empty") << QByteArray();
        // Also what a file of a build with other keys comes to: a final block that does not check out.
        QTest::newRow("truncated mid block") << encrypt(json).left(40);
        QTest::newRow("plain json") << json;
    }

    // A file that does not load leaves the store empty and is copied aside,
    // where later saves leave it alone.
    void damagedFileIsKept()
    {
        QFETCH(QByteArray, content);
        QVERIFY(writeFile(Config::filePath(), content));
        {
            const LogCapture log(ConfigCategory);
            Config config;
            QVERIFY(config.servers.isEmpty());
            QVERIFY(log.contains(QtWarningMsg, Config::filePath() + QStringLiteral(" is damaged")));
            QCOMPARE(readFile(Config::filePath()), content); // loading alone changes nothing

            config.servers.insert(ServerB, record(ServerB, QStringLiteral("fresh")));
            QVERIFY(config.save());
        }
        QCOMPARE(Config().servers.keys(), QStringList{ServerB});
        QCOMPARE(readFile(Config::damagedFilePath()), content);
        QCOMPARE(modeOf(Config::damagedFilePath()), mode_t(0600));
    }

    void saveFailureIsReported()
    {
        // A plain file where a directory belongs makes the write fail, even for root.
        QVERIFY(writeFile(m_home.path() + QStringLiteral("/.config/quorvia"), "in the way"));
        const LogCapture log(ConfigCategory);
        QVERIFY(!save(listA));
        QVERIFY(log.contains(QtWarningMsg, QStringLiteral("cannot create the directory of ")));
    }

    // Homes without permission bits (vfat, some network mounts) refuse every
    // chmod: the codes are stored all the same. Where chmod works, loose
    // folder and file are made private again.
    void permissions()
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
        {
            const LogCapture log(ConfigCategory);
            ::setfsuid(65534);
            const bool saved = save(listA);
            ::setfsuid(0);
            QVERIFY(saved);
            QVERIFY2(log.contains(QtWarningMsg, QStringLiteral("cannot make ") + dir + QStringLiteral(" private")),
                     qPrintable(log.texts().join(QLatin1Char('\n'))));
        }
        QCOMPARE(entries(Config().servers), entries(listA));

        QVERIFY(::chmod(QFile::encodeName(Config::filePath()).constData(), 0644) == 0);
        QVERIFY(save(listB));
        QCOMPARE(modeOf(Config::filePath()), mode_t(0600));
        QCOMPARE(modeOf(dir), mode_t(0700));
        // Nothing but the file itself is left behind by the replacing writes.
        QCOMPARE(QDir(dir).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("server.conf")});
    }

    void writerKilledDuringSaves()
    {
        QVERIFY(save(listA));
        const QStringList a = entries(listA), b = entries(listB);
        for (int round = 0; round < 200; ++round) {
            QProcess writer;
            writer.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--save-forever")});
            QVERIFY(writer.waitForStarted());
            QTest::qSleep(QRandomGenerator::global()->bounded(5, 40));
            writer.kill();
            QVERIFY(writer.waitForFinished());
            const QStringList found = entries(Config().servers);
            QVERIFY2(found == a || found == b, qPrintable(QStringLiteral("round %1: %2").arg(round).arg(found.size())));
        }
        QVERIFY(!QFile::exists(Config::damagedFilePath()));
    }

    // On a small file system of its own, the old file survives a save that does not fit.
    void fullFileSystem()
    {
        const QString mountPoint = m_home.path() + QStringLiteral("/.config");
        QVERIFY(QDir().mkpath(mountPoint));
        const QString options = QStringLiteral("-t tmpfs -o size=64k tmpfs ") + mountPoint;
        if (QProcess::execute(QStringLiteral("mount"), options.split(QLatin1Char(' '))) != 0)
            QSKIP("cannot mount a tmpfs here (not root)");
        const auto unmount = qScopeGuard([&] { QProcess::execute(QStringLiteral("umount"), {mountPoint}); });

        QVERIFY(save(listA));
        QFile filler(mountPoint + QStringLiteral("/filler"));
        QVERIFY(filler.open(QIODevice::WriteOnly));
        while (filler.write(QByteArray(4096, 'x')) == 4096 && filler.flush()) { }
        filler.close();
        QVERIFY(!save(listB));
        QCOMPARE(entries(Config().servers), entries(listA));

        QVERIFY(filler.remove());
        QVERIFY(save(listB));
        QCOMPARE(entries(Config().servers), entries(listB));
    }
};

int main(int argc, char **argv)
{
    // The writer that writerKilledDuringSaves kills: saves the two lists in turn.
    if (argc == 2 && qstrcmp(argv[1], "--save-forever") == 0) {
        for (int i = 0;; ++i)
            save(i % 2 ? listA : listB);
    }
    QCoreApplication app(argc, argv);
    TestConfig test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_config.moc"
