// The shared helpers whose details every reader relies on.
#include "driver/utils.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

using talmir::a_numero;
using talmir::lfile;
using talmir::strupr;

TEST(Utils, Strupr) {
    char a[] = "n0call-0";
    EXPECT_STREQ(strupr(a), "N0CALL-0");
    char b[] = "a\xE1z";
    EXPECT_STREQ(strupr(b), "A\xE1Z");
    char c[] = "";
    EXPECT_STREQ(strupr(c), "");
}

TEST(Utils, Lfile) {
    EXPECT_STREQ(lfile("/var/ax25/fbb/mail/mail.in"), "/var/ax25/fbb/mail/mail.lck");
    EXPECT_STREQ(lfile("mailin"), "mailin.lck");
    EXPECT_STREQ(lfile("/a.b/mailin"), "/a.lck");
    EXPECT_STREQ(lfile(std::string(251, 'x').c_str()), (std::string(251, 'x') + ".lck").c_str());
    EXPECT_STREQ(lfile(std::string(252, 'x').c_str()), "");  // no room: no name at all
}

TEST(Utils, ANumero) {
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

TEST(Utils, RandomNb) {
    srandom(1);
    for (int i = 0; i < 200; ++i) {
        std::int32_t n = talmir::random_nb(10);
        EXPECT_GE(n, 0);
        EXPECT_LT(n, 10);
        EXPECT_EQ(talmir::random_nb(1), 0);
    }
}

TEST(Utils, CopiaYFormateaDicenSiCortaron) {
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
TEST(Utils, FormateaTextosComoSnprintf) {
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

TEST(Utils, RbufNuncaPasaDe1023) {
    char r_buf[1024] = {};
    std::string largo(700, 'a');
    talmir::rbuf_add(r_buf, largo);
    talmir::rbuf_add(r_buf, largo);
    talmir::rbuf_addf(r_buf, "%s", largo.c_str());
    EXPECT_EQ(std::string(r_buf), std::string(1023, 'a'));
}

// Both line readers give the same lines, cut the same way, for any text.
TEST(Utils, LectoresDeLineasIguales) {
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

TEST(Utils, LeeLineaCortaYSigue) {
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

TEST(Utils, LeePalabraDiceLaLongitudEntera) {
    const char* p = "  uno\tdosdosdos  ";
    char w[4];
    EXPECT_EQ(talmir::lee_palabra(&p, w, sizeof w), 3u);
    EXPECT_STREQ(w, "uno");
    EXPECT_EQ(talmir::lee_palabra(&p, w, sizeof w), 9u);
    EXPECT_STREQ(w, "dos");
    EXPECT_EQ(talmir::lee_palabra(&p, w, sizeof w), 0u);
}

}  // namespace
