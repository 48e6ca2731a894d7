#include "dbushelper.h"
#include "testprocess.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <unistd.h>

static const QString signerPath = QStringLiteral(TEST_SIGNER_PATH);

class PeersTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void busQueries();
    void exePath_data();
    void exePath();
    void findByUserExec_data();
    void findByUserExec();
    void deletedAndReplacedExecutable();

private:
    // Starts the stand-in signing service from exe under account and returns
    // its unique connection name, empty if it did not come up.
    QString startPeer(const QString &exe, const QString &account);

    std::vector<std::unique_ptr<TestProcess>> m_peers;
    QString m_firstRootPeer;
    QString m_nobodyPeer;
};

QString PeersTest::startPeer(const QString &exe, const QString &account)
{
    m_peers.push_back(std::make_unique<TestProcess>());
    TestProcess &peer = *m_peers.back();
    peer.start(exe, {}, account);
    if (!peer.waitForStdout(QStringLiteral("\n")))
        return {};
    return peer.standardOutput().trimmed();
}

void PeersTest::initTestCase()
{
    const QStringList rootPeers{startPeer(signerPath, {}), startPeer(signerPath, {})};
    m_nobodyPeer = startPeer(signerPath, QStringLiteral("nobody"));
    QVERIFY(!rootPeers.contains(QString()));
    QVERIFY(!m_nobodyPeer.isEmpty());

    // With two matching connections the search must return the one the bus
    // daemon lists first.
    const QStringList names = QDBusConnection::systemBus().interface()->registeredServiceNames().value();
    for (const QString &name : names) {
        if (rootPeers.contains(name)) {
            m_firstRootPeer = name;
            break;
        }
    }
    QVERIFY(!m_firstRootPeer.isEmpty());
}

void PeersTest::busQueries()
{
    const QString self = QDBusConnection::systemBus().baseService();
    QCOMPARE(DBusHelper::findDBusUid(self), quint32(::getuid()));
    QCOMPARE(DBusHelper::findDBusPid(self), quint32(::getpid()));
    QCOMPARE(DBusHelper::findDBusUid(m_nobodyPeer), quint32(65534));

    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^D-Bus Error: .*NameHasNoOwner")));
    QCOMPARE(DBusHelper::findDBusPid(QStringLiteral(":1.99999")), quint32(0));
}

void PeersTest::exePath_data()
{
    QTest::addColumn<int>("pid");
    QTest::addColumn<QByteArray>("exe");
    QTest::newRow("own process") << int(::getpid()) << QCoreApplication::applicationFilePath().toLocal8Bit();
    QTest::newRow("process id 0") << 0 << QByteArray();
    QTest::newRow("negative process id") << -1 << QByteArray();
    QTest::newRow("no such process") << 0x3ffffffe << QByteArray();
}

void PeersTest::exePath()
{
    QFETCH(int, pid);
    QTEST(getProcIdExe(pid), "exe");
}

void PeersTest::findByUserExec_data()
{
    QTest::addColumn<QByteArray>("exe");
    QTest::addColumn<QByteArray>("user");
    QTest::addColumn<QString>("expected"); // which peer, resolved at run time

    const QByteArray signer = signerPath.toLocal8Bit();
    const QByteArray self = QCoreApplication::applicationFilePath().toLocal8Bit();
    QTest::newRow("two of the user: first in bus order") << signer << QByteArray("root") << "root";
    QTest::newRow("program under another account") << signer << QByteArray("nobody") << "nobody";
    // The bus refuses connections of ids without an account, so an empty
    // user name matches nothing here.
    QTest::newRow("empty user") << signer << QByteArray() << "";
    QTest::newRow("account without the program") << signer << QByteArray("lp") << "";
    QTest::newRow("other program of the account") << self << QByteArray("nobody") << "";
    QTest::newRow("other program, same directory") << QByteArray(signer + "-old") << QByteArray("root") << "";
    QTest::newRow("empty executable path") << QByteArray() << QByteArray("root") << "";
}

void PeersTest::findByUserExec()
{
    QFETCH(QByteArray, exe);
    QFETCH(QByteArray, user);
    QFETCH(QString, expected);

    const QHash<QString, QString> peers{{QStringLiteral("root"), m_firstRootPeer},
                                        {QStringLiteral("nobody"), m_nobodyPeer}};
    QCOMPARE(QString::fromUtf8(DBusHelper::findByUserExec(exe, user)), peers.value(expected));
}

void PeersTest::deletedAndReplacedExecutable()
{
    const QTemporaryDir dir;
    const QString exe = dir.filePath(QStringLiteral("quorvia-cloud-print-agent"));
    QVERIFY(QFile::copy(signerPath, exe));
    const QString name = startPeer(exe, {});
    QVERIFY(!name.isEmpty());

    // An update replaces the file while the old program still runs.
    QVERIFY(QFile::remove(exe));
    QVERIFY(QFile::copy(signerPath, exe));

    QCOMPARE(getProcIdExe(int(m_peers.back()->pid())), exe.toLocal8Bit());
    QCOMPARE(QString::fromUtf8(DBusHelper::findByUserExec(exe.toLocal8Bit(), "root")), name);
}

QTEST_GUILESS_MAIN(PeersTest)
#include "tst_peers.moc"
