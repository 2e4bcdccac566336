// The random numbers of the challenges.
#include "driver/azar.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>

namespace {

TEST(Azar, RandomNb) {
    srandom(1);
    for (int i = 0; i < 200; ++i) {
        std::int32_t n = talmir::random_nb(10);
        EXPECT_GE(n, 0);
        EXPECT_LT(n, 10);
        EXPECT_EQ(talmir::random_nb(1), 0);
    }
}

}  // namespace
