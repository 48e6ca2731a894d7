#include "aescrypt.h"
#include "builtinkeys.h"
#include "logcapture.h"
#include "rsahelper.h"

#include <QtTest>

namespace {

// The modulus length of the built-in key, 1024 bits as the backend expects:
// a code takes one such block per 128 bytes, 172 Base64 characters.
constexpr int K = 128;

QByteArray rsaEncode(const QByteArray &message)
{
    return QByteArray::fromStdString(RsaHelper::rsaEncryptToBase64(message.toStdString()));
}

QByteArray rsaDecode(const QByteArray &text)
{
    return QByteArray::fromStdString(RsaHelper::rsaDencryptFromBase64(text.toStdString()));
}

const unsigned char *bytes(const QByteArray &data)
{
    return reinterpret_cast<const unsigned char *>(data.constData());
}

} // namespace

class TestCrypto : public QObject
{
    Q_OBJECT

private slots:
    void rsaRoundTrip_data()
    {
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<int>("textLength");
        QTest::addColumn<QByteArray>("expected");
        const auto row = [](const char *name, const QByteArray &message, int textLength) {
            QTest::newRow(name) << message << textLength << message;
        };
        row("code with spaces", "  8F3k q2Lz  ", 172);
        row("utf-8", QStringLiteral("Größe-認証コード").toUtf8(), 172);
        row("1 byte", "x", 172);
        row("128 bytes", QByteArray(128, 'x'), 172);
        row("129 bytes", QByteArray(129, 'y'), 344);
        row("256 bytes", QByteArray(256, 'z'), 344);
        row("257 bytes", QByteArray(257, 'q'), 512);
        QTest::newRow("cut at zero byte") << QByteArray("abc\0def", 7) << 172 << QByteArray("abc");
    }

    // K bytes per block as one line of standard Base64; the decoder skips
    // line breaks and other foreign characters.
    void rsaRoundTrip()
    {
        QFETCH(QByteArray, message);
        QFETCH(int, textLength);
        QFETCH(QByteArray, expected);
        const QByteArray text = rsaEncode(message);
        QCOMPARE(text.size(), textLength);
        QCOMPARE(QByteArray::fromBase64(text).toBase64(), text);
        QCOMPARE(rsaDecode(text), expected);

        QByteArray wrapped = " \t" + text;
        for (int i = 66; i < wrapped.size(); i += 66)
            wrapped.insert(i, "\r\n");
        QCOMPARE(rsaDecode(wrapped), expected);
    }

    void rsaFailures_data()
    {
        QTest::addColumn<bool>("encode");
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QString>("warning"); // the only log line, or none when empty

        // A good first block followed by one of all 0xff bytes: the whole result is dropped.
        const QByteArray tooLarge = QByteArray(K, 'a') + QByteArray(K, char(0xff));
        QTest::newRow("encode empty") << true << QByteArray() << QString();
        QTest::newRow("decode empty") << false << QByteArray() << QString();
        QTest::newRow("decode no base64 at all") << false << QByteArray("!!**??") << QString();
        QTest::newRow("encode block not below modulus")
            << true << tooLarge << QStringLiteral("Error encrypting message: ");
        QTest::newRow("decode block not below modulus")
            << false << tooLarge.toBase64() << QStringLiteral("Error decrypting message: ");
    }

    void rsaFailures()
    {
        QFETCH(bool, encode);
        QFETCH(QByteArray, input);
        QFETCH(QString, warning);
        const LogCapture log("quorvia.crypto");
        QCOMPARE(encode ? rsaEncode(input) : rsaDecode(input), QByteArray());
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
        QTemporaryDir dir;
        QFile key(dir.filePath(QStringLiteral("public.pem")));
        QFile block(dir.filePath(QStringLiteral("block.bin")));
        QVERIFY(key.open(QIODevice::WriteOnly)
                && key.write(QByteArray::fromBase64(QByteArray::fromStdString(builtinkeys::rsaPublicKeyText()))) > 0);
        QVERIFY(block.open(QIODevice::WriteOnly) && block.write(QByteArray::fromBase64(rsaEncode(message))) == K);
        key.close();
        block.close();

        QProcess openssl;
        const QString command = QStringLiteral("pkeyutl -verifyrecover -pubin -pkeyopt rsa_padding_mode:none"
                                               " -inkey %1 -in %2");
        openssl.start(QStringLiteral("openssl"), command.arg(key.fileName(), block.fileName()).split(QLatin1Char(' ')));
        QVERIFY(openssl.waitForFinished(10000));
        QCOMPARE(openssl.exitCode(), 0);
        QCOMPARE(openssl.readAllStandardOutput(), message + QByteArray(K - message.size(), '\0'));
    }

    // NIST SP 800-38A, F.2.5 (CBC-AES256.Encrypt), first block.
    void aesKnownAnswer()
    {
        AESCrypt::Key key;
        AESCrypt::Iv iv;
        const QByteArray keyBytes =
            QByteArray::fromHex("603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4");
        const QByteArray ivBytes = QByteArray::fromHex("000102030405060708090a0b0c0d0e0f");
        std::copy(keyBytes.cbegin(), keyBytes.cend(), key.begin());
        std::copy(ivBytes.cbegin(), ivBytes.cend(), iv.begin());
        const QByteArray plain = QByteArray::fromHex("6bc1bee22e409f96e93d7e117393172a");

        QByteArray out(32, '\0');
        QCOMPARE(AESCrypt::encrypt(bytes(plain), 16, key, iv, reinterpret_cast<unsigned char *>(out.data()), 32), 32);
        QCOMPARE(out.left(16).toHex(), QByteArray("f58c4c04d6e5f1ba779eabfb5f7bfbd6"));
    }

    // With the built-in key, through the caller's scratch buffer: the result
    // outlives the buffer's reuse, and a larger buffer is cut to the result.
    // (fuzz.config_json loads texts of any length through it.)
    void aesScratchBuffer()
    {
        const QByteArray plain("first message");
        QByteArray scratch;
        const QByteArray cipher = AESCrypt::aesEncrypt(plain, scratch);
        const QByteArray copy(cipher.constData(), cipher.size());
        QCOMPARE(cipher.size(), 16);
        AESCrypt::aesEncrypt(QByteArray("other message"), scratch); // fits in place: a view would change
        scratch.fill('\0');
        QCOMPARE(cipher, copy);
        QByteArray larger(2 * cipher.size(), '\0'); // the size the store hands in
        QCOMPARE(AESCrypt::aesDecrypt(cipher, larger), plain);
    }

    void aesOutputBufferTooSmall()
    {
        const QByteArray input(32, 'p');
        // Room for input + 15 bytes only; the guard bytes behind it must stay untouched.
        QByteArray out(input.size() + 15 + 8, char(0x5a));
        auto *buffer = reinterpret_cast<unsigned char *>(out.data());
        const int room = input.size() + 15;
        const auto &key = builtinkeys::aesKey();
        QCOMPARE(AESCrypt::encrypt(bytes(input), input.size(), key, builtinkeys::aesIv(), buffer, room), -1);
        QCOMPARE(AESCrypt::decrypt(bytes(input), input.size(), key, builtinkeys::aesIv(), buffer, room), -1);
        QCOMPARE(out, QByteArray(out.size(), char(0x5a)));
    }
};

QTEST_GUILESS_MAIN(TestCrypto)
#include "tst_crypto.moc"
