// SPDX-License-Identifier: GPL-2.0-or-later
// The challenge file and the challenge schemes.
#pragma once

#include <cstddef>
#include <cstdio>

#include "driver/disco.h"

namespace talmir {

// Challenge types stored on line 2 of the challenge file.
inline constexpr int TIPO_NORMAL = 0;
inline constexpr int TIPO_FRASE = 4;
inline constexpr int TIPO_MD = 6;
inline constexpr int TIPO_TABLA = 7;
inline constexpr int TIPO_FLEXNET = 9;
inline constexpr int TIPO_FORWARD = 10;

// Path of the station's challenge file; false when it does not fit.
bool ruta_reto(char* ruta, std::size_t size);
// Replaces the challenge file with the given content: mode 0600, written to a
// temporary file in the same directory and renamed over the old one.
bool escribe_reto(const char* contenido, std::size_t n);
// Refuses the station instead of challenging it (exit code 2), removing the
// challenge of an earlier run.
void rechaza();
// Writes the challenge file: false after error 10 has been reported, or
// after the station was refused because the challenge's random draws could
// not be made.
bool guarda_reto(const char* contenido, std::size_t n, char* r_buf);

// Parses a password table line as "%hd %s": the day and the password word
// (its full length in *largo, 0 when there is none). False when the line does
// not start with a number.
bool linea_tabla(const char* linea, long* dia, char* palabra, std::size_t size, std::size_t* largo);
// Looks for the first line of today's day that carries a password and puts
// the password into usuario.password. False when there is none.
bool busca_dia(std::FILE* f, int hoy);

void password_frase(char* r_buf);
void password_normal(char* r_buf);
void password_flexnet(char* r_buf);
void password_tabla(char* r_buf);
void password_md(char* r_buf);

}  // namespace talmir
