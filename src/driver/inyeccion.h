// SPDX-License-Identifier: GPL-2.0-or-later
// A station's line that reached FBB's shell as shell syntax. LinFBB 7.0.11
// pastes the typed line unquoted into the command it hands to /bin/sh:
//   cd <fdir> ; ./c_filter CALL-SSID level flags new record port <line>
//       </dev/null ><dir>/EXECUTE.xxx
// so a station that types "x|true" or "$(...)" has the shell run commands
// (as FBB's user) and, with a pipe, the shell's status, not the filter's,
// decides. The filter cannot undo what the shell did before it started, but
// it can recognise such a run from the command of its parent shell and refuse
// it, so that no challenge is left to answer and the sysops hear of it.
#pragma once

#include <cstddef>

namespace talmir {

// Room for the station's part of FBB's command (FBB cuts the line to 80
// characters; the blanks FBB puts around it, and a terminator).
inline constexpr std::size_t INYECCION_MAX = 84;

// The station's part of the command of the run's parent shell, when it was
// injected; empty otherwise. Set by busca_inyeccion, read by the error report.
extern char linea_inyectada[INYECCION_MAX];

// The station's part of one command as FBB's shell ran it. 1 when the command
// has FBB's form and the station's part holds what makes the shell run or
// redirect something (command substitution, a pipe, "&", "<", ">" outside
// quotes) or, with salida_tuberia (the run's standard output is a pipe), any
// text at all; 0 when not (not FBB's command, or nothing injected). The part
// goes to texto (size bytes, cut to fit) when 1 is returned.
int analiza_orden_fbb(const char* orden, std::size_t largo, bool salida_tuberia, char* texto,
                      std::size_t size);

// Looks at the command of the run's parent (through /proc) and the kind of
// the run's standard output. 1 when the station's line was injected, with the
// station's part in linea_inyectada; 0 otherwise, also when nothing can be
// read.
int busca_inyeccion();

// Refuses the station whose line was injected: no challenge stays, the error
// is reported (mailed to the sysops once per marker), the failure logged when
// the log of failed passwords is on, and the refusal text appended to r_buf.
// Exit code 2.
void rechaza_inyeccion(char* r_buf);

}  // namespace talmir
