// Placeholder: filled in by its own change.
#include "auth/md2c.h"

namespace talmir {

void MD2Init(MD2_CTX*) {}
void MD2Update(MD2_CTX*, const unsigned char*, unsigned int) {}
void MD2Final(unsigned char*, MD2_CTX*) {}

}  // namespace talmir
