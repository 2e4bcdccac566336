// SPDX-License-Identifier: GPL-2.0-or-later
// Challenge-response between partner BBSs.
#pragma once

#include <cstdint>

namespace talmir {

void password_forward(char* r_buf);
void resp_fwd(char* r_buf);

// The answering side's digest: the code between the first "[" of the line
// and the next "]" (or the end of the line), which must be ten characters,
// followed by the password, hashed with MD2 for mode 10 and MD5 for mode 13,
// as 32 lowercase hex digits. False when there is no answer to give.
bool respuesta_fwd(const char* linea, const char* password, std::int8_t modo, char hex[33]);

}  // namespace talmir
