// SPDX-License-Identifier: GPL-2.0-or-later
// The "inf.sys" layout of the FBB this build is for. Compiled once per
// choice, like the fixed paths: TALMIR_INFSYS_LAYOUT is 1 for 32-bit data,
// 2 for 64-bit longs, and 0 (native) for an FBB built for this machine.
#include <cstddef>

#include "config/infsys.h"

#ifndef TALMIR_INFSYS_LAYOUT
#define TALMIR_INFSYS_LAYOUT 0
#endif

namespace talmir {

const FormatoInfsys INFSYS_FORMATO =
#if TALMIR_INFSYS_LAYOUT == 1
    INFSYS_ILP32;
#elif TALMIR_INFSYS_LAYOUT == 2
    INFSYS_LP64;
#else
    INFSYS_NATIVO;
#endif

namespace {

// FBB's user record as LinFBB 7.0.11 declares it (struct "info" in
// include/fbb_serv.h, with the fields named as there), laid out by the
// compiler of this build for its target: the native choice must agree with
// it, on every architecture this is compiled for. The fields are only
// measured (sizeof, offsetof), which cppcheck takes for never used.
#define FBB_A2 __attribute__((packed, aligned(2)))
struct Indicat {
    // cppcheck-suppress unusedStructMember
    char call[7];
    // cppcheck-suppress unusedStructMember
    char num;
};
struct Info {
    Indicat indic;
    Indicat relai[8];
    long lastmes FBB_A2;
    long nbcon FBB_A2;
    long hcon FBB_A2;
    long lastyap FBB_A2;
    unsigned short flags;
    unsigned short on_base;
    unsigned char nbl;
    unsigned char lang;
    long newbanner FBB_A2;
    unsigned short download;
    char free[20];
    char theme;
    char nom[18];
    char prenom[13];
    char adres[61];
    char ville[31];
    char teld[13];
    char telp[13];
    char home[41];
    char qra[7];
    char priv[13];
    char filtre[7];
    char pass[13];
    char zip[9];
};
#undef FBB_A2

static_assert(sizeof(Info) == INFSYS_NATIVO.tam_registro,
              "the native inf.sys record size is not that of FBB's record for this target");
static_assert(offsetof(Info, lang) == INFSYS_NATIVO.ofs_lang,
              "the native language offset is not that of FBB's record for this target");
static_assert(offsetof(Info, indic) == 0 && offsetof(Info, indic.num) == 7);

}  // namespace

}  // namespace talmir
