// SPDX-License-Identifier: GPL-2.0-or-later
// A station's first call through the program: what each access mode prints,
// the exit code FBB acts on, and how users.prt patterns pick the block.
#include <string>
#include <vector>

#include "entorno.h"

namespace prueba {
namespace {

// Port 1 is filtered with the given default mode; texts and logs are off
// unless the switches say otherwise.
void prepara(const Raiz& raiz, const std::string& usuarios, const std::string& defecto = "OPEN",
             const std::vector<std::string>& interruptores = {}) {
    raiz.fbb_basico();
    raiz.config(config_basica("1 " + defecto + "\n0 " + defecto + "\n", "3", interruptores));
    raiz.usuarios(usuarios);
}

struct CasoModo {
    std::string linea;  // the station's line in its block
    int mascara;
    int codigo;
    std::string texto;  // what follows the identification line ("*" = a challenge)
};

TEST(Modos, CadaModoEnLaPrimeraLlamada) {
    const std::vector<CasoModo> casos = {
        {"1 OPEN", 0, 0, ""},
        {"1 ABIERTO", 0, 0, ""},
        {"1 EXCLUDED", 0, 2, ""},
        {"1 EXCLUIDO", 0, 2, ""},
        {"1 READONLY", 0, 3, ""},
        {"1 SOLOLEER", 0, 3, ""},
        {"1 HOLD", 0, 4, ""},
        {"1 RETENIDOS", 0, 4, ""},
        {"1 GUEST", 0, 11, ""},
        {"1 BBS", 16, 0, ""},
        {"1 BBS", 0, 2, ""},
        {"1 0", 0, 0, ""},
        {"1 20", 0, 0, ""},
        {"1 99", 0, 0, ""},
        {"1 11", 0, 3, ""},
        {"1 FIXED una frase", 0, 1, "\nPASSWORD> "},
        {"1 FRASE una", 0, 1, "\nPASSWORD> "},
        {"1 NORMAL secreto", 0, 1, "*"},
        {"1 MD5 secreto", 0, 1, "*"},
        {"1 MD2 secreto", 0, 1, "*"},
        {"1 FLEXNET 12345", 0, 1, "*"},
        {"1 FORWARD secreto", 16, 1, "*"},
        {"1 FORWARD5 secreto", 16, 1, "*"},
    };
    for (const CasoModo& c : casos) {
        Raiz raiz;
        prepara(raiz, "N0CALL\n" + c.linea + "\n-\n");
        Resultado r = estacion(raiz, "N0CALL-0", 0, c.mascara, 0, 1);
        EXPECT_EQ(r.codigo, c.codigo) << c.linea;
        ASSERT_EQ(r.salida.substr(0, 15), id_linea()) << c.linea;
        if (c.texto != "*") {
            EXPECT_EQ(r.salida.substr(15), c.texto) << c.linea;
        }
        EXPECT_FALSE(raiz.existe(Raiz::trabajo("error.prt")))
            << c.linea << "\n"
            << raiz.lee(Raiz::trabajo("error.prt"));
    }
}

TEST(Modos, EsquemasDeRetoMuestranSuReto) {
    Raiz raiz;
    prepara(raiz,
            "N0CALL-1\n1 NORMAL secreto\n-\n"
            "N0CALL-2\n1 MD5 secreto\n-\n"
            "N0CALL-3\n1 FLEXNET 12345\n-\n"
            "N0CALL-4\n1 FORWARD secreto\n-\n");
    Resultado r = estacion(raiz, "N0CALL-1", 0, 0, 0, 1);
    EXPECT_TRUE(r.salida.find("\nPASSWORD> ") == 15) << r.salida;
    EXPECT_EQ(r.salida.back(), '\n');
    EXPECT_TRUE(raiz.existe(Raiz::trabajo("N0CALL1.tmp")));

    r = estacion(raiz, "N0CALL-2", 0, 0, 0, 1);
    std::size_t corchete = r.salida.find('[');
    ASSERT_NE(corchete, std::string::npos) << r.salida;
    EXPECT_EQ(r.salida.substr(corchete + 11), "]\n");

    r = estacion(raiz, "N0CALL-3", 0, 0, 0, 1);
    ASSERT_EQ(r.salida.size(), 15u + 11 + 5 + 1) << r.salida;  // "\nPASSWORD> " 5 digits "\n"

    r = estacion(raiz, "N0CALL-4", 0, 16, 0, 1);
    ASSERT_EQ(r.salida.substr(15, 3), "\n![");
    EXPECT_EQ(r.salida.substr(28), "]\n");
    std::string reto = raiz.lee(Raiz::trabajo("N0CALL4.tmp"));
    EXPECT_EQ(reto.substr(0, 6), "XXXXX ");
}

TEST(Modos, CerradoMuestraElTextoInformativo) {
    Raiz raiz;
    prepara(raiz, "N0CALL\n1 CLOSED\n-\n");
    raiz.escribe(Raiz::trabajo("info.prt"), "BBS cerrada hoy.\n");
    Resultado r = estacion(raiz, "N0CALL-0", 0, 0, 0, 1);
    EXPECT_EQ(r.codigo, 2);
    EXPECT_EQ(r.salida, id_linea() + "\nBBS cerrada hoy.\n");
}

TEST(Modos, ExcluidoConTextoDelPuertoAntesQueElGeneral) {
    Raiz raiz;
    prepara(raiz, "N0CALL\n1 EXCLUDED\n-\n", "OPEN", {"NO", "NO", "OK"});
    raiz.escribe(Raiz::trabajo("exclud1.prt"), "fuera del puerto 1\n");
    raiz.escribe(Raiz::trabajo("excluded.prt"), "fuera\n");
    Resultado r = estacion(raiz, "N0CALL-0", 0, 0, 0, 1);
    EXPECT_EQ(r.codigo, 2);
    EXPECT_EQ(r.salida, id_linea() + "\nfuera del puerto 1\n");
    // Another port takes the general text.
    raiz.config(config_basica("2 EXCLUDED\n", "3", {"NO", "NO", "OK"}));
    r = estacion(raiz, "N1CALL-0", 0, 0, 0, 2);
    EXPECT_EQ(r.salida, id_linea() + "\nfuera\n");
}

TEST(Modos, ExcluidoSinTextoEsError11) {
    Raiz raiz;
    prepara(raiz, "N0CALL\n1 EXCLUDED\n-\n", "OPEN", {"NO", "NO", "OK"});
    Resultado r = estacion(raiz, "N0CALL-0", 0, 0, 0, 1);
    EXPECT_EQ(r.codigo, 2);
    EXPECT_EQ(r.salida, id_linea());
    EXPECT_NE(raiz.lee(Raiz::trabajo("error.prt")).find("*** ERROR 00111: File excluded.prt"),
              std::string::npos);
    EXPECT_TRUE(raiz.existe(Raiz::trabajo("error11.tmp")));
}

TEST(Modos, AbiertoSinTextoEsError8YEntra) {
    Raiz raiz;
    prepara(raiz, "N0CALL\n1 OPEN\n-\n", "OPEN", {"NO", "OK"});
    Resultado r = estacion(raiz, "N0CALL-0", 0, 0, 0, 1);
    EXPECT_EQ(r.codigo, 0);
    EXPECT_EQ(r.salida, id_linea());
    EXPECT_TRUE(raiz.existe(Raiz::trabajo("error8.tmp")));
    // With the text present the marker goes.
    raiz.escribe(Raiz::trabajo("open1.prt"), "bienvenido\n");
    raiz.escribe(Raiz::trabajo("open.prt"), "general\n");
    r = estacion(raiz, "N0CALL-0", 0, 0, 0, 1);
    EXPECT_EQ(r.salida, id_linea() + "\nbienvenido\n");
    EXPECT_FALSE(raiz.existe(Raiz::trabajo("error8.tmp")));
}

TEST(Modos, PuertoSinFiltroNoLeeLaTablaDeUsuarios) {
    Raiz raiz;
    prepara(raiz, "N0CALL\n5 BOGUS\n-\n");
    Resultado r = estacion(raiz, "N0CALL-0", 0, 0, 0, 5);
    EXPECT_EQ(r.codigo, 0);
    EXPECT_EQ(r.salida, id_linea());
    EXPECT_FALSE(raiz.existe(Raiz::trabajo("error.prt")));
}

TEST(Modos, TablaDeUsuariosDefectuosaLlevaAlModoDelPuerto) {
    Raiz raiz;
    prepara(raiz, "N0CALL\n1 BOGUS\n-\n", "READONLY");
    Resultado r = estacion(raiz, "N0CALL-0", 0, 0, 0, 1);
    EXPECT_EQ(r.codigo, 3);
    EXPECT_EQ(r.salida, id_linea());
    EXPECT_NE(raiz.lee(Raiz::trabajo("error.prt"))
                  .find("*** ERROR 0017: Incorrect data in line 2 "
                        "(users.prt)"),
              std::string::npos)
        << raiz.lee(Raiz::trabajo("error.prt"));
    EXPECT_TRUE(raiz.existe(Raiz::trabajo("error7.tmp")));
}

TEST(Modos, SinTablaDeClavesEsError4YModoDelPuerto) {
    Raiz raiz;
    prepara(raiz, "N0CALL\n1 TABLE\n-\n", "HOLD");
    Resultado r = estacion(raiz, "N0CALL-0", 0, 0, 0, 1);
    EXPECT_EQ(r.codigo, 4);
    EXPECT_NE(raiz.lee(Raiz::trabajo("error.prt"))
                  .find("*** ERROR 0014: File with table password for N0CALL not found."),
              std::string::npos);
}

struct CasoPatron {
    std::string tabla;
    std::string indicativo;
    int puerto;
    int codigo;
};

TEST(Patrones, EligenElBloque) {
    const std::vector<CasoPatron> casos = {
        // CALL-SSID is looked for first, in every line of the file.
        {"N0CALL\n1 HOLD\n-\nN0CALL-3\n1 READONLY\n-\n", "N0CALL-3", 1, 3},
        {"N0CALL-3\n1 READONLY\n-\nN0CALL\n1 HOLD\n-\n", "N0CALL-1", 1, 4},
        // N0* matches CALL-SSID in the first pass, before the bare N0CALL.
        {"N0CALL\n1 HOLD\n-\nN0*\n1 READONLY\n-\n", "N0CALL-0", 1, 3},
        {"N0*\n1 READONLY\n-\nN0CALL\n1 HOLD\n-\n", "N0CALL-0", 1, 3},
        // N0CALL-? takes one character only.
        {"N0CALL-?\n1 READONLY\n-\n", "N0CALL-3", 1, 3},
        {"N0CALL-?\n1 READONLY\n-\n", "N0CALL-10", 1, 0},
        // A lone "*" matches a one-character text only.
        {"*\n1 READONLY\n-\n", "N0CALL-0", 1, 0},
        {"*0CALL\n1 READONLY\n-\n", "N0CALL-0", 1, 3},
        // The console block, on port 0 only.
        {"CONSOLE\n0 HOLD\n1 HOLD\n-\n", "N0CALL-0", 0, 4},
        {"CONSOLE\n0 HOLD\n1 HOLD\n-\n", "N0CALL-0", 1, 0},
        // Port words.
        {"N0CALL\n2 HOLD\n-\n", "N0CALL-0", 1, 0},
        {"N0CALL\n* HOLD\n-\n", "N0CALL-0", 1, 4},
        {"N0CALL\nALL HOLD\n-\n", "N0CALL-0", 1, 4},
        {"N0CALL\nTODOS HOLD\n-\n", "N0CALL-0", 0, 4},
        {"N0CALL\nCONSOL HOLD\n-\n", "N0CALL-0", 0, 4},
        // Comments do not end a block.
        {"N0CALL\n# comentario\n\n1 HOLD\n-\n", "N0CALL-0", 1, 4},
    };
    for (const CasoPatron& c : casos) {
        Raiz raiz;
        prepara(raiz, c.tabla);
        Resultado r = estacion(raiz, c.indicativo, 0, 0, 0, c.puerto);
        EXPECT_EQ(r.codigo, c.codigo) << c.tabla << c.indicativo;
    }
}

TEST(Patrones, FlexnetParaTodosLosPuertosPideCincoCaracteres) {
    for (int puerto : {0, 1}) {
        Raiz raiz;
        prepara(raiz, "N0CALL\nALL FLEXNET 1234\n-\n", "HOLD");
        Resultado r = estacion(raiz, "N0CALL-0", 0, 0, 0, puerto);
        EXPECT_EQ(r.codigo, 4) << puerto;  // error 7, then the port's default
        EXPECT_TRUE(raiz.existe(Raiz::trabajo("error7.tmp")));

        prepara(raiz, "N0CALL\nALL FLEXNET 12345\n-\n", "HOLD");
        r = estacion(raiz, "N0CALL-0", 0, 0, 0, puerto);
        EXPECT_EQ(r.codigo, 1) << puerto;
        EXPECT_FALSE(raiz.existe(Raiz::trabajo("error7.tmp")));
    }
}

TEST(Patrones, PuertoPorNombreDeFbb) {
    Raiz raiz;
    raiz.fbb_basico();
    raiz.escribe("etc/ax25/fbb/port.sys",
                 "# ports\n1 4\n1 0 9600 /dev/ttyS0\n"
                 "0 0 0 0 0 0 0 0 00/01 ---- File\n"
                 "1 4 1 0 250 2 1 10 00/60 TU Vhf\n"
                 "2 4 1 0 250 2 1 10 00/60 TU Uhf\n"
                 "3 4 1 0 250 2 1 10 00/60 TU Hf\n"
                 "4 4 1 0 250 2 1 10 00/60 TU Link\n");
    raiz.config(config_basica("VHF HOLD\nLINK READONLY\n"));
    raiz.usuarios("N0CALL\nUHF GUEST\n-\n");
    EXPECT_EQ(estacion(raiz, "N0CALL-0", 0, 0, 0, 1).codigo, 4);
    EXPECT_EQ(estacion(raiz, "N0CALL-0", 0, 0, 0, 4).codigo, 3);
    EXPECT_EQ(estacion(raiz, "N0CALL-0", 0, 0, 0, 3).codigo, 0);  // not filtered
    raiz.config(config_basica("UHF HOLD\n"));
    EXPECT_EQ(estacion(raiz, "N0CALL-0", 0, 0, 0, 2).codigo, 11);
}

}  // namespace
}  // namespace prueba
