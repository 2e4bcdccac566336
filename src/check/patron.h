// SPDX-License-Identifier: GPL-2.0-or-later
// Callsign patterns of "users.prt" as sets of texts, so that one pattern can
// be found to catch every station another one would serve.
#pragma once

#include <string>
#include <string_view>

namespace talmir {

// A pattern as compara_indicativos reads it: one class per character, either
// a literal character or any one character ("?", and "*" anywhere but at the
// end of a pattern of two or more characters), then, for a final "*" that is
// not the first character, a tail of one or more characters.
struct Patron {
    std::string clases;  // '\0' stands for any one character
    bool cola = false;
};

Patron compila_patron(std::string_view palabra);
// True when the pattern holds no "?" or "*": it matches its own text only.
bool es_literal(const Patron& p);
// True when every text that h matches, a matches too.
bool incluye(const Patron& a, const Patron& h);
// The pattern followed by "-" and one or more characters: the station texts
// CALL-SSID of the callsigns it matches (h without a tail).
Patron con_ssid(const Patron& h);

}  // namespace talmir
