// SPDX-License-Identifier: GPL-2.0-or-later
// Error reporting: "error.prt", the markers and the mail to the sysops.
#pragma once

#include <cstddef>
#include <cstdint>

namespace talmir {

// The error numbers, as error.prt and the markers name them.
inline constexpr std::uint16_t ERR_INIT = 1;       // FBB's configuration unreadable
inline constexpr std::uint16_t ERR_CORREO = 2;     // no mail import for a new user's mail
inline constexpr std::uint16_t ERR_CFG_ABRE = 3;   // "config.prt" cannot be opened
inline constexpr std::uint16_t ERR_TABLA = 4;      // the station's password table is missing
inline constexpr std::uint16_t ERR_CFG_DATOS = 5;  // a faulty line of "config.prt"
inline constexpr std::uint16_t ERR_LENGUAJE = 6;   // the language file's count of texts
inline constexpr std::uint16_t ERR_USR_DATOS = 7;  // a faulty line of "users.prt"
inline constexpr std::uint16_t ERR_ABIERTO = 8;    // no open text though txtusr is on
inline constexpr std::uint16_t ERR_INFO = 9;       // no information text
inline constexpr std::uint16_t ERR_RETO = 10;      // the challenge file cannot be written or read
inline constexpr std::uint16_t ERR_EXCLUIDO = 11;  // no exclusion text though txtexcl is on
inline constexpr std::uint16_t ERR_MEMORIA = 13;   // raised by no part
// A station's line that FBB's shell ran as shell syntax (driver/inyeccion.h).
inline constexpr std::uint16_t ERR_INYECCION = 14;
// A faulty line of "bloqueo.prt" (config/bloqueo.h): the other lines apply.
inline constexpr std::uint16_t ERR_BLOQUEO = 15;

void error(std::uint16_t num_error, std::uint16_t linea, char* r_buf);
// A listener that takes every error in place of the error routine, which then
// writes, marks, mails and decides nothing, and removes no marker: set by the
// configuration checker, which must leave the working directory as it is.
using OyenteError = void (*)(std::uint16_t num_error, std::uint16_t linea);
extern OyenteError oyente_error;
char* fch_err_tmp(char* ruta, int num_err);
// Removes the marker of an error that has been mended.
void borra_marca_error(int num_err);

}  // namespace talmir
