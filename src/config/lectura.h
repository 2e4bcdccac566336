// SPDX-License-Identifier: GPL-2.0-or-later
// Small reading helpers shared by the readers of src/config: words and
// integers of a line, the listener's call, and the scanf-like field takers of
// FBB's host files. Internal to src/config (the character classes are in
// driver/texto.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "config/config.h"
#include "driver/lineas.h"
#include "driver/texto.h"

namespace talmir {

void avisa(hallazgo que, std::uint16_t linea, const char* palabra);

// A port or mode word holds at most 20 characters.
inline constexpr std::size_t PALABRA_MAX = 20;

inline bool empieza_por(const char* texto, const char* prefijo) {
    return std::strncmp(texto, prefijo, std::strlen(prefijo)) == 0;
}

// The two words that begin a port line of "config.prt" or "users.prt",
// upper-cased, with their full lengths.
struct PalabrasPuerto {
    char puerto[PALABRA_MAX + 1];
    char modo[PALABRA_MAX + 1];
    std::size_t np;
    std::size_t nm;
};
// Reads them from *p (left after the mode word): 1 read; 0 an end line, a
// first word that begins with "-" (only when fin_de_bloque); -1 a faulty
// line (a word missing or longer than PALABRA_MAX), told to the listener and
// left to the caller to report.
int lee_puerto_modo(const char** p, PalabrasPuerto* w, std::uint16_t num, bool fin_de_bloque);
// The number of the mode word: its leading digits when it holds one or two
// characters, else its keyword's (-1 after the fault reported as tipo says:
// 0 config.prt, 1 users.prt).
int numero_modo(const PalabrasPuerto& w, std::uint16_t num, char* r_buf, int tipo);

// The leading digits of a port or mode word of one or two characters; 0 when
// there are none.
int numero_corto(const char* palabra);
// A whole word read as a signed integer ("%hd" on a word of its own). False
// when it is not one.
bool entero_de_palabra(const char* palabra, long* valor);
// The next integer of a line, as "%hd" takes it; false when there is none.
bool lee_entero(const char** p, long* valor);

void quita_barra_final(char* ruta);

// ---- fields of FBB's host files (fbb.conf, init.srv) ----------------------

// "%[0-9A-Za-z]", cut to the field, upper-cased; unchanged when the text
// does not begin with a letter or digit.
template <std::size_t N>
void toma_alfanumerico(char (&campo)[N], const char* texto) {
    std::size_t n = 0;
    while (es_alfanumerico(texto[n])) ++n;
    if (n == 0) return;
    copia(campo, N, std::string_view(texto, n));
    strupr(campo);
}

// "%s" cut to the field (as "%6s" for callsigns), optionally upper-cased;
// unchanged when the text holds no word.
template <std::size_t N>
void toma_palabra(char (&campo)[N], const char* texto, bool mayusculas) {
    char palabra[N];
    const char* p = texto;
    if (lee_palabra(&p, palabra, N) == 0) return;
    copia(campo, N, palabra);
    if (mayusculas) strupr(campo);
}

// "%40[^\n]": the text cut to 40 characters; unchanged when it is empty.
template <std::size_t N>
void toma_linea(char (&campo)[N], const char* texto) {
    if (texto[0] == '\0') return;
    copia(campo, N, texto);
}

// A path word that must fit its field whole. 1 taken, 0 no word, -1 too long.
template <std::size_t N>
int toma_ruta(char (&campo)[N], const char* texto) {
    char palabra[N];
    const char* p = texto;
    std::size_t n = lee_palabra(&p, palabra, N);
    if (n == 0) return 0;
    if (n >= N) return -1;
    copia(campo, N, palabra);
    return 1;
}

// The mail import file and its lock; false when either does not fit.
bool toma_correo(const char* texto);

// Reads FBB's port description file into desc_port. False when none of its
// names opens.
bool lee_portsys();

}  // namespace talmir
