// Error reporting: "error.prt", the markers and the mail to the sysops.
#pragma once

#include <cstddef>
#include <cstdint>

namespace talmir {

void error(std::uint16_t num_error, std::uint16_t linea, char* r_buf);
char* fch_err_tmp(char* ruta, int num_err);
// Removes the marker of an error that has been mended.
void borra_marca_error(int num_err);

}  // namespace talmir
