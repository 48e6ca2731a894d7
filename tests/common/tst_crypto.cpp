#include "aescrypt.h"
#include "builtinkeys.h"
#include "logcapture.h"
#include "rsa_crypt.h"
#include "rsahelper.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QByteArray publicKeyPem()
{
    return QByteArray::fromBase64(QByteArray::fromStdString(builtinkeys::rsaPublicKeyText()));
}

} // namespace

class TestCrypto : public QObject
{
    Q_OBJECT

    int m_k = 0;

private slots:
    void initTestCase()
    {
        QCOMPARE(encrypt_init(), 0);
        // The block size k as the encoder writes it; rsaMatchesStandardRawRsa
        // confirms it is the modulus length of the built-in key.
        m_k = QByteArray::fromBase64(QByteArray::fromStdString(RsaHelper::rsaEncryptToBase64("k"))).size();
        QVERIFY(m_k >= 128);
    }

    void rsaRoundTrip_data()
    {
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<int>("blocks");
        QTest::addColumn<QByteArray>("expected");
        const QByteArray utf8 = QStringLiteral("Größe-認証コード").toUtf8();
        QTest::newRow("code with spaces") << QByteArray("  8F3k q2Lz  ") << 1 << QByteArray("  8F3k q2Lz  ");
        QTest::newRow("utf-8") << utf8 << 1 << utf8;
        QTest::newRow("k") << QByteArray(m_k, 'x') << 1 << QByteArray(m_k, 'x');
        QTest::newRow("k + 1") << QByteArray(m_k + 1, 'y') << 2 << QByteArray(m_k + 1, 'y');
        QTest::newRow("3k + 7") << QByteArray(3 * m_k + 7, 'q') << 4 << QByteArray(3 * m_k + 7, 'q');
        QTest::newRow("cut at zero byte") << QByteArray("abc\0def", 7) << 1 << QByteArray("abc");
    }

    // k bytes per block as one line of standard Base64, the same text every
    // time; the decoder skips line breaks and other foreign characters.
    void rsaRoundTrip()
    {
        QFETCH(QByteArray, message);
        QFETCH(int, blocks);
        QFETCH(QByteArray, expected);
        const QByteArray text = QByteArray::fromStdString(RsaHelper::rsaEncryptToBase64(message.toStdString()));
        QCOMPARE(QByteArray::fromBase64(text).size(), blocks * m_k);
        QCOMPARE(QByteArray::fromBase64(text).toBase64(), text);
        QCOMPARE(QByteArray::fromStdString(RsaHelper::rsaEncryptToBase64(message.toStdString())), text);
        QCOMPARE(QByteArray::fromStdString(RsaHelper::rsaDencryptFromBase64(text.toStdString())), expected);

        QByteArray wrapped = " \t" + text;
        for (int i = 66; i < wrapped.size(); i += 66)
            wrapped.insert(i, "\r\n");
        QCOMPARE(QByteArray::fromStdString(RsaHelper::rsaDencryptFromBase64(wrapped.toStdString())), expected);
    }

    void rsaFailures_data()
    {
        QTest::addColumn<bool>("encode");
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QString>("warning"); // the only log line, or none when empty

        // A good first block followed by one of all 0xff bytes: the whole result is dropped.
        const QByteArray tooLarge = QByteArray(m_k, 'a') + QByteArray(m_k, char(0xff));
        QTest::newRow("encode empty") << true << QByteArray() << QString();
        QTest::newRow("decode empty") << false << QByteArray() << QString();
        QTest::newRow("decode no base64 at all") << false << QByteArray("!!**??") << QString();
        QTest::newRow("encode block not below modulus") << true << tooLarge << QStringLiteral("Error encrypting message: ");
        QTest::newRow("decode block not below modulus") << false << tooLarge.toBase64()
                                                        << QStringLiteral("Error decrypting message: ");
    }

    void rsaFailures()
    {
        QFETCH(bool, encode);
        QFETCH(QByteArray, input);
        QFETCH(QString, warning);
        const LogCapture log("quorvia.crypto");
        const std::string result = encode ? RsaHelper::rsaEncryptToBase64(input.toStdString())
                                          : RsaHelper::rsaDencryptFromBase64(input.toStdString());
        QCOMPARE(result, std::string());
        QCOMPARE(log.lines().size(), warning.isEmpty() ? 0 : 1);
        if (!warning.isEmpty()) {
            QVERIFY2(log.contains(QtWarningMsg, warning), qPrintable(log.lines().value(0).text));
            QVERIFY(log.lines().value(0).text.size() > warning.size()); // the library's reason follows
        }
    }

    // The backend outside decodes with standard tools: the public-key operation
    // without padding must recover the zero-filled block.
    void rsaMatchesStandardRawRsa()
    {
        const QByteArray message("interop-code-42");
        const QByteArray encoded = QByteArray::fromBase64(
            QByteArray::fromStdString(RsaHelper::rsaEncryptToBase64(message.toStdString())));
        QTemporaryDir dir;
        QFile key(dir.filePath(QStringLiteral("public.pem")));
        QFile block(dir.filePath(QStringLiteral("block.bin")));
        QVERIFY(key.open(QIODevice::WriteOnly) && key.write(publicKeyPem()) > 0 && key.flush());
        QVERIFY(block.open(QIODevice::WriteOnly) && block.write(encoded) == m_k && block.flush());

        QProcess openssl;
        openssl.start(QStringLiteral("openssl"),
                      {QStringLiteral("pkeyutl"), QStringLiteral("-verifyrecover"), QStringLiteral("-pubin"),
                       QStringLiteral("-inkey"), key.fileName(), QStringLiteral("-pkeyopt"),
                       QStringLiteral("rsa_padding_mode:none"), QStringLiteral("-in"), block.fileName()});
        QVERIFY(openssl.waitForFinished(10000));
        QCOMPARE(openssl.exitCode(), 0);
        QCOMPARE(openssl.readAllStandardOutput(), message + QByteArray(m_k - message.size(), '\0'));
    }

    // NIST SP 800-38A, F.2.5 (CBC-AES256.Encrypt), first block.
    void aesKnownAnswer()
    {
        AESCrypt::Key key;
        AESCrypt::Iv iv;
        const QByteArray keyBytes = QByteArray::fromHex("603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4");
        const QByteArray ivBytes = QByteArray::fromHex("000102030405060708090a0b0c0d0e0f");
        std::copy(keyBytes.cbegin(), keyBytes.cend(), key.begin());
        std::copy(ivBytes.cbegin(), ivBytes.cend(), iv.begin());
        const QByteArray plain = QByteArray::fromHex("6bc1bee22e409f96e93d7e117393172a");

        QByteArray out(32, '\0');
        QCOMPARE(AESCrypt::encrypt(reinterpret_cast<const unsigned char *>(plain.constData()), 16, key, iv,
                                   reinterpret_cast<unsigned char *>(out.data()), 32), 32);
        QCOMPARE(out.left(16).toHex(), QByteArray("f58c4c04d6e5f1ba779eabfb5f7bfbd6"));
    }

    void aesSizes_data()
    {
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("cipherLength");
        QTest::newRow("empty") << 0 << 16;
        QTest::newRow("15") << 15 << 16;
        QTest::newRow("16 gets a whole padding block") << 16 << 32;
        QTest::newRow("32 gets a whole padding block") << 32 << 48;
        QTest::newRow("33") << 33 << 48;
    }

    void aesSizes()
    {
        QFETCH(int, length);
        QFETCH(int, cipherLength);
        const QByteArray plain = QByteArray("0123456789abcdefghijklmnopqrstuvwxyz").left(length);

        QByteArray scratch;
        const QByteArray cipher = AESCrypt::aesEncrypt(plain, scratch);
        QCOMPARE(cipher.size(), cipherLength);
        QByteArray larger(2 * cipher.size(), '\0'); // the size the store hands in
        QCOMPARE(AESCrypt::aesDecrypt(cipher, larger), plain);
    }

    void aesOutputBufferTooSmall()
    {
        const QByteArray input(32, 'p');
        // Room for input + 15 bytes only; the guard bytes behind it must stay untouched.
        QByteArray out(input.size() + 15 + 8, char(0x5a));
        const auto *in = reinterpret_cast<const unsigned char *>(input.constData());
        auto *buffer = reinterpret_cast<unsigned char *>(out.data());
        const int room = input.size() + 15;
        const auto &key = builtinkeys::aesKey();
        QCOMPARE(AESCrypt::encrypt(in, input.size(), key, builtinkeys::aesIv(), buffer, room), -1);
        QCOMPARE(AESCrypt::decrypt(in, input.size(), key, builtinkeys::aesIv(), buffer, room), -1);
        QCOMPARE(out, QByteArray(out.size(), char(0x5a)));
    }

    void aesResultOutlivesScratchReuse()
    {
        QByteArray scratch;
        const QByteArray first = AESCrypt::aesEncrypt(QByteArray("first message"), scratch);
        const QByteArray firstCopy(first.constData(), first.size());
        QCOMPARE(AESCrypt::aesEncrypt(QByteArray(100, 's'), scratch).size(), 112);
        scratch.fill('\0');
        QCOMPARE(first, firstCopy);
        QByteArray out;
        QCOMPARE(AESCrypt::aesDecrypt(first, out), QByteArray("first message"));
    }
};

QTEST_GUILESS_MAIN(TestCrypto)
#include "tst_crypto.moc"
