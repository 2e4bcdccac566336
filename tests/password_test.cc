// SPDX-License-Identifier: GPL-2.0-or-later
// The challenge schemes: the exact bytes of every challenge file layout, the
// challenge texts, the table lookup and the safe replacement of the file.
#include "auth/password.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "auth/forward.h"
#include "auth/md5c.h"
#include "driver/azar.h"
#include "driver/global.h"
#include "entorno.h"

namespace {

using namespace talmir;

const std::string RETO = prueba::Raiz::trabajo("N0CALL0.tmp");

class Password : public prueba::EnProceso {
   protected:
    void SetUp() override {
        prueba::EnProceso::SetUp();
        std::strcpy(usuario.id, "N0CALL");
        usuario.ssid = 0;
        usuario.puerto = 1;
        leido_cfg = 1;
    }
    void pon_password(const std::string& pw) {
        std::memset(usuario.password, 0, sizeof usuario.password);
        std::strcpy(usuario.password, pw.c_str());
    }
    unsigned modo_reto() const {
        struct stat st;
        if (stat(raiz.ruta(RETO).c_str(), &st) != 0) return 0;
        return st.st_mode & 07777;
    }
    // The names in the working directory.
    std::vector<std::string> ficheros() const {
        std::vector<std::string> v;
        DIR* d = opendir(raiz.ruta("var/ax25/fbb/talmir").c_str());
        if (d == nullptr) return v;
        while (dirent* e = readdir(d)) {
            if (e->d_name[0] != '.') v.push_back(e->d_name);
        }
        closedir(d);
        return v;
    }
};

// Reads "\n<prompt> a b c d e\n" and returns the five positions (1-based).
bool posiciones(const char* r_buf, const std::string& prompt, int p[5]) {
    std::string fmt = "\n" + prompt + " %d %d %d %d %d\n";
    return std::sscanf(r_buf, fmt.c_str(), &p[0], &p[1], &p[2], &p[3], &p[4]) == 5;
}

std::string caracteres(const std::string& pw, const int p[5]) {
    std::string s;
    for (int i = 0; i < 5; i++) s += pw.at(static_cast<std::size_t>(p[i] - 1));
    return s;
}

std::string texto_posiciones(const std::string& prompt, const int p[5]) {
    char b[200];
    std::snprintf(b, sizeof b, "\n%s %d %d %d %d %d\n", prompt.c_str(), p[0], p[1], p[2], p[3],
                  p[4]);
    return b;
}

TEST_F(Password, FixedWritesTheWholePassPhrase) {
    for (const std::string& pw : {std::string("Frase.Secreta"), std::string(300, 'k')}) {
        std::memset(r_buf, 0, sizeof r_buf);
        pon_password(pw);
        password_frase(r_buf);
        EXPECT_EQ(raiz.lee(RETO), pw + "\n4 ");
        EXPECT_STREQ(r_buf, "\nPASSWORD> ");
        EXPECT_EQ(valor_salida, SALIDA_OTRA);
        EXPECT_EQ(modo_reto(), 0600u);
    }
}

TEST_F(Password, NormalAsksForFiveDrawnCharacters) {
    for (const std::string& pw :
         {std::string("abcdefgh"), std::string("Zq9"), std::string(300, 'x')}) {
        std::memset(r_buf, 0, sizeof r_buf);
        pon_password(pw);
        password_normal(r_buf);
        int p[5];
        ASSERT_TRUE(posiciones(r_buf, "PASSWORD>", p)) << r_buf;
        for (int v : p) {
            EXPECT_GE(v, 1);
            EXPECT_LE(v, static_cast<int>(pw.size()));
        }
        EXPECT_EQ(r_buf, texto_posiciones("PASSWORD>", p));
        EXPECT_EQ(raiz.lee(RETO), caracteres(pw, p) + "\n");
        EXPECT_EQ(valor_salida, SALIDA_OTRA);
        EXPECT_EQ(modo_reto(), 0600u);
    }
}

#if !TALMIR_AZAR_RELOJ
// Without the random source no challenge is issued: the station is refused.
TEST_F(Password, SinFuenteDeAzarNoHayReto) {
    using Reto = void (*)(char*);
    const std::vector<std::pair<const char*, Reto>> retos = {
        {"NORMAL", password_normal},
        {"MD", password_md},
        {"FLEXNET", password_flexnet},
        {"FORWARD", password_forward},
    };
    for (const auto& [nombre, reto] : retos) {
        std::memset(r_buf, 0, sizeof r_buf);
        pon_password("31415926");
        valor_salida = SALIDA_OTRA;
        talmir::azar_simula_fallo(true);
        reto(r_buf);
        talmir::azar_simula_fallo(false);
        EXPECT_EQ(valor_salida, SALIDA_DESCONECTA) << nombre;
        EXPECT_STREQ(r_buf, "") << nombre;
        EXPECT_FALSE(raiz.existe(RETO)) << nombre;
    }
}
#endif

TEST_F(Password, NormalWithOneCharacter) {
    pon_password("Q");
    password_normal(r_buf);
    EXPECT_STREQ(r_buf, "\nPASSWORD> 1 1 1 1 1\n");
    EXPECT_EQ(raiz.lee(RETO), "QQQQQ\n");
}

// A later run (fresh challenge) reads users.prt again and still challenges.
TEST_F(Password, NormalFreshChallengeOnALaterRun) {
    pon_password("abcdef");
    usuario.llamada = 2;
    password_normal(r_buf);
    int p[5];
    ASSERT_TRUE(posiciones(r_buf, "PASSWORD>", p)) << r_buf;
    EXPECT_EQ(raiz.lee(RETO), caracteres("abcdef", p) + "\n");
    EXPECT_EQ(valor_salida, SALIDA_OTRA);
}

// Nothing can be drawn from an empty password: the station is refused.
TEST_F(Password, EmptyPasswordRefusesNormalAndMd) {
    pon_password("");
    password_normal(r_buf);
    EXPECT_STREQ(r_buf, "");
    EXPECT_EQ(valor_salida, SALIDA_DESCONECTA);
    EXPECT_FALSE(raiz.existe(RETO));

    // A fresh challenge refused: the earlier challenge goes too.
    valor_salida = 0;
    usuario.llamada = 1;
    raiz.escribe(RETO, "abcde\n");
    password_md(r_buf);
    EXPECT_STREQ(r_buf, "");
    EXPECT_EQ(valor_salida, SALIDA_DESCONECTA);
    EXPECT_FALSE(raiz.existe(RETO));
}

TEST_F(Password, FlexnetSumsDigitTimesPasswordDigit) {
    // Non-digit characters and places past a short password count 0.
    for (const std::string pw : {"12345", "98765", "1a3b5", "00000", "abcde", "72"}) {
        std::memset(r_buf, 0, sizeof r_buf);
        pon_password(pw);
        password_flexnet(r_buf);
        char d[6] = {};
        ASSERT_EQ(std::sscanf(r_buf, "\nPASSWORD> %5[0-9]\n", d), 1) << r_buf;
        ASSERT_EQ(std::strlen(d), 5u);
        EXPECT_EQ(std::string(r_buf), std::string("\nPASSWORD> ") + d + "\n");
        int suma = 0;
        for (std::size_t i = 0; i < 5; i++) {
            char c = i < pw.size() ? pw[i] : 'x';
            if (c >= '0' && c <= '9') suma += (d[i] - '0') * (c - '0');
        }
        EXPECT_EQ(raiz.lee(RETO), std::to_string(suma) + "\n9 ") << pw << " " << d;
        EXPECT_EQ(valor_salida, SALIDA_OTRA);
        EXPECT_EQ(modo_reto(), 0600u);
    }
}

// A sum of zero is the single digit 0.
TEST_F(Password, FlexnetZeroSum) {
    pon_password("abcde");
    password_flexnet(r_buf);
    EXPECT_EQ(raiz.lee(RETO), "0\n9 ");
}

TEST_F(Password, MdShowsDigitsAndStoresBothDigests) {
    for (const std::string& pw :
         {std::string("secreto"), std::string("x"), std::string(300, 'p')}) {
        std::memset(r_buf, 0, sizeof r_buf);
        pon_password(pw);
        password_md(r_buf);
        int p[5];
        char dig[11] = {};
        ASSERT_EQ(std::sscanf(r_buf, "\nPASSWORD> %d %d %d %d %d [%10[0-9]]\n", &p[0], &p[1], &p[2],
                              &p[3], &p[4], dig),
                  6)
            << r_buf;
        char esperado[200];
        std::snprintf(esperado, sizeof esperado, "\nPASSWORD> %d %d %d %d %d [%s]\n", p[0], p[1],
                      p[2], p[3], p[4], dig);
        EXPECT_STREQ(r_buf, esperado);
        ASSERT_EQ(std::strlen(dig), 10u);

        std::string texto = std::string(dig) + pw;
        char h2[33], h5[33];
        md2_hex(reinterpret_cast<const unsigned char*>(texto.data()), texto.size(), h2);
        md5_hex(reinterpret_cast<const unsigned char*>(texto.data()), texto.size(), h5);
        EXPECT_EQ(raiz.lee(RETO), caracteres(pw, p) + " " + h2 + "\n6 \n" + h5);
        for (const char* h : {h2, h5}) {
            ASSERT_EQ(std::strlen(h), 32u);
            for (const char* c = h; *c; ++c) EXPECT_TRUE(std::strchr("0123456789abcdef", *c));
        }
        EXPECT_EQ(valor_salida, SALIDA_OTRA);
        EXPECT_EQ(modo_reto(), 0600u);
    }
}

// The MD challenge text lives in an 80-byte field: a long prompt gives way
// to the positions and the digits, which must always show.
TEST_F(Password, MdLongPromptIsCut) {
    std::memset(cfg.prompt, 0, sizeof cfg.prompt);
    std::memset(cfg.prompt, 'L', 80);
    pon_password("secreto");
    password_md(r_buf);
    std::string texto(r_buf);
    ASSERT_EQ(texto.size(), 79u) << texto;
    EXPECT_EQ(texto.substr(0, 54), "\n" + std::string(53, 'L'));
    EXPECT_EQ(texto.substr(texto.size() - 2), "]\n");
    EXPECT_EQ(texto[texto.size() - 13], '[');
    EXPECT_EQ(valor_salida, SALIDA_OTRA);
}

class Tabla : public Password {
   protected:
    void SetUp() override {
        Password::SetUp();
        hor_fch->tm_mday = 6;
        cfg.modo_def = 11;  // read-only: shows that the default mode ran
    }
    // Runs the scheme and returns the password whose characters the file
    // holds, checking the layout and the text; "" when no challenge came.
    std::string reto(const std::string& prompt) {
        std::memset(r_buf, 0, sizeof r_buf);
        password_tabla(r_buf);
        if (valor_salida != SALIDA_OTRA) return "";
        int p[5];
        EXPECT_TRUE(posiciones(r_buf, prompt, p)) << r_buf;
        EXPECT_EQ(r_buf, texto_posiciones(prompt, p));
        EXPECT_EQ(modo_reto(), 0600u);
        return raiz.lee(RETO);
    }
    void tabla(const std::string& nombre, const std::string& texto) {
        raiz.escribe(prueba::Raiz::trabajo(nombre), texto);
    }
};

TEST_F(Tabla, UsesTheFirstLineOfToday) {
    // One-character passwords make the expected file certain.
    tabla("N0CALL.TBL", "# days\n5 a\n\n# today\n6 b\n6 c\n7 d\n");
    EXPECT_EQ(reto("PASSWORD_6>"), "bbbbb\n7");
    EXPECT_STREQ(usuario.password, "b");

    hor_fch->tm_mday = 5;
    EXPECT_EQ(reto("PASSWORD_5>"), "aaaaa\n7");
}

TEST_F(Tabla, LineOfTodayWithoutPasswordIsPassedOver) {
    tabla("N0CALL.TBL", "6\n6   \n 6 e\n");
    EXPECT_EQ(reto("PASSWORD_6>"), "eeeee\n7");
}

TEST_F(Tabla, PerSsidTableComesFirst) {
    tabla("N0CALL0.TBL", "6 s\n");
    tabla("N0CALL.TBL", "6 c\n");
    EXPECT_EQ(reto("PASSWORD_6>"), "sssss\n7");

    // Without a line for today the per-callsign table is not consulted.
    tabla("N0CALL0.TBL", "5 s\n");
    raiz.borra(RETO);
    pon_password("deusers");
    EXPECT_EQ(reto("PASSWORD_6>"), "");
    EXPECT_EQ(valor_salida, SALIDA_SOLOLEER);
    EXPECT_STREQ(r_buf, "");
    EXPECT_FALSE(raiz.existe(RETO));
    // The other days' words do not take the place of the station's password.
    EXPECT_STREQ(usuario.password, "deusers");
}

TEST_F(Tabla, PromptWithoutGreaterSign) {
    std::strcpy(cfg.prompt, "CLAVE");
    tabla("N0CALL.TBL", "6 k\n");
    EXPECT_EQ(reto("CLAVE_6>"), "kkkkk\n7");

    std::strcpy(cfg.prompt, "Pw>>x");
    EXPECT_EQ(reto("Pw_6>"), "kkkkk\n7");
}

// The table prompt lives in an 80-byte field: the day and ">" always show.
TEST_F(Tabla, LongPromptIsCutTo79) {
    std::memset(cfg.prompt, 0, sizeof cfg.prompt);
    std::memset(cfg.prompt, 'L', 80);
    tabla("N0CALL.TBL", "6 k\n");
    EXPECT_EQ(reto(std::string(76, 'L') + "_6>"), "kkkkk\n7");
}

TEST_F(Tabla, NoTableNoChallenge) {
    password_tabla(r_buf);
    EXPECT_STREQ(r_buf, "");
    EXPECT_NE(valor_salida, SALIDA_OTRA);
    EXPECT_FALSE(raiz.existe(RETO));
}

TEST_F(Tabla, LongWordsAndLinesStayInBounds) {
    tabla("N0CALL.TBL", "6 " + std::string(1000, 'w') + "\n");
    std::string f = reto("PASSWORD_6>");
    EXPECT_EQ(f, "wwwww\n7");
    EXPECT_EQ(std::strlen(usuario.password), 297u);
}

// The challenge file cannot be written: no challenge text, no file.
TEST_F(Password, UnwritableChallengeFile) {
    ASSERT_EQ(rmdir(raiz.ruta("var/ax25/fbb/talmir").c_str()), 0);
    pon_password("abcdefgh");
    hor_fch->tm_mday = 6;
    void (*esquemas[])(char*) = {password_frase, password_normal, password_flexnet, password_md};
    for (auto esquema : esquemas) {
        valor_salida = 0;
        esquema(r_buf);
        EXPECT_STREQ(r_buf, "");
        EXPECT_NE(valor_salida, SALIDA_OTRA);
        EXPECT_FALSE(raiz.existe(RETO));
    }
}

// A new challenge replaces the old file in one step, with mode 0600, leaves
// no temporary behind and never writes through a link in its place.
TEST_F(Password, ChallengeFileIsReplacedSafely) {
    raiz.escribe(RETO, "old content that is longer\n4 ");
    chmod(raiz.ruta(RETO).c_str(), 0644);
    pon_password("Frase");
    password_frase(r_buf);
    EXPECT_EQ(raiz.lee(RETO), "Frase\n4 ");
    EXPECT_EQ(modo_reto(), 0600u);
    EXPECT_EQ(ficheros(), std::vector<std::string>{"N0CALL0.tmp"});

    raiz.escribe("otro", "intact");
    raiz.borra(RETO);
    ASSERT_EQ(symlink(raiz.ruta("otro").c_str(), raiz.ruta(RETO).c_str()), 0);
    password_frase(r_buf);
    EXPECT_EQ(raiz.lee("otro"), "intact");
    EXPECT_EQ(raiz.lee(RETO), "Frase\n4 ");
}

TEST_F(Password, ChallengeFileName) {
    std::strcpy(usuario.id, "F6ABC");
    usuario.ssid = 15;
    char ruta[RUTA_MAX];
    ASSERT_TRUE(ruta_reto(ruta, sizeof ruta));
    EXPECT_STREQ(ruta, "./var/ax25/fbb/talmir/F6ABC15.tmp");
    EXPECT_FALSE(ruta_reto(ruta, 10));
}

}  // namespace
