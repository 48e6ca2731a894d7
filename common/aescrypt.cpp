#include "aescrypt.h"

#include "builtinkeys.h"

#include <openssl/err.h>
#include <openssl/evp.h>

#include <climits>
#include <cstdio>
#include <memory>

namespace {

enum class Direction { Decrypt = 0, Encrypt = 1 };

bool fitsInto(int length, int outSize)
{
    return length >= 0 && length <= INT_MAX - AESCrypt::BlockSize && outSize >= length + AESCrypt::BlockSize;
}

int runCipher(Direction direction, const unsigned char *in, int length, const AESCrypt::Key &key,
              const AESCrypt::Iv &iv, unsigned char *out, int outSize)
{
    if (!in || !out || !fitsInto(length, outSize))
        return -1;

    const std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> ctx(EVP_CIPHER_CTX_new(),
                                                                              &EVP_CIPHER_CTX_free);
    if (!ctx) {
        AESCrypt::handleErrors();
        return 0;
    }
    if (EVP_CipherInit_ex(ctx.get(), EVP_aes_256_cbc(), nullptr, key.data(), iv.data(), static_cast<int>(direction))
        != 1) {
        AESCrypt::handleErrors();
        return 0;
    }
    int updateLength = 0;
    if (EVP_CipherUpdate(ctx.get(), out, &updateLength, in, length) != 1) {
        AESCrypt::handleErrors();
        return 0;
    }
    // A failing final step (bad padding) still leaves the bytes released so far.
    int finalLength = 0;
    if (EVP_CipherFinal_ex(ctx.get(), out + updateLength, &finalLength) != 1) {
        AESCrypt::handleErrors();
        finalLength = 0;
    }
    return updateLength + finalLength;
}

QByteArray runBuiltin(Direction direction, const QByteArray &data, QByteArray &out)
{
    if (data.size() > INT_MAX - AESCrypt::BlockSize - 64)
        return {};
    const int needed = data.size() + AESCrypt::BlockSize;
    if (out.size() < needed)
        out.resize(needed);
    const int written = runCipher(direction, reinterpret_cast<const unsigned char *>(data.constData()), data.size(),
                                  builtinkeys::aesKey(), builtinkeys::aesIv(),
                                  reinterpret_cast<unsigned char *>(out.data()), out.size());
    if (written < 0)
        return {};
    out.truncate(written);
    return out;
}

} // namespace

void AESCrypt::handleErrors()
{
    ERR_print_errors_fp(stderr);
}

int AESCrypt::encrypt(const unsigned char *plaintext, int length, const Key &key, const Iv &iv, unsigned char *out,
                      int outSize)
{
    return runCipher(Direction::Encrypt, plaintext, length, key, iv, out, outSize);
}

int AESCrypt::decrypt(const unsigned char *ciphertext, int length, const Key &key, const Iv &iv, unsigned char *out,
                      int outSize)
{
    return runCipher(Direction::Decrypt, ciphertext, length, key, iv, out, outSize);
}

QByteArray AESCrypt::aesEncrypt(QByteArray data, QByteArray &out)
{
    return runBuiltin(Direction::Encrypt, data, out);
}

QByteArray AESCrypt::aesDecrypt(QByteArray data, QByteArray &out)
{
    return runBuiltin(Direction::Decrypt, data, out);
}
