// SPDX-License-Identifier: GPL-2.0-or-later
// MD2 message digest, written from the description of the algorithm in
// RFC 1319 (its section 3), with an incremental interface: start, feed
// pieces, finish.
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

// One block of 16 bytes: into the checksum (step 2 of the algorithm) and
// into the state through the 48-byte buffer of state, block and their
// exclusive or, stirred 18 times with the permutation (step 4).
void bloque(MD2_CTX* ctx, const unsigned char* m) {
    unsigned char l = ctx->checksum[15];
    for (int j = 0; j < 16; ++j) {
        ctx->checksum[j] = static_cast<unsigned char>(ctx->checksum[j] ^ PI_SUBST[m[j] ^ l]);
        l = ctx->checksum[j];
    }
    unsigned char x[48];
    for (int j = 0; j < 16; ++j) {
        x[j] = ctx->state[j];
        x[16 + j] = m[j];
        x[32 + j] = static_cast<unsigned char>(ctx->state[j] ^ m[j]);
    }
    unsigned t = 0;
    for (unsigned vuelta = 0; vuelta < 18; ++vuelta) {
        for (unsigned char& b : x) {
            b = static_cast<unsigned char>(b ^ PI_SUBST[t]);
            t = b;
        }
        t = (t + vuelta) % 256;
    }
    std::memcpy(ctx->state, x, 16);
    std::memset(x, 0, sizeof x);
}

}  // namespace

void MD2Init(MD2_CTX* context) {
    context->count = 0;
    std::memset(context->state, 0, sizeof context->state);
    std::memset(context->checksum, 0, sizeof context->checksum);
}

void MD2Update(MD2_CTX* context, const unsigned char* input, unsigned int inputLen) {
    std::size_t resto = inputLen;
    while (resto > 0) {
        const std::size_t hay = context->count;
        if (hay == 0 && resto >= 16) {
            bloque(context, input);
            input += 16;
            resto -= 16;
            continue;
        }
        const std::size_t n = resto < 16 - hay ? resto : 16 - hay;
        std::memcpy(context->buffer + hay, input, n);
        input += n;
        resto -= n;
        context->count = static_cast<std::uint32_t>(hay + n);
        if (context->count == 16) {
            bloque(context, context->buffer);
            context->count = 0;
        }
    }
}

void MD2Final(unsigned char digest[16], MD2_CTX* context) {
    // Step 1: n bytes of value n make the length a multiple of 16 (n from 1
    // to 16); step 3: the checksum follows as the last block.
    const auto n = static_cast<unsigned char>(16 - context->count);
    unsigned char relleno[16];
    std::memset(relleno, n, sizeof relleno);
    MD2Update(context, relleno, n);
    unsigned char suma[16];
    std::memcpy(suma, context->checksum, 16);
    MD2Update(context, suma, 16);
    std::memcpy(digest, context->state, 16);
    std::memset(context, 0, sizeof *context);
    std::memset(suma, 0, sizeof suma);
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
