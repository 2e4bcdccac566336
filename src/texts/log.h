// SPDX-License-Identifier: GPL-2.0-or-later
// Logs of failed passwords, excluded stations and connections.
#pragma once

#include <cstdint>

namespace talmir {

void lognopas();
void logexcld();
void logcnx(int tipo);
int search_logusr(std::uint16_t* log_ops);
void cabecera_log(char* buffer);
void log(const char* sysop_log_t, char* r_buf);

}  // namespace talmir
