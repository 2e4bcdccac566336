// SPDX-License-Identifier: GPL-2.0-or-later
// The table of 30 language texts.
#pragma once

#include <cstddef>

namespace talmir {

// Text lines a language file must hold: entries 1 to 29 of the table.
inline constexpr int TEXTOS_FICHERO = 29;
// A language file is read in pieces of 79 characters: the rest of a longer
// line counts as a text line of its own.
inline constexpr std::size_t TROZO_LENGUAJE = 80;  // terminator included

extern const char* const textos_defecto_tabla[30];

void textos_defecto();
void inic_textos(char* r_buf, const char* file);

}  // namespace talmir
