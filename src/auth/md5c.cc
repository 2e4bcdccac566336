// SPDX-License-Identifier: GPL-2.0-or-later
// MD5 message digest, written from the description of the algorithm in
// RFC 1321 (its section 3), with an incremental interface: start, feed
// pieces, finish.
#include "auth/md5c.h"

#include <cstring>

namespace talmir {

namespace {

// The 64 constants of the four rounds: the integer part of 2^32 times
// abs(sin(i)) for i = 1 to 64, in the order they are used.
constexpr std::uint32_t K[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391,
};

// The left rotations: four per round, repeated over its sixteen steps.
constexpr unsigned GIRO[4][4] = {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};

constexpr std::uint32_t rota(std::uint32_t x, unsigned n) {
    return (x << n) | (x >> (32 - n));
}

std::uint32_t palabra_le(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

void pon_le(unsigned char* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

// One block of 64 bytes into the state: four rounds of sixteen steps, each
// round with its own function of b, c and d and its own order of the
// block's sixteen words.
void bloque(std::uint32_t estado[4], const unsigned char* p) {
    std::uint32_t m[16];
    for (std::size_t i = 0; i < 16; ++i) m[i] = palabra_le(p + 4 * i);
    std::uint32_t a = estado[0], b = estado[1], c = estado[2], d = estado[3];
    for (unsigned i = 0; i < 64; ++i) {
        const unsigned ronda = i / 16;
        std::uint32_t f = 0;
        unsigned g = 0;
        switch (ronda) {
            case 0:
                f = (b & c) | (~b & d);
                g = i;
                break;
            case 1:
                f = (b & d) | (c & ~d);
                g = 5 * i + 1;
                break;
            case 2:
                f = b ^ c ^ d;
                g = 3 * i + 5;
                break;
            default:
                f = c ^ (b | ~d);
                g = 7 * i;
                break;
        }
        const std::uint32_t nueva = b + rota(a + f + K[i] + m[g % 16], GIRO[ronda][i % 4]);
        a = d;
        d = c;
        c = b;
        b = nueva;
    }
    estado[0] += a;
    estado[1] += b;
    estado[2] += c;
    estado[3] += d;
    std::memset(m, 0, sizeof m);
}

}  // namespace

void MD5Init(MD5_CTX* context) {
    context->count[0] = context->count[1] = 0;
    context->state[0] = 0x67452301;
    context->state[1] = 0xefcdab89;
    context->state[2] = 0x98badcfe;
    context->state[3] = 0x10325476;
}

void MD5Update(MD5_CTX* context, const unsigned char* input, unsigned int inputLen) {
    // The bytes waiting in the buffer: the length so far, modulo 64.
    std::size_t hay = (context->count[0] >> 3) & 0x3f;
    const std::uint64_t bits =
        ((static_cast<std::uint64_t>(context->count[1]) << 32) | context->count[0]) +
        (static_cast<std::uint64_t>(inputLen) << 3);
    context->count[0] = static_cast<std::uint32_t>(bits);
    context->count[1] = static_cast<std::uint32_t>(bits >> 32);

    std::size_t resto = inputLen;
    while (resto > 0) {
        if (hay == 0 && resto >= 64) {
            bloque(context->state, input);
            input += 64;
            resto -= 64;
            continue;
        }
        const std::size_t n = resto < 64 - hay ? resto : 64 - hay;
        std::memcpy(context->buffer + hay, input, n);
        hay += n;
        input += n;
        resto -= n;
        if (hay == 64) {
            bloque(context->state, context->buffer);
            hay = 0;
        }
    }
}

void MD5Final(unsigned char digest[16], MD5_CTX* context) {
    // The length in bits, as it was before the padding.
    unsigned char largo[8];
    pon_le(largo, context->count[0]);
    pon_le(largo + 4, context->count[1]);
    // A one bit, zeros up to 56 bytes modulo 64, then the length.
    const std::size_t hay = (context->count[0] >> 3) & 0x3f;
    unsigned char relleno[64] = {0x80};
    MD5Update(context, relleno, static_cast<unsigned>(hay < 56 ? 56 - hay : 120 - hay));
    MD5Update(context, largo, 8);
    for (std::size_t i = 0; i < 4; ++i) pon_le(digest + 4 * i, context->state[i]);
    std::memset(context, 0, sizeof *context);
}

void digest_hex(const unsigned char digest[16], char hex[33]) {
    static constexpr char DIGITOS[] = "0123456789abcdef";
    for (std::size_t i = 0; i < 16; i++) {
        hex[2 * i] = DIGITOS[digest[i] >> 4];
        hex[2 * i + 1] = DIGITOS[digest[i] & 0xf];
    }
    hex[32] = '\0';
}

void md5_hex(const unsigned char* datos, std::size_t n, char hex[33]) {
    MD5_CTX ctx;
    unsigned char digest[16];
    MD5Init(&ctx);
    // The texts hashed here are a challenge and a password: a few hundred bytes.
    MD5Update(&ctx, datos, static_cast<unsigned int>(n));
    MD5Final(digest, &ctx);
    digest_hex(digest, hex);
}

}  // namespace talmir
