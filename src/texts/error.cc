// Placeholder: filled in by its own change.
#include "texts/error.h"

namespace talmir {

void error(std::uint16_t, std::uint16_t, char*) {}
char* fch_err_tmp(char* ruta, int) { ruta[0] = 0; return ruta; }
void borra_marca_error(int) {}

}  // namespace talmir
