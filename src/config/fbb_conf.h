// FBB's key/value configuration file as a list of keys and values.
#pragma once

namespace talmir {

int read_fbb_conf(const char* pathname);
const char* find_fbb_conf(const char* key, int next);
void free_fbb_conf();

}  // namespace talmir
