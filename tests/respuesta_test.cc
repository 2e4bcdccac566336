// SPDX-License-Identifier: GPL-2.0-or-later
// The response buffer never grows past its 1023 characters.
#include "driver/respuesta.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(Respuesta, RbufNuncaPasaDe1023) {
    char r_buf[1024] = {};
    std::string largo(700, 'a');
    talmir::rbuf_add(r_buf, largo);
    talmir::rbuf_add(r_buf, largo);
    talmir::rbuf_addf(r_buf, "%s", largo.c_str());
    EXPECT_EQ(std::string(r_buf), std::string(1023, 'a'));
}

}  // namespace
