// SPDX-License-Identifier: GPL-2.0-or-later
// The words in which talmir-check tells one run of the filter: its exit
// code, what the dry run recorded, and what the station sees.
#pragma once

#include <string>

#include "driver/disco_simulado.h"

namespace talmir {

// "let in, exit 0", "challenge, exit 1" ...
std::string desenlace(int salida);
// "writes PATH", "removes PATH" ...
std::string accion(const Simulacion::Accion& a);
// A line of what the station sees, its control and 8-bit bytes as \xNN.
std::string visible(const std::string& s);

}  // namespace talmir
