// SPDX-License-Identifier: GPL-2.0-or-later
// FBB's key/value configuration file (fbb.conf): held as a list of keys and
// values, and its fields read into the host configuration.
#pragma once

namespace talmir {

int read_fbb_conf(const char* pathname);
const char* find_fbb_conf(const char* key, int next);
void free_fbb_conf();

// The fields of fbb.conf, from the list read by read_fbb_conf, into infbbs;
// false when a path did not fit.
bool lee_fbb_conf();

}  // namespace talmir
