// SPDX-License-Identifier: GPL-2.0-or-later
// Forward authentication between partner BBSs: the challenge and the answer.
#include "auth/forward.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "auth/md5c.h"
#include "driver/global.h"
#include "entorno.h"

namespace {

using prueba::hex2;
using prueba::hex5;
using prueba::mayusculas;

using namespace talmir;

const std::string RETO = prueba::Raiz::trabajo("N0BBS0.tmp");

class Forward : public prueba::EnProceso {
   protected:
    void SetUp() override {
        prueba::EnProceso::SetUp();
        std::strcpy(usuario.id, "N0BBS");
        usuario.ssid = 0;
        usuario.puerto = 1;
        usuario.nuevo = -1;
        std::strcpy(usuario.password, "secreto");
        leido_cfg = 1;
    }
};

TEST_F(Forward, ChallengeAndItsFile) {
    for (const std::string& pw : {std::string("secreto"), std::string(300, 's')}) {
        std::memset(r_buf, 0, sizeof r_buf);
        std::strcpy(usuario.password, pw.c_str());
        password_forward(r_buf);
        char dig[11] = {};
        ASSERT_EQ(std::sscanf(r_buf, "\n![%10[0-9]]\n", dig), 1) << r_buf;
        ASSERT_EQ(std::strlen(dig), 10u);
        EXPECT_EQ(std::string(r_buf), std::string("\n![") + dig + "]\n");
        std::string t = dig + pw;
        EXPECT_EQ(raiz.lee(RETO), "XXXXX " + hex2(t) + "\n10\n" + hex5(t) + " ");
        EXPECT_EQ(valor_salida, SALIDA_OTRA);
        struct stat st;
        ASSERT_EQ(stat(raiz.ruta(RETO).c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0600u);
    }
}

// Without a password the digest of the digits alone would let anyone in.
TEST_F(Forward, EmptyPasswordIsRefused) {
    usuario.password[0] = '\0';
    password_forward(r_buf);
    EXPECT_STREQ(r_buf, "");
    EXPECT_EQ(valor_salida, SALIDA_DESCONECTA);
    EXPECT_FALSE(raiz.existe(RETO));
}

TEST_F(Forward, ChallengeFileNotWritable) {
    ASSERT_EQ(rmdir(raiz.ruta("var/ax25/fbb/talmir").c_str()), 0);
    password_forward(r_buf);
    EXPECT_STREQ(r_buf, "");
    EXPECT_NE(valor_salida, SALIDA_OTRA);
}

TEST(RespuestaFwd, CodesAndDigests) {
    const std::string md2 = "2e6c406512d18e44a6d2341d977d62b8";  // MD2("0123456789secreto")
    const std::string md5 = "e7b77f4ab1f87d901ac6c21891c9559e";  // MD5("0123456789secreto")
    const struct {
        const char* linea;
        int modo;
        std::string esperado;  // "" = no answer
    } casos[] = {
        {"![0123456789]", 10, md2},
        {"![0123456789]", 13, md5},
        {"hello from N0BBS [0123456789] bye", 10, md2},
        {"[0123456789", 10, md2},  // no "]": the rest of the line
        {"[0123456789]]", 13, md5},
        {"[ABCDEFGHIJ]", 10, hex2("ABCDEFGHIJsecreto")},
        {"[a b c d e ]", 13, hex5("a b c d e secreto")},
        {"![012345678]", 10, ""},    // 9 characters
        {"![0123456789A]", 10, ""},  // 11 characters
        {"[]", 10, ""},
        {"0123456789", 10, ""},
        {"[0123456789A", 13, ""},
        {"[abc] [0123456789]", 10, ""},  // only the first "[" counts
        {"[[0123456789]", 10, ""},
        {"![0123456789]", 5, ""},  // not a forward mode
        {"![0123456789]", 6, ""},
    };
    for (const auto& c : casos) {
        char hex[33] = {};
        bool ok = respuesta_fwd(c.linea, "secreto", static_cast<std::int8_t>(c.modo), hex);
        EXPECT_EQ(ok, !c.esperado.empty()) << c.linea << " mode " << c.modo;
        if (ok) {
            EXPECT_EQ(std::string(hex), c.esperado) << c.linea << " mode " << c.modo;
        }
    }
}

// A line of 80 characters whose code runs to the end stays in bounds.
TEST(RespuestaFwd, LongLine) {
    std::string l = "[" + std::string(79, '7');
    char hex[33];
    EXPECT_FALSE(respuesta_fwd(l.c_str(), "secreto", 10, hex));
    l = std::string(69, ' ') + "[0123456789";
    ASSERT_TRUE(respuesta_fwd(l.c_str(), "secreto", 13, hex));
    EXPECT_STREQ(hex, "e7b77f4ab1f87d901ac6c21891c9559e");
}

// A partner that users.prt does not list gets no answer and exit code 2 (in
// this build the user table reader finds no entry).
TEST_F(Forward, NoEntryNoAnswer) {
    usuario.modo = 10;
    std::strcpy(usuario.respuesta, "![0123456789]");
    std::strcpy(r_buf, "kept");
    resp_fwd(r_buf);
    EXPECT_STREQ(r_buf, "kept");
    EXPECT_EQ(valor_salida, SALIDA_DESCONECTA);
}

}  // namespace
