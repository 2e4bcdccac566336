// Placeholder: filled in by its own change.
#include "texts/log.h"

namespace talmir {

void lognopas() {}
void logexcld() {}
void logcnx(int) {}
int search_logusr(std::uint16_t*) { return 0; }
void cabecera_log(char* b) { b[0] = 0; }
void log(const char*, char*) {}

}  // namespace talmir
