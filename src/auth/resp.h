// Judges a station's answer to a challenge.
#pragma once

namespace talmir {

void resp_usr(char* r_buf);
// The refusal of a station whose answers are used up: "*** MISTAKEN
// IDENTITY - DENIED ACCESS!" between its line ends, appended to r_buf, and
// exit code 2.
void deniega(char* r_buf);

}  // namespace talmir
