// The random numbers of the challenges: random(), seeded once a run.
#pragma once

#include <cstdint>

namespace talmir {

// random() modulo num (num above 0; 0 otherwise).
std::int32_t random_nb(std::int32_t num);
// Seeds random() with the time in whole seconds.
void prt_randomize();

}  // namespace talmir
