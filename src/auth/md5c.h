// SPDX-License-Identifier: GPL-2.0-or-later
// MD5 message digest (RFC 1321).
#pragma once

#include <cstddef>
#include <cstdint>

namespace talmir {

struct MD5_CTX {
    std::uint32_t state[4];
    std::uint32_t count[2];
    unsigned char buffer[64];
};

void MD5Init(MD5_CTX* context);
void MD5Update(MD5_CTX* context, const unsigned char* input, unsigned int inputLen);
void MD5Final(unsigned char digest[16], MD5_CTX* context);

// A 16-byte digest as 32 lowercase hexadecimal digits and a terminator.
void digest_hex(const unsigned char digest[16], char hex[33]);
// The digest of a text as 32 lowercase hexadecimal digits and a terminator.
void md2_hex(const unsigned char* datos, std::size_t n, char hex[33]);
void md5_hex(const unsigned char* datos, std::size_t n, char hex[33]);

}  // namespace talmir
