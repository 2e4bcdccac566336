// SPDX-License-Identifier: GPL-2.0-or-later
// Entry and run driver: the three kinds of invocation, the station record
// from FBB's arguments, the banner and the sysop's command line.
#pragma once

namespace talmir {

// The whole run; main only calls this and returns its result.
int talmir_main(int argc, char** argv);
// One station's run as FBB makes it (more than three arguments), once the
// globals are set up and the built-in texts in place: what the station is to
// see goes to r_buf (RBUF_SIZE bytes) and nothing is printed. Returns the
// exit code.
int corre_estacion(int argc, char** argv, char* r_buf);
// Fills usuario from a station-mode argument vector of argc entries (missing
// ones count as empty texts). 1, or -1 for a malformed callsign argument.
int almacena_arg(int argc, char** argv);
// Writes the banner straight to standard output.
void sin_arg(char* r_buf);
// The sysop's command line: argv2 is "#" when there is no second argument.
void cmd_directo(const char* argv1, const char* argv2, char* r_buf);

}  // namespace talmir
