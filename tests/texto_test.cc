// SPDX-License-Identifier: GPL-2.0-or-later
// The text helpers whose details every reader relies on.
#include "driver/texto.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

using talmir::a_numero;
using talmir::strupr;

TEST(Texto, Strupr) {
    char a[] = "n0call-0";
    EXPECT_STREQ(strupr(a), "N0CALL-0");
    char b[] = "a\xE1z";
    EXPECT_STREQ(strupr(b), "A\xE1Z");
    char c[] = "";
    EXPECT_STREQ(strupr(c), "");
}

TEST(Texto, ANumero) {
    struct Caso {
        const char* texto;
        std::int32_t valor;
    };
    for (Caso c : {Caso{"12", 12}, Caso{"  -1", -1}, Caso{"+7x", 7}, Caso{"x", 0}, Caso{"", 0},
                   Caso{"--1", 0}, Caso{"2147483647", INT32_MAX}, Caso{"2147483648", INT32_MAX},
                   Caso{"-2147483649", INT32_MIN}, Caso{"99999999999999999999999", INT32_MAX},
                   Caso{"\t\n 3 4", 3}}) {
        EXPECT_EQ(a_numero(c.texto), c.valor) << c.texto;
    }
}

TEST(Texto, CopiaYFormateaDicenSiCortaron) {
    char b[4];
    EXPECT_TRUE(talmir::copia(b, sizeof b, "abc"));
    EXPECT_FALSE(talmir::copia(b, sizeof b, "abcd"));
    EXPECT_STREQ(b, "abc");
    EXPECT_TRUE(talmir::formatea(b, sizeof b, "%d", 123));
    EXPECT_FALSE(talmir::formatea(b, sizeof b, "%d", 1234));
    EXPECT_STREQ(b, "123");
}

// Formats of text and "%s" only are put together without vsnprintf: the
// same text, cut the same way, with the same answer.
TEST(Texto, FormateaTextosComoSnprintf) {
    const char* formatos[] = {
        "%s/%s",         "%s",   "",       "abc", "SP %s < TALMIR", "%s %s %s.",
        "{TALMIR-%s}\n", "%s%s", "x%sy%sz"};
    const char* textos[] = {"", "a", "/var/ax25/fbb/talmir", "users.prt", "0123456789"};
    for (const char* f : formatos) {
        for (const char* t1 : textos) {
            for (const char* t2 : textos) {
                for (std::size_t size = 0; size < 40; ++size) {
                    char esperado[64];
                    char b[64];
                    std::memset(esperado, '#', sizeof esperado);
                    std::memset(b, '#', sizeof b);
                    const char* t3 = t1;
                    int n = std::snprintf(esperado, size, f, t1, t2, t3);
                    bool ok = talmir::formatea(b, size, f, t1, t2, t3);
                    EXPECT_EQ(ok, n >= 0 && static_cast<std::size_t>(n) < size) << f << " " << size;
                    EXPECT_EQ(std::memcmp(b, esperado, sizeof b), 0) << f << " " << size;
                }
            }
        }
    }
}

// "%d" joins them: the same digits and sign for every int, cut alike.
TEST(Texto, FormateaEnterosComoSnprintf) {
    const char* formatos[] = {"%d", "error%d.tmp", "%s%d.prt", "%s/%s%d.tmp"};
    const int numeros[] = {0, 7, -1, 10, 99, 127, -128, 65535, INT_MAX, INT_MIN};
    for (const char* f : formatos) {
        for (int v : numeros) {
            for (std::size_t size = 0; size < 32; ++size) {
                char esperado[48];
                char b[48];
                std::memset(esperado, '#', sizeof esperado);
                std::memset(b, '#', sizeof b);
                const bool dos = std::strstr(f, "%s/") != nullptr;
                const bool uno = !dos && std::strstr(f, "%s") != nullptr;
                int n = dos   ? std::snprintf(esperado, size, f, "dir", "N0CALL", v)
                        : uno ? std::snprintf(esperado, size, f, "open", v)
                              : std::snprintf(esperado, size, f, v);
                bool ok = dos   ? talmir::formatea(b, size, f, "dir", "N0CALL", v)
                          : uno ? talmir::formatea(b, size, f, "open", v)
                                : talmir::formatea(b, size, f, v);
                EXPECT_EQ(ok, n >= 0 && static_cast<std::size_t>(n) < size) << f << " " << v;
                EXPECT_EQ(std::memcmp(b, esperado, sizeof b), 0) << f << " " << v << " " << size;
            }
        }
    }
}

}  // namespace
