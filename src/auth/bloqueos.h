// SPDX-License-Identifier: GPL-2.0-or-later
// The lockout across connections: the failures of each callsign on each
// guarded port, and its locks, kept in the working directory's "bloqueos"
// (one small file per callsign, without SSID), so that a station that
// reconnects does not start its guessing again.
#pragma once

#include <ctime>
#include <string>

#include "config/bloqueo.h"

namespace talmir {

// The reason of the last faulty line of "bloqueo.prt" met by this run, for
// the error report.
extern char falta_bloqueo[FALTA_BLOQUEO_MAX];

// The rule of the station's port, from "bloqueo.prt"; each faulty line is
// reported (error 15), without changing the station's outcome.
REGLA_BLOQUEO regla_estacion(char* r_buf);

// Until when the station is locked out of its port; 0 when it is not.
std::time_t bloqueado_hasta(const REGLA_BLOQUEO& regla);

// Counts failures of the station on its port. When they reach the rule's
// number within its window, the station is locked out (and the sysops told
// once, when the lock could be kept): the lock's end is returned, else 0. A
// state that cannot be kept loses the failures, never the verdict.
std::time_t cuenta_fallos(const REGLA_BLOQUEO& regla, int cuantos, bool inyectada, char* r_buf);

// A right answer: the station's failures on its port are forgotten.
void acierto(const REGLA_BLOQUEO& regla);

// Refuses a locked-out station: its challenge removed, the lock text sent
// ("bloqueadoN.prt" for port N, else "bloqueado.prt"), the refusal logged
// when the log of failed passwords is on; exit code 2.
void rechaza_bloqueado(char* r_buf);

// "-unlock": lifts every lock of the callsign (SSID, if given, ignored) and
// forgets its failures; "-locks": the locks in force. Each appends its
// report to out.
void desbloquea(const char* indicativo, std::string* out);
void lista_bloqueos(std::string* out);

}  // namespace talmir
