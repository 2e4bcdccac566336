// FBB's user file and language list: a station's language name.
#pragma once

#include <cstdint>

namespace talmir {

// The layout of an "inf.sys" record: FBB writes its user record as the
// compiler laid it out, so the record size and the place of the language
// number depend on the machine FBB was built for.
struct FormatoInfsys {
    int tam_registro;  // bytes per record
    int ofs_lang;      // offset of the language number
};
// FBB built with 32-bit longs and pointers.
inline constexpr FormatoInfsys INFSYS_ILP32 = {360, 93};
// FBB built with 64-bit longs (Debian's amd64 package among them).
inline constexpr FormatoInfsys INFSYS_LP64 = {380, 109};
// Room for a record of either layout.
inline constexpr int INFSYS_TAM_MAX = 380;
static_assert(INFSYS_ILP32.ofs_lang < INFSYS_ILP32.tam_registro &&
              INFSYS_LP64.ofs_lang < INFSYS_LP64.tam_registro &&
              INFSYS_ILP32.tam_registro <= INFSYS_TAM_MAX &&
              INFSYS_LP64.tam_registro <= INFSYS_TAM_MAX);

// The layout this build reads, chosen when it is configured.
extern const FormatoInfsys INFSYS_FORMATO;

int langused(char* lang_name);
// datos must hold INFSYS_TAM_MAX bytes; a record of INFSYS_FORMATO's size
// is copied into it.
int lee_infsys(const char* indic_a_buscar, unsigned char* datos);
int lee_languesys(int lang_num, char* lang_name);

}  // namespace talmir
