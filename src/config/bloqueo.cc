// SPDX-License-Identifier: GPL-2.0-or-later
// "bloqueo.prt": its lines, and the rule of a port.
#include "config/bloqueo.h"

#include <cstdio>
#include <cstring>

#include "config/config.h"
#include "config/lectura.h"
#include "driver/disco.h"
#include "driver/lineas.h"
#include "driver/texto.h"

namespace talmir {

namespace {

// A number of at most five digits and nothing else, from 1 to max; -1 when
// it is not one.
long numero(const char* palabra, long max) {
    long v = 0;
    std::size_t n = 0;
    for (; es_digito(palabra[n]); ++n) {
        if (n >= 5) return -1;
        v = v * 10 + (palabra[n] - '0');
    }
    if (n == 0 || palabra[n] != '\0' || v < 1 || v > max) return -1;
    return v;
}

bool falla(char* falta, const char* fmt, const char* palabra) {
    formatea(falta, FALTA_BLOQUEO_MAX, fmt, palabra);
    return false;
}

bool lee_puerto(char* palabra, int* puerto, char* falta, char* r_buf) {
    if (std::strcmp(palabra, "*") == 0) {
        *puerto = -1;
        return true;
    }
    if (es_digito(palabra[0])) {
        std::size_t n = 0;
        while (es_digito(palabra[n])) ++n;
        if (n > 2 || palabra[n] != '\0') {
            return falla(falta, "port %s: a number from 0 to 99, a port name or *", palabra);
        }
        *puerto = numero_corto(palabra);
        return true;
    }
    strupr(palabra);
    const int p = busca_puerto(palabra, r_buf);
    switch (p) {
        case PUERTO_SIN_FBB:
            return falla(falta, "port %s: FBB's configuration cannot be read", palabra);
        case PUERTO_SIN_PORTSYS:
            return falla(falta, "port %s: FBB's port descriptions cannot be read", palabra);
        case PUERTO_DESCONOCIDO:
            return falla(falta, "port %s is not among FBB's port descriptions", palabra);
        default:
            *puerto = p;
            return true;
    }
}

}  // namespace

bool linea_bloqueo(const char* linea, LINEABLQ* l, char* falta, char* r_buf) {
    char w[5][PALABRA_MAX + 1];
    const char* p = linea;
    int n = 0;
    while (n < 5 && lee_palabra(&p, w[n], sizeof w[n]) != 0) ++n;
    if (n != 4) return falla(falta, "%s", "four words are needed: PORT FAILURES WINDOW LOCK");
    int puerto = 0;
    if (!lee_puerto(w[0], &puerto, falta, r_buf)) return false;
    const long fallos = numero(w[1], BLOQUEO_FALLOS_MAX);
    if (fallos < 0) return falla(falta, "FAILURES %s: a number from 1 to 99", w[1]);
    const long ventana = numero(w[2], BLOQUEO_MINUTOS_MAX);
    if (ventana < 0) return falla(falta, "WINDOW %s: minutes from 1 to 10080", w[2]);
    const long minutos = numero(w[3], BLOQUEO_MINUTOS_MAX);
    if (minutos < 0) return falla(falta, "LOCK %s: minutes from 1 to 10080", w[3]);
    l->puerto = puerto;
    l->fallos = static_cast<std::uint8_t>(fallos);
    l->ventana = static_cast<std::uint16_t>(ventana);
    l->minutos = static_cast<std::uint16_t>(minutos);
    return true;
}

bool lee_bloqueo(const char* ruta, int puerto, REGLA_BLOQUEO* regla, VistaBloqueo vista, void* dato,
                 char* r_buf) {
    *regla = REGLA_BLOQUEO{};
    // A small file, read on every run: a buffer of its own spares the
    // allocation of one. It outlives the stream.
    char bufer[1024];
    Archivo f = Archivo::abre(ruta, "r");
    if (!f) return false;
    (void)std::setvbuf(f.get(), bufer, _IOFBF, sizeof bufer);
    REGLA_BLOQUEO propia;
    REGLA_BLOQUEO todos;
    // The line of each port named so far; the last place is "*".
    std::uint16_t vistos[BLOQUEO_PUERTO_MAX + 2] = {};
    char linea[LINEA_CFG];
    char motivo[FALTA_BLOQUEO_MAX];
    std::uint16_t num = 0;
    while (lee_linea(f.get(), linea, sizeof linea)) {
        ++num;
        if (es_comentario(linea)) continue;
        LINEABLQ l = {};
        if (!linea_bloqueo(linea, &l, motivo, r_buf)) {
            vista(num, nullptr, motivo, dato);
            continue;
        }
        const std::size_t sitio = l.puerto < 0 ? BLOQUEO_PUERTO_MAX + 1 : std::size_t(l.puerto);
        if (vistos[sitio] != 0) {
            if (l.puerto < 0) {
                formatea(motivo, sizeof motivo, "* has a line already (line %d)", vistos[sitio]);
            } else {
                formatea(motivo, sizeof motivo, "port %d has a line already (line %d)", l.puerto,
                         vistos[sitio]);
            }
            vista(num, nullptr, motivo, dato);
            continue;
        }
        vistos[sitio] = num;
        vista(num, &l, nullptr, dato);
        const REGLA_BLOQUEO r = {true, num, l.fallos, l.ventana, l.minutos};
        if (l.puerto == puerto) propia = r;
        if (l.puerto < 0) todos = r;
    }
    if (propia.hay) {
        *regla = propia;
    } else if (puerto != 0) {
        *regla = todos;
    }
    return true;
}

bool ruta_bloqueo(char* ruta, std::size_t size) {
    return ruta_config(ruta, size, BLOQUEO_PRT);
}

}  // namespace talmir
