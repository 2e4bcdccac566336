// SPDX-License-Identifier: GPL-2.0-or-later
// MD2 message digest (RFC 1319).
#pragma once

#include <cstdint>

namespace talmir {

struct MD2_CTX {
    unsigned char state[16];
    unsigned char checksum[16];
    std::uint32_t count;
    unsigned char buffer[16];
};

void MD2Init(MD2_CTX* context);
void MD2Update(MD2_CTX* context, const unsigned char* input, unsigned int inputLen);
void MD2Final(unsigned char digest[16], MD2_CTX* context);

}  // namespace talmir
