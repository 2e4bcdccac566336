// SPDX-License-Identifier: GPL-2.0-or-later
// The configuration checker: every file the filter reads, read with the
// filter's own readers, every fault reported.
#pragma once

#include <cstdio>

#include "check/informe.h"

namespace talmir {

// Exit statuses of talmir-check.
inline constexpr int REVISION_LIMPIA = 0;
inline constexpr int REVISION_ERRORES = 1;
inline constexpr int REVISION_ILEGIBLE = 2;

// Checks "config.prt", "users.prt", the language file, the texts that the
// configuration needs, the password tables, FBB's files and the working
// directory. Nothing is written or removed. Returns an exit status.
int revisa(Informe& inf);

// What happens to the station (CALL-SSID as FBB passes it) on the port at its
// first call: the lines that serve it, its mode, the outcome and the texts it
// is sent, written to out, faults included. Returns an exit status, or -1
// when the callsign is not in FBB's form.
int que_pasa(const char* indicativo, const char* puerto, unsigned mascara, bool nuevo,
             std::FILE* out);

}  // namespace talmir
