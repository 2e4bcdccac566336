// SPDX-License-Identifier: GPL-2.0-or-later
// Small reading helpers shared by the readers of src/config.
#include "config/lectura.h"

#include "driver/disco.h"
#include "driver/global.h"

namespace talmir {

void avisa(hallazgo que, std::uint16_t linea, const char* palabra) {
    if (oyente_config != nullptr) oyente_config(que, linea, palabra);
}

int lee_puerto_modo(const char** p, PalabrasPuerto* w, std::uint16_t num, bool fin_de_bloque) {
    w->np = lee_palabra(p, w->puerto, sizeof w->puerto);
    if (fin_de_bloque && w->np > 0 && w->puerto[0] == '-') return 0;
    w->nm = lee_palabra(p, w->modo, sizeof w->modo);
    if (w->np == 0 || w->nm == 0) {
        avisa(hallazgo::pocas_palabras, num, nullptr);
        return -1;
    }
    if (w->np > PALABRA_MAX || w->nm > PALABRA_MAX) {
        avisa(hallazgo::palabra_larga, num, w->np > PALABRA_MAX ? w->puerto : w->modo);
        return -1;
    }
    strupr(w->puerto);
    strupr(w->modo);
    return 1;
}

int numero_modo(const PalabrasPuerto& w, std::uint16_t num, char* r_buf, int tipo) {
    return w.nm <= 2 ? numero_corto(w.modo) : transf_modo(w.modo, num, r_buf, tipo);
}

int numero_corto(const char* palabra) {
    int v = 0;
    for (int i = 0; i < 2 && es_digito(palabra[i]); ++i) v = v * 10 + (palabra[i] - '0');
    return v;
}

bool entero_de_palabra(const char* palabra, long* valor) {
    const char* p = palabra;
    bool negativo = *p == '-';
    if (*p == '+' || *p == '-') ++p;
    if (!es_digito(*p)) return false;
    long v = 0;
    for (; es_digito(*p); ++p) {
        if (v < 1000000) v = v * 10 + (*p - '0');
    }
    if (*p != '\0') return false;
    *valor = negativo ? -v : v;
    return true;
}

bool lee_entero(const char** p, long* valor) {
    char palabra[16];
    std::size_t n = lee_palabra(p, palabra, sizeof palabra);
    if (n == 0 || n >= sizeof palabra) return false;
    return entero_de_palabra(palabra, valor);
}

void quita_barra_final(char* ruta) {
    std::size_t n = std::strlen(ruta);
    if (n > 0 && (ruta[n - 1] == '/' || ruta[n - 1] == '\\')) ruta[n - 1] = '\0';
}

bool toma_correo(const char* texto) {
    char fichero[sizeof infbbs.fch_correo];
    int r = toma_ruta(fichero, texto);
    if (r <= 0) return r == 0;
    const char* bloqueo = lfile(fichero);
    if (bloqueo[0] == '\0' ||
        !copia(infbbs.fch_bloq_correo, sizeof infbbs.fch_bloq_correo, bloqueo)) {
        return false;
    }
    copia(infbbs.fch_correo, sizeof infbbs.fch_correo, fichero);
    return true;
}

}  // namespace talmir
