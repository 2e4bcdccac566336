// SPDX-License-Identifier: GPL-2.0-or-later
#include "driver/respuesta.h"

#include <cstdarg>
#include <cstring>

#include "driver/global.h"
#include "driver/texto.h"

namespace talmir {

void rbuf_add(char* r_buf, std::string_view texto) {
    std::size_t usado = strnlen(r_buf, RBUF_SIZE - 1);
    copia(r_buf + usado, RBUF_SIZE - usado, texto);
}

void rbuf_addf(char* r_buf, const char* fmt, ...) {
    std::size_t usado = strnlen(r_buf, RBUF_SIZE - 1);
    va_list ap;
    va_start(ap, fmt);
    int n = std::vsnprintf(r_buf + usado, RBUF_SIZE - usado, fmt, ap);
    va_end(ap);
    if (n < 0) r_buf[usado] = '\0';
}

void rbuf_add_fichero(char* r_buf, std::FILE* f) {
    char trozo[512];
    std::size_t n;
    while ((n = std::fread(trozo, 1, sizeof trozo, f)) > 0) {
        // A NUL in a text file would end the buffer early; it is sent no
        // further than FBB would send it.
        rbuf_add(r_buf, std::string_view(trozo, strnlen(trozo, n)));
        if (strnlen(r_buf, RBUF_SIZE) >= RBUF_SIZE - 1) break;
    }
}

}  // namespace talmir
