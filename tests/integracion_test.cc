// SPDX-License-Identifier: GPL-2.0-or-later
// Runs of the program that reach FBB's files: the error report and its mail,
// the configuration's faults, FBB's configuration, and mail written by many
// runs at once while FBB takes and drops its lock.
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "entorno.h"

namespace prueba {
namespace {

// error.prt without its time stamp line, which depends on the clock.
std::string sin_hora(const std::string& informe) {
    std::size_t a = informe.find(
        "[TALMIR v4.1\xE1"
        "2] - ");
    if (a == std::string::npos) return informe;
    std::size_t b = informe.find('\n', a);
    return informe.substr(0, a) + "[HORA]" + informe.substr(b);
}

TEST(Errores, InformeCorreoUnaVezYMarca) {
    Raiz raiz;
    raiz.fbb_basico();
    raiz.config(config_basica("1 CLOSED\n"));
    Resultado r = estacion(raiz, "N0CALL-0", 0, 0, 0, 1);
    EXPECT_EQ(r.codigo, 2);
    EXPECT_EQ(r.salida, id_linea());
    const std::string informe =
        "\n[HORA]\nConnected callsign: N0CALL-0 / Port: 1\n"
        "*** ERROR 0019: File info.prt not found.\n\n";
    EXPECT_EQ(sin_hora(raiz.lee(Raiz::trabajo("error.prt"))), informe);
    std::string correo = raiz.lee(Raiz::mail_in());
    for (const char* sysop : {"N0SYS", "N1SYS"}) {
        std::string mensaje = std::string("#\nSP ") + sysop +
                              " < TALMIR\nERROR detected!\n[TALMIR v4.1\xE1"
                              "2] - ";
        EXPECT_EQ(cuenta(correo, mensaje), 1u) << correo;
    }
    EXPECT_EQ(cuenta(correo,
                     "\nConnected callsign: N0CALL-0 / Port: 1\n*** ERROR 0019: File info.prt not "
                     "found.\n\n/EX\n"),
              2u);
    EXPECT_FALSE(raiz.existe(Raiz::mail_lck()));
    EXPECT_TRUE(raiz.existe(Raiz::trabajo("error9.tmp")));

    // The same fault again: the report is rewritten, no second mail.
    r = estacion(raiz, "N1CALL-5", 0, 0, 0, 1);
    EXPECT_EQ(r.codigo, 2);
    EXPECT_EQ(raiz.lee(Raiz::mail_in()), correo);
    EXPECT_NE(raiz.lee(Raiz::trabajo("error.prt")).find("N1CALL-5"), std::string::npos);

    // Mended and broken again: mailed again.
    raiz.borra(Raiz::trabajo("error9.tmp"));
    estacion(raiz, "N0CALL-0", 0, 0, 0, 1);
    EXPECT_EQ(cuenta(raiz.lee(Raiz::mail_in()), "ERROR detected!"), 4u);
}

TEST(Errores, SinSysopEnLaConfiguracionVaAlSysopDeFbb) {
    Raiz raiz;
    raiz.fbb_basico();
    raiz.config("**\n");  // no sysop line: nothing filtered
    // An answer without a challenge file: error 10 after the configuration
    // was read.
    Resultado r = estacion(raiz, "N0CALL-0", 1, 0, 0, 1, "hola");
    EXPECT_EQ(r.codigo, 2);
    std::string correo = raiz.lee(Raiz::mail_in());
    EXPECT_EQ(cuenta(correo, "SP N0SYS < TALMIR\n"), 1u) << correo;
    EXPECT_EQ(cuenta(correo, "SP "), 1u);
}

TEST(Errores, SinSysopDeFbbVaASysop) {
    Raiz raiz;
    raiz.escribe("etc/ax25/fbb.conf", "call = n0bbs\nqraloc = jn18du\ncity = Here\nimport = " +
                                          raiz.ruta(Raiz::mail_in()) + "\n");
    raiz.config("**\n");
    estacion(raiz, "N0CALL-0", 1, 0, 0, 1, "hola");
    EXPECT_EQ(cuenta(raiz.lee(Raiz::mail_in()), "SP SYSOP < TALMIR\n"), 1u);
}

TEST(Configuracion, ErroresConSuNumeroDeLinea) {
    struct Caso {
        std::string config;
        std::string mensaje;
    };
    const std::vector<Caso> casos = {
        {config_basica("1 OPEN\n", "3", {"NO", "NO", "YES"}),
         "*** ERROR 0015: Incorrect data in line 7 (config.prt)\n"},
        {"# comentario\n\n" + config_basica("1 OPEN\n", "0"),
         "*** ERROR 0015: Incorrect data in line 5 (config.prt)\n"},
        {config_basica("1\n"), "*** ERROR 0015: Incorrect data in line 15 (config.prt)\n"},
        {config_basica("1 NORMAL\n"), "*** ERROR 0015: Incorrect data in line 15 (config.prt)\n"},
        {config_basica("1 CERRADISIMO\n"),
         "*** ERROR 0015: Incorrect data in line 15 (config.prt)\n"},
        {config_basica("VHF OPEN\n"), "*** ERROR 0015: Incorrect data in line 15 (config.prt)\n"},
    };
    for (const Caso& c : casos) {
        Raiz raiz;
        raiz.fbb_basico();
        raiz.config(c.config);
        Resultado r = estacion(raiz, "N0CALL-0", 0, 0, 0, 1);
        EXPECT_EQ(r.codigo, 0) << c.config;
        EXPECT_EQ(r.salida, id_linea());
        std::string informe = raiz.lee(Raiz::trabajo("error.prt"));
        EXPECT_NE(informe.find(c.mensaje), std::string::npos) << c.config << informe;
        EXPECT_TRUE(raiz.existe(Raiz::trabajo("error5.tmp")));
        EXPECT_FALSE(raiz.existe(Raiz::mail_in())) << "errors of config.prt are never mailed";
    }
}

TEST(Configuracion, SinFicheroEsError3) {
    Raiz raiz;
    raiz.fbb_basico();
    Resultado r = estacion(raiz, "N0CALL-0", 0, 0, 0, 1);
    EXPECT_EQ(r.codigo, 0);
    EXPECT_NE(raiz.lee(Raiz::trabajo("error.prt"))
                  .find("*** ERROR 0013: Configuration file (config.prt) not found.\n"),
              std::string::npos);
    EXPECT_TRUE(raiz.existe(Raiz::trabajo("error3.tmp")));
    EXPECT_FALSE(raiz.existe(Raiz::mail_in()));
    // Once the file is there the marker goes.
    raiz.config(config_basica(""));
    estacion(raiz, "N0CALL-0", 0, 0, 0, 1);
    EXPECT_FALSE(raiz.existe(Raiz::trabajo("error3.tmp")));
}

TEST(Configuracion, VariableTalmirMueveConfigYUsuarios) {
    Raiz raiz;
    raiz.fbb_basico();
    raiz.escribe("OTRO/config.prt", config_basica("1 OPEN\n"));
    raiz.escribe("OTRO/users.prt", "N0CALL\n1 HOLD\n-\n");
    Resultado r = estacion(raiz, "N0CALL-0", 0, 0, 0, 1, "", {"TALMIR=otro/"});
    EXPECT_EQ(r.codigo, 4);
}

TEST(Idioma, FicheroDeTextosConLineasDeMasODeMenos) {
    struct Caso {
        int lineas;
        std::string cuenta;
    };
    for (const Caso& c : {Caso{28, "(28/29)."}, Caso{31, "(30/29)."}, Caso{0, "(0/29)."}}) {
        Raiz raiz;
        raiz.fbb_basico();
        std::string texto = "# textos\n";
        for (int i = 1; i <= c.lineas; ++i) texto += "texto " + std::to_string(i) + "\n";
        raiz.escribe(Raiz::trabajo("espanol.lng"), texto);
        std::string cfg = config_basica("1 OPEN\n");
        cfg.replace(0, 2, "espanol.lng");
        raiz.config(cfg);
        Resultado r = estacion(raiz, "N0CALL-0", 0, 0, 0, 1);
        EXPECT_EQ(r.codigo, 0);
        EXPECT_EQ(r.salida, id_linea());
        std::string informe = raiz.lee(Raiz::trabajo("error.prt"));
        EXPECT_NE(
            informe.find("*** ERROR 0016: Incorrect number of lines in language file " + c.cuenta),
            std::string::npos)
            << informe;
        EXPECT_TRUE(raiz.existe(Raiz::trabajo("error6.tmp")));
    }
}

TEST(Idioma, VeintinueveLineasSustituyenLosTextos) {
    Raiz raiz;
    raiz.fbb_basico();
    std::string texto;
    for (int i = 1; i <= 29; ++i) texto += "T" + std::to_string(i) + "\n";
    raiz.escribe(Raiz::trabajo("espanol.lng"), texto + "-\nlo que sigue no cuenta\n");
    raiz.escribe(Raiz::trabajo("error6.tmp"), "");
    std::string cfg = config_basica("1 CLOSED\n");
    cfg.replace(0, 2, "espanol.lng");
    raiz.config(cfg);
    estacion(raiz, "N0CALL-0", 0, 0, 0, 1);
    // Error 9 composed from the file's texts: "T1 info.prt T2."
    EXPECT_NE(raiz.lee(Raiz::trabajo("error.prt"))
                  .find("T13: N0CALL-0 / T12: 1\n*** ERROR 0019: "
                        "T1 info.prt T2.\n"),
              std::string::npos)
        << raiz.lee(Raiz::trabajo("error.prt"));
    EXPECT_FALSE(raiz.existe(Raiz::trabajo("error6.tmp")));
    EXPECT_NE(raiz.lee(Raiz::mail_in()).find("\nT14\n"), std::string::npos);
}

TEST(Fbb, InitSrvCuandoNoHayFbbConf) {
    Raiz raiz;
    // init.srv lies in the current directory of the run: the root here.
    raiz.escribe("init.srv",
                 "# FBB init file\n"
                 "n0bbs-1\n"
                 "1\n"
                 "jn18du\n"
                 "Testville\n" +
                     raiz.ruta("etc/ax25/fbb") +
                     "/\n"
                     "6\n7\n8\n9\n10\n"
                     "Sysop Name\n"
                     "n0op\n"
                     "13\n" +
                     raiz.ruta("var/ax25/fbb/mail/otro.in") + "\n");
    raiz.config(config_basica("1 CLOSED\n"));
    estacion(raiz, "N0CALL-0", 0, 0, 0, 1);
    std::string correo = raiz.lee("var/ax25/fbb/mail/otro.in");
    EXPECT_EQ(cuenta(correo, "ERROR detected!"), 2u) << correo;
    EXPECT_FALSE(raiz.existe("var/ax25/fbb/mail/otro.lck"));
}

TEST(Fbb, SinConfiguracionDeFbbNoHayCorreo) {
    Raiz raiz;
    raiz.config(config_basica("1 CLOSED\n"));
    Resultado r = estacion(raiz, "N0CALL-0", 0, 0, 0, 1);
    EXPECT_EQ(r.codigo, 2);
    // error 1 for the missing init.srv is the last report written
    EXPECT_NE(raiz.lee(Raiz::trabajo("error.prt")).find("File init.srv not found."),
              std::string::npos);
}

// FBB is asked for the station's language whenever an introduction text is
// looked for, texts by language on or off: a missing FBB configuration is
// reported either way, and the text still reaches the station.
TEST(Fbb, TextoDeIntroduccionPideElIdiomaAunSinTextosPorIdioma) {
    for (const char* txtlang : {"NO", "OK"}) {
        Raiz raiz;
        raiz.config(config_basica("1 OPEN\n", "3", {txtlang, "NO", "NO", "NO", "OK"}));
        raiz.escribe(Raiz::trabajo("intro.prt"), "Welcome\n");
        Resultado r = estacion(raiz, "N0CALL-0", 0, 0, 0, 1);
        EXPECT_EQ(r.codigo, 0) << txtlang;
        EXPECT_EQ(r.salida, id_linea() + "\nWelcome\n") << txtlang;
        EXPECT_NE(
            raiz.lee(Raiz::trabajo("error.prt")).find("*** ERROR 0011: File init.srv not found."),
            std::string::npos)
            << "txtlang " << txtlang;
    }
}

TEST(CorreoEjecuciones, NuevoUsuarioConCerrojoLibreYOcupado) {
    Raiz raiz;
    raiz.fbb_basico();
    raiz.config(config_basica("1 OPEN\n", "3", {"NO", "NO", "NO", "NO", "NO", "NO", "OK"}));
    estacion(raiz, "N0NEW-5", 0, 3616, 1, 1);
    const std::string cuerpo =
        "Callsign N0NEW-5 connected to the system at first time (Port 1).\n/EX\n";
    std::string correo = raiz.lee(Raiz::mail_in());
    EXPECT_EQ(cuenta(correo, "#\nSP N0SYS < TALMIR\nNEW USER\n[TALMIR v"), 1u) << correo;
    EXPECT_EQ(cuenta(correo, cuerpo), 2u);
    EXPECT_FALSE(raiz.existe(Raiz::mail_lck()));

    // FBB holds the lock: the notice waits in mail.prt.
    raiz.escribe(Raiz::mail_lck(), "");
    estacion(raiz, "N0NEW-0", 0, 3616, 1, 1);
    EXPECT_EQ(raiz.lee(Raiz::mail_in()), correo);
    std::string pendiente = raiz.lee(Raiz::trabajo("mail.prt"));
    EXPECT_EQ(
        cuenta(pendiente, "Callsign N0NEW connected to the system at first time (Port 1).\n/EX\n"),
        2u);
    EXPECT_TRUE(raiz.existe(Raiz::mail_lck()));

    // Lock dropped: the next run moves it.
    raiz.borra(Raiz::mail_lck());
    estacion(raiz, "N0OLD-0", 0, 0, 0, 1);
    EXPECT_EQ(raiz.lee(Raiz::mail_in()), correo + pendiente);
    EXPECT_FALSE(raiz.existe(Raiz::trabajo("mail.prt")));
    EXPECT_FALSE(raiz.existe(Raiz::mail_lck()));
}

TEST(CorreoEjecuciones, MuchasEjecucionesALaVezMientrasFbbTomaElCerrojo) {
    Raiz raiz;
    raiz.fbb_basico();
    raiz.config(config_basica("1 OPEN\n", "3", {"NO", "NO", "NO", "NO", "NO", "NO", "OK"}));
    std::atomic<bool> fin{false};
    const std::string cerrojo = raiz.ruta(Raiz::mail_lck());
    // FBB: takes its lock exclusively now and then and holds it a moment.
    std::thread fbb([&] {
        while (!fin.load()) {
            int fd = open(cerrojo.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
            if (fd >= 0) {
                close(fd);
                std::this_thread::sleep_for(std::chrono::milliseconds(3));
                unlink(cerrojo.c_str());
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });
    const int kEstaciones = 48;
    std::vector<std::thread> ejecuciones;
    for (int hilo = 0; hilo < 4; ++hilo) {
        ejecuciones.emplace_back([&, hilo] {
            for (int i = hilo; i < kEstaciones; i += 4) {
                estacion(raiz, "N" + std::to_string(i) + "AB-1", 0, 3616, 1, 1);
            }
        });
    }
    for (auto& t : ejecuciones) t.join();
    fin = true;
    fbb.join();
    // One more run with the lock free hands over what waits.
    estacion(raiz, "N0OLD-0", 0, 0, 0, 1);

    std::string correo = raiz.lee(Raiz::mail_in());
    for (int i = 0; i < kEstaciones; ++i) {
        std::string cuerpo = "\nCallsign N" + std::to_string(i) +
                             "AB-1 connected to the system at first time (Port 1).\n/EX\n";
        EXPECT_EQ(cuenta(correo, cuerpo), 2u) << i;
    }
    // Every message whole: "#", send line, subject, header, body, "/EX".
    std::size_t mensajes = 0;
    for (std::size_t p = 0; p < correo.size();) {
        std::size_t fin_msg = correo.find("/EX\n", p);
        ASSERT_NE(fin_msg, std::string::npos);
        std::string m = correo.substr(p, fin_msg + 4 - p);
        EXPECT_EQ(m.rfind("#\nSP N", 0), 0u) << m;
        EXPECT_EQ(cuenta(m, "\n"), 6u) << m;
        p = fin_msg + 4;
        ++mensajes;
    }
    EXPECT_EQ(mensajes, 2u * kEstaciones);
    EXPECT_FALSE(raiz.existe(Raiz::mail_lck()));
    EXPECT_FALSE(raiz.existe(Raiz::trabajo("mail.prt")));
}

}  // namespace
}  // namespace prueba
