// Placeholder: filled in by its own change.
#include "auth/password.h"

namespace talmir {

bool ruta_reto(char*, std::size_t) { return false; }
bool escribe_reto(const char*, std::size_t) { return false; }
void password_frase(char*) {}
void password_normal(char*) {}
void password_flexnet(char*) {}
void password_tabla(char*) {}
void password_md(char*) {}

}  // namespace talmir
