// SPDX-License-Identifier: GPL-2.0-or-later
#include "driver/texto.h"

#include <climits>
#include <cstdio>
#include <cstring>

namespace talmir {

char* strupr(char* str) {
    for (char* p = str; *p != '\0'; ++p) *p = mayuscula(*p);
    return str;
}

std::int32_t a_numero(const char* texto) {
    const char* p = texto;
    while (es_blanco(*p)) ++p;
    bool negativo = false;
    if (*p == '+' || *p == '-') {
        negativo = *p == '-';
        ++p;
    }
    long long valor = 0;
    while (es_digito(*p)) {
        if (valor <= static_cast<long long>(INT32_MAX) + 1) valor = valor * 10 + (*p - '0');
        ++p;
    }
    if (negativo) valor = -valor;
    if (valor > INT32_MAX) return INT32_MAX;
    if (valor < INT32_MIN) return INT32_MIN;
    return static_cast<std::int32_t>(valor);
}

bool copia(char* dst, std::size_t size, std::string_view src) {
    if (size == 0) return src.empty();
    std::size_t n = src.size() < size ? src.size() : size - 1;
    std::memcpy(dst, src.data(), n);
    dst[n] = '\0';
    return n == src.size();
}

namespace {

// A format of plain text and "%s" and "%d" conversions only, as most paths
// are built.
bool solo_textos(const char* fmt) {
    for (const char* p = fmt; *p != '\0'; ++p) {
        if (*p == '%') {
            if (p[1] != 's' && p[1] != 'd') return false;
            ++p;
        }
    }
    return true;
}

// An int in decimal, as "%d" writes it, at the end of buf (12 bytes): its
// first character.
const char* decimal(int v, char (&buf)[12], std::size_t* largo) {
    char* fin = buf + sizeof buf;
    char* p = fin;
    // In unsigned arithmetic, so that INT_MIN has its digits too.
    unsigned u = v < 0 ? 0U - static_cast<unsigned>(v) : static_cast<unsigned>(v);
    do {
        *--p = static_cast<char>('0' + u % 10);
        u /= 10;
    } while (u != 0);
    if (v < 0) *--p = '-';
    *largo = static_cast<std::size_t>(fin - p);
    return p;
}

// Such a format put together by hand, as vsnprintf would (a null text as
// "(null)"): vsnprintf costs about a thousand instructions a call.
bool junta_textos(char* dst, std::size_t size, const char* fmt, va_list ap) {
    std::size_t n = 0;  // characters of the whole result
    auto pon = [&](const char* t, std::size_t largo) {
        if (n + 1 < size) {
            std::size_t cabe = size - 1 - n;
            std::memcpy(dst + n, t, largo < cabe ? largo : cabe);
        }
        n += largo;
    };
    for (const char* p = fmt; *p != '\0';) {
        if (*p == '%' && p[1] == 'd') {
            char buf[12];
            std::size_t largo = 0;
            const char* t = decimal(va_arg(ap, int), buf, &largo);
            pon(t, largo);
            p += 2;
            continue;
        }
        if (*p == '%') {
            const char* t = va_arg(ap, const char*);
            if (t == nullptr) t = "(null)";
            pon(t, std::strlen(t));
            p += 2;
            continue;
        }
        const char* q = p;
        while (*q != '\0' && *q != '%') ++q;
        pon(p, static_cast<std::size_t>(q - p));
        p = q;
    }
    if (size > 0) dst[n < size ? n : size - 1] = '\0';
    return n < size;
}

}  // namespace

bool vformatea(char* dst, std::size_t size, const char* fmt, va_list ap) {
    if (solo_textos(fmt)) return junta_textos(dst, size, fmt, ap);
    int n = std::vsnprintf(dst, size, fmt, ap);
    if (n < 0) {
        if (size > 0) dst[0] = '\0';
        return false;
    }
    return static_cast<std::size_t>(n) < size;
}

bool formatea(char* dst, std::size_t size, const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    bool ok = vformatea(dst, size, fmt, ap);
    va_end(ap);
    return ok;
}

}  // namespace talmir
