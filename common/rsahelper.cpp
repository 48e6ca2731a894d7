#include "rsahelper.h"

#include "builtinkeys.h"
#include "rsa_crypt.h"

#include <QByteArray>
#include <QLoggingCategory>
#include <QString>

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>

#include <algorithm>
#include <memory>

Q_LOGGING_CATEGORY(lcCrypto, "quorvia.crypto")

namespace {

using PKey = std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)>;
using PKeyCtx = std::unique_ptr<EVP_PKEY_CTX, decltype(&EVP_PKEY_CTX_free)>;
using Bio = std::unique_ptr<BIO, decltype(&BIO_free)>;

enum class KeyPart { Private, Public };

// Auth codes are short; anything near this size is a caller's mistake.
constexpr std::size_t MaxInputSize = 16 * 1024 * 1024;

QByteArray fromStd(const std::string &bytes)
{
    return QByteArray(bytes.data(), static_cast<int>(bytes.size()));
}

void logFailure(const char *what)
{
    encrypt_init();
    char text[256] = {};
    ERR_error_string_n(ERR_get_error(), text, sizeof text);
    ERR_clear_error();
    qCWarning(lcCrypto).noquote() << QLatin1String(what) + QString::fromLatin1(text);
}

PKey parseKey(KeyPart part)
{
    const QByteArray pem = QByteArray::fromBase64(
        fromStd(part == KeyPart::Private ? builtinkeys::rsaPrivateKeyText() : builtinkeys::rsaPublicKeyText()));
    const Bio bio(BIO_new_mem_buf(pem.constData(), pem.size()), &BIO_free);
    if (!bio)
        return PKey(nullptr, &EVP_PKEY_free);
    EVP_PKEY *key = part == KeyPart::Private ? PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr)
                                             : PEM_read_bio_PUBKEY(bio.get(), nullptr, nullptr, nullptr);
    if (key && !EVP_PKEY_is_a(key, "RSA")) {
        EVP_PKEY_free(key);
        key = nullptr;
    }
    return PKey(key, &EVP_PKEY_free);
}

// Reading a PEM key costs several times the RSA operation itself, so each
// built-in key is read once; a loaded key is only read from afterwards, which
// is safe from any thread.
EVP_PKEY *builtinKey(KeyPart part)
{
    if (part == KeyPart::Private) {
        static const PKey privateKey = parseKey(KeyPart::Private);
        return privateKey.get();
    }
    static const PKey publicKey = parseKey(KeyPart::Public);
    return publicKey.get();
}

// Applies the raw key operation to each k-byte block of input (the last one
// zero-filled); k is the modulus length. False on any failure.
bool transformBlocks(KeyPart part, const QByteArray &input, QByteArray &output)
{
    // Whatever an earlier, unrelated call left queued must not be reported as ours.
    ERR_clear_error();
    EVP_PKEY *key = builtinKey(part);
    if (!key)
        return false;
    const int k = EVP_PKEY_get_size(key);
    if (k <= 0)
        return false;
    const PKeyCtx ctx(EVP_PKEY_CTX_new(key, nullptr), &EVP_PKEY_CTX_free);
    if (!ctx)
        return false;
    const int init = part == KeyPart::Private ? EVP_PKEY_sign_init(ctx.get()) : EVP_PKEY_verify_recover_init(ctx.get());
    if (init != 1 || EVP_PKEY_CTX_set_rsa_padding(ctx.get(), RSA_NO_PADDING) != 1)
        return false;

    const int blocks = (input.size() + k - 1) / k;
    output.clear();
    output.reserve(blocks * k);
    QByteArray block(k, Qt::Uninitialized);
    QByteArray result(k, Qt::Uninitialized);
    for (int i = 0; i < blocks; ++i) {
        block.fill('\0');
        const int offset = i * k;
        const int count = std::min(k, input.size() - offset);
        std::copy_n(input.constData() + offset, count, block.data());

        size_t resultLength = static_cast<size_t>(k);
        const auto *in = reinterpret_cast<const unsigned char *>(block.constData());
        auto *out = reinterpret_cast<unsigned char *>(result.data());
        const int done = part == KeyPart::Private
                             ? EVP_PKEY_sign(ctx.get(), out, &resultLength, in, static_cast<size_t>(k))
                             : EVP_PKEY_verify_recover(ctx.get(), out, &resultLength, in, static_cast<size_t>(k));
        if (done != 1 || resultLength > static_cast<size_t>(k))
            return false;
        // Keep every block exactly k bytes wide, as a big-endian number.
        output.append(QByteArray(k - static_cast<int>(resultLength), '\0'));
        output.append(result.constData(), static_cast<int>(resultLength));
    }
    return true;
}

} // namespace

std::string RsaHelper::rsaEncryptToBase64(const std::string &message)
{
    if (message.empty() || message.size() > MaxInputSize)
        return {};
    QByteArray encoded;
    if (!transformBlocks(KeyPart::Private, fromStd(message), encoded)) {
        logFailure("Error encrypting message: ");
        encrypt_cleanup();
        return {};
    }
    encrypt_cleanup();
    return encoded.toBase64().toStdString();
}

std::string RsaHelper::rsaDencryptFromBase64(const std::string &text)
{
    encrypt_init();
    if (text.empty() || text.size() > MaxInputSize)
        return {};
    const QByteArray input = QByteArray::fromBase64(fromStd(text));
    if (input.isEmpty())
        return {};
    QByteArray decoded;
    if (!transformBlocks(KeyPart::Public, input, decoded)) {
        logFailure("Error decrypting message: ");
        encrypt_cleanup();
        return {};
    }
    encrypt_cleanup();
    const int end = decoded.indexOf('\0');
    return QString::fromUtf8(end < 0 ? decoded : decoded.left(end)).toUtf8().toStdString();
}
