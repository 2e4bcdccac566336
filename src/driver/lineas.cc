// SPDX-License-Identifier: GPL-2.0-or-later
#include "driver/lineas.h"

#include <climits>

#include "driver/texto.h"

namespace talmir {

bool lee_linea(std::FILE* f, char* buf, std::size_t size, bool* larga) {
    if (larga != nullptr) *larga = false;
    if (size < 2) {
        // No room for a character: the line is read and dropped.
        char nada[2];
        bool hay = lee_linea(f, nada, sizeof nada, larga);
        if (size == 1) buf[0] = '\0';
        return hay;
    }
    int tope = size > 1u << 30 ? 1 << 30 : static_cast<int>(size);
    // The line end is looked for in the bytes fgets stored, not up to the
    // first NUL: a NUL byte inside a line must not make it look unended
    // (which would drop the next line as its rest). The buffer is cleared
    // first so that no line end of an earlier line is found.
    std::memset(buf, 0, static_cast<std::size_t>(tope));
    if (std::fgets(buf, tope, f) == nullptr) {
        buf[0] = '\0';
        return false;
    }
    if (auto* nl = static_cast<char*>(std::memchr(buf, '\n', static_cast<std::size_t>(tope)))) {
        *nl = '\0';
        return true;
    }
    // No line end yet: the end of the file, or the rest of a longer line,
    // which is read and dropped.
    char resto[256];
    for (;;) {
        std::memset(resto, 0, sizeof resto);
        if (std::fgets(resto, sizeof resto, f) == nullptr) break;
        const auto* nl = static_cast<const char*>(std::memchr(resto, '\n', sizeof resto));
        bool fin = nl != nullptr;
        // Anything but a bare line end is a dropped rest.
        if (larga != nullptr && (!fin || nl != resto)) *larga = true;
        if (fin) break;
    }
    return true;
}

bool LectorLineas::vista_lenta(std::string_view* v, bool* larga) {
    // [ini_, fin_) holds no line end: it is the start of a line, or nothing.
    // The buffer is filled on; what was read before stays there as long as
    // there is room, for salta_a.
    std::size_t buscado = fin_;  // datos_ up to here holds no line end
    bool cortada = false;        // the line's start is in corte_
    const char* nl = nullptr;
    for (;;) {
        if (fin_ == sizeof datos_) {
            if (ini_ > 0) {
                // The line's start goes to the front, to make room.
                std::size_t resto = fin_ - ini_;
                std::memmove(datos_, datos_ + ini_, resto);
                base_ += ini_;
                ini_ = 0;
                fin_ = buscado = resto;
            } else {
                // A line longer than the buffer: its start is kept, the
                // rest is dropped up to its end.
                if (!cortada) std::memcpy(corte_, datos_, VISTA_MAX);
                cortada = true;
                base_ += fin_;
                fin_ = buscado = 0;
            }
        }
        std::size_t n = std::fread(datos_ + fin_, 1, sizeof datos_ - fin_, f_);
        if (n == 0) break;
        fin_ += n;
        nl = static_cast<const char*>(std::memchr(datos_ + buscado, '\n', fin_ - buscado));
        if (nl != nullptr) break;
        buscado = fin_;
    }
    const char* inicio = datos_ + ini_;
    std::size_t largo;
    if (nl != nullptr) {
        largo = static_cast<std::size_t>(nl - inicio);
        ini_ += largo + 1;
    } else {
        // The end of the file: a last line without a line end, or nothing.
        if (fin_ == ini_ && !cortada) return false;
        largo = fin_ - ini_;
        ini_ = fin_;
    }
    if (cortada) {
        if (larga != nullptr) *larga = true;
        *v = std::string_view(corte_, VISTA_MAX);
        return true;
    }
    if (larga != nullptr) *larga = largo > VISTA_MAX;
    *v = std::string_view(inicio, largo < VISTA_MAX ? largo : VISTA_MAX);
    return true;
}

bool LectorLineas::linea(char* buf, std::size_t size, bool* larga) {
    if (larga != nullptr) *larga = false;
    if (size == 0) return false;
    std::string_view v;
    bool cortada = false;
    if (!vista(&v, &cortada)) {
        buf[0] = '\0';
        return false;
    }
    if (!copia(buf, size, v)) cortada = true;
    if (larga != nullptr) *larga = cortada;
    return true;
}

bool LectorLineas::salta_a(std::uint64_t pos) {
    if (pos >= base_ && pos - base_ <= fin_) {
        ini_ = static_cast<std::size_t>(pos - base_);
        return true;
    }
    ini_ = fin_ = 0;
    if (pos > static_cast<std::uint64_t>(INT64_MAX) ||
        fseeko(f_, static_cast<off_t>(pos), SEEK_SET) != 0) {
        return false;
    }
    base_ = pos;
    return true;
}

std::size_t lee_palabra(const char** p, char* out, std::size_t size) {
    const char* s = *p;
    while (es_blanco(*s)) ++s;
    const char* inicio = s;
    while (*s != '\0' && !es_blanco(*s)) ++s;
    std::size_t n = static_cast<std::size_t>(s - inicio);
    if (size > 0) copia(out, size, std::string_view(inicio, n));
    *p = s;
    return n;
}

}  // namespace talmir
