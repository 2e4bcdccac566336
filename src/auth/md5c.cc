// Placeholder: filled in by its own change.
#include "auth/md5c.h"

namespace talmir {

void MD5Init(MD5_CTX*) {}
void MD5Update(MD5_CTX*, const unsigned char*, unsigned int) {}
void MD5Final(unsigned char*, MD5_CTX*) {}
void md2_hex(const unsigned char*, std::size_t, char hex[33]) { hex[0] = 0; }
void md5_hex(const unsigned char*, std::size_t, char hex[33]) { hex[0] = 0; }

}  // namespace talmir
