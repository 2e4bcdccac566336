// Placeholder: filled in by its own change.
#include "config/config.h"

namespace talmir {

const char* const ident_modo[14] = {};
const char* const ident_modo2[14] = {};
int es_comentario(const char* b) { return b[0] == 0 || b[0] == 0x23 || b[0] == 10; }
int lee_cfg(char*) { return 0; }
int lee_usr(char*) { return 0; }
int compara_indicativos(const char*, const char*) { return 1; }
int transf_prt(const char*, std::uint16_t, char*, int) { return -1; }
int transf_modo(const char*, std::uint16_t, char*, int) { return -1; }
int lee_init(char*) { return -1; }
int lee_init_srv(char*) { return -1; }
bool ruta_config(char*, std::size_t, const char*) { return false; }

}  // namespace talmir
