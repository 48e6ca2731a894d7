#include "builtinkeys.h"

#include "builtinkeys_data.h"

#include <algorithm>

namespace builtinkeys {

namespace {
template<std::size_t N>
std::array<unsigned char, N> toArray(const unsigned char (&bytes)[N])
{
    std::array<unsigned char, N> result{};
    std::copy(std::begin(bytes), std::end(bytes), result.begin());
    return result;
}
} // namespace

const std::string &rsaPublicKeyText()
{
    static const std::string text(builtinkeys_data::rsaPublicKey);
    return text;
}

const std::string &rsaPrivateKeyText()
{
    static const std::string text(builtinkeys_data::rsaPrivateKey);
    return text;
}

const std::array<unsigned char, 32> &aesKey()
{
    static const auto key = toArray(builtinkeys_data::aesKey);
    return key;
}

const std::array<unsigned char, 16> &aesIv()
{
    static const auto iv = toArray(builtinkeys_data::aesIv);
    return iv;
}

} // namespace builtinkeys
