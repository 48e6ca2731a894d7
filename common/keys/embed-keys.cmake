# Turns the key files into a C++ header (run at build time with cmake -P).
# In: RSA_PUBLIC_FILE, RSA_PRIVATE_FILE, AES_KEY_FILE, AES_IV_FILE, OUTPUT.

function(read_trimmed var file)
  if(NOT EXISTS "${file}")
    message(FATAL_ERROR "Key file not found: ${file}")
  endif()
  file(READ "${file}" text)
  string(STRIP "${text}" text)
  set(${var} "${text}" PARENT_SCOPE)
endfunction()

function(read_base64_line var file)
  read_trimmed(text "${file}")
  if(NOT text MATCHES "^[A-Za-z0-9+/]+=?=?$")
    message(FATAL_ERROR "${file}: expected one line of standard Base64")
  endif()
  string(LENGTH "${text}" len)
  math(EXPR rest "${len} % 4")
  if(NOT rest EQUAL 0)
    message(FATAL_ERROR "${file}: Base64 text length ${len} is not a multiple of 4")
  endif()
  set(${var} "${text}" PARENT_SCOPE)
endfunction()

# Hex digits to a C initialiser list such as 0x1f, 0xa0
function(read_hex_bytes var file bytes)
  read_trimmed(text "${file}")
  math(EXPR digits "${bytes} * 2")
  string(LENGTH "${text}" len)
  if(NOT text MATCHES "^[0-9A-Fa-f]+$" OR NOT len EQUAL digits)
    message(FATAL_ERROR "${file}: expected ${digits} hexadecimal digits (${bytes} bytes)")
  endif()
  string(REGEX REPLACE "([0-9A-Fa-f][0-9A-Fa-f])" "0x\\1, " list "${text}")
  string(REGEX REPLACE ", $" "" list "${list}")
  set(${var} "${list}" PARENT_SCOPE)
endfunction()

read_base64_line(rsa_public "${RSA_PUBLIC_FILE}")
read_base64_line(rsa_private "${RSA_PRIVATE_FILE}")
read_hex_bytes(aes_key "${AES_KEY_FILE}" 32)
read_hex_bytes(aes_iv "${AES_IV_FILE}" 16)

file(WRITE "${OUTPUT}.tmp" "// Generated at build time from the configured key files. Do not edit.
#pragma once

namespace builtinkeys_data {
constexpr char rsaPublicKey[] = \"${rsa_public}\";
constexpr char rsaPrivateKey[] = \"${rsa_private}\";
constexpr unsigned char aesKey[32] = { ${aes_key} };
constexpr unsigned char aesIv[16] = { ${aes_iv} };
}
")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
