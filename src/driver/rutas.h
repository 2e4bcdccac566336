// SPDX-License-Identifier: GPL-2.0-or-later
// Every fixed path of the program, in one place. The build puts the CMake
// variable TALMIR_ROOT in front of each of them; a default build uses the
// paths exactly as they stand. Paths read from FBB's own files are used as
// written and never pass through here.
#pragma once

namespace talmir {

// The working directory: the program's own files, markers, logs and texts.
extern const char* const DIR_TRABAJO;  // /var/ax25/fbb/talmir
// FBB's key/value configuration, as the build names it.
extern const char* const FBB_CONF;  // /etc/ax25/fbb.conf
// FBB's default paths, used until FBB's configuration names others.
extern const char* const FBB_MAIL_IN;  // /var/ax25/fbb/mail/mail.in
extern const char* const FBB_LOCK_IN;  // /var/ax25/fbb/mail/mail.lck
extern const char* const FBB_SYSTEM;   // /etc/ax25/fbb/
extern const char* const FBB_DATADIR;  // /var/ax25/fbb/

// The installed FBB, as talmir-check looks at it: FBB's daemon, and the
// package database that dpkg-query reads for its version. The database is
// named only when the build has a root in front of its paths (nullptr
// otherwise: dpkg-query's own, for dpkg's database is dpkg's to locate).
extern const char* const FBB_XFBBD;      // /usr/sbin/xfbbd
extern const char* const DPKG_ADMINDIR;  // ROOT/var/lib/dpkg, or nullptr

// The kernel's process table, where the command of the run's parent shell is
// read. It is the running system's own: never under TALMIR_ROOT.
extern const char* const DIR_PROC;  // /proc

// The FBB configuration to read: the value of FBBCONF, FBB's own way of
// naming it (inherited from FBB, used as written), or else FBB_CONF.
const char* ruta_fbb_conf();

}  // namespace talmir
