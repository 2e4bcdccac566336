// SPDX-License-Identifier: GPL-2.0-or-later
// Access decision on a station's first call, and the handlers of the modes
// that are carried out here.
#pragma once

#include <cstdint>

#include "driver/disco.h"

namespace talmir {

void prim_llamd(char* r_buf);
void decision(std::uint8_t modo, char* r_buf);
// Hands the station to the port's default mode after a fault (errors 4 and 7,
// a table without a line for today). A fall-back that leads back to another
// fall-back in the same run refuses the station instead of looping.
void decision_respaldo(char* r_buf);
void libre(char* r_buf);
void excluido(char* r_buf);
void bbs(char* r_buf);

}  // namespace talmir
