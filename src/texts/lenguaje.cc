// SPDX-License-Identifier: GPL-2.0-or-later
// The table of language texts: built-in English texts, replaced by the
// sysop's language file when it holds exactly 29 text lines.
#include "texts/lenguaje.h"

#include <cstdio>
#include <cstring>
#include <string_view>

#include "config/config.h"
#include "driver/disco.h"
#include "driver/global.h"
#include "driver/rutas.h"
#include "driver/texto.h"
#include "texts/error.h"

namespace talmir {

const char* const textos_defecto_tabla[30] = {
    "Incorrect number of lines in language file",
    "File",
    "not found",
    "Unable to open mail file",
    "Check configuration in",
    "Configuration file",
    "File with table password for",
    "Incorrect data in line",
    "Unable to open temporal user file",
    "Option activated in",
    "Insufficient memory",
    "Not identified",
    "Port",
    "Connected callsign",
    "ERROR detected!",
    "Log of not autorized connection attemps",
    "Log of failed password attemps",
    "Log file",
    "NEW USER",
    "Callsign",
    "connected to the system at first time",
    "time",
    "date",
    "*** MISTAKEN IDENTITY -",
    "*** Answer not in MD format -",
    "*** MD is the only allowed format in answer",
    "DENIED ACCESS!",
    "Restrictions applied.",
    "Welcome!",
    "Connections log",
};

void textos_defecto() {
    for (int i = 0; i < 30; ++i) copia(lenguaje[i], sizeof lenguaje[i], textos_defecto_tabla[i]);
}

void inic_textos(char* r_buf, const char* file) {
    if (file[0] == '*' && file[1] == '*') {
        textos_defecto();
        return;
    }
    char ruta[RUTA_MAX];
    if (!ruta_trabajo(ruta, file)) return;
    Archivo f = Archivo::abre(ruta, "rt");
    if (!f) return;

    // Lines are taken 79 characters at a time: the rest of a longer line is
    // read as a line of its own.
    char buffer[TROZO_LENGUAJE];
    int tomados = 0;
    while (std::fgets(buffer, sizeof buffer, f.get()) != nullptr) {
        if (es_comentario(buffer)) continue;
        if (buffer[0] == '-') break;
        if (tomados == TEXTOS_FICHERO) {
            f.cierra();
            textos_defecto();
            error(ERR_LENGUAJE, TEXTOS_FICHERO + 1, r_buf);
            return;
        }
        std::size_t largo = std::strcspn(buffer, "\n");
        ++tomados;
        copia(lenguaje[tomados], sizeof lenguaje[tomados], std::string_view(buffer, largo));
    }
    f.cierra();
    if (tomados == TEXTOS_FICHERO) {
        borra_marca_error(ERR_LENGUAJE);
        return;
    }
    textos_defecto();
    error(ERR_LENGUAJE, static_cast<std::uint16_t>(tomados), r_buf);
}

}  // namespace talmir
