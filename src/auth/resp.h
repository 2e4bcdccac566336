// SPDX-License-Identifier: GPL-2.0-or-later
// Judges a station's answer to a challenge.
#pragma once

#include <cstdint>

namespace talmir {

// What a challenge file holds.
struct Reto {
    char pas_tmp[301];  // the plain answer: the whole first word of line 1
    char pas_md2[33];   // the digests a digest answer is to equal
    char pas_md5[33];
    std::int16_t tipo;  // the challenge's type (TIPO_*)
};

// Reads the challenge file at ruta into a zeroed reto. False after error 10
// has been reported.
bool lee_reto(const char* ruta, Reto* reto, char* r_buf);

void resp_usr(char* r_buf);
// The refusal of a station whose answers are used up: "*** MISTAKEN
// IDENTITY - DENIED ACCESS!" between its line ends, appended to r_buf, and
// exit code 2.
void deniega(char* r_buf);

}  // namespace talmir
