// The server list store under faults: a writer killed in the middle of its
// saves, and a full file system.
#include "config.h"

#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

namespace {

// Two lists of different sizes, so that a mixed or cut file cannot pass.
QMap<QString, ServerConfig> records(int count, const char *code)
{
    QMap<QString, ServerConfig> servers;
    for (int i = 0; i < count; ++i) {
        const QString address = QStringLiteral("tqp://10.0.%1.%2:9100").arg(i / 200).arg(i % 200);
        servers.insert(address, {QLatin1String(code), address, QDateTime(QDate(2026, 12, 7), QTime(8, i % 60))});
    }
    return servers;
}

const QMap<QString, ServerConfig> listA = records(40, "AAAA1111");
const QMap<QString, ServerConfig> listB = records(300, "BBBB2222");

bool sameRecords(const QMap<QString, ServerConfig> &a, const QMap<QString, ServerConfig> &b)
{
    if (a.keys() != b.keys())
        return false;
    for (auto it = a.cbegin(); it != a.cend(); ++it) {
        const ServerConfig &other = b.value(it.key());
        if (it->Authcode != other.Authcode || it->Address != other.Address || it->LastUsed != other.LastUsed)
            return false;
    }
    return true;
}

bool save(const QMap<QString, ServerConfig> &servers)
{
    Config config;
    config.servers = servers;
    return config.save();
}

// Child mode: saves the two lists in turn until killed.
int saveForever()
{
    for (int i = 0;; ++i)
        save(i % 2 ? listA : listB);
}

} // namespace

class StoreFaultsTest : public QObject
{
    Q_OBJECT

private slots:
    void writerKilledDuringSaves();
    void fullFileSystem();
};

void StoreFaultsTest::writerKilledDuringSaves()
{
    QVERIFY(save(listA));
    for (int round = 0; round < 200; ++round) {
        QProcess writer;
        writer.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--save-forever")});
        QVERIFY(writer.waitForStarted());
        QTest::qSleep(QRandomGenerator::global()->bounded(5, 40));
        writer.kill();
        QVERIFY(writer.waitForFinished());
        const Config config;
        QVERIFY2(sameRecords(config.servers, listA) || sameRecords(config.servers, listB),
                 qPrintable(QStringLiteral("round %1: %2 records").arg(round).arg(config.servers.size())));
    }
    QVERIFY(!QFile::exists(Config::damagedFilePath()));
}

void StoreFaultsTest::fullFileSystem()
{
    QTemporaryDir dir;
    const QString home = dir.filePath(QStringLiteral("home"));
    QDir().mkpath(home);
    // A small file system of its own; the store's old file must survive a
    // save that does not fit.
    if (QProcess::execute(QStringLiteral("mount"), {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                                                     QStringLiteral("size=64k"), QStringLiteral("tmpfs"), home})
        != 0)
        QSKIP("cannot mount a tmpfs here (not root)");
    const QByteArray oldHome = qgetenv("HOME");
    qputenv("HOME", QFile::encodeName(home));
    const auto restore = qScopeGuard([&] {
        qputenv("HOME", oldHome);
        QProcess::execute(QStringLiteral("umount"), {home});
    });

    QVERIFY(save(listA));
    QFile filler(home + QStringLiteral("/filler"));
    QVERIFY(filler.open(QIODevice::WriteOnly));
    while (filler.write(QByteArray(4096, 'x')) == 4096 && filler.flush()) {
    }
    filler.close();
    QVERIFY(!save(listB));
    QVERIFY(sameRecords(Config().servers, listA));

    QVERIFY(filler.remove());
    QVERIFY(save(listB));
    QVERIFY(sameRecords(Config().servers, listB));
}

int main(int argc, char **argv)
{
    if (argc == 2 && qstrcmp(argv[1], "--save-forever") == 0)
        return saveForever();
    QCoreApplication app(argc, argv);
    StoreFaultsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_storefaults.moc"
