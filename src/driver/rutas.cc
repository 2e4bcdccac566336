#include "driver/rutas.h"

#ifndef TALMIR_ROOT
#define TALMIR_ROOT ""
#endif

namespace talmir {

const char* const DIR_TRABAJO = TALMIR_ROOT "/var/ax25/fbb/talmir";
const char* const FBB_CONF = TALMIR_ROOT "/etc/ax25/fbb.conf";
const char* const FBB_MAIL_IN = TALMIR_ROOT "/var/ax25/fbb/mail/mail.in";
// FBB guards its import file with the import path's name ending in ".lck",
// the default path included: a lock of any other name would guard nothing.
const char* const FBB_LOCK_IN = TALMIR_ROOT "/var/ax25/fbb/mail/mail.lck";
const char* const FBB_SYSTEM = TALMIR_ROOT "/etc/ax25/fbb/";
const char* const FBB_DATADIR = TALMIR_ROOT "/var/ax25/fbb/";

}  // namespace talmir
