// MD2 message digest (RFC 1319), with the incremental interface of the
// reference implementation printed in the RFC.
#include "auth/md2c.h"

#include <cstring>

#include "auth/md5c.h"

namespace talmir {

namespace {

// Permutation of 0..255 built from the digits of pi (RFC 1319).
constexpr unsigned char PI_SUBST[256] = {
    41,  46,  67,  201, 162, 216, 124, 1,   61,  54,  84,  161, 236, 240, 6,   19,  98,  167, 5,
    243, 192, 199, 115, 140, 152, 147, 43,  217, 188, 76,  130, 202, 30,  155, 87,  60,  253, 212,
    224, 22,  103, 66,  111, 24,  138, 23,  229, 18,  190, 78,  196, 214, 218, 158, 222, 73,  160,
    251, 245, 142, 187, 47,  238, 122, 169, 104, 121, 145, 21,  178, 7,   63,  148, 194, 16,  137,
    11,  34,  95,  33,  128, 127, 93,  154, 90,  144, 50,  39,  53,  62,  204, 231, 191, 247, 151,
    3,   255, 25,  48,  179, 72,  165, 181, 209, 215, 94,  146, 42,  172, 86,  170, 198, 79,  184,
    56,  210, 150, 164, 125, 182, 118, 252, 107, 226, 156, 116, 4,   241, 69,  157, 112, 89,  100,
    113, 135, 32,  134, 91,  207, 101, 230, 45,  168, 2,   27,  96,  37,  173, 174, 176, 185, 246,
    28,  70,  97,  105, 52,  64,  126, 15,  85,  71,  163, 35,  221, 81,  175, 58,  195, 92,  249,
    206, 186, 197, 234, 38,  44,  83,  13,  110, 133, 40,  132, 9,   211, 223, 205, 244, 65,  129,
    77,  82,  106, 220, 55,  200, 108, 193, 171, 250, 36,  225, 123, 8,   12,  189, 177, 74,  120,
    136, 149, 139, 227, 99,  232, 109, 233, 203, 213, 254, 59,  0,   29,  57,  242, 239, 183, 14,
    102, 88,  208, 228, 166, 119, 114, 248, 235, 117, 75,  10,  49,  68,  80,  180, 143, 237, 31,
    26,  219, 153, 141, 51,  159, 17,  131, 20};

// Padding: i bytes of value i, for i from 1 to 16.
constexpr unsigned char PADDING[17][16] = {
    {},
    {1},
    {2, 2},
    {3, 3, 3},
    {4, 4, 4, 4},
    {5, 5, 5, 5, 5},
    {6, 6, 6, 6, 6, 6},
    {7, 7, 7, 7, 7, 7, 7},
    {8, 8, 8, 8, 8, 8, 8, 8},
    {9, 9, 9, 9, 9, 9, 9, 9, 9},
    {10, 10, 10, 10, 10, 10, 10, 10, 10, 10},
    {11, 11, 11, 11, 11, 11, 11, 11, 11, 11, 11},
    {12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12},
    {13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13},
    {14, 14, 14, 14, 14, 14, 14, 14, 14, 14, 14, 14, 14, 14},
    {15, 15, 15, 15, 15, 15, 15, 15, 15, 15, 15, 15, 15, 15, 15},
    {16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16}};

// Digests the 16-byte block: updates the state and the checksum.
void MD2Transform(unsigned char state[16], unsigned char checksum[16],
                  const unsigned char block[16]) {
    unsigned char x[48];

    // The 48-byte block: state, the input block, and their exclusive or.
    std::memcpy(x, state, 16);
    std::memcpy(x + 16, block, 16);
    for (unsigned i = 0; i < 16; i++) x[i + 32] = static_cast<unsigned char>(state[i] ^ block[i]);

    // 18 rounds.
    unsigned t = 0;
    for (unsigned i = 0; i < 18; i++) {
        for (unsigned j = 0; j < 48; j++) {
            x[j] = static_cast<unsigned char>(x[j] ^ PI_SUBST[t]);
            t = x[j];
        }
        t = (t + i) & 0xff;
    }
    std::memcpy(state, x, 16);

    // The checksum.
    t = checksum[15];
    for (unsigned i = 0; i < 16; i++) {
        checksum[i] = static_cast<unsigned char>(checksum[i] ^ PI_SUBST[block[i] ^ t]);
        t = checksum[i];
    }

    std::memset(x, 0, sizeof x);
}

}  // namespace

void MD2Init(MD2_CTX* context) {
    context->count = 0;
    std::memset(context->state, 0, sizeof context->state);
    std::memset(context->checksum, 0, sizeof context->checksum);
}

void MD2Update(MD2_CTX* context, const unsigned char* input, unsigned int inputLen) {
    // Bytes already waiting in the buffer.
    unsigned index = context->count;
    context->count = (index + inputLen) & 0xf;
    unsigned partLen = 16 - index;

    unsigned i = 0;
    if (inputLen >= partLen) {
        std::memcpy(context->buffer + index, input, partLen);
        MD2Transform(context->state, context->checksum, context->buffer);
        for (i = partLen; i + 15 < inputLen; i += 16)
            MD2Transform(context->state, context->checksum, input + i);
        index = 0;
    }
    if (inputLen > i) std::memcpy(context->buffer + index, input + i, inputLen - i);
}

void MD2Final(unsigned char digest[16], MD2_CTX* context) {
    unsigned index = context->count;
    unsigned padLen = 16 - index;
    MD2Update(context, PADDING[padLen], padLen);

    // The checksum as the last block.
    unsigned char checksum[16];
    std::memcpy(checksum, context->checksum, 16);
    MD2Update(context, checksum, 16);

    std::memcpy(digest, context->state, 16);
    std::memset(context, 0, sizeof *context);
    std::memset(checksum, 0, sizeof checksum);
}

void md2_hex(const unsigned char* datos, std::size_t n, char hex[33]) {
    MD2_CTX ctx;
    unsigned char digest[16];
    MD2Init(&ctx);
    // The texts hashed here are a challenge and a password: a few hundred bytes.
    MD2Update(&ctx, datos, static_cast<unsigned int>(n));
    MD2Final(digest, &ctx);
    digest_hex(digest, hex);
}

}  // namespace talmir
