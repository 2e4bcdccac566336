// SPDX-License-Identifier: GPL-2.0-or-later
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
// FBB built with 32-bit longs: Debian's i386 and armhf packages (measured),
// or an FBB built with THIRTYTWOBITDATA.
inline constexpr FormatoInfsys INFSYS_ILP32 = {360, 93};
// FBB built with 64-bit longs: Debian's amd64 and arm64 packages (measured).
inline constexpr FormatoInfsys INFSYS_LP64 = {380, 109};
// Room for a record of either layout.
inline constexpr int INFSYS_TAM_MAX = 380;
static_assert(INFSYS_ILP32.ofs_lang < INFSYS_ILP32.tam_registro &&
              INFSYS_LP64.ofs_lang < INFSYS_LP64.tam_registro &&
              INFSYS_ILP32.tam_registro <= INFSYS_TAM_MAX &&
              INFSYS_LP64.tam_registro <= INFSYS_TAM_MAX);

// The layout of an FBB built for the machine this is compiled for, by target
// architecture as measured with Debian's FBB 7.0.11: 380 bytes on amd64 and
// arm64, 360 on i386 and armhf. LinFBB declares the record's five longs packed
// to 2-byte alignment, so the layout depends on the size of long alone: 32-bit
// ARM, whose EABI aligns 8-byte types where i386 does not, lays it out as i386
// does. Elsewhere the size of long decides, for the same reason.
inline constexpr FormatoInfsys INFSYS_NATIVO =
#if (defined(__x86_64__) || defined(__aarch64__)) && !defined(__ILP32__)
    INFSYS_LP64;  // amd64, arm64
#elif defined(__x86_64__) || defined(__aarch64__) || defined(__i386__) || defined(__arm__)
    INFSYS_ILP32;  // i386, armhf, armel; x32 and arm64's ILP32 ABI (32-bit longs)
#else
    sizeof(long) == 8 ? INFSYS_LP64 : INFSYS_ILP32;
#endif

// The layout this build reads, chosen when it is configured.
extern const FormatoInfsys INFSYS_FORMATO;

// The station's language from FBB's user and language files. FBB's host
// configuration is read first, on every call (its faults are reported), and
// the user file only when buscar is set: otherwise 0, no language.
int langused(char* lang_name, bool buscar = true);
// datos must hold INFSYS_TAM_MAX bytes; a record of INFSYS_FORMATO's size
// is copied into it.
int lee_infsys(const char* indic_a_buscar, unsigned char* datos);
int lee_languesys(int lang_num, char* lang_name);

}  // namespace talmir
