// Error reporting: "error.prt", the markers and the mail to the sysops.
#pragma once

#include <cstddef>
#include <cstdint>

namespace talmir {

// A station's line that FBB's shell ran as shell syntax (driver/inyeccion.h).
inline constexpr std::uint16_t ERR_INYECCION = 14;

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
