// SPDX-License-Identifier: GPL-2.0-or-later
// Texts sent to stations (introductions, personal presentations, the
// information text), the new-user notice to the sysops and the welcome mail.
#include "texts/intro.h"

#include <cstring>
#include <string>
#include <string_view>

#include "config/config.h"
#include "config/infsys.h"
#include "driver/disco.h"
#include "driver/global.h"
#include "driver/respuesta.h"
#include "driver/texto.h"
#include "texts/correo.h"
#include "texts/error.h"
#include "texts/textos.h"

namespace talmir {

namespace {

struct INTROFICHS {
    char fich[13];   // general file name
    char fichp[13];  // stem of the per-port file name
};

constexpr INTROFICHS sf_introfich[4] = {
    {"intro.prt", "intro"},
    {"newtxt.prt", "newtxt"},
    {"guest.prt", "guest"},
    {"", ""},
};

// Option bits of cfg.txtintro_ops: who gets no general introduction.
constexpr std::uint16_t INTRO_SIN_EXCLUIDO = 1;  // "X": user flag 4
constexpr std::uint16_t INTRO_SIN_SYSOP = 2;     // "S": user flag 8
constexpr std::uint16_t INTRO_SIN_NUEVO = 4;     // "N": new users
// Option bits of cfg.newusr_ops.
constexpr std::uint16_t NUSR_TEXTO = 1;    // "T"
constexpr std::uint16_t NUSR_MENSAJE = 2;  // "M"

bool sin_intro_general() {
    const std::uint16_t ops = cfg.txtintro_ops;
    return ((usuario.mascara & FLAG_EXCLUIDO_INTRO) != 0 && (ops & INTRO_SIN_EXCLUIDO) != 0) ||
           ((usuario.mascara & FLAG_SYSOP) != 0 && (ops & INTRO_SIN_SYSOP) != 0) ||
           (usuario.nuevo == 1 && (ops & INTRO_SIN_NUEVO) != 0);
}

// The whole of an open file, bytes unchanged.
std::string lee_todo(std::FILE* f) {
    std::string s;
    char trozo[4096];
    std::size_t n;
    while ((n = std::fread(trozo, 1, sizeof trozo, f)) > 0) s.append(trozo, n);
    return s;
}

}  // namespace

Archivo busca_texto(const char* fichp, const char* fich, char* ruta) {
    char lang[16] = {};
    // FBB is asked for the language on every search, so that a fault of its
    // configuration is reported; the language counts with txtlang only.
    const bool con_lang = langused(lang, cfg.txt_lang != 0) == 1;
    return busca_texto_puerto(con_lang ? lang : nullptr, fichp, fich, ruta);
}

Archivo busca_txtintro(int introtype, char* ruta) {
    if (introtype < sf_genintro || introtype > sf_prespers) return Archivo();
    if (introtype == sf_genintro && sin_intro_general()) return Archivo();
    if (introtype == sf_prespers) return busca_por_indicativo("ent", ruta);
    return busca_texto(sf_introfich[introtype].fichp, sf_introfich[introtype].fich, ruta);
}

void envia_txtintro(int introtype, char* r_buf) {
    char ruta[RUTA_MAX];
    Archivo f = busca_txtintro(introtype, ruta);
    if (!f) return;
    envia_texto(r_buf, f, ruta);
}

void envia_intro(char* r_buf) {
    if ((usuario.mascara & FLAG_BBS) == 0) {
        if (cfg.txt_guest && (usuario.mascara & FLAG_GUEST) != 0) envia_txtintro(sf_guest, r_buf);
        if (cfg.txt_intro) envia_txtintro(sf_genintro, r_buf);
        if (cfg.txt_nusr && usuario.nuevo == 1) {
            if ((cfg.newusr_ops & NUSR_TEXTO) != 0) envia_txtintro(sf_newusr, r_buf);
            if ((cfg.newusr_ops & NUSR_MENSAJE) != 0) msg_newusr(r_buf);
        }
    }
    envia_txtintro(sf_prespers, r_buf);
}

void msg_informativo(char* r_buf) {
    char ruta[RUTA_MAX];
    Archivo f = busca_texto("info", "info.prt", ruta);
    if (!f) {
        error(ERR_INFO, 0, r_buf);
        return;
    }
    envia_texto(r_buf, f, ruta);
    f.cierra();
    borra_marca_error(ERR_INFO);
    valor_salida = SALIDA_DESCONECTA;
}

std::int8_t nuevo_usr(char* r_buf) {
    if (lee_cfg(r_buf) < 0) return -1;
    if (!cfg.msj_nusr) return 1;
    if (!leido_init && lee_init(r_buf) != 1) return -1;

    MAILIN correo;
    if (!abre_mailin(&correo)) {
        error(ERR_CORREO, 0, r_buf);
        return -1;
    }

    Indicativo id;
    char linea[512];
    std::string cuerpo(cabprt, strnlen(cabprt, sizeof cabprt));
    cuerpo += '\n';
    formatea(linea, sizeof linea, "%.80s %s", lenguaje[19], id.t);
    cuerpo += linea;
    if (usuario.ssid != 0) {
        formatea(linea, sizeof linea, "-%d", usuario.ssid);
        cuerpo += linea;
    }
    formatea(linea, sizeof linea, " %.80s (%.80s %d).", lenguaje[20], lenguaje[12], usuario.puerto);
    cuerpo += linea;
    cuerpo += '\n';

    escribe_a_sysops(&correo, lenguaje[18], cuerpo);
    cierra_mailin(&correo);
    return 1;
}

void msg_newusr(char* r_buf) {
    char ruta[RUTA_MAX];
    Archivo f = busca_texto_puerto(nullptr, "newmsg", "newmsg.prt", ruta);
    if (!f) return;
    if (!leido_init && lee_init(r_buf) != 1) return;

    MAILIN correo;
    if (!abre_mailin(&correo)) {
        f.cierra();
        error(ERR_CORREO, 0, r_buf);
        return;
    }
    // The text unchanged, then a line end: an empty line after a text that
    // ends with its own, and the end of an unfinished last line otherwise, so
    // that "/EX" always stands on a line of its own. An empty text gets none.
    std::string cuerpo = lee_todo(f.get());
    f.cierra();
    if (!cuerpo.empty()) cuerpo += '\n';

    Indicativo id;
    char bbs[sizeof infbbs.id + 1];
    copia(bbs, sizeof bbs, std::string_view(infbbs.id, strnlen(infbbs.id, sizeof infbbs.id)));
    char linea[64];
    formatea(linea, sizeof linea, "SP %s < %s", id.t, bbs);
    escribe_mensaje(&correo, linea, lenguaje[28], cuerpo);
    cierra_mailin(&correo);
}

}  // namespace talmir
