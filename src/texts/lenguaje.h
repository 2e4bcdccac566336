// The table of 30 language texts.
#pragma once

namespace talmir {

extern const char* const textos_defecto_tabla[30];

void textos_defecto();
void inic_textos(char* r_buf, const char* file);

}  // namespace talmir
