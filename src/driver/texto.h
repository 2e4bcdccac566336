// SPDX-License-Identifier: GPL-2.0-or-later
// Texts: the character classes every reader shares, upper-casing, numbers,
// and the bounded copy and formatting through which every text is built.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace talmir {

// The blanks of the C locale's isspace: space, tab, line end, vertical tab,
// form feed and carriage return (what scanf skips before a field).
inline bool es_blanco(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Space or tab only: the blanks inside a line of FBB's fbb.conf.
inline bool es_espacio_o_tab(char c) {
    return c == ' ' || c == '\t';
}

inline bool es_digito(char c) {
    return c >= '0' && c <= '9';
}

// A letter of a to z (either case) or a digit; no locale.
inline bool es_alfanumerico(char c) {
    return es_digito(c) || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// a to z upper-cased; every other byte stays.
inline char mayuscula(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// A to Z lower-cased; every other byte stays.
inline char minuscula(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Upper-cases a to z in place (no locale: bytes above 127 stay); returns str.
char* strupr(char* str);

// Converts a decimal text: leading white space, one sign, digits up to the
// first other character (none gives 0), clamped to the signed 32-bit range.
std::int32_t a_numero(const char* texto);

// Bounded copy of src into dst (size bytes of room, terminator included).
// Returns false, with dst holding what fits, when src had to be cut.
bool copia(char* dst, std::size_t size, std::string_view src);
// Bounded snprintf: false when the result did not fit (dst then holds the
// cut text) or on an encoding error (dst then empty).
bool formatea(char* dst, std::size_t size, const char* fmt, ...)
    __attribute__((format(printf, 3, 4)));
// formatea with the arguments in a va_list.
bool vformatea(char* dst, std::size_t size, const char* fmt, va_list ap)
    __attribute__((format(printf, 3, 0)));

}  // namespace talmir
