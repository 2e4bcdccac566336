// SPDX-License-Identifier: GPL-2.0-or-later
// The line readers whose details every reader of a file relies on.
#include "driver/lineas.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

// Both line readers give the same lines, cut the same way, for any text.
TEST(Lineas, LectoresDeLineasIguales) {
    const std::vector<std::string> textos = {
        "",
        "uno",
        "uno\ndos\n",
        "\n\n\n",
        "crlf\r\nfin",
        std::string(9, 'x') + "\n" + std::string(10, 'y') + "\nz\n",  // exactly size-1, size
        std::string(40000, 'l') + "\ncorta\n",  // across the reader's own buffer
        std::string(16383, 'a') + "\n" + std::string(5, 'b') + "\n",
        // A NUL byte in a line, or in the dropped rest of a long one, never
        // takes the next line with it.
        std::string("a\0b\nsegunda\n", 12),
        std::string("0123456789AB\0CD\nsig\n", 20),
        std::string("0123456789\0\nsig\0", 17),
    };
    for (const std::string& t : textos) {
        std::FILE* f1 = tmpfile();
        std::FILE* f2 = tmpfile();
        ASSERT_NE(f1, nullptr);
        ASSERT_NE(f2, nullptr);
        std::fwrite(t.data(), 1, t.size(), f1);
        std::fwrite(t.data(), 1, t.size(), f2);
        std::rewind(f1);
        std::rewind(f2);
        talmir::LectorLineas lector(f2);
        char a[11];
        char b[11];
        bool larga_a = false;
        bool larga_b = false;
        int lineas = 0;
        for (;;) {
            bool hay_a = talmir::lee_linea(f1, a, sizeof a, &larga_a);
            bool hay_b = lector.linea(b, sizeof b, &larga_b);
            ASSERT_EQ(hay_a, hay_b) << t.size() << " line " << lineas;
            if (!hay_a) break;
            EXPECT_STREQ(a, b);
            EXPECT_EQ(larga_a, larga_b) << a;
            ++lineas;
        }
        std::fclose(f1);
        std::fclose(f2);
    }
}

TEST(Lineas, LeeLineaCortaYSigue) {
    std::FILE* f = tmpfile();
    std::fputs("0123456789ABC\nsigue\nsin fin", f);
    std::rewind(f);
    char b[6];
    bool larga = false;
    ASSERT_TRUE(talmir::lee_linea(f, b, sizeof b, &larga));
    EXPECT_STREQ(b, "01234");
    EXPECT_TRUE(larga);
    ASSERT_TRUE(talmir::lee_linea(f, b, sizeof b, &larga));
    EXPECT_STREQ(b, "sigue");
    EXPECT_FALSE(larga);
    ASSERT_TRUE(talmir::lee_linea(f, b, sizeof b, &larga));
    EXPECT_STREQ(b, "sin f");
    EXPECT_FALSE(talmir::lee_linea(f, b, sizeof b, &larga));
    std::fclose(f);
}

TEST(Lineas, LeePalabraDiceLaLongitudEntera) {
    const char* p = "  uno\tdosdosdos  ";
    char w[4];
    EXPECT_EQ(talmir::lee_palabra(&p, w, sizeof w), 3u);
    EXPECT_STREQ(w, "uno");
    EXPECT_EQ(talmir::lee_palabra(&p, w, sizeof w), 9u);
    EXPECT_STREQ(w, "dos");
    EXPECT_EQ(talmir::lee_palabra(&p, w, sizeof w), 0u);
}

}  // namespace
