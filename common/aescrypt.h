#pragma once

#include <QByteArray>

#include <array>

// AES-256-CBC with PKCS#7 padding; the server list is encrypted with it.
// Stateless: every call stands alone.
class AESCrypt
{
public:
    static constexpr int KeySize = 32;
    static constexpr int IvSize = 16;
    static constexpr int BlockSize = 16;
    using Key = std::array<unsigned char, KeySize>;
    using Iv = std::array<unsigned char, IvSize>;

    // Writes every queued error of the cryptographic library to standard
    // error, one line each, and empties the queue. Does not stop the caller.
    static void handleErrors();

    // Encrypts `length` bytes into `out`, which holds `outSize` bytes and must
    // hold at least length + BlockSize. Returns the number of bytes written, or
    // -1 (nothing written) when the arguments do not fit.
    static int encrypt(const unsigned char *plaintext, int length, const Key &key, const Iv &iv, unsigned char *out,
                       int outSize);

    // The inverse, under the same size rule. When the final block does not
    // check out (wrong key, foreign data), the error goes to standard error and
    // the result holds only what came before that block.
    static int decrypt(const unsigned char *ciphertext, int length, const Key &key, const Iv &iv, unsigned char *out,
                       int outSize);

    // With the built-in key and IV. `out` is the caller's scratch buffer: it is
    // grown when too small and trimmed to the result, and the result shares its
    // bytes (implicitly shared, never a dangling view), so no copy is made.
    static QByteArray aesEncrypt(QByteArray data, QByteArray &out);
    static QByteArray aesDecrypt(QByteArray data, QByteArray &out);
};
