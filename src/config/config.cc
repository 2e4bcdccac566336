// SPDX-License-Identifier: GPL-2.0-or-later
// "config.prt": its fixed lines and port lines, and where it and
// "users.prt" are found.
#include "config/config.h"

#include <cstdlib>
#include <cstring>
#include <string_view>

#include "config/lectura.h"
#include "driver/disco.h"
#include "driver/global.h"
#include "driver/lineas.h"
#include "driver/texto.h"
#include "texts/error.h"
#include "texts/lenguaje.h"

namespace talmir {

Oyente oyente_config = nullptr;
const char* dir_config = nullptr;

namespace {

// Keeps leyendo_cfg set while "config.prt" is being read.
class Leyendo {
   public:
    Leyendo() : previo_(leyendo_cfg) { leyendo_cfg = 1; }
    ~Leyendo() { leyendo_cfg = previo_; }
    Leyendo(const Leyendo&) = delete;
    Leyendo& operator=(const Leyendo&) = delete;

   private:
    std::uint8_t previo_;
};

// Adds the value of every letter of the word, once for each time it is
// written; other characters add nothing.
template <std::size_t N>
std::uint16_t suma_opciones(const char* palabra, const Opcion (&tabla)[N]) {
    std::uint16_t mascara = 0;
    for (const char* p = palabra; *p != '\0'; ++p) {
        for (const Opcion& o : tabla) {
            if (*p == o.letra) mascara = static_cast<std::uint16_t>(mascara + o.valor);
        }
    }
    return mascara;
}

// The next option word, upper-cased: only its first 10 letters count, the
// rest of a longer word is dropped. False when the line holds none.
bool lee_opcion(const char** p, char (&palabra)[OPCION_MAX + 1]) {
    if (lee_palabra(p, palabra, sizeof palabra) == 0) return false;
    strupr(palabra);
    return true;
}

// The switch: the first word's first two characters, upper-cased, must be
// "OK" (1) or "NO" (0); anything else gives -1.
int lee_interruptor(const char** p) {
    char palabra[3];
    if (lee_palabra(p, palabra, sizeof palabra) == 0) return -1;
    strupr(palabra);
    if (std::strcmp(palabra, "OK") == 0) return 1;
    if (std::strcmp(palabra, "NO") == 0) return 0;
    return -1;
}

int linea_lenguaje(const char* linea, char* r_buf) {
    char palabra[sizeof cfg.lng_file];
    const char* p = linea;
    std::size_t n = lee_palabra(&p, palabra, sizeof palabra);
    if (n == 0 || n >= sizeof palabra) return DATOS_MAL;
    copia(cfg.lng_file, sizeof cfg.lng_file, palabra);
    if (cfg.lng_file[0] != '*' && cfg.lng_file[1] != '*') inic_textos(r_buf, cfg.lng_file);
    return 0;
}

// Up to five callsigns, taken in pieces of at most six characters as
// "%6s %6s %6s %6s %6s" takes them.
int linea_sysops(const char* linea) {
    const char* p = linea;
    std::uint8_t n = 0;
    while (n < 5) {
        while (es_blanco(*p)) ++p;
        if (*p == '\0') break;
        std::size_t largo = 0;
        while (largo < sizeof cfg.sysop[n] - 1 && p[largo] != '\0' && !es_blanco(p[largo])) {
            ++largo;
        }
        copia(cfg.sysop[n], sizeof cfg.sysop[n], std::string_view(p, largo));
        strupr(cfg.sysop[n]);
        p += largo;
        ++n;
    }
    if (n == 0) return DATOS_MAL;
    cfg.num_sysop = n;
    return 0;
}

// "%1hd %10s %10s": one digit 1 to 5, then up to two option words; the first
// word may follow the digit directly.
int linea_intentos(const char* linea) {
    const char* p = linea;
    while (es_blanco(*p)) ++p;
    if (*p < '1' || *p > '5') return DATOS_MAL;
    cfg.num_int = static_cast<std::uint8_t>(*p - '0');
    ++p;
    std::uint16_t mascara = 0;
    char palabra[OPCION_MAX + 1];
    if (lee_opcion(&p, palabra)) {
        mascara = suma_opciones(palabra, OPCIONES_INTENTOS1);
        if (lee_opcion(&p, palabra)) {
            for (const char* c = palabra; *c != '\0'; ++c) {
                if (*c == LETRA_CONSOLA && (mascara & SEC_CONSOLA) == 0) mascara |= SEC_CONSOLA;
            }
            mascara =
                static_cast<std::uint16_t>(mascara + suma_opciones(palabra, OPCIONES_INTENTOS2));
        }
    }
    cfg.sec_ops = mascara;
    return 0;
}

int linea_interruptor(const char* linea, std::uint8_t* campo) {
    const char* p = linea;
    int v = lee_interruptor(&p);
    if (v < 0) return DATOS_MAL;
    *campo = static_cast<std::uint8_t>(v);
    return 0;
}

// A switch with an option word; the mask is rebuilt from zero.
template <std::size_t N>
int linea_interruptor_ops(const char* linea, std::uint8_t* campo, std::uint16_t* mascara,
                          const Opcion (&tabla)[N]) {
    const char* p = linea;
    int v = lee_interruptor(&p);
    if (v < 0) return DATOS_MAL;
    *campo = static_cast<std::uint8_t>(v);
    char palabra[OPCION_MAX + 1];
    *mascara = lee_opcion(&p, palabra) ? suma_opciones(palabra, tabla) : 0;
    return 0;
}

int linea_fija(tipo_linea tipo, const char* linea, char* r_buf) {
    switch (tipo) {
        case tipo_linea::lenguaje:
            return linea_lenguaje(linea, r_buf);
        case tipo_linea::sysops:
            return linea_sysops(linea);
        case tipo_linea::intentos:
            return linea_intentos(linea);
        case tipo_linea::prompt:
            copia(cfg.prompt, sizeof cfg.prompt, linea);
            return 0;
        case tipo_linea::txtlang:
            return linea_interruptor(linea, &cfg.txt_lang);
        case tipo_linea::txtusr:
            return linea_interruptor(linea, &cfg.txt_cnx);
        case tipo_linea::txtexcl:
            return linea_interruptor(linea, &cfg.txt_dcnx);
        case tipo_linea::txtguest:
            return linea_interruptor(linea, &cfg.txt_guest);
        case tipo_linea::txtintro:
            return linea_interruptor_ops(linea, &cfg.txt_intro, &cfg.txtintro_ops, OPCIONES_INTRO);
        case tipo_linea::txtnewusr:
            return linea_interruptor_ops(linea, &cfg.txt_nusr, &cfg.newusr_ops, OPCIONES_NUEVO);
        case tipo_linea::msgnewusr:
            return linea_interruptor(linea, &cfg.msj_nusr);
        case tipo_linea::logtotal:
            return linea_interruptor_ops(linea, &cfg.log_cnx, &cfg.logcnx_ops, OPCIONES_LOG);
        case tipo_linea::logexc:
            return linea_interruptor(linea, &cfg.log_dcnx);
        case tipo_linea::logfall:
            return linea_interruptor(linea, &cfg.log_nopas);
        case tipo_linea::puerto:
            break;
    }
    return DATOS_MAL;
}

bool es_modo_defecto(int modo) {
    return modo == MODO_ABIERTO || modo == MODO_CERRADO || modo == MODO_EXCLUIDO ||
           modo == MODO_BBS || modo == MODO_SOLOLEER || modo == MODO_RETENIDOS;
}

// A port line: 1 when it is the station's port, 0 when not, -1 after a
// translation error (reported), DATOS_MAL on faulty data.
int linea_puerto(const char* linea, std::uint16_t num, char* r_buf, int* puerto_leido) {
    PalabrasPuerto w;
    const char* p = linea;
    if (lee_puerto_modo(&p, &w, num, false) != 1) return DATOS_MAL;
    int puerto = w.np <= 2 ? numero_corto(w.puerto) : transf_prt(w.puerto, num, r_buf, 0);
    if (puerto == -1) return -1;
    if (puerto_leido != nullptr) *puerto_leido = puerto;
    int modo = numero_modo(w, num, r_buf, 0);
    if (modo == -1) return -1;
    cfg.modo_def = static_cast<std::int8_t>(modo);
    if (!es_modo_defecto(modo)) {
        avisa(hallazgo::modo_no_defecto, num, w.modo);
        return DATOS_MAL;
    }
    if (puerto != usuario.puerto) return 0;
    avisa(hallazgo::puerto_elegido, num, w.puerto);
    return 1;
}

}  // namespace

int es_comentario(const char* buffer) {
    return buffer[0] == '\0' || buffer[0] == '#' || buffer[0] == '\n' ? 1 : 0;
}

bool ruta_config(char* ruta, std::size_t size, const char* nombre) {
    if (dir_config != nullptr) return junta_ruta(ruta, size, dir_config, nombre);
    const char* var = std::getenv("TALMIR");
    if (var == nullptr) return ruta_trabajof(ruta, size, "%s", nombre);
    // A longer value is never cut: the file then cannot be opened.
    char dir[81];
    if (!copia(dir, sizeof dir, var)) return false;
    strupr(dir);
    quita_barra_final(dir);
    return junta_ruta(ruta, size, dir, nombre);
}

int linea_cfg(tipo_linea tipo, const char* linea, std::uint16_t num, char* r_buf, int* puerto) {
    if (tipo == tipo_linea::puerto) return linea_puerto(linea, num, r_buf, puerto);
    return linea_fija(tipo, linea, r_buf);
}

int lee_cfg(char* r_buf) {
    Leyendo leyendo;
    char ruta[RUTA_MAX];
    Archivo f;
    if (ruta_config(ruta, sizeof ruta, "config.prt")) f = Archivo::abre(ruta, "r");
    if (!f) {
        error(ERR_CFG_ABRE, 0, r_buf);
        return -1;
    }
    borra_marca_error(ERR_CFG_ABRE);

    char linea[LINEA_CFG];
    std::uint16_t lineacfg = 0;
    auto tipo = static_cast<std::uint8_t>(tipo_linea::lenguaje);
    constexpr auto kPuerto = static_cast<std::uint8_t>(tipo_linea::puerto);
    int resultado = 0;
    while (lee_linea(f.get(), linea, sizeof linea)) {
        ++lineacfg;
        if (es_comentario(linea)) continue;
        int r = linea_cfg(static_cast<tipo_linea>(tipo), linea, lineacfg, r_buf);
        if (tipo < kPuerto) ++tipo;
        if (r == DATOS_MAL) {
            f.cierra();
            error(ERR_CFG_DATOS, lineacfg, r_buf);
            return -1;
        }
        if (r == -1) return -1;
        if (r == 1) {
            resultado = 1;
            break;
        }
    }
    f.cierra();
    leido_cfg = 1;
    borra_marca_error(ERR_CFG_DATOS);
    return resultado;
}

}  // namespace talmir
