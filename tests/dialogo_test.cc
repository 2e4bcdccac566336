// SPDX-License-Identifier: GPL-2.0-or-later
// Whole dialogues as FBB drives them: a first call that challenges, then one
// run per typed line with the counter raised, up to the verdict.
#include <ctime>
#include <string>
#include <vector>

#include "auth/md5c.h"
#include "entorno.h"

namespace prueba {
namespace {

const std::string kDenegado = "\n*** MISTAKEN IDENTITY - DENIED ACCESS!\n\n";
const std::string kRestringido = "\n*** MISTAKEN IDENTITY - Restrictions applied.\n";

// The numbers that follow the last prompt in the challenge text.
std::vector<std::string> palabras_reto(const std::string& salida, const std::string& prompt) {
    std::vector<std::string> palabras;
    std::size_t p = salida.rfind(prompt);
    if (p == std::string::npos) return palabras;
    std::size_t fin = salida.find('\n', p);
    std::string resto = salida.substr(p + prompt.size(), fin - p - prompt.size());
    std::size_t i = 0;
    while (i < resto.size()) {
        while (i < resto.size() && resto[i] == ' ') ++i;
        std::size_t j = i;
        while (j < resto.size() && resto[j] != ' ') ++j;
        if (j > i) palabras.push_back(resto.substr(i, j - i));
        i = j;
    }
    return palabras;
}

// The five characters a NORMAL, TABLE or MD challenge asks for.
std::string cinco(const std::string& salida, const std::string& password,
                  const std::string& prompt = "PASSWORD>") {
    std::string r;
    std::vector<std::string> p = palabras_reto(salida, prompt);
    for (std::size_t i = 0; i < p.size() && i < 5; ++i) {
        int pos = std::stoi(p[i]);
        r += password[static_cast<std::size_t>(pos - 1)];
    }
    return r;
}

std::string digitos_md(const std::string& salida) {
    std::size_t a = salida.rfind('[');
    return salida.substr(a + 1, 10);
}

class Dialogo : public ::testing::Test {
   protected:
    void prepara(const std::string& linea, const std::string& intentos = "3") {
        raiz.fbb_basico();
        raiz.config(config_basica("0 OPEN\n1 OPEN\n", intentos));
        raiz.usuarios("N0CALL\n" + linea + "\n-\n");
    }
    Resultado llamada(int n, const std::string& texto = "", int puerto = 1) {
        return estacion(raiz, "N0CALL-0", n, 0, 0, puerto, texto);
    }
    Raiz raiz;
    const std::string reto = Raiz::trabajo("N0CALL0.tmp");
};

TEST_F(Dialogo, NormalRespuestaCorrectaEntreOtrosCaracteres) {
    prepara("ALL NORMAL Secreto9");
    Resultado r = llamada(0);
    ASSERT_EQ(r.codigo, 1);
    std::string resp = "xx" + cinco(r.salida, "Secreto9") + "yy";
    r = llamada(1, resp);
    EXPECT_EQ(r.codigo, 0);
    EXPECT_EQ(r.salida, "");
    EXPECT_FALSE(raiz.existe(reto));
}

TEST_F(Dialogo, NormalFallosHastaElUltimoIntento) {
    prepara("1 NORMAL Secreto9");
    ASSERT_EQ(llamada(0).codigo, 1);
    for (int n = 1; n <= 2; ++n) {
        Resultado r = llamada(n, "nada");
        EXPECT_EQ(r.codigo, 1) << n;
        EXPECT_EQ(r.salida.substr(0, 11), "\nPASSWORD> ") << n;
        EXPECT_TRUE(raiz.existe(reto));
    }
    Resultado r = llamada(3, "nada");
    EXPECT_EQ(r.codigo, 2);
    EXPECT_EQ(r.salida, kDenegado);
    EXPECT_FALSE(raiz.existe(reto));
}

TEST_F(Dialogo, UnSoloIntentoYContadorPorEncima) {
    prepara("1 NORMAL Secreto9", "1");
    ASSERT_EQ(llamada(0).codigo, 1);
    EXPECT_EQ(llamada(1, "nada").salida, kDenegado);
    // A counter above the attempts (configuration lowered meanwhile) is no
    // final answer: only equality ends the attempts.
    ASSERT_EQ(llamada(0).codigo, 1);
    EXPECT_EQ(llamada(2, "nada").codigo, 1);
}

TEST_F(Dialogo, FrasePideLaFraseEnteraYUnaSolaRespuesta) {
    prepara("1 FIXED Abracadabra");
    Resultado r = llamada(0);
    EXPECT_EQ(r.salida, id_linea() + "\nPASSWORD> ");
    EXPECT_EQ(raiz.lee(reto), "Abracadabra\n4 ");
    EXPECT_EQ(llamada(1, "Abracadabra").codigo, 0);
    llamada(0);
    r = llamada(1, "abracadabra");
    EXPECT_EQ(r.codigo, 2);
    EXPECT_EQ(r.salida, kDenegado);
}

TEST_F(Dialogo, FlexnetSumaDeProductos) {
    prepara("1 FLEXNET 12a45");
    Resultado r = llamada(0);
    std::vector<std::string> p = palabras_reto(r.salida, "PASSWORD>");
    ASSERT_EQ(p.size(), 1u);
    ASSERT_EQ(p[0].size(), 5u);
    const int clave[5] = {1, 2, 0, 4, 5};  // a letter counts 0
    int suma = 0;
    for (int i = 0; i < 5; ++i) suma += (p[0][static_cast<std::size_t>(i)] - '0') * clave[i];
    EXPECT_EQ(raiz.lee(reto), std::to_string(suma) + "\n9 ");
    EXPECT_EQ(llamada(1, std::to_string(suma)).codigo, 0);
    llamada(0);
    EXPECT_EQ(llamada(1, "x").salida, kDenegado);
}

TEST_F(Dialogo, TablaDelDia) {
    prepara("1 TABLE");
    std::time_t t = std::time(nullptr);
    struct tm hoy;
    localtime_r(&t, &hoy);
    int dia = hoy.tm_mday;
    raiz.escribe(Raiz::trabajo("N0CALL.TBL"), "# tabla\n" + std::to_string(dia % 31 + 1) +
                                                  " otraclave\n" + std::to_string(dia) +
                                                  " ClaveDeHoy\n");
    Resultado r = llamada(0);
    std::string prompt = "PASSWORD_" + std::to_string(dia) + ">";
    ASSERT_NE(r.salida.find(prompt), std::string::npos) << r.salida;
    EXPECT_EQ(llamada(1, cinco(r.salida, "ClaveDeHoy", prompt)).codigo, 0);
    // A wrong answer brings a fresh table challenge.
    llamada(0);
    r = llamada(1, "nada");
    EXPECT_EQ(r.codigo, 1);
    EXPECT_NE(r.salida.find(prompt), std::string::npos);
}

TEST_F(Dialogo, MdAceptaElResumenEnMinusculasOMayusculas) {
    prepara("1 MD5 Secreto9");
    for (int caso = 0; caso < 2; ++caso) {
        Resultado r = llamada(0);
        std::string hex = hex5(digitos_md(r.salida) + "Secreto9");
        r = llamada(1, caso == 0 ? hex : mayusculas(hex));
        EXPECT_EQ(r.codigo, 0) << caso;
        EXPECT_EQ(r.salida, "");
    }
}

TEST_F(Dialogo, MdRechazaMayusculasMezcladasYBlancoFinal) {
    prepara("1 MD5 Secreto9");
    Resultado r = llamada(0);
    std::string hex = hex5(digitos_md(r.salida) + "Secreto9");
    std::string mezcla = hex;
    bool cambiado = false;
    for (char& c : mezcla) {
        if (c >= 'a' && c <= 'f' && !cambiado) {
            c = static_cast<char>(c - 'a' + 'A');
            cambiado = true;
        }
    }
    ASSERT_TRUE(cambiado);
    EXPECT_EQ(llamada(1, mezcla).codigo, 1);
    r = llamada(0);
    hex = hex5(digitos_md(r.salida) + "Secreto9");
    EXPECT_EQ(llamada(1, hex + " ").codigo, 1);
}

TEST_F(Dialogo, MdAceptaLosCincoCaracteres) {
    prepara("1 MD5 Secreto9");
    Resultado r = llamada(0);
    EXPECT_EQ(llamada(1, cinco(r.salida, "Secreto9")).codigo, 0);
}

struct CasoSeguridad {
    std::string intentos;
    int puerto;
    int codigo;
    std::string salida;
};

TEST(Seguridad, OpcionesAlFallarElUltimoIntento) {
    const std::vector<CasoSeguridad> casos = {
        {"1 R", 1, 3, kRestringido}, {"1 R", 0, 2, kDenegado},     {"1 CR", 0, 3, kRestringido},
        {"1 H", 1, 4, kRestringido}, {"1 RH", 1, 3, kRestringido}, {"1 CH", 0, 4, kRestringido},
        {"1", 1, 2, kDenegado},
    };
    for (const CasoSeguridad& c : casos) {
        Raiz raiz;
        raiz.fbb_basico();
        raiz.config(config_basica("0 OPEN\n1 OPEN\n", c.intentos));
        raiz.usuarios("N0CALL\nALL NORMAL Secreto9\n-\n");
        ASSERT_EQ(estacion(raiz, "N0CALL-0", 0, 0, 0, c.puerto).codigo, 1);
        Resultado r = estacion(raiz, "N0CALL-0", 1, 0, 0, c.puerto, "nada");
        EXPECT_EQ(r.codigo, c.codigo) << c.intentos << " port " << c.puerto;
        EXPECT_EQ(r.salida, c.salida) << c.intentos << " port " << c.puerto;
    }
}

TEST(Seguridad, RespuestaLlanaAUnRetoMd) {
    const std::string no_md = "\n*** Answer not in MD format - Restrictions applied.\n";
    const std::vector<CasoSeguridad> casos = {
        {"3 X R", 1, 3, no_md},
        {"3 X H", 1, 4, no_md},
        {"3 X D", 1, 2, "\n*** MD is the only allowed format in answer\n\n"},
        {"3 X R", 0, 0, ""},  // the console without "C"
        {"3 C R", 0, 3, no_md},
        {"3 X N", 1, 1, "*"},  // not accepted at all: a fresh challenge
        {"3 X N", 0, 1, "*"},
    };
    for (const CasoSeguridad& c : casos) {
        Raiz raiz;
        raiz.fbb_basico();
        raiz.config(config_basica("0 OPEN\n1 OPEN\n", c.intentos));
        raiz.usuarios("N0CALL\nALL MD5 Secreto9\n-\n");
        Resultado r = estacion(raiz, "N0CALL-0", 0, 0, 0, c.puerto);
        r = estacion(raiz, "N0CALL-0", 1, 0, 0, c.puerto, cinco(r.salida, "Secreto9"));
        EXPECT_EQ(r.codigo, c.codigo) << c.intentos << " port " << c.puerto;
        if (c.salida != "*") {
            EXPECT_EQ(r.salida, c.salida) << c.intentos;
        }
    }
}

TEST(Seguridad, SinFicheroDeRetoSeRechaza) {
    Raiz raiz;
    raiz.fbb_basico();
    raiz.config(config_basica("1 OPEN\n"));
    Resultado r = estacion(raiz, "N0CALL-0", 1, 0, 0, 1, "algo");
    EXPECT_EQ(r.codigo, 2);
    EXPECT_EQ(r.salida, "");
    EXPECT_NE(raiz.lee(Raiz::trabajo("error.prt"))
                  .find("*** ERROR 00110: Unable to open temporal "
                        "user file"),
              std::string::npos);
}

// Two BBSs that forward to each other, each in its own root.
class Reenvio : public ::testing::Test {
   protected:
    void prepara(const std::string& modo_b) {
        a.fbb_basico();
        a.config(config_basica("1 OPEN\n"));
        a.usuarios("N0BBB\n1 FORWARD clave-comun\n-\n");
        b.fbb_basico();
        b.config(config_basica("1 OPEN\n"));
        b.usuarios("N0AAA\n1 " + modo_b + " clave-comun\n-\n");
    }
    Raiz a, b;
};

TEST_F(Reenvio, AmbosResumenesAutentican) {
    for (const char* modo : {"FORWARD", "FORWARD5"}) {
        prepara(modo);
        Resultado reto = estacion(a, "N0BBB-0", 0, 16, 0, 1);
        ASSERT_EQ(reto.codigo, 1);
        std::size_t ex = reto.salida.find("\n!");
        ASSERT_NE(ex, std::string::npos);
        std::string linea = reto.salida.substr(ex + 2, reto.salida.size() - ex - 3);
        Resultado resp = estacion(b, "N0AAA-0", 0, 16, -1, 1, linea);
        EXPECT_EQ(resp.codigo, 0) << modo;
        ASSERT_EQ(resp.salida.size(), 33u) << resp.salida;
        EXPECT_EQ(resp.salida.back(), '\n');
        Resultado fin = estacion(a, "N0BBB-0", 1, 16, 0, 1, resp.salida.substr(0, 32));
        EXPECT_EQ(fin.codigo, 0) << modo;
        EXPECT_FALSE(a.existe(Raiz::trabajo("N0BBB0.tmp")));
    }
}

TEST_F(Reenvio, RespuestaErroneaOLlanaEsDefinitiva) {
    prepara("FORWARD");
    for (const char* respuesta : {"XXXXX", "0123456789abcdef0123456789abcdef"}) {
        ASSERT_EQ(estacion(a, "N0BBB-0", 0, 16, 0, 1).codigo, 1);
        Resultado fin = estacion(a, "N0BBB-0", 1, 16, 0, 1, respuesta);
        EXPECT_EQ(fin.codigo, 2) << respuesta;
        EXPECT_EQ(fin.salida, kDenegado);
    }
}

TEST_F(Reenvio, ElCodigoHaDeTenerDiezCaracteres) {
    prepara("FORWARD5");
    struct Caso {
        std::string linea;
        bool responde;
    };
    for (const Caso& c :
         {Caso{"[012345678]", false}, Caso{"[0123456789]", true}, Caso{"[01234567890]", false},
          Caso{"[]", false}, Caso{"hola [abcdefghij", true}, Caso{"sin codigo", false}}) {
        Resultado r = estacion(b, "N0AAA-0", 0, 16, -1, 1, c.linea);
        EXPECT_EQ(r.codigo, c.responde ? 0 : 2) << c.linea;
        if (!c.responde) {
            EXPECT_EQ(r.salida, "") << c.linea;
        }
    }
    Resultado r = estacion(b, "N0AAA-0", 0, 16, -1, 1, "[0123456789]");
    EXPECT_EQ(r.salida, hex5("0123456789clave-comun") + "\n");
}

}  // namespace
}  // namespace prueba
