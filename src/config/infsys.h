// FBB's user file and language list: a station's language name.
#pragma once

#include <cstdint>

namespace talmir {

inline constexpr int INFSYS_TAM_REGISTRO = 360;
inline constexpr int INFSYS_OFS_LANG = 93;

int langused(char* lang_name);
int lee_infsys(const char* indic_a_buscar, unsigned char* datos);
int lee_languesys(int lang_num, char* lang_name);

}  // namespace talmir
