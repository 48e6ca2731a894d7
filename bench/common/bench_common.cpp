// Costs of the shared client library, each against a floor measured in the
// same run: the server list round trip against plain file I/O of the same
// size, and the RSA helpers against the bare key operation on a loaded key.

#include "aescrypt.h"
#include "benchsupport.h"
#include "builtinkeys.h"
#include "config.h"
#include "rsa_crypt.h"
#include "rsahelper.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLoggingCategory>
#include <QSaveFile>
#include <QTemporaryDir>

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace {

// Median wall time of one run of `work`, in microseconds.
double medianMicros(int runs, const std::function<void()> &work)
{
    return bench::medianMs(runs, work) * 1e3;
}

void report(const char *what, double micros, double floorMicros)
{
    std::printf("%-44s %10.1f us   floor %9.1f us   ratio %6.1f\n", what, micros, floorMicros, micros / floorMicros);
}

using PKey = std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)>;

PKey loadKey(bool isPrivate)
{
    const QByteArray pem = QByteArray::fromBase64(
        QByteArray::fromStdString(isPrivate ? builtinkeys::rsaPrivateKeyText() : builtinkeys::rsaPublicKeyText()));
    const std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new_mem_buf(pem.constData(), pem.size()), &BIO_free);
    return PKey(isPrivate ? PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr)
                          : PEM_read_bio_PUBKEY(bio.get(), nullptr, nullptr, nullptr),
                &EVP_PKEY_free);
}

// One raw block operation on an already loaded key: the least any encoding costs.
double rawBlockMicros(EVP_PKEY *key, bool isPrivate, const QByteArray &block, int runs)
{
    return medianMicros(runs, [&] {
        const std::unique_ptr<EVP_PKEY_CTX, decltype(&EVP_PKEY_CTX_free)> ctx(EVP_PKEY_CTX_new(key, nullptr),
                                                                              &EVP_PKEY_CTX_free);
        unsigned char out[1024];
        size_t outLength = sizeof out;
        const auto *in = reinterpret_cast<const unsigned char *>(block.constData());
        if (isPrivate) {
            EVP_PKEY_sign_init(ctx.get());
            EVP_PKEY_CTX_set_rsa_padding(ctx.get(), RSA_NO_PADDING);
            EVP_PKEY_sign(ctx.get(), out, &outLength, in, block.size());
        } else {
            EVP_PKEY_verify_recover_init(ctx.get());
            EVP_PKEY_CTX_set_rsa_padding(ctx.get(), RSA_NO_PADDING);
            EVP_PKEY_verify_recover(ctx.get(), out, &outLength, in, block.size());
        }
    });
}

void benchConfig(const QString &home)
{
    constexpr int Records = 1000;
    constexpr int Runs = 21;
    Config config;
    const QDateTime now = QDateTime::currentDateTime();
    for (int i = 0; i < Records; ++i) {
        const QString address = QStringLiteral("tqp://10.%1.%2.%3:9100").arg(i / 65536).arg(i / 256 % 256).arg(i % 256);
        config.servers.insert(address, ServerConfig{QStringLiteral("code-%1-xyzw").arg(i), address, now.addSecs(i)});
    }

    int loaded = 0;
    const double storeMicros = medianMicros(Runs, [&] {
        config.save();
        loaded = Config().servers.size();
    });
    const QByteArray bytes = [] {
        QFile file(Config::filePath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();

    const QString plainPath = home + QStringLiteral("/plain.bin");
    const double ioMicros = medianMicros(Runs, [&] {
        QSaveFile out(plainPath);
        if (out.open(QIODevice::WriteOnly)) {
            out.write(bytes);
            out.commit();
        }
        QFile in(plainPath);
        if (in.open(QIODevice::ReadOnly))
            in.readAll();
    });

    std::printf("server list: %d records, file %d bytes, %d loaded back\n", Records, int(bytes.size()), loaded);
    report("save + load (goal < 50000 us)", storeMicros, ioMicros);
}

void benchRsa()
{
    constexpr int Runs = 501;
    const std::string code = "A1b2C3d4E5f6";
    const std::string encoded = RsaHelper::rsaEncryptToBase64(code);

    const PKey privateKey = loadKey(true);
    const PKey publicKey = loadKey(false);
    const int k = EVP_PKEY_get_size(privateKey.get());
    QByteArray block(k, '\0');
    std::copy(code.begin(), code.end(), block.begin());
    const QByteArray encodedBlock = QByteArray::fromBase64(QByteArray::fromStdString(encoded));

    const double encodeMicros = medianMicros(Runs, [&] { RsaHelper::rsaEncryptToBase64(code); });
    const double decodeMicros = medianMicros(Runs, [&] { RsaHelper::rsaDencryptFromBase64(encoded); });
    std::printf("rsa: %d-bit key, %d-byte code, round trip %s\n", k * 8, int(code.size()),
                RsaHelper::rsaDencryptFromBase64(encoded) == code ? "ok" : "BROKEN");
    report("rsaEncryptToBase64 per call", encodeMicros, rawBlockMicros(privateKey.get(), true, block, Runs));
    report("rsaDencryptFromBase64 per call", decodeMicros, rawBlockMicros(publicKey.get(), false, encodedBlock, Runs));
}

} // namespace

int main(int argc, char *argv[])
{
    // Keep the benchmark's server list away from the user's own.
    QTemporaryDir home;
    if (!home.isValid())
        return 1;
    qputenv("HOME", QFile::encodeName(home.path()));
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("quorvia.config.info=false"));
    encrypt_init();

    benchConfig(home.path());
    benchRsa();
    return 0;
}
