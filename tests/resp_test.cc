// SPDX-License-Identifier: GPL-2.0-or-later
// Judging of the answers: plain and digest answers, fresh challenges, the
// final refusal and the restrictions of the security options.
#include "auth/resp.h"

#include <gtest/gtest.h>

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

const std::string RETO = prueba::Raiz::trabajo("N0CALL0.tmp");
const char* const DENEGADO = "\n*** MISTAKEN IDENTITY - DENIED ACCESS!\n\n";
const char* const RESTRINGIDO = "\n*** MISTAKEN IDENTITY - Restrictions applied.\n";

const std::string MD2 = hex2("0123456789secreto");
const std::string MD5 = hex5("0123456789secreto");
const std::string FICHERO_MD = "cetor " + MD2 + "\n6 \n" + MD5;
const std::string FICHERO_FWD = "XXXXX " + MD2 + "\n10\n" + MD5 + " ";

class Resp : public prueba::EnProceso {
   protected:
    void SetUp() override {
        prueba::EnProceso::SetUp();
        std::strcpy(usuario.id, "N0CALL");
        usuario.ssid = 0;
        usuario.puerto = 1;
        usuario.llamada = 1;
        std::strcpy(usuario.password, "secreto");
        leido_cfg = 1;
        cfg.num_int = 3;
        std::strcpy(lenguaje[23], "*** MISTAKEN IDENTITY -");
        std::strcpy(lenguaje[24], "*** Answer not in MD format -");
        std::strcpy(lenguaje[25], "*** MD is the only allowed format in answer");
        std::strcpy(lenguaje[26], "DENIED ACCESS!");
        std::strcpy(lenguaje[27], "Restrictions applied.");
    }
    // Writes the challenge file, runs resp_usr with the answer and returns
    // what was appended.
    std::string responde(const std::string& fichero, const std::string& respuesta) {
        raiz.escribe(RETO, fichero);
        std::memset(r_buf, 0, sizeof r_buf);
        std::memset(usuario.respuesta, 0, sizeof usuario.respuesta);
        std::strncpy(usuario.respuesta, respuesta.c_str(), 80);
        valor_salida = 99;
        resp_usr(r_buf);
        return r_buf;
    }
};

TEST_F(Resp, PlainAnswersAreSubstrings) {
    const struct {
        const char* fichero;
        const char* respuesta;
    } aceptadas[] = {
        {"cetor\n", "cetor"},
        {"cetor\n", "xx cetor yy"},
        {"cetor\n", "ccetorr"},
        {"secreto\n4 ", "secreto"},
        {"secreto\n4 ", "el secreto"},
        {"27\n9 ", "27"},
        {"27\n9 ", "1275"},
        {"0\n9 ", "10"},
        {"cetor\n7", "cetor"},
        {"cetor\nxx", "-cetor-"},
        {"cetor\n", "cetor "},
    };
    for (const auto& c : aceptadas) {
        EXPECT_EQ(responde(c.fichero, c.respuesta), "") << c.fichero << " / " << c.respuesta;
        EXPECT_EQ(valor_salida, SALIDA_ENTRA) << c.fichero << " / " << c.respuesta;
        EXPECT_FALSE(raiz.existe(RETO));
    }
}

// FIXED, FLEXNET and forward challenges get one answer only.
TEST_F(Resp, SingleAnswerChallengesAreFinal) {
    for (const char* f : {"secreto\n4 ", "27\n9 ", FICHERO_FWD.c_str()}) {
        EXPECT_EQ(responde(f, "CETOR 28 Secreto"), DENEGADO) << f;
        EXPECT_EQ(valor_salida, SALIDA_DESCONECTA);
        EXPECT_FALSE(raiz.existe(RETO));
    }
}

// A pass phrase longer than a typed line cannot be answered: the expected
// answer is never cut to fit.
TEST_F(Resp, LongPassPhraseIsNeverCut) {
    std::string frase(100, 'f');
    EXPECT_EQ(responde(frase + "\n4 ", std::string(80, 'f')), DENEGADO);
    EXPECT_EQ(valor_salida, SALIDA_DESCONECTA);
}

// An empty expected answer would match any line: it matches none.
TEST_F(Resp, EmptyExpectedAnswerMatchesNothing) {
    EXPECT_EQ(responde("\n4 ", "anything"), DENEGADO);
    EXPECT_EQ(responde("   \n4 ", ""), DENEGADO);
}

TEST_F(Resp, WrongAnswersWhileAttemptsRemain) {
    // A wrong NORMAL answer (case counts) on calls 1 and 2 of 3 brings new
    // positions, and so does a counter above the number of attempts.
    for (int llamada : {1, 2, 4, 200}) {
        usuario.llamada = static_cast<std::uint8_t>(llamada);
        std::string t = responde("cetor\n", "CETOR");
        int p[5];
        EXPECT_EQ(std::sscanf(t.c_str(), "\nPASSWORD> %d %d %d %d %d\n", &p[0], &p[1], &p[2], &p[3],
                              &p[4]),
                  5)
            << t;
        EXPECT_EQ(valor_salida, SALIDA_OTRA);
        std::string esperado;
        for (int v : p) esperado += "secreto"[v - 1];
        EXPECT_EQ(raiz.lee(RETO), esperado + "\n");
    }
    // The third answer is final.
    usuario.llamada = 3;
    EXPECT_EQ(responde("cetor\n", "CETOR"), DENEGADO);
    EXPECT_EQ(valor_salida, SALIDA_DESCONECTA);
    EXPECT_FALSE(raiz.existe(RETO));
}

TEST_F(Resp, OneAttemptIsFinalForEveryScheme) {
    cfg.num_int = 1;
    for (const std::string& f :
         {std::string("cetor\n"), std::string("cetor\n7"), FICHERO_MD, std::string("27\n9 ")}) {
        EXPECT_EQ(responde(f, "wrong"), DENEGADO) << f;
        EXPECT_EQ(valor_salida, SALIDA_DESCONECTA);
    }
}

// A line 2 that does not parse is a NORMAL challenge.
TEST_F(Resp, UnreadableTypeIsNormal) {
    std::string t = responde("cetor\nxx", "bad");
    EXPECT_EQ(t.rfind("\nPASSWORD> ", 0), 0u) << t;
    EXPECT_EQ(valor_salida, SALIDA_OTRA);
}

TEST_F(Resp, WrongTableAnswerBringsAFreshTableChallenge) {
    hor_fch->tm_mday = 6;
    raiz.escribe(prueba::Raiz::trabajo("N0CALL.TBL"), "6 t\n");
    EXPECT_EQ(responde("cetor\n7", "bad"), "\nPASSWORD_6> 1 1 1 1 1\n");
    EXPECT_EQ(raiz.lee(RETO), "ttttt\n7");
    EXPECT_EQ(valor_salida, SALIDA_OTRA);
}

TEST_F(Resp, DigestAnswers) {
    const struct {
        std::string respuesta;
        bool aceptada;
    } casos[] = {
        {MD2, true},
        {MD5, true},
        {mayusculas(MD2), true},
        {mayusculas(MD5), true},
        {mayusculas(MD2.substr(0, 16)) + MD2.substr(16), false},  // mixed case
        {MD2 + " ", false},                                       // 33 characters
        {" " + MD5, false},
        {MD2.substr(0, 31), false},
        {hex2("9876543210secreto"), false},
    };
    for (const std::string& f : {FICHERO_MD, FICHERO_FWD}) {
        for (const auto& c : casos) {
            std::string t = responde(f, c.respuesta);
            if (c.aceptada) {
                EXPECT_EQ(t, "") << f << " / " << c.respuesta;
                EXPECT_EQ(valor_salida, SALIDA_ENTRA);
                EXPECT_FALSE(raiz.existe(RETO));
            } else {
                EXPECT_NE(valor_salida, SALIDA_ENTRA) << f << " / " << c.respuesta;
            }
        }
    }
}

// A digest answer passes even where plain answers are refused.
TEST_F(Resp, DigestAnswerIgnoresTheMdOptions) {
    cfg.sec_ops = SEC_CONSOLA | SEC_MD_DENEGADO | SEC_MD_SOLO;
    EXPECT_EQ(responde(FICHERO_MD, MD5), "");
    EXPECT_EQ(valor_salida, SALIDA_ENTRA);
}

// The forward challenge has no plain answer: "XXXXX" is a wrong answer, and
// no restriction takes the place of its refusal.
TEST_F(Resp, ForwardRefusesThePlaceholder) {
    cfg.sec_ops = SEC_CONSOLA | SEC_FALLO_SOLOLEER;
    EXPECT_EQ(responde(FICHERO_FWD, "XXXXX"), DENEGADO);
    EXPECT_EQ(valor_salida, SALIDA_DESCONECTA);
    EXPECT_EQ(responde(FICHERO_FWD, "XXXXX " + MD2), DENEGADO);
    EXPECT_FALSE(raiz.existe(RETO));
}

TEST_F(Resp, PlainAnswerToMdChallenge) {
    const struct {
        std::uint16_t ops;
        int puerto;
        const char* texto;
        int salida;
    } casos[] = {
        {0, 1, "\n", SALIDA_ENTRA},
        {SEC_MD_SOLOLEER, 1, "\n*** Answer not in MD format - Restrictions applied.\n",
         SALIDA_SOLOLEER},
        {SEC_MD_RETENIDOS, 1, "\n*** Answer not in MD format - Restrictions applied.\n",
         SALIDA_RETENIDOS},
        {SEC_MD_SOLOLEER | SEC_MD_RETENIDOS | SEC_MD_DENEGADO, 1,
         "\n*** Answer not in MD format - Restrictions applied.\n", SALIDA_SOLOLEER},
        {SEC_MD_RETENIDOS | SEC_MD_DENEGADO, 1,
         "\n*** Answer not in MD format - Restrictions applied.\n", SALIDA_RETENIDOS},
        {SEC_MD_DENEGADO, 1, "\n*** MD is the only allowed format in answer\n\n",
         SALIDA_DESCONECTA},
        // On the console the options need C.
        {SEC_MD_SOLOLEER, 0, "", SALIDA_ENTRA},
        {SEC_MD_RETENIDOS, 0, "", SALIDA_ENTRA},
        {SEC_MD_DENEGADO, 0, "", SALIDA_ENTRA},
        {0, 0, "", SALIDA_ENTRA},
        {SEC_CONSOLA, 0, "\n", SALIDA_ENTRA},
        {SEC_CONSOLA | SEC_MD_SOLOLEER, 0,
         "\n*** Answer not in MD format - Restrictions applied.\n", SALIDA_SOLOLEER},
        {SEC_CONSOLA | SEC_MD_DENEGADO, 0, "\n*** MD is the only allowed format in answer\n\n",
         SALIDA_DESCONECTA},
    };
    for (const auto& c : casos) {
        cfg.sec_ops = c.ops;
        usuario.puerto = static_cast<std::int8_t>(c.puerto);
        EXPECT_EQ(responde(FICHERO_MD, "cetor"), c.texto) << c.ops << " port " << c.puerto;
        EXPECT_EQ(valor_salida, c.salida) << c.ops << " port " << c.puerto;
        EXPECT_FALSE(raiz.existe(RETO));
    }
}

// N: the plain characters are a wrong answer, on every port.
TEST_F(Resp, MdOnlyRefusesPlainCharacters) {
    for (int puerto : {0, 1}) {
        usuario.puerto = static_cast<std::int8_t>(puerto);
        cfg.sec_ops = SEC_MD_SOLO;
        usuario.llamada = 1;
        std::string t = responde(FICHERO_MD, "cetor");
        EXPECT_EQ(t.rfind("\nPASSWORD> ", 0), 0u) << t;
        EXPECT_NE(t.find(" ["), std::string::npos) << t;
        EXPECT_EQ(valor_salida, SALIDA_OTRA);
        EXPECT_EQ(raiz.lee(RETO).find("\n6 \n"), 38u);

        usuario.llamada = 3;
        EXPECT_EQ(responde(FICHERO_MD, "cetor"), DENEGADO);
        EXPECT_EQ(valor_salida, SALIDA_DESCONECTA);
    }
}

TEST_F(Resp, FinalWrongAnswerWithSecurityOptions) {
    const struct {
        std::uint16_t ops;
        int puerto;
        const char* texto;
        int salida;
    } casos[] = {
        {0, 1, DENEGADO, SALIDA_DESCONECTA},
        {SEC_FALLO_SOLOLEER, 1, RESTRINGIDO, SALIDA_SOLOLEER},
        {SEC_FALLO_RETENIDOS, 1, RESTRINGIDO, SALIDA_RETENIDOS},
        {SEC_FALLO_SOLOLEER | SEC_FALLO_RETENIDOS, 1, RESTRINGIDO, SALIDA_SOLOLEER},
        {SEC_CONSOLA, 1, DENEGADO, SALIDA_DESCONECTA},
        {SEC_FALLO_SOLOLEER, 0, DENEGADO, SALIDA_DESCONECTA},
        {SEC_FALLO_RETENIDOS, 0, DENEGADO, SALIDA_DESCONECTA},
        {SEC_CONSOLA, 0, DENEGADO, SALIDA_DESCONECTA},
        {SEC_CONSOLA | SEC_FALLO_SOLOLEER, 0, RESTRINGIDO, SALIDA_SOLOLEER},
        {SEC_CONSOLA | SEC_FALLO_RETENIDOS, 0, RESTRINGIDO, SALIDA_RETENIDOS},
        // The MD options do not touch a wrong answer.
        {SEC_MD_SOLOLEER | SEC_MD_RETENIDOS, 1, DENEGADO, SALIDA_DESCONECTA},
    };
    usuario.llamada = 3;
    for (const auto& c : casos) {
        cfg.sec_ops = c.ops;
        usuario.puerto = static_cast<std::int8_t>(c.puerto);
        EXPECT_EQ(responde("cetor\n", "wrong"), c.texto) << c.ops << " port " << c.puerto;
        EXPECT_EQ(valor_salida, c.salida) << c.ops << " port " << c.puerto;
        EXPECT_FALSE(raiz.existe(RETO));
    }
}

// A missing or empty challenge file, or a digest challenge without line 3:
// error 10 (in the full program it sets exit code 2), nothing appended, and
// neither acceptance nor a new challenge.
TEST_F(Resp, UnreadableChallengeFile) {
    std::strcpy(usuario.respuesta, "cetor");
    valor_salida = 99;
    resp_usr(r_buf);
    EXPECT_STREQ(r_buf, "");
    EXPECT_NE(valor_salida, SALIDA_ENTRA);
    EXPECT_NE(valor_salida, SALIDA_OTRA);
    EXPECT_FALSE(raiz.existe(RETO));

    for (const std::string& f :
         {std::string(""), "cetor " + MD2 + "\n6 ", "XXXXX " + MD2 + "\n10"}) {
        EXPECT_EQ(responde(f, "cetor"), "") << f;
        EXPECT_NE(valor_salida, SALIDA_ENTRA);
        EXPECT_NE(valor_salida, SALIDA_OTRA);
        EXPECT_TRUE(raiz.existe(RETO));
    }
}

}  // namespace
