// SPDX-License-Identifier: GPL-2.0-or-later
#include "driver/rutas.h"

#include <cstdlib>

#ifndef TALMIR_ROOT
#define TALMIR_ROOT ""
#endif
// The build may name FBB's configuration elsewhere (Debian's FBB keeps it
// in /etc/ax25/fbb/fbb.conf); the root goes in front of it all the same.
#ifndef TALMIR_FBB_CONF
#define TALMIR_FBB_CONF "/etc/ax25/fbb.conf"
#endif

namespace talmir {

const char* const DIR_TRABAJO = TALMIR_ROOT "/var/ax25/fbb/talmir";
const char* const FBB_CONF = TALMIR_ROOT TALMIR_FBB_CONF;
const char* const FBB_MAIL_IN = TALMIR_ROOT "/var/ax25/fbb/mail/mail.in";
// FBB guards its import file with the import path's name ending in ".lck",
// the default path included: a lock of any other name would guard nothing.
const char* const FBB_LOCK_IN = TALMIR_ROOT "/var/ax25/fbb/mail/mail.lck";
const char* const FBB_SYSTEM = TALMIR_ROOT "/etc/ax25/fbb/";
const char* const FBB_DATADIR = TALMIR_ROOT "/var/ax25/fbb/";

const char* const FBB_XFBBD = TALMIR_ROOT "/usr/sbin/xfbbd";
const char* const DPKG_ADMINDIR = sizeof TALMIR_ROOT > 1 ? TALMIR_ROOT "/var/lib/dpkg" : nullptr;
const char* const DIR_PROC = "/proc";

const char* ruta_fbb_conf() {
    const char* var = std::getenv("FBBCONF");
    // An empty value names no file: the build's path counts then.
    return var != nullptr && var[0] != '\0' ? var : FBB_CONF;
}

}  // namespace talmir
