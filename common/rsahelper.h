#pragma once

#include <string>

// Raw RSA (no padding scheme) over modulus-sized blocks with the built-in key
// pair, carried as Base64 text. Used to hand auth codes to the print backend
// without passing them in clear. Stateless and deterministic.
class RsaHelper
{
public:
    // Transforms the message block by block with the private key (the last
    // block zero-filled) and returns the Base64 text, or an empty string for an
    // empty message or on failure (a block not below the modulus, a bad key).
    static std::string rsaEncryptToBase64(const std::string &message);

    // The inverse with the public key. The result ends before the first zero
    // byte, so a message holding one comes back cut there. Empty on failure.
    static std::string rsaDencryptFromBase64(const std::string &text);
};
