// SPDX-License-Identifier: GPL-2.0-or-later
// The program run as FBB runs it: arguments, the banner, the identification
// line, the filter switch, closed ports, and what reaches standard output.
#include <sys/stat.h>

#include <string>
#include <thread>
#include <vector>

#include "entorno.h"

namespace prueba {
namespace {

// A configuration that filters no port: every station is let in.
const std::string kSinFiltro = config_basica("");

TEST(Banner, SinArgumentosSoloElBannerYNadaMas) {
    Raiz raiz;
    raiz.escribe(Raiz::trabajo("mail.prt"), "#\nSP N0SYS < TALMIR\nx\n/EX\n");
    raiz.fbb_basico();
    Resultado r = ejecuta(raiz, {});
    EXPECT_EQ(r.salida, kBanner);
    EXPECT_EQ(r.codigo, 0);
    // Nothing is read or written: the pending mail stays where it is.
    EXPECT_TRUE(raiz.existe(Raiz::trabajo("mail.prt")));
    EXPECT_FALSE(raiz.existe(Raiz::mail_in()));
}

TEST(Banner, ModoAdministrativoConPalabraDesconocida) {
    Raiz raiz;
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"-help"}, std::vector<std::string>{"-onx"},
          std::vector<std::string>{"nada", "3"}}) {
        Resultado r = ejecuta(raiz, args);
        EXPECT_EQ(r.salida, kBanner) << args[0];
        EXPECT_EQ(r.codigo, 0);
        EXPECT_EQ(r.errores, "");
    }
}

TEST(Argumentos, IndicativoMalFormadoSaleCon2SinSalida) {
    Raiz raiz;
    raiz.config(kSinFiltro);
    for (const char* indicativo :
         {"N0CALL", "N0CALL-", "N0CALL/P-1", "-1", "N0CALLX-1", "N0CALL-1234", ""}) {
        Resultado r = estacion(raiz, indicativo, 0, 0, 0, 1);
        EXPECT_EQ(r.codigo, 2) << indicativo;
        EXPECT_EQ(r.salida, "") << indicativo;
    }
    EXPECT_FALSE(raiz.existe(Raiz::trabajo("error.prt")));
}

TEST(Argumentos, FormasValidasYSsidEnElInforme) {
    // Without config.prt the run reports error 3, whose report shows how the
    // callsign, the SSID and the port were understood.
    struct Caso {
        std::string indicativo;
        std::string puerto;
        std::string esperado;
    };
    const std::vector<Caso> casos = {
        {"N0CALL-0", "1", "N0CALL-0 / Port: 1"},
        {"N0CALL-12", "1", "N0CALL-12 / Port: 1"},
        {"n0call-7", "1", "n0call-7 / Port: 1"},
        {"N0CALL-x", "1", "N0CALL-0 / Port: 1"},
        {"N0CAL-300", "1", "N0CAL-44 / Port: 1"},  // low 8 bits
        {"N0CALL-1", "259", "N0CALL-1 / Port: 3"},
        {"N0CALL-1", "200", "N0CALL-1 / Port: -56"},  // a signed 8-bit port
        {"N0CALL-1", " +7abc", "N0CALL-1 / Port: 7"},
        {"N0CALL-1", "99999999999", "N0CALL-1 / Port: -1"},  // clamped, then 8 bits
    };
    for (const Caso& c : casos) {
        Raiz raiz;
        Resultado r = ejecuta(raiz, {c.indicativo, "0", "0", "0", "0", c.puerto});
        EXPECT_EQ(r.codigo, 0) << c.indicativo;
        EXPECT_EQ(r.salida, id_linea()) << c.indicativo;
        EXPECT_NE(raiz.lee(Raiz::trabajo("error.prt")).find("Connected callsign: " + c.esperado),
                  std::string::npos)
            << raiz.lee(Raiz::trabajo("error.prt"));
    }
}

TEST(Argumentos, DeTresASeisArgumentosLosQueFaltanSonVacios) {
    Raiz raiz;
    raiz.config(kSinFiltro);
    Resultado r = ejecuta(raiz, {"N0CALL-1", "0", "0"});
    EXPECT_EQ(r.codigo, 0);
    EXPECT_EQ(r.salida, id_linea());
}

TEST(PrimeraLlamada, LineaDeIdentificacionSinNadaMas) {
    Raiz raiz;
    raiz.config(kSinFiltro);
    Resultado r = estacion(raiz, "N0CALL-0", 0, 0, 0, 1);
    EXPECT_EQ(r.codigo, 0);
    EXPECT_EQ(r.salida, id_linea());
    EXPECT_EQ(r.salida.size(), 15u);
}

TEST(PrimeraLlamada, ElContadorSeTomaEnOchoBits) {
    // 256 is counter 0: a first call.
    Raiz raiz;
    raiz.config(kSinFiltro);
    Resultado r = estacion(raiz, "N0CALL-0", 256, 0, 0, 1);
    EXPECT_EQ(r.salida, id_linea());
}

TEST(FiltroApagado, SoloLaLineaDeIdentificacionYSinLeerLaConfiguracion) {
    Raiz raiz;
    raiz.escribe(Raiz::trabajo("talmir.sta"), "");
    // A configuration that would refuse the station, and one that is faulty:
    // neither is read.
    raiz.config(config_basica("1 EXCLUDED\n"));
    raiz.usuarios("N0CALL\n1 BOGUS\n-\n");
    Resultado r = estacion(raiz, "N0CALL-0", 0, 0, 0, 1);
    EXPECT_EQ(r.codigo, 0);
    EXPECT_EQ(r.salida, id_linea());
    EXPECT_FALSE(raiz.existe(Raiz::trabajo("error.prt")));
    EXPECT_FALSE(raiz.existe(Raiz::trabajo("logcnx")));
}

TEST(PuertoCerrado, SoloPasanSysopYBbs) {
    Raiz raiz;
    raiz.config(kSinFiltro);
    raiz.escribe(Raiz::trabajo("1.prt"), "");
    struct Caso {
        int mascara;
        int codigo;
    };
    for (Caso c : {Caso{0, 2}, Caso{8, 0}, Caso{16, 0}, Caso{24, 0}, Caso{3616 & ~24, 2}}) {
        Resultado r = estacion(raiz, "N0CALL-0", 0, c.mascara, 0, 1);
        EXPECT_EQ(r.codigo, c.codigo) << c.mascara;
        EXPECT_EQ(r.salida, id_linea()) << c.mascara;
    }
    // Another port is open.
    EXPECT_EQ(estacion(raiz, "N0CALL-0", 0, 0, 0, 2).codigo, 0);
}

TEST(Salida, TextoTalCualSinNuevaLineaAnadida) {
    Raiz raiz;
    raiz.config(config_basica("1 OPEN\n", "3", {"NO", "OK"}));  // txtusr: the open text
    raiz.escribe(Raiz::trabajo("open.prt"), "Hola %s %d 100%\nsin fin");
    Resultado r = estacion(raiz, "N0CALL-0", 0, 0, 0, 1);
    EXPECT_EQ(r.codigo, 0);
    EXPECT_EQ(r.salida, id_linea() + "\nHola %s %d 100%\nsin fin");
}

TEST(Salida, NuncaMasDe1023Bytes) {
    Raiz raiz;
    raiz.config(config_basica("1 OPEN\n", "3", {"NO", "OK"}));
    std::string largo;
    for (int i = 0; i < 200; ++i) largo += "linea " + std::to_string(i) + " del texto\n";
    raiz.escribe(Raiz::trabajo("open.prt"), largo);
    Resultado r = estacion(raiz, "N0CALL-0", 0, 0, 0, 1);
    EXPECT_EQ(r.codigo, 0);
    ASSERT_EQ(r.salida.size(), 1023u);
    EXPECT_EQ(r.salida, (id_linea() + "\n" + largo).substr(0, 1023));
}

TEST(CorreoPendiente, SeEntregaAntesDeMirarLosArgumentos) {
    Raiz raiz;
    raiz.fbb_basico();
    const std::string mensaje = "#\nSP N0SYS < TALMIR\nasunto\ncuerpo\n/EX\n";
    raiz.escribe(Raiz::trabajo("mail.prt"), mensaje);
    raiz.escribe(Raiz::mail_in(), "antes\n");
    Resultado r = estacion(raiz, "MALFORMADO", 0, 0, 0, 1);
    EXPECT_EQ(r.codigo, 2);
    EXPECT_EQ(r.salida, "");
    EXPECT_EQ(raiz.lee(Raiz::mail_in()), "antes\n" + mensaje);
    EXPECT_FALSE(raiz.existe(Raiz::trabajo("mail.prt")));
    EXPECT_FALSE(raiz.existe(Raiz::mail_lck()));
}

TEST(CorreoPendiente, EsperaMientrasFbbTieneElCerrojo) {
    Raiz raiz;
    raiz.fbb_basico();
    const std::string mensaje = "#\nSP N0SYS < TALMIR\nasunto\ncuerpo\n/EX\n";
    raiz.escribe(Raiz::trabajo("mail.prt"), mensaje);
    raiz.escribe(Raiz::mail_lck(), "");
    raiz.config(kSinFiltro);
    Resultado r = estacion(raiz, "N0CALL-0", 0, 0, 0, 1);
    EXPECT_EQ(r.codigo, 0);
    EXPECT_EQ(raiz.lee(Raiz::trabajo("mail.prt")), mensaje);
    EXPECT_FALSE(raiz.existe(Raiz::mail_in()));
    EXPECT_TRUE(raiz.existe(Raiz::mail_lck()));
}

}  // namespace
}  // namespace prueba
