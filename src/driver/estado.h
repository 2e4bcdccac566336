// SPDX-License-Identifier: GPL-2.0-or-later
// Standing state kept in marker files: the filter switch and closed ports.
#pragma once

#include <cstdint>

namespace talmir {

void estado_filtro(int accion);
void estado_puerto(std::uint8_t puerto, int accion);
std::uint8_t puerto_cerrado();

}  // namespace talmir
