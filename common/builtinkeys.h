#pragma once

#include <array>
#include <string>

// Key material compiled into the library from the files chosen when the
// project is configured (QUORVIA_RSA_PUBLIC_KEY_FILE and friends).
namespace builtinkeys {

// One line of standard Base64 whose content is the PEM public key block
// (SubjectPublicKeyInfo); whoever decodes the encoded auth codes needs it.
const std::string &rsaPublicKeyText();

// One line of standard Base64 whose content is the PEM PKCS#1 private key
// block of the same pair.
const std::string &rsaPrivateKeyText();

// AES-256 key and the fixed IV of the server list.
const std::array<unsigned char, 32> &aesKey();
const std::array<unsigned char, 16> &aesIv();

} // namespace builtinkeys
