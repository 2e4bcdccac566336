// SPDX-License-Identifier: GPL-2.0-or-later
// The response buffer: the text sent back to FBB, built by appending to it
// and never longer than its 1023 characters (RBUF_SIZE, driver/global.h).
#pragma once

#include <cstdio>
#include <string_view>

namespace talmir {

// Appends to the response buffer, never past its 1023 characters: what does
// not fit is dropped from the end.
void rbuf_add(char* r_buf, std::string_view texto);
void rbuf_addf(char* r_buf, const char* fmt, ...) __attribute__((format(printf, 2, 3)));
// Appends the whole rest of an open file to the response buffer, as read.
void rbuf_add_fichero(char* r_buf, std::FILE* f);

}  // namespace talmir
