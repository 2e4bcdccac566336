// MD5 message digest (RFC 1321), with the incremental interface of the
// reference implementation printed in the RFC.
#include "auth/md5c.h"

#include <cstring>

namespace talmir {

namespace {

constexpr unsigned S11 = 7, S12 = 12, S13 = 17, S14 = 22;
constexpr unsigned S21 = 5, S22 = 9, S23 = 14, S24 = 20;
constexpr unsigned S31 = 4, S32 = 11, S33 = 16, S34 = 23;
constexpr unsigned S41 = 6, S42 = 10, S43 = 15, S44 = 21;

constexpr unsigned char PADDING[64] = {0x80};

using UINT4 = std::uint32_t;

constexpr UINT4 F(UINT4 x, UINT4 y, UINT4 z) {
    return (x & y) | (~x & z);
}
constexpr UINT4 G(UINT4 x, UINT4 y, UINT4 z) {
    return (x & z) | (y & ~z);
}
constexpr UINT4 H(UINT4 x, UINT4 y, UINT4 z) {
    return x ^ y ^ z;
}
constexpr UINT4 I(UINT4 x, UINT4 y, UINT4 z) {
    return y ^ (x | ~z);
}
constexpr UINT4 ROTATE_LEFT(UINT4 x, unsigned n) {
    return (x << n) | (x >> (32 - n));
}

inline void FF(UINT4& a, UINT4 b, UINT4 c, UINT4 d, UINT4 x, unsigned s, UINT4 ac) {
    a += F(b, c, d) + x + ac;
    a = ROTATE_LEFT(a, s) + b;
}
inline void GG(UINT4& a, UINT4 b, UINT4 c, UINT4 d, UINT4 x, unsigned s, UINT4 ac) {
    a += G(b, c, d) + x + ac;
    a = ROTATE_LEFT(a, s) + b;
}
inline void HH(UINT4& a, UINT4 b, UINT4 c, UINT4 d, UINT4 x, unsigned s, UINT4 ac) {
    a += H(b, c, d) + x + ac;
    a = ROTATE_LEFT(a, s) + b;
}
inline void II(UINT4& a, UINT4 b, UINT4 c, UINT4 d, UINT4 x, unsigned s, UINT4 ac) {
    a += I(b, c, d) + x + ac;
    a = ROTATE_LEFT(a, s) + b;
}

// Words to bytes, least significant byte first; len is a multiple of 4.
void Encode(unsigned char* output, const UINT4* input, unsigned len) {
    for (unsigned i = 0, j = 0; j < len; i++, j += 4) {
        output[j] = static_cast<unsigned char>(input[i] & 0xff);
        output[j + 1] = static_cast<unsigned char>((input[i] >> 8) & 0xff);
        output[j + 2] = static_cast<unsigned char>((input[i] >> 16) & 0xff);
        output[j + 3] = static_cast<unsigned char>((input[i] >> 24) & 0xff);
    }
}

// Bytes to words, least significant byte first; len is a multiple of 4.
void Decode(UINT4* output, const unsigned char* input, unsigned len) {
    for (unsigned i = 0, j = 0; j < len; i++, j += 4) {
        output[i] = static_cast<UINT4>(input[j]) | (static_cast<UINT4>(input[j + 1]) << 8) |
                    (static_cast<UINT4>(input[j + 2]) << 16) |
                    (static_cast<UINT4>(input[j + 3]) << 24);
    }
}

// Digests one 64-byte block into the state.
void MD5Transform(UINT4 state[4], const unsigned char block[64]) {
    UINT4 a = state[0], b = state[1], c = state[2], d = state[3], x[16];
    Decode(x, block, 64);

    // Round 1
    FF(a, b, c, d, x[0], S11, 0xd76aa478);
    FF(d, a, b, c, x[1], S12, 0xe8c7b756);
    FF(c, d, a, b, x[2], S13, 0x242070db);
    FF(b, c, d, a, x[3], S14, 0xc1bdceee);
    FF(a, b, c, d, x[4], S11, 0xf57c0faf);
    FF(d, a, b, c, x[5], S12, 0x4787c62a);
    FF(c, d, a, b, x[6], S13, 0xa8304613);
    FF(b, c, d, a, x[7], S14, 0xfd469501);
    FF(a, b, c, d, x[8], S11, 0x698098d8);
    FF(d, a, b, c, x[9], S12, 0x8b44f7af);
    FF(c, d, a, b, x[10], S13, 0xffff5bb1);
    FF(b, c, d, a, x[11], S14, 0x895cd7be);
    FF(a, b, c, d, x[12], S11, 0x6b901122);
    FF(d, a, b, c, x[13], S12, 0xfd987193);
    FF(c, d, a, b, x[14], S13, 0xa679438e);
    FF(b, c, d, a, x[15], S14, 0x49b40821);

    // Round 2
    GG(a, b, c, d, x[1], S21, 0xf61e2562);
    GG(d, a, b, c, x[6], S22, 0xc040b340);
    GG(c, d, a, b, x[11], S23, 0x265e5a51);
    GG(b, c, d, a, x[0], S24, 0xe9b6c7aa);
    GG(a, b, c, d, x[5], S21, 0xd62f105d);
    GG(d, a, b, c, x[10], S22, 0x02441453);
    GG(c, d, a, b, x[15], S23, 0xd8a1e681);
    GG(b, c, d, a, x[4], S24, 0xe7d3fbc8);
    GG(a, b, c, d, x[9], S21, 0x21e1cde6);
    GG(d, a, b, c, x[14], S22, 0xc33707d6);
    GG(c, d, a, b, x[3], S23, 0xf4d50d87);
    GG(b, c, d, a, x[8], S24, 0x455a14ed);
    GG(a, b, c, d, x[13], S21, 0xa9e3e905);
    GG(d, a, b, c, x[2], S22, 0xfcefa3f8);
    GG(c, d, a, b, x[7], S23, 0x676f02d9);
    GG(b, c, d, a, x[12], S24, 0x8d2a4c8a);

    // Round 3
    HH(a, b, c, d, x[5], S31, 0xfffa3942);
    HH(d, a, b, c, x[8], S32, 0x8771f681);
    HH(c, d, a, b, x[11], S33, 0x6d9d6122);
    HH(b, c, d, a, x[14], S34, 0xfde5380c);
    HH(a, b, c, d, x[1], S31, 0xa4beea44);
    HH(d, a, b, c, x[4], S32, 0x4bdecfa9);
    HH(c, d, a, b, x[7], S33, 0xf6bb4b60);
    HH(b, c, d, a, x[10], S34, 0xbebfbc70);
    HH(a, b, c, d, x[13], S31, 0x289b7ec6);
    HH(d, a, b, c, x[0], S32, 0xeaa127fa);
    HH(c, d, a, b, x[3], S33, 0xd4ef3085);
    HH(b, c, d, a, x[6], S34, 0x04881d05);
    HH(a, b, c, d, x[9], S31, 0xd9d4d039);
    HH(d, a, b, c, x[12], S32, 0xe6db99e5);
    HH(c, d, a, b, x[15], S33, 0x1fa27cf8);
    HH(b, c, d, a, x[2], S34, 0xc4ac5665);

    // Round 4
    II(a, b, c, d, x[0], S41, 0xf4292244);
    II(d, a, b, c, x[7], S42, 0x432aff97);
    II(c, d, a, b, x[14], S43, 0xab9423a7);
    II(b, c, d, a, x[5], S44, 0xfc93a039);
    II(a, b, c, d, x[12], S41, 0x655b59c3);
    II(d, a, b, c, x[3], S42, 0x8f0ccc92);
    II(c, d, a, b, x[10], S43, 0xffeff47d);
    II(b, c, d, a, x[1], S44, 0x85845dd1);
    II(a, b, c, d, x[8], S41, 0x6fa87e4f);
    II(d, a, b, c, x[15], S42, 0xfe2ce6e0);
    II(c, d, a, b, x[6], S43, 0xa3014314);
    II(b, c, d, a, x[13], S44, 0x4e0811a1);
    II(a, b, c, d, x[4], S41, 0xf7537e82);
    II(d, a, b, c, x[11], S42, 0xbd3af235);
    II(c, d, a, b, x[2], S43, 0x2ad7d2bb);
    II(b, c, d, a, x[9], S44, 0xeb86d391);

    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;

    std::memset(x, 0, sizeof x);
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
    // Bytes already waiting in the buffer, modulo 64.
    unsigned index = (context->count[0] >> 3) & 0x3f;

    // The length in bits, carried into the high word.
    UINT4 bits = static_cast<UINT4>(inputLen) << 3;
    if ((context->count[0] += bits) < bits) context->count[1]++;
    context->count[1] += static_cast<UINT4>(inputLen) >> 29;

    unsigned partLen = 64 - index;
    unsigned i = 0;
    if (inputLen >= partLen) {
        std::memcpy(context->buffer + index, input, partLen);
        MD5Transform(context->state, context->buffer);
        for (i = partLen; i + 63 < inputLen; i += 64) MD5Transform(context->state, input + i);
        index = 0;
    }
    if (inputLen > i) std::memcpy(context->buffer + index, input + i, inputLen - i);
}

void MD5Final(unsigned char digest[16], MD5_CTX* context) {
    unsigned char bits[8];
    Encode(bits, context->count, 8);

    // Pad out to 56 mod 64, then the length.
    unsigned index = (context->count[0] >> 3) & 0x3f;
    unsigned padLen = (index < 56) ? (56 - index) : (120 - index);
    MD5Update(context, PADDING, padLen);
    MD5Update(context, bits, 8);

    Encode(digest, context->state, 16);
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
