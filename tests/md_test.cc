// SPDX-License-Identifier: GPL-2.0-or-later
// MD2 and MD5 against the test suites of RFC 1319 and RFC 1321, and at the
// padding boundaries of each.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "auth/md2c.h"
#include "auth/md5c.h"

namespace {

using talmir::md2_hex;
using talmir::md5_hex;

struct Caso {
    const char* texto;
    const char* md2;
    const char* md5;
};

// The seven strings of both RFCs' test suites.
constexpr Caso RFC[] = {
    {"", "8350e5a3e24c153df2275c9f80692773", "d41d8cd98f00b204e9800998ecf8427e"},
    {"a", "32ec01ec4a6dac72c0ab96fb34c0b5d1", "0cc175b9c0f1b6a831c399e269772661"},
    {"abc", "da853b0d3f88d99b30283a69e6ded6bb", "900150983cd24fb0d6963f7d28e17f72"},
    {"message digest", "ab4f496bfb2a530b219ff33031fe06b0", "f96b697d7cb7938d525a2f31aaf161d0"},
    {"abcdefghijklmnopqrstuvwxyz", "4e8ddff3650292ab5a4108c3aa47940b",
     "c3fcd3d76192e4007dfb496cca67e13b"},
    {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
     "da33def2a42df13975352846c30338cd", "d174ab98d277d9f5a5611c2c9f419d9f"},
    {"1234567890123456789012345678901234567890123456789012345678901234567890123456"
     "7890",
     "d5976f79d83d3a0dc9806c3c66f3efd8", "57edf4a22be3c955ac49da2e2107b67a"},
};

const unsigned char* bytes(const std::string& s) {
    return reinterpret_cast<const unsigned char*>(s.data());
}

std::string hex(const unsigned char d[16]) {
    static const char* const D = "0123456789abcdef";
    std::string s;
    for (int i = 0; i < 16; i++) {
        s += D[d[i] >> 4];
        s += D[d[i] & 0xf];
    }
    return s;
}

// n letters a, b, c, ... z, a, b, ...
std::string letras(std::size_t n) {
    std::string s;
    for (std::size_t i = 0; i < n; i++) s += static_cast<char>('a' + i % 26);
    return s;
}

// The digest of the text fed in pieces of the given size.
std::string md2_trozos(const std::string& s, std::size_t trozo) {
    talmir::MD2_CTX ctx;
    talmir::MD2Init(&ctx);
    for (std::size_t i = 0; i < s.size(); i += trozo) {
        std::size_t n = std::min(trozo, s.size() - i);
        talmir::MD2Update(&ctx, bytes(s) + i, static_cast<unsigned>(n));
    }
    unsigned char d[16];
    talmir::MD2Final(d, &ctx);
    return hex(d);
}

std::string md5_trozos(const std::string& s, std::size_t trozo) {
    talmir::MD5_CTX ctx;
    talmir::MD5Init(&ctx);
    for (std::size_t i = 0; i < s.size(); i += trozo) {
        std::size_t n = std::min(trozo, s.size() - i);
        talmir::MD5Update(&ctx, bytes(s) + i, static_cast<unsigned>(n));
    }
    unsigned char d[16];
    talmir::MD5Final(d, &ctx);
    return hex(d);
}

TEST(Md, SuitesOfTheRfcs) {
    for (const Caso& c : RFC) {
        char h[33];
        md2_hex(reinterpret_cast<const unsigned char*>(c.texto), std::strlen(c.texto), h);
        EXPECT_STREQ(h, c.md2) << '"' << c.texto << '"';
        md5_hex(reinterpret_cast<const unsigned char*>(c.texto), std::strlen(c.texto), h);
        EXPECT_STREQ(h, c.md5) << '"' << c.texto << '"';
    }
}

TEST(Md, Md2PaddingBoundaries) {
    const struct {
        std::size_t n;
        const char* md2;
    } casos[] = {
        {15, "879f1ddf42343b52e24e125a0f341b2f"}, {16, "7f17759865db3f1cd4f77daa7b203a72"},
        {17, "1dad5ac3d40d6d941ba781a6ef3e5dfe"}, {31, "e652e240b56075db2a006652a7351dd0"},
        {32, "658390b7b7a6fbd1d86a820d8787a8e1"}, {33, "b28343990d2b602363dd30992c729349"},
    };
    for (const auto& c : casos) {
        std::string s = letras(c.n);
        char h[33];
        md2_hex(bytes(s), s.size(), h);
        EXPECT_STREQ(h, c.md2) << c.n << " bytes";
    }
}

TEST(Md, Md5PaddingBoundaries) {
    const struct {
        std::size_t n;
        const char* md5;
    } casos[] = {
        {55, "0d7ae056b2f015cd7dc67494efd658f1"},  {56, "31fcfb5165169eb55898e7e4cf34d19a"},
        {63, "1b30c0670c15e7da3c2ba7bce77ebe99"},  {64, "a2eaf6295c32adc403865fd96a2f182b"},
        {65, "eba2cce0ca8df47e62414a736b3105a2"},  {119, "b05187e08da41fa3ef16bd56afaafd99"},
        {120, "62af9b597a9f55e16ab2b897387fc052"}, {128, "3e8c1ccbd71838ef3df4b72e57fb9bf6"},
    };
    for (const auto& c : casos) {
        std::string s = letras(c.n);
        char h[33];
        md5_hex(bytes(s), s.size(), h);
        EXPECT_STREQ(h, c.md5) << c.n << " bytes";
    }
}

// Feeding a text in several Update calls gives the digest of one call, for
// every piece size that splits the blocks differently.
TEST(Md, PiecesGiveTheDigestOfOneCall) {
    for (std::size_t n : {0u, 1u, 15u, 16u, 17u, 47u, 55u, 56u, 63u, 64u, 65u, 130u, 300u}) {
        std::string s = letras(n);
        char h2[33], h5[33];
        md2_hex(bytes(s), s.size(), h2);
        md5_hex(bytes(s), s.size(), h5);
        for (std::size_t trozo : {1u, 3u, 7u, 15u, 16u, 17u, 63u, 64u, 65u}) {
            EXPECT_EQ(md2_trozos(s, trozo), h2) << n << " bytes in pieces of " << trozo;
            EXPECT_EQ(md5_trozos(s, trozo), h5) << n << " bytes in pieces of " << trozo;
        }
    }
}

// Final clears the whole context, so nothing of the text stays in memory.
TEST(Md, FinalClearsTheContext) {
    std::string s = letras(40);
    unsigned char d[16];
    unsigned char cero[sizeof(talmir::MD5_CTX)] = {};

    talmir::MD2_CTX c2;
    talmir::MD2Init(&c2);
    talmir::MD2Update(&c2, bytes(s), static_cast<unsigned>(s.size()));
    talmir::MD2Final(d, &c2);
    EXPECT_EQ(std::memcmp(&c2, cero, sizeof c2), 0);

    talmir::MD5_CTX c5;
    talmir::MD5Init(&c5);
    talmir::MD5Update(&c5, bytes(s), static_cast<unsigned>(s.size()));
    talmir::MD5Final(d, &c5);
    EXPECT_EQ(std::memcmp(&c5, cero, sizeof c5), 0);
}

}  // namespace
