// SPDX-License-Identifier: GPL-2.0-or-later
// Texts to stations, the new-user mail, the logs and the sysop's command
// line, through the program as FBB and the sysop run it.
#include <ctime>
#include <string>
#include <vector>

#include "entorno.h"

namespace prueba {
namespace {

// A 360-byte inf.sys record: the callsign at 0, the language number at 93.
std::string registro(const std::string& indicativo, int idioma) {
    std::string r(360, '\0');
    r.replace(0, indicativo.size(), indicativo);
    r[93] = static_cast<char>(idioma);
    return r;
}

// Switch lines from txtlang to logfall.
std::vector<std::string> interruptores(const std::string& lang, const std::string& guest,
                                       const std::string& intro, const std::string& newusr,
                                       const std::string& logtotal = "NO") {
    return {lang, "NO", "NO", guest, intro, newusr, "NO", logtotal, "NO", "NO"};
}

TEST(TextosEstacion, InvitadoNuevoRecibeTodoEnOrden) {
    Raiz raiz;
    raiz.fbb_basico();
    raiz.config(config_basica("", "3", interruptores("NO", "OK", "OK", "OK TM")));
    raiz.escribe(Raiz::trabajo("guest.prt"), "G\n");
    raiz.escribe(Raiz::trabajo("intro.prt"), "I\n");
    raiz.escribe(Raiz::trabajo("newtxt.prt"), "N\n");
    raiz.escribe(Raiz::trabajo("N0NEW0.ent"), "P0\n");
    raiz.escribe(Raiz::trabajo("N0NEW.ent"), "P\n");
    raiz.escribe(Raiz::trabajo("newmsg.prt"), "Bienvenido a la BBS\n");
    Resultado r = estacion(raiz, "N0NEW-0", 0, 64, 1, 1);
    EXPECT_EQ(r.codigo, 0);
    EXPECT_EQ(r.salida, id_linea() + "\nG\n\nI\n\nN\n\nP0\n");
    EXPECT_EQ(raiz.lee(Raiz::mail_in()),
              "#\nSP N0NEW < N0BBS\nWelcome!\nBienvenido a la BBS\n\n/EX\n");
    // With SSID 3 the bare presentation file is used.
    raiz.borra(Raiz::mail_in());
    r = estacion(raiz, "N0NEW-3", 0, 0, 0, 1);
    EXPECT_EQ(r.salida, id_linea() + "\nI\n\nP\n");
}

TEST(TextosEstacion, UnaBbsSoloRecibeSuPresentacion) {
    Raiz raiz;
    raiz.fbb_basico();
    raiz.config(config_basica("", "3", interruptores("NO", "OK", "OK", "OK TM")));
    raiz.escribe(Raiz::trabajo("intro.prt"), "I\n");
    raiz.escribe(Raiz::trabajo("N0BBB.ent"), "P\n");
    EXPECT_EQ(estacion(raiz, "N0BBB-0", 0, 16 | 64, 1, 1).salida, id_linea() + "\nP\n");
}

TEST(TextosEstacion, OrdenDeBusquedaPorIdiomaYPuerto) {
    Raiz raiz;
    raiz.fbb_basico();
    raiz.escribe("var/ax25/fbb/inf.sys", registro("N0XYZ", 0) + registro("N0CALL", 1));
    raiz.escribe("etc/ax25/fbb/langue.sys", "# languages\n2 1 1\n\nFRANCAIS\n# x\nenglish\n");
    raiz.config(config_basica("", "3", interruptores("OK", "NO", "OK", "NO")));
    auto intro = [&] { return estacion(raiz, "N0CALL-1", 0, 0, 0, 2).salida.substr(15); };

    raiz.escribe(Raiz::trabajo("english/intro2.prt"), "english 2\n");
    raiz.escribe(Raiz::trabajo("intro2.prt"), "puerto 2\n");
    raiz.escribe(Raiz::trabajo("english/intro.prt"), "english\n");
    raiz.escribe(Raiz::trabajo("intro.prt"), "general\n");
    EXPECT_EQ(intro(), "\nenglish 2\n");
    raiz.borra(Raiz::trabajo("english/intro2.prt"));
    EXPECT_EQ(intro(), "\npuerto 2\n");
    raiz.borra(Raiz::trabajo("intro2.prt"));
    EXPECT_EQ(intro(), "\nenglish\n");
    raiz.borra(Raiz::trabajo("english/intro.prt"));
    EXPECT_EQ(intro(), "\ngeneral\n");

    // txtlang off: the language directory is never looked at.
    raiz.escribe(Raiz::trabajo("english/intro2.prt"), "english 2\n");
    raiz.config(config_basica("", "3", interruptores("NO", "NO", "OK", "NO")));
    EXPECT_EQ(intro(), "\ngeneral\n");
    // Port 0 has its own file too.
    raiz.escribe(Raiz::trabajo("intro0.prt"), "consola\n");
    EXPECT_EQ(estacion(raiz, "N0CALL-1", 0, 0, 0, 0).salida.substr(15), "\nconsola\n");
}

TEST(TextosEstacion, AvisoDeNuevoUsuarioEnCadaEjecucion) {
    Raiz raiz;
    raiz.fbb_basico();
    std::vector<std::string> s = interruptores("NO", "NO", "NO", "NO");
    s[6] = "OK";  // msgnewusr
    raiz.config(config_basica("1 OPEN\n", "3", s));
    estacion(raiz, "N0NEW-0", 0, 3616, 1, 1);
    estacion(raiz, "N0NEW-5", 0, 3616, 1, 1);
    std::string correo = raiz.lee(Raiz::mail_in());
    EXPECT_EQ(cuenta(correo, "\nCallsign N0NEW connected to the system at first time (Port 1).\n"),
              2u);
    EXPECT_EQ(cuenta(correo,
                     "\nCallsign N0NEW-5 connected to the system at first time "
                     "(Port 1).\n"),
              2u);
}

std::string fecha_de_hoy() {
    std::time_t t = std::time(nullptr);
    struct tm hoy;
    localtime_r(&t, &hoy);
    char buf[16];
    std::strftime(buf, sizeof buf, "%d-%m-%Y", &hoy);
    return buf;
}

const std::string kRaya = "   " + std::string(69, '=') + "\n";
const std::string kColumnas = "         CALLSIGN         PORT          TIME                DATE\n";

// The entry line with the time replaced by "HH:MM:SS".
std::string sin_hora(std::string s) {
    for (std::size_t p = s.find(':'); p != std::string::npos && p + 5 < s.size();
         p = s.find(':', p + 6)) {
        if (p >= 2 && s[p + 3] == ':') s.replace(p - 2, 8, "HH:MM:SS");
    }
    return s;
}

TEST(LogsEjecuciones, ConexionGeneralYPorIndicativo) {
    Raiz raiz;
    raiz.fbb_basico();
    raiz.crea_dir(Raiz::trabajo("logcnx"));
    raiz.config(config_basica("", "3", interruptores("NO", "NO", "NO", "NO", "OK")));
    raiz.escribe(Raiz::trabajo("logusr.prt"), "# who\nn0call-0 d\n");
    estacion(raiz, "N0CALL-0", 0, 0, 0, 1);
    estacion(raiz, "N0CALL-0", 0, 0, 0, 1);
    const std::string entrada =
        "         N0CALL-0          1         HH:MM:SS           " + fecha_de_hoy() + "\n";
    const std::string cabecera =
        "\n[TALMIR v4.1\xE1"
        "2] - Connections log:\n\n" +
        kColumnas + kRaya;
    EXPECT_EQ(sin_hora(raiz.lee(Raiz::trabajo("logcnx/logcnx.prt"))), cabecera + entrada + entrada);
    char dia[8];
    std::time_t t = std::time(nullptr);
    struct tm hoy;
    localtime_r(&t, &hoy);
    std::strftime(dia, sizeof dia, "%j", &hoy);
    EXPECT_EQ(sin_hora(raiz.lee(Raiz::trabajo(std::string("logcnx/N0CALL/") + dia + ".log"))),
              cabecera + entrada + entrada);
    // Port 0 only with "C"; a refused station is not logged.
    estacion(raiz, "N0CALL-0", 0, 0, 0, 0);
    EXPECT_EQ(cuenta(raiz.lee(Raiz::trabajo("logcnx/logcnx.prt")), "N0CALL-0"), 2u);
}

TEST(LogsEjecuciones, ExcluidosYClavesFallidas) {
    Raiz raiz;
    raiz.fbb_basico();
    std::vector<std::string> s = interruptores("NO", "NO", "NO", "NO");
    s[8] = "OK";  // logexc
    s[9] = "OK";  // logfall
    raiz.config(config_basica("1 EXCLUDED\n", "1", s));
    raiz.usuarios("N0PASS\n1 NORMAL secreto\n-\n");
    estacion(raiz, "N0BAD-12", 0, 0, 0, 1);
    EXPECT_EQ(sin_hora(raiz.lee(Raiz::trabajo("logexcld.prt"))),
              "\n[TALMIR v4.1\xE1"
              "2] - Log of not autorized connection attemps:\n\n" +
                  kColumnas + kRaya + "         N0BAD -12         1         HH:MM:SS           " +
                  fecha_de_hoy() + "\n");
    estacion(raiz, "N0PASS-0", 0, 0, 0, 1);
    estacion(raiz, "N0PASS-0", 1, 0, 0, 1, "mal");
    EXPECT_NE(raiz.lee(Raiz::trabajo("lognopas.prt")).find("Log of failed password attemps:\n"),
              std::string::npos);
    EXPECT_NE(raiz.lee(Raiz::trabajo("lognopas.prt")).find("         N0PASS-0 "),
              std::string::npos);

    // -log mails both to every sysop and deletes them.
    Resultado r = ejecuta(raiz, {"-log"});
    EXPECT_EQ(r.salida, kBanner);
    EXPECT_EQ(r.codigo, 0);
    std::string correo = raiz.lee(Raiz::mail_in());
    EXPECT_EQ(cuenta(correo, "#\nSP N0SYS < TALMIR\nLog file.\n"), 2u) << correo;
    EXPECT_EQ(cuenta(correo, "#\nSP N1SYS < TALMIR\nLog file.\n"), 2u);
    EXPECT_FALSE(raiz.existe(Raiz::trabajo("logexcld.prt")));
    EXPECT_FALSE(raiz.existe(Raiz::trabajo("lognopas.prt")));
}

TEST(LogsEjecuciones, SinSysopSeBorranIgual) {
    Raiz raiz;
    raiz.fbb_basico();
    raiz.config("**\n");
    raiz.escribe(Raiz::trabajo("logexcld.prt"), "x\n");
    Resultado r = ejecuta(raiz, {"-LOG", "n0call"});
    EXPECT_EQ(r.salida, kBanner);
    EXPECT_FALSE(raiz.existe(Raiz::trabajo("logexcld.prt")));
    EXPECT_EQ(raiz.lee(Raiz::mail_in()), "");
}

TEST(LogsEjecuciones, SinConfiguracionVanAlSysopDeFbb) {
    Raiz raiz;
    raiz.fbb_basico();
    raiz.escribe(Raiz::trabajo("logexcld.prt"), "excluidos\n");
    // "#" reads the configuration once more: without it nothing is sent.
    ejecuta(raiz, {"-log"});
    EXPECT_TRUE(raiz.existe(Raiz::trabajo("logexcld.prt")));
    EXPECT_EQ(cuenta(raiz.lee(Raiz::mail_in()), "Log file."), 0u);
    // With a callsign the log goes to FBB's sysop and is deleted.
    ejecuta(raiz, {"-log", "n0call"});
    EXPECT_EQ(
        cuenta(raiz.lee(Raiz::mail_in()), "#\nSP N0SYS < TALMIR\nLog file.\nexcluidos\n\n/EX\n"),
        1u);
    EXPECT_FALSE(raiz.existe(Raiz::trabajo("logexcld.prt")));
}

TEST(Comandos, FiltroYPuertos) {
    Raiz raiz;
    raiz.config(config_basica(""));
    struct Paso {
        std::vector<std::string> args;
        std::string marca;
        bool existe;
    };
    const std::vector<Paso> pasos = {
        {{"-off"}, "talmir.sta", true},      {{"-OFF"}, "talmir.sta", true},
        {{"-On"}, "talmir.sta", false},      {{"-on"}, "talmir.sta", false},
        {{"-pbbs", "3"}, "3.prt", true},     {{"-pnormal", "3"}, "3.prt", false},
        {{"-pbbs", "259"}, "3.prt", true},   {{"-pbbs", "x"}, "0.prt", true},
        {{"-pbbs"}, "0.prt", true},          {{"-pnormal", "0"}, "0.prt", false},
        {{"-pnormalx", "3"}, "3.prt", true},
    };
    for (const Paso& p : pasos) {
        Resultado r = ejecuta(raiz, p.args);
        EXPECT_EQ(r.salida, kBanner) << p.args[0];
        EXPECT_EQ(r.codigo, 0);
        EXPECT_EQ(raiz.existe(Raiz::trabajo(p.marca)), p.existe) << p.args[0];
    }
    // The closed port 3 refuses a station without flags 8 or 16.
    EXPECT_EQ(estacion(raiz, "N0CALL-0", 0, 0, 0, 3).codigo, 2);
    EXPECT_EQ(estacion(raiz, "N0CALL-0", 0, 8, 0, 3).codigo, 0);
}

TEST(Comandos, MarcaQueNoSePuedeCrearSeDiceEnUnaLinea) {
    Raiz raiz;
    raiz.crea_dir(Raiz::trabajo("talmir.sta/dentro"));  // a directory: cannot be removed
    Resultado r = ejecuta(raiz, {"-on"});
    EXPECT_EQ(r.salida, kBanner);
    EXPECT_EQ(r.codigo, 0);
    EXPECT_EQ(cuenta(r.errores, "\n"), 1u) << r.errores;
    EXPECT_NE(r.errores.find("talmir.sta"), std::string::npos);
}

}  // namespace
}  // namespace prueba
