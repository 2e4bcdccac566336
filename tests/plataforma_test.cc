// SPDX-License-Identifier: GPL-2.0-or-later
// What the program finds of the real FBB: its configuration named by FBBCONF,
// LinFBB's port descriptions, and the inf.sys records of a 64-bit FBB.
#include <string>
#include <vector>

#include "entorno.h"

namespace prueba {
namespace {

// Switch lines from txtlang to logfall: the language switch and msgnewusr.
std::vector<std::string> interruptores(const std::string& lang, const std::string& nuevos) {
    return {lang, "NO", "NO", "NO", "OK", "NO", nuevos, "NO", "NO", "NO"};
}

const char kAviso[] = "\nCallsign N0NEW connected to the system at first time (Port 1).\n";

TEST(Plataforma, FbbconfNombraLaConfiguracionTalCual) {
    Raiz raiz;
    raiz.fbb_basico();
    raiz.config(config_basica("1 OPEN\n", "3", interruptores("NO", "OK")));
    // Another fbb.conf, whose import file is elsewhere.
    std::string otra = raiz.lee("etc/ax25/fbb.conf");
    otra.replace(otra.find("import = "), std::string::npos,
                 "import = " + raiz.ruta("srv/fbb/mail.in") + "\n");
    raiz.escribe("srv/fbb/fbb.conf", otra);
    raiz.crea_dir("srv/fbb");

    // Relative to the filter's directory like any path FBB hands over. The
    // notice goes to both sysops.
    estacion(raiz, "N0NEW-0", 0, 3616, 1, 1, "", {"FBBCONF=srv/fbb/fbb.conf"});
    EXPECT_EQ(cuenta(raiz.lee("srv/fbb/mail.in"), kAviso), 2u);
    EXPECT_FALSE(raiz.existe(Raiz::mail_in()));

    // Unset or empty: the build's path.
    estacion(raiz, "N0NEW-0", 0, 3616, 1, 1);
    estacion(raiz, "N0NEW-0", 0, 3616, 1, 1, "", {"FBBCONF="});
    EXPECT_EQ(cuenta(raiz.lee(Raiz::mail_in()), kAviso), 4u);
    EXPECT_EQ(cuenta(raiz.lee("srv/fbb/mail.in"), kAviso), 2u);

    // Named but missing: FBB's older init.srv is looked for, none here.
    Resultado r = estacion(raiz, "N0NEW-0", 0, 3616, 1, 1, "", {"FBBCONF=srv/none.conf"});
    EXPECT_EQ(r.codigo, 0);
    EXPECT_EQ(cuenta(raiz.lee(Raiz::mail_in()), kAviso), 4u);
    EXPECT_EQ(cuenta(raiz.lee(Raiz::trabajo("error.prt")), "File init.srv not found."), 1u);
}

// A record of FBB's user file in the given layout.
std::string registro(int tam, int ofs_lang, const std::string& indicativo, int idioma) {
    std::string r(tam, '\0');
    r.replace(0, indicativo.size(), indicativo);
    r[ofs_lang] = static_cast<char>(idioma);
    return r;
}

TEST(Plataforma, InfSysDeUnFbbDe64Bits) {
    Raiz raiz;
    raiz.fbb_basico();
    raiz.escribe("etc/ax25/fbb/langue.sys", "# languages\n2 1 1\nENGLISH\nFRANCAIS\n");
    raiz.config(config_basica("", "3", interruptores("OK", "NO")));
    raiz.escribe(Raiz::trabajo("intro.prt"), "general\n");
    raiz.escribe(Raiz::trabajo("FRANCAIS/intro.prt"), "bonjour\n");
    const std::vector<std::string> args = {"N0CALL-1", "0", "0", "0", "0", "1"};

    // Four 380-byte records, the station's last with language 1 at byte 109.
    std::string lp64;
    for (const char* otro : {"N0AAA", "N0BBB", "N0CCC"}) lp64 += registro(380, 109, otro, 0);
    lp64 += registro(380, 109, "N0CALL", 1);
    raiz.escribe("var/ax25/fbb/inf.sys", lp64);
    EXPECT_EQ(ejecuta_programa(TALMIR_BIN_LP64, raiz, args).salida, id_linea() + "\nbonjour\n");
    // Read in 360-byte steps the same file never lines up with the record.
    EXPECT_EQ(ejecuta(raiz, args).salida, id_linea() + "\ngeneral\n");

    std::string ilp32 = registro(360, 93, "N0AAA", 0) + registro(360, 93, "N0CALL", 1);
    raiz.escribe("var/ax25/fbb/inf.sys", ilp32);
    EXPECT_EQ(ejecuta(raiz, args).salida, id_linea() + "\nbonjour\n");
}

}  // namespace
}  // namespace prueba
