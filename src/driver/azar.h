// SPDX-License-Identifier: GPL-2.0-or-later
// The random numbers of the challenges. The default build draws them from
// the kernel's random source, uniform over each range, so that two challenges
// of the same second are independent. The clock build (TALMIR_RANDOM=clock)
// seeds random() with the time in whole seconds and takes random() modulo
// the range, so that a dialogue can be reproduced from the second it ran in.
#pragma once

#include <cstdint>

namespace talmir {

// A number from 0 to num-1 (num above 0; 0 otherwise). When the random
// source fails, 0, and azar_fallido() tells it from then on.
std::int32_t random_nb(std::int32_t num);
// The clock build seeds random() with the time in whole seconds; the default
// build needs no seed.
void prt_randomize();
// True when a draw of this run could not be made: no challenge may be
// issued from its numbers.
bool azar_fallido();
// For the tests: the random source fails from now on (true) or works again.
void azar_simula_fallo(bool falla);

}  // namespace talmir
