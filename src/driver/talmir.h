// Entry and run driver: the three kinds of invocation, the station record
// from FBB's arguments, the banner and the sysop's command line.
#pragma once

namespace talmir {

// The whole run; main only calls this and returns its result.
int talmir_main(int argc, char** argv);
// Fills usuario from a station-mode argument vector of argc entries (missing
// ones count as empty texts). 1, or -1 for a malformed callsign argument.
int almacena_arg(int argc, char** argv);
// Writes the banner straight to standard output.
void sin_arg(char* r_buf);
// The sysop's command line: argv2 is "#" when there is no second argument.
void cmd_directo(const char* argv1, const char* argv2, char* r_buf);

}  // namespace talmir
