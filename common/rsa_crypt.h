#pragma once

// Prepares the cryptographic library: error strings, all ciphers and all
// digests. Safe to call any number of times; returns 0.
int encrypt_init();

// Counterpart of encrypt_init(). The library releases its state by itself at
// process exit, so there is nothing to do; kept so callers stay paired.
void encrypt_cleanup();
