// SPDX-License-Identifier: GPL-2.0-or-later
#include "check/patron.h"

namespace talmir {

Patron compila_patron(std::string_view palabra) {
    Patron p;
    for (std::size_t i = 0; i < palabra.size(); ++i) {
        char c = palabra[i];
        if (c == '*' && i + 1 == palabra.size() && i != 0) {
            p.cola = true;
        } else if (c == '*' || c == '?') {
            p.clases.push_back('\0');
        } else {
            p.clases.push_back(c);
        }
    }
    return p;
}

bool es_literal(const Patron& p) {
    return !p.cola && p.clases.find('\0') == std::string::npos;
}

bool incluye(const Patron& a, const Patron& h) {
    const std::size_t na = a.clases.size();
    const std::size_t nh = h.clases.size();
    if (h.cola && !a.cola) return false;  // h matches texts of any length
    if (!a.cola && na != nh) return false;
    // a's tail needs one character at least: h's shortest text must be longer
    // than a's classes (h's own tail counts for one).
    if (a.cola && (h.cola ? na > nh : na >= nh)) return false;
    for (std::size_t i = 0; i < na; ++i) {
        if (a.clases[i] == '\0') continue;
        if (h.clases[i] != a.clases[i]) return false;  // h's '\0' is any character
    }
    return true;
}

Patron con_ssid(const Patron& h) {
    Patron p = h;
    p.clases.push_back('-');
    p.cola = true;
    return p;
}

}  // namespace talmir
