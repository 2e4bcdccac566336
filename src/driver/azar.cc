#include "driver/azar.h"

#include <cstdlib>
#include <ctime>

namespace talmir {

std::int32_t random_nb(std::int32_t num) {
    if (num <= 0) return 0;
    return static_cast<std::int32_t>(random() % num);
}

void prt_randomize() {
    srandom(static_cast<unsigned>(std::time(nullptr)));
}

}  // namespace talmir
