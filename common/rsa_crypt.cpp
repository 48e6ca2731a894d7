#include "rsa_crypt.h"

#include <openssl/crypto.h>

int encrypt_init()
{
    OPENSSL_init_crypto(OPENSSL_INIT_LOAD_CRYPTO_STRINGS | OPENSSL_INIT_ADD_ALL_CIPHERS | OPENSSL_INIT_ADD_ALL_DIGESTS,
                        nullptr);
    return 0;
}

void encrypt_cleanup()
{ }
