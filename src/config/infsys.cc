// SPDX-License-Identifier: GPL-2.0-or-later
// FBB's user file "inf.sys" and language list "langue.sys": the language
// name of the connected station, used to pick texts from a subdirectory.
#include "config/infsys.h"

#include <cstring>
#include <string_view>

#include "config/config.h"
#include "driver/disco.h"
#include "driver/global.h"
#include "driver/lineas.h"
#include "driver/texto.h"

namespace talmir {

namespace {

// The callsign field at the start of a record: 7 bytes, NUL-terminated.
constexpr std::size_t INFSYS_TAM_INDIC = 7;
// A language name is one word of up to 9 characters; it names a directory,
// so a longer word is never cut into another name.
constexpr std::size_t LANG_MAX = 9;
// Lines of "langue.sys" hold up to 78 characters; a longer one is read whole
// (its rest dropped) and still counts as one line.
constexpr std::size_t LINEA_LANGUE = 256;

}  // namespace

int lee_infsys(const char* indic_a_buscar, unsigned char* datos) {
    char ruta[RUTA_MAX];
    if (!junta_ruta(ruta, sizeof ruta, infbbs.ruta_datadir, "inf.sys")) return 0;
    Archivo f = Archivo::abre(ruta, "rb");
    if (!f) return 0;

    const std::string_view buscado(indic_a_buscar);
    const auto tam = static_cast<std::size_t>(INFSYS_FORMATO.tam_registro);
    unsigned char registro[INFSYS_TAM_MAX];
    while (std::fread(registro, 1, tam, f.get()) == tam) {
        const char* indic = reinterpret_cast<const char*>(registro);
        if (std::string_view(indic, strnlen(indic, INFSYS_TAM_INDIC)) == buscado) {
            std::memcpy(datos, registro, tam);
            return 1;
        }
    }
    return 0;
}

int lee_languesys(int lang_num, char* lang_name) {
    if (lang_num < 0) return 0;
    char ruta[RUTA_MAX];
    if (!junta_ruta(ruta, sizeof ruta, infbbs.ruta_system, "langue.sys")) return 0;
    Archivo f = Archivo::abre(ruta, "r");
    if (!f) return 0;

    // Language N is named on data line N+2: the first data line is passed over.
    const long buscada = static_cast<long>(lang_num) + 2;
    long datos = 0;
    char linea[LINEA_LANGUE];
    while (lee_linea(f.get(), linea, sizeof linea)) {
        if (es_comentario(linea)) continue;
        if (++datos < buscada) continue;
        const char* p = linea;
        char palabra[LANG_MAX + 1];
        std::size_t n = lee_palabra(&p, palabra, sizeof palabra);
        if (n == 0 || n > LANG_MAX) return 0;
        copia(lang_name, LANG_MAX + 1, palabra);
        return 1;
    }
    // Fewer data lines than the number asks for: no such language.
    return 0;
}

int langused(char* lang_name, bool buscar) {
    if (!leido_init) {
        // FBB's data with a buffer of its own: nothing reaches the station.
        char r_tmp[RBUF_SIZE] = {};
        if (lee_init(r_tmp) != 1) return 0;
    }
    if (!buscar) return 0;
    const Indicativo indic;
    unsigned char registro[INFSYS_TAM_MAX];
    if (lee_infsys(indic.t, registro) != 1) return 0;
    return lee_languesys(registro[INFSYS_FORMATO.ofs_lang], lang_name);
}

}  // namespace talmir
