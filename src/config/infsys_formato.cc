// The "inf.sys" layout of the FBB this build is for. Compiled once per
// choice, like the fixed paths: TALMIR_INFSYS_LAYOUT is 1 for 32-bit data,
// 2 for 64-bit longs, and 0 (native) for an FBB built for this machine.
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
    sizeof(long) == 8 ? INFSYS_LP64 : INFSYS_ILP32;
#endif

}  // namespace talmir
