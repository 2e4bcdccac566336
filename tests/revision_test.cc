// SPDX-License-Identifier: GPL-2.0-or-later
// talmir-check: the worlds that plain files cannot hold (removed files,
// permissions, generated files, arguments and the environment), the faults
// behind the filter's error numbers 3 to 11, and "what happens" against the
// filter. The whole-report cases of plain files are folders of tests/check,
// walked by revision_casos_test.cc.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "check/patron.h"
#include "entorno.h"

namespace {

using prueba::config_basica;
using prueba::Raiz;
using prueba::Resultado;

// FBB's port descriptions: FILE 0, VHF 1, UHF 2, HF 3, LINK 4.
const char kPortSys[] =
    "# FBB port description\n"
    "1 4\n"
    "1 8 /dev/ttyS0 9600\n"
    "0 0 0 0 0 0 0 0 00/01 ---- File\n"
    "1 4 1 0 250 2 1 10 00/60 TU vhf\n"
    "2 4 1 1 250 2 1 10 00/60 TU UHF\n"
    "3 4 1 2 250 2 1 10 00/60 TU HF\n"
    "4 4 1 3 250 2 1 10 00/60 TU LINK\n";

const char kUsuarios[] =
    "N0CALL\n"
    "1 NORMAL Secreto77\n"
    "-\n";

// A world that the checker finds clean: FBB, its ports, a config.prt that
// filters port 1 with OPEN, and one NORMAL user.
void mundo(const Raiz& raiz) {
    raiz.fbb_basico();
    raiz.escribe("etc/ax25/fbb/port.sys", kPortSys);
    raiz.config(config_basica("1 OPEN\n"));
    raiz.usuarios(kUsuarios);
}

// The basic config.prt with its fixed line `indice` (0 to 13) replaced.
std::string con_linea(int indice, const std::string& linea,
                      const std::string& puertos = "1 OPEN\n") {
    std::vector<std::string> lineas = {"**", "N0SYS N1SYS", "3",  "PASSWORD>", "NO", "NO", "NO",
                                       "NO", "NO",          "NO", "NO",        "NO", "NO", "NO"};
    lineas[static_cast<std::size_t>(indice)] = linea;
    std::string s;
    for (const auto& l : lineas) s += l + "\n";
    return s + puertos;
}

Resultado revisa(const Raiz& raiz, const std::vector<std::string>& args = {},
                 const std::vector<std::string>& entorno = {}) {
    return prueba::ejecuta_programa(TALMIR_CHECK_BIN, raiz, args, entorno);
}

std::vector<std::string> lineas(const std::string& s) {
    std::vector<std::string> v;
    std::size_t ini = 0;
    while (ini < s.size()) {
        std::size_t fin = s.find('\n', ini);
        if (fin == std::string::npos) fin = s.size();
        v.push_back(s.substr(ini, fin - ini));
        ini = fin + 1;
    }
    return v;
}

// "@" stands for the working directory "./var/ax25/fbb/talmir/".
std::string expande(const std::string& s) {
    std::string r;
    for (char c : s) {
        if (c == '@') {
            r += "./var/ax25/fbb/talmir/";
        } else {
            r += c;
        }
    }
    return r;
}

std::string resumen(int errores, int avisos) {
    return "talmir-check: " + std::to_string(errores) + (errores == 1 ? " error, " : " errors, ") +
           std::to_string(avisos) + (avisos == 1 ? " warning" : " warnings");
}

// The whole output: the expected lines in order, then the count.
void espera(const Resultado& r, const std::vector<std::string>& esperado, int codigo,
            const std::string& que) {
    std::vector<std::string> todas;
    int errores = 0;
    int avisos = 0;
    for (const std::string& e : esperado) {
        todas.push_back(expande(e));
        if (e.find(": error: ") != std::string::npos) ++errores;
        if (e.find(": warning: ") != std::string::npos) ++avisos;
    }
    todas.push_back(resumen(errores, avisos));
    EXPECT_EQ(lineas(r.salida), todas) << que << "\n" << r.salida << r.errores;
    EXPECT_EQ(r.codigo, codigo) << que;
}

// ---- Patterns --------------------------------------------------------------

TEST(RevisionPatron, UnPatronQueIncluyeAOtro) {
    struct Caso {
        const char* a;
        const char* h;
        bool incluye;
    };
    const Caso casos[] = {
        {"N0*", "N0CALL", true},
        {"N0*", "N0", false},
        {"N0*", "N0*", true},
        {"N0*", "N0?", true},
        {"N0?", "N0*", false},
        {"N0CALL", "N0CALL", true},
        {"N0CALL", "N0CAL?", false},
        {"N0CAL?", "N0CALL", true},
        {"*", "N", true},
        {"*", "NN", false},
        {"**", "N0CALL-3", true},
        {"**", "N", false},
        {"*0CALL", "N0CALL", true},
        {"N0CALL-*", "N0CALL-1", true},
        {"N0CALL-?", "N0CALL-10", false},
        {"??*", "N0*", true},
        {"N0C*", "N0*", false},
        {"N?*", "N0CALL-*", true},
    };
    for (const Caso& c : casos) {
        EXPECT_EQ(talmir::incluye(talmir::compila_patron(c.a), talmir::compila_patron(c.h)),
                  c.incluye)
            << c.a << " includes " << c.h;
    }
    // The CALL-SSID texts of a bare callsign.
    const auto n0call = talmir::con_ssid(talmir::compila_patron("N0CALL"));
    EXPECT_TRUE(talmir::incluye(talmir::compila_patron("N0CALL-*"), n0call));
    EXPECT_TRUE(talmir::incluye(talmir::compila_patron("N0*"), n0call));
    EXPECT_FALSE(talmir::incluye(talmir::compila_patron("N0CALL-?"), n0call));
}

// ---- Each diagnostic, exactly ----------------------------------------------

TEST(Revision, UnMundoLimpio) {
    Raiz raiz;
    mundo(raiz);
    espera(revisa(raiz), {}, 0, "clean");
}

TEST(Revision, SinConfigNoSePuedeLeer) {
    Raiz raiz;
    mundo(raiz);
    raiz.borra(Raiz::trabajo("config.prt"));
    espera(revisa(raiz),
           {"@config.prt: error: cannot be read: No such file or directory (error 3)"}, 2,
           "no config.prt");
}

TEST(Revision, SinUsuarios) {
    Raiz raiz;
    mundo(raiz);
    raiz.borra(Raiz::trabajo("users.prt"));
    espera(revisa(raiz),
           {"@users.prt: warning: does not exist: every station gets its port's default mode"}, 0,
           "no users.prt");
}

std::string lineas_de_texto(int n) {
    std::string s = "# a translation\n\n";
    for (int i = 1; i <= n; ++i) s += "Texto " + std::to_string(i) + "\n";
    return s;
}

std::string tabla(int desde, int hasta) {
    std::string s;
    for (int d = desde; d <= hasta; ++d)
        s += std::to_string(d) + " Clave" + std::to_string(d) + "\n";
    return s;
}

TEST(Revision, FicherosDeFbb) {
    {
        Raiz raiz;
        mundo(raiz);
        raiz.borra("etc/ax25/fbb.conf");
        espera(revisa(raiz),
               {"./etc/ax25/fbb.conf: error: cannot be read, and init.srv in the current "
                "directory cannot stand in for it: port names cannot be looked up and no mail "
                "reaches the sysops (error 1)"},
               1, "no fbb.conf");
    }
    {
        // A port name then cannot be looked up either.
        Raiz raiz;
        mundo(raiz);
        raiz.config(config_basica("VHF OPEN\n"));
        raiz.escribe("etc/ax25/fbb.conf", "callsign = n0bbs\nqraloc = jn18du\n");
        espera(revisa(raiz),
               {"@config.prt:15: error: the port name VHF cannot be looked up: FBB's "
                "configuration cannot be read",
                "./etc/ax25/fbb.conf: error: city not set: FBB's configuration counts as unread, "
                "so port names cannot be looked up and no mail reaches the sysops"},
               1, "no city");
    }
    {
        Raiz raiz;
        mundo(raiz);
        raiz.config(config_basica("VHF OPEN\n"));
        raiz.borra("etc/ax25/fbb/port.sys");
        espera(revisa(raiz),
               {"@config.prt:15: error: the port name VHF cannot be looked up: no port "
                "description file (port_l.sys or port.sys) in " +
                raiz.ruta("etc/ax25/fbb") + " (error 5)"},
               1, "no port.sys");
    }
    {
        Raiz raiz;
        mundo(raiz);
        raiz.escribe("etc/ax25/fbb.conf", raiz.lee("etc/ax25/fbb.conf") +
                                              "import = " + raiz.ruta("no/such/mail.in") + "\n");
        espera(revisa(raiz),
               {raiz.ruta("no/such/mail.in") + ": error: FBB's mail import: its directory " +
                raiz.ruta("no/such") + " does not exist, so no mail reaches the sysops (error 2)"},
               1, "no mail directory");
    }
    {
        Raiz raiz;
        mundo(raiz);
        raiz.config(con_linea(4, "OK"));
        espera(revisa(raiz),
               {raiz.ruta("etc/ax25/fbb") +
                    "/langue.sys: warning: cannot be read, while texts by language are switched "
                    "on (txtlang): every station gets the texts of the working directory",
                raiz.ruta("var/ax25/fbb") +
                    "/inf.sys: warning: cannot be read, while texts by language are switched on "
                    "(txtlang): every station gets the texts of the working directory"},
               0, "txtlang without FBB's language files");
    }
}

TEST(Revision, FbbDesdeInitSrv) {
    Raiz raiz;
    mundo(raiz);
    raiz.borra("etc/ax25/fbb.conf");
    // init.srv in the current directory: data lines 1, 3, 4, 5, 11, 12, 14.
    std::string init = "N0BBS\n2\nJN18DU\nTestville\n" + raiz.ruta("etc/ax25/fbb") + "/\n";
    for (int i = 6; i <= 10; ++i) init += std::to_string(i) + "\n";
    init += "Sysop Name\nN0SYS\n13\n" + raiz.ruta(Raiz::mail_in()) + "\n";
    raiz.escribe("init.srv", init);
    espera(revisa(raiz),
           {"./etc/ax25/fbb.conf: warning: cannot be read: FBB's data come from init.srv in the "
            "current directory, which is FBB's filter directory when FBB runs talmir"},
           0, "init.srv");
}

TEST(Revision, FbbConRutaDemasiadoLarga) {
    Raiz raiz;
    mundo(raiz);
    raiz.escribe("etc/ax25/fbb.conf",
                 raiz.lee("etc/ax25/fbb.conf") + "import = /" + std::string(120, 'a') + "\n");
    espera(revisa(raiz),
           {"./etc/ax25/fbb.conf: error: a conf, data or import path is too long (100 "
            "characters; the import's lock name 80): FBB's configuration counts as unread"},
           1, "a path too long");
}

TEST(Revision, SinDirectorioDeTrabajo) {
    Raiz raiz;
    mundo(raiz);
    raiz.escribe("cfg/config.prt", config_basica("1 OPEN\n"));
    raiz.escribe("cfg/users.prt", kUsuarios);
    raiz.borra(Raiz::trabajo("config.prt"));
    raiz.borra(Raiz::trabajo("users.prt"));
    raiz.borra("var/ax25/fbb/talmir");
    espera(revisa(raiz, {"./cfg"}),
           {"./var/ax25/fbb/talmir: error: the working directory does not exist: challenges, "
            "logs and error reports cannot be written (error 10)"},
           1, "no working directory");
}

// Permissions do not hold for root: these run as another user only.
TEST(Revision, FicherosSinPermiso) {
    if (geteuid() == 0) GTEST_SKIP() << "root reads and writes every file";
    Raiz raiz;
    mundo(raiz);
    ASSERT_EQ(chmod(raiz.ruta(Raiz::trabajo("users.prt")).c_str(), 0), 0);
    ASSERT_EQ(chmod(raiz.ruta("var/ax25/fbb/mail").c_str(), 0555), 0);
    espera(revisa(raiz),
           {"@users.prt: error: cannot be read: Permission denied: the filter takes every "
            "station as unlisted",
            raiz.ruta(Raiz::mail_in()) + ": error: FBB's mail import: its directory " +
                raiz.ruta("var/ax25/fbb/mail") +
                " is not writable, so no mail reaches the sysops (error 2)"},
           2, "no permission");
    chmod(raiz.ruta("var/ax25/fbb/mail").c_str(), 0755);
}

TEST(Revision, DirectorioDeTrabajo) {
    Raiz raiz;
    mundo(raiz);
    raiz.crea_dir(Raiz::trabajo("N0CALL0.tmp"));
    raiz.escribe(Raiz::trabajo("error5.tmp"), "");
    raiz.escribe(Raiz::trabajo("talmir.sta"), "");
    raiz.escribe(Raiz::trabajo("3.prt"), "");
    espera(revisa(raiz),
           {"@3.prt: note: port 3 is closed to all but BBSs and sysops (talmir -pnormal 3)",
            "@N0CALL0.tmp: error: not a plain file: the challenge file of that station cannot be "
            "written (error 10)",
            "@error5.tmp: note: error 5 has been reported: it is not mailed again while this "
            "marker stands",
            "@talmir.sta: note: the filter is off: every station is let in (talmir -on)"},
           1, "working directory");
}

TEST(Revision, DondeEstaLaConfiguracion) {
    Raiz raiz;
    mundo(raiz);
    raiz.escribe("OTRA/config.prt", con_linea(4, "YES"));
    raiz.escribe("OTRA/users.prt", kUsuarios);
    raiz.escribe("otra/config.prt", con_linea(5, "YES"));
    raiz.escribe("otra/users.prt", kUsuarios);
    // TALMIR is upper-cased, as the filter does it.
    espera(revisa(raiz, {}, {"TALMIR=./otra/"}),
           {"./OTRA/config.prt: warning: the filter upper-cases the TALMIR variable (./otra/): "
            "this is the file it reads",
            "./OTRA/config.prt:5: error: the texts-by-language switch (txtlang) must be OK or NO, "
            "not \"YES\" (error 5)"},
           1, "TALMIR");
    // A directory argument is taken as written.
    espera(revisa(raiz, {"./otra/"}, {"TALMIR=./OTRA"}),
           {"./otra/config.prt:6: error: the open-text switch (txtusr) must be OK or NO, not "
            "\"YES\" (error 5)"},
           1, "argument");
}

TEST(Revision, Argumentos) {
    Raiz raiz;
    mundo(raiz);
    Resultado r = revisa(raiz, {"--bogus"});
    EXPECT_EQ(r.codigo, 2);
    EXPECT_NE(r.errores.find("unknown option --bogus"), std::string::npos) << r.errores;
    r = revisa(raiz, {"N0CALL", "1"});
    EXPECT_EQ(r.codigo, 2);
    EXPECT_EQ(r.salida, "");
    EXPECT_NE(r.errores.find("N0CALL: a station is CALL-SSID"), std::string::npos) << r.errores;
    r = revisa(raiz, {"--help"});
    EXPECT_EQ(r.codigo, 0);
    EXPECT_EQ(r.salida.rfind("usage: talmir-check", 0), 0u);
}

// ---- Every fault behind the filter's errors 3 to 11 ------------------------

TEST(Revision, EncuentraCadaErrorDelFiltro) {
    struct Mundo {
        int num_error;
        std::string config;
        std::string usuarios;
        std::vector<std::pair<std::string, std::string>> ficheros;
        std::string indicativo;
        int puerto;
        bool sin_config;
        bool reto_bloqueado;
    };
    const std::string abre = config_basica("1 OPEN\n", "3", {"NO", "OK", "OK"});
    const std::vector<Mundo> mundos = {
        {3, "", "", {}, "N0CALL-0", 1, true, false},
        {4, config_basica("1 OPEN\n"), "N0TAB\n1 TABLE\n-\n", {}, "N0TAB-0", 1, false, false},
        {5, con_linea(6, "SI"), kUsuarios, {}, "N0CALL-0", 1, false, false},
        {6,
         con_linea(0, "espanol.lng"),
         kUsuarios,
         {{Raiz::trabajo("espanol.lng"), lineas_de_texto(12)}},
         "N0CALL-0",
         1,
         false,
         false},
        {7, config_basica("1 OPEN\n"), "N0CALL\n1 NORMAL\n-\n", {}, "N0CALL-0", 1, false, false},
        {8, abre, "N0OPN\n1 OPEN\n-\n", {}, "N0OPN-0", 1, false, false},
        {9, config_basica("1 CLOSED\n"), kUsuarios, {}, "N1CALL-0", 1, false, false},
        {10, config_basica("1 OPEN\n"), kUsuarios, {}, "N0CALL-0", 1, false, true},
        {11,
         abre,
         "N0EXC\n1 EXCLUDED\n-\n",
         {{Raiz::trabajo("open.prt"), "open\n"}},
         "N0EXC-0",
         1,
         false,
         false},
    };
    for (const Mundo& m : mundos) {
        Raiz raiz;
        mundo(raiz);
        if (m.sin_config) {
            raiz.borra(Raiz::trabajo("config.prt"));
        } else {
            raiz.config(m.config);
        }
        raiz.usuarios(m.usuarios.empty() ? std::string(kUsuarios) : m.usuarios);
        for (const auto& [rel, contenido] : m.ficheros) raiz.escribe(rel, contenido);
        if (m.reto_bloqueado) raiz.crea_dir(Raiz::trabajo("N0CALL0.tmp"));

        // The filter meets the fault: its report names the error number.
        prueba::estacion(raiz, m.indicativo, 0, 0, 0, m.puerto);
        const std::string informe = raiz.lee(Raiz::trabajo("error.prt"));
        const std::string numero = "*** ERROR 001" + std::to_string(m.num_error) + ":";
        ASSERT_NE(informe.find(numero), std::string::npos)
            << "world of error " << m.num_error << ":\n"
            << informe;

        // The checker finds it, tagged with the same number, and changes nothing.
        raiz.borra(Raiz::trabajo("error.prt"));
        Resultado r = revisa(raiz);
        const std::string marca = "(error " + std::to_string(m.num_error) + ")";
        bool hallado = false;
        for (const std::string& l : lineas(r.salida)) {
            if (l.find(": error: ") != std::string::npos && l.size() >= marca.size() &&
                l.compare(l.size() - marca.size(), marca.size(), marca) == 0) {
                hallado = true;
            }
        }
        EXPECT_TRUE(hallado) << "error " << m.num_error << ":\n" << r.salida;
        EXPECT_EQ(r.codigo, m.num_error == 3 ? 2 : 1) << r.salida;
        EXPECT_FALSE(raiz.existe(Raiz::trabajo("error.prt"))) << "the checker wrote error.prt";
    }
}

// ---- What happens, against what the filter does ----------------------------

// The outcome lines of the checker: "first call: ..., exit N" and the texts
// of the "  sent:" line after it; the same after a right answer.
struct Desenlace {
    int codigo = -1;
    std::vector<std::string> textos;
    int codigo_acierto = -1;
    std::vector<std::string> textos_acierto;
};

int codigo_de(const std::string& linea) {
    std::size_t p = linea.rfind("exit ");
    if (p == std::string::npos) return -1;
    return std::stoi(linea.substr(p + 5));
}

std::vector<std::string> textos_de(const std::string& linea) {
    std::vector<std::string> v;
    const std::string cabeza = "  sent:";
    if (linea.rfind(cabeza, 0) != 0) return {"(no sent line)"};
    std::string resto = linea.substr(cabeza.size());
    if (resto == " nothing") return v;
    std::size_t ini = 1;
    while (ini < resto.size()) {
        std::size_t fin = resto.find(' ', ini);
        if (fin == std::string::npos) fin = resto.size();
        v.push_back(resto.substr(ini, fin - ini));
        ini = fin + 1;
    }
    return v;
}

Desenlace desenlace(const std::string& salida) {
    Desenlace d;
    std::vector<std::string> ls = lineas(salida);
    for (std::size_t i = 0; i + 1 < ls.size(); ++i) {
        if (ls[i].rfind("first call: ", 0) == 0) {
            d.codigo = codigo_de(ls[i]);
            d.textos = textos_de(ls[i + 1]);
        } else if (ls[i].rfind("after a right answer: ", 0) == 0) {
            d.codigo_acierto = codigo_de(ls[i]);
            d.textos_acierto = textos_de(ls[i + 1]);
        }
    }
    return d;
}

// What the station receives from those texts: a newline and each text.
std::string recibe(const Raiz& raiz, const std::vector<std::string>& textos) {
    std::string s;
    for (const std::string& t : textos) s += "\n" + raiz.lee(t);
    return s;
}

// The answer a challenge calls for, from the challenge file: the plain one,
// or the MD2 digest for the digest challenges (types 6 and 10).
std::string respuesta(const Raiz& raiz, const std::string& reto) {
    std::string contenido = raiz.lee(Raiz::trabajo(reto));
    std::vector<std::string> ls = lineas(contenido);
    std::string primera = ls.empty() ? std::string() : ls[0];
    std::string tipo = ls.size() > 1 ? ls[1] : std::string();
    std::size_t blanco = primera.find(' ');
    if ((tipo == "6 " || tipo == "10") && blanco != std::string::npos) {
        return primera.substr(blanco + 1);
    }
    return primera.substr(0, blanco);
}

// Every file under the root with its bytes, by path relative to the root.
std::map<std::string, std::string> foto(const Raiz& raiz) {
    std::map<std::string, std::string> f;
    namespace fs = std::filesystem;
    for (const auto& e : fs::recursive_directory_iterator(raiz.dir())) {
        if (!e.is_regular_file()) continue;
        std::ifstream in(e.path(), std::ios::binary);
        f[fs::relative(e.path(), raiz.dir()).string()] =
            std::string(std::istreambuf_iterator<char>(in), {});
    }
    return f;
}

// The files a run changed: written, created or removed.
std::set<std::string> cambiados(const std::map<std::string, std::string>& antes,
                                const std::map<std::string, std::string>& despues) {
    std::set<std::string> c;
    for (const auto& [ruta, datos] : despues) {
        auto i = antes.find(ruta);
        if (i == antes.end() || i->second != datos) c.insert(ruta);
    }
    for (const auto& [ruta, datos] : antes) {
        if (despues.count(ruta) == 0) c.insert(ruta);
    }
    return c;
}

// The files the checker says the first call changes, relative to the root:
// the ones it names, less those it creates and removes again.
std::set<std::string> nombrados(const Raiz& raiz, const std::string& salida,
                                const std::map<std::string, std::string>& antes) {
    const std::vector<std::pair<std::string, bool>> verbos = {
        {"  writes ", false},  {"  rewrites ", false}, {"  appends to ", false},
        {"  creates ", false}, {"  removes ", true},
    };
    std::map<std::string, bool> ultimo;  // path: removed by its last action
    bool en_primera = false;
    for (const std::string& l : lineas(salida)) {
        if (l.rfind("first call: ", 0) == 0) {
            en_primera = true;
            continue;
        }
        if (!en_primera) continue;
        if (l.rfind("  ", 0) != 0) break;
        for (const auto& [verbo, quita] : verbos) {
            if (l.rfind(verbo, 0) != 0) continue;
            std::string ruta = l.substr(verbo.size());
            const std::string resto = " with its contents";
            if (ruta.size() > resto.size() &&
                ruta.compare(ruta.size() - resto.size(), resto.size(), resto) == 0) {
                ruta.resize(ruta.size() - resto.size());
            }
            if (ruta.rfind(raiz.dir() + "/", 0) == 0) ruta = ruta.substr(raiz.dir().size() + 1);
            if (ruta.rfind("./", 0) == 0) ruta = ruta.substr(2);
            ultimo[ruta] = quita;
        }
    }
    std::set<std::string> n;
    for (const auto& [ruta, quitado] : ultimo) {
        if (!(quitado && antes.count(ruta) == 0)) n.insert(ruta);
    }
    return n;
}

TEST(Revision, LoQuePasaEsLoQueHaceElFiltro) {
    struct Caso {
        const char* que;
        std::string usuarios_linea;  // the station's line in users.prt, or empty: no block
        int puerto;
        int mascara;
        bool tabla;
    };
    const std::vector<Caso> casos = {
        {"OPEN", "1 OPEN", 1, 0, false},
        {"CLOSED", "1 CLOSED", 1, 0, false},
        {"EXCLUDED", "1 EXCLUDED", 1, 0, false},
        {"FIXED", "1 FIXED Frase-de-paso", 1, 0, false},
        {"NORMAL", "1 NORMAL Secreto77", 1, 0, false},
        {"MD5", "1 MD5 Clave2024x", 1, 0, false},
        {"TABLE", "1 TABLE", 1, 0, true},
        {"TABLE without a table (error 4)", "1 TABLE", 1, 0, false},
        {"BBS, a BBS", "1 BBS", 1, 16, false},
        {"BBS, not a BBS", "1 BBS", 1, 0, false},
        {"FLEXNET", "1 FLEXNET 31415", 1, 0, false},
        {"FORWARD", "1 FORWARD Reenvio22", 1, 16, false},
        {"READONLY", "1 READONLY", 1, 0, false},
        {"HOLD", "1 HOLD", 1, 0, false},
        {"FORWARD5", "1 FORWARD5 Reenvio55", 1, 16, false},
        {"GUEST", "1 GUEST", 1, 64, false},
        {"mode number 20", "1 20", 1, 0, false},
        {"a guest with no block: the default mode", "", 1, 64, false},
        {"a faulty line: error 7, the default mode", "1 NORMAL", 1, 0, false},
        {"port 2: CLOSED by default", "1 OPEN", 2, 0, false},
        {"port 3: not filtered", "1 OPEN", 3, 0, false},
    };
    for (const Caso& c : casos) {
        Raiz raiz;
        mundo(raiz);
        // Every text switched on and present, each with a content of its own.
        raiz.config(config_basica("1 OPEN\n2 CLOSED\n", "3",
                                  {"NO", "OK", "OK", "OK", "OK", "NO", "NO", "NO", "NO", "NO"}));
        raiz.usuarios(c.usuarios_linea.empty() ? "N9OTRO\n1 OPEN\n-\n"
                                               : "N0CALL\n" + c.usuarios_linea + "\n-\n");
        for (const char* t : {"open.prt", "info.prt", "excluded.prt", "guest.prt", "intro.prt",
                              "N0CALL.ent", "info2.prt"}) {
            raiz.escribe(Raiz::trabajo(t), std::string("text of ") + t + "\n");
        }
        if (c.tabla) raiz.escribe(Raiz::trabajo("N0CALL.TBL"), tabla(1, 31));

        Resultado chk = revisa(
            raiz, {"--flags", std::to_string(c.mascara), "N0CALL-0", std::to_string(c.puerto)});
        const Desenlace d = desenlace(chk.salida);
        ASSERT_NE(d.codigo, -1) << c.que << "\n" << chk.salida;

        const auto antes = foto(raiz);
        Resultado fil = prueba::estacion(raiz, "N0CALL-0", 0, c.mascara, 0, c.puerto);
        EXPECT_EQ(fil.codigo, d.codigo) << c.que << "\n" << chk.salida << fil.salida;
        EXPECT_EQ(cambiados(antes, foto(raiz)), nombrados(raiz, chk.salida, antes)) << c.que << "\n"
                                                                                    << chk.salida;
        if (d.codigo == 1) {
            // A challenge: then a right answer.
            ASSERT_NE(d.codigo_acierto, -1) << c.que << "\n" << chk.salida;
            EXPECT_EQ(fil.salida.rfind(prueba::id_linea(), 0), 0u) << c.que;
            Resultado resp = prueba::estacion(raiz, "N0CALL-0", 1, c.mascara, 0, c.puerto,
                                              respuesta(raiz, "N0CALL0.tmp"));
            EXPECT_EQ(resp.codigo, d.codigo_acierto) << c.que << "\n" << chk.salida;
            EXPECT_EQ(resp.salida, recibe(raiz, d.textos_acierto)) << c.que << "\n" << chk.salida;
        } else {
            EXPECT_EQ(fil.salida, prueba::id_linea() + recibe(raiz, d.textos)) << c.que << "\n"
                                                                               << chk.salida;
        }
        EXPECT_FALSE(raiz.existe(Raiz::trabajo("error.prt")) &&
                     chk.salida.find("error:") == std::string::npos)
            << c.que << ": the filter reported a fault the checker did not tell\n"
            << chk.salida << raiz.lee(Raiz::trabajo("error.prt"));
    }
}

// The checker's answer with the challenge's drawn digits as "#".
std::string sin_sorteo(const std::string& salida) {
    std::string s;
    for (const std::string& l : lineas(salida)) {
        std::string v = l;
        if (v.rfind("  says: PASSWORD>", 0) == 0) {
            for (char& ch : v) {
                if (ch >= '0' && ch <= '9') ch = '#';
            }
        }
        s += v + "\n";
    }
    return s;
}

const char kIdLinea[] = "  says: {TALMIR-4.1\\xE12}\n";

TEST(Revision, LoQuePasaConLasMarcas) {
    Raiz raiz;
    mundo(raiz);
    raiz.escribe(Raiz::trabajo("1.prt"), "");
    Resultado r = revisa(raiz, {"N0CALL-0", "1"});
    EXPECT_EQ(r.salida, std::string("N0CALL-0 on port 1, FBB flags 0\n"
                                    "./var/ax25/fbb/talmir/1.prt: the port is closed to all but "
                                    "BBSs and sysops\n"
                                    "first call: disconnected, exit 2\n"
                                    "  sent: nothing\n") +
                            kIdLinea);
    EXPECT_EQ(prueba::estacion(raiz, "N0CALL-0", 0, 0, 0, 1).codigo, 2);
    raiz.escribe(Raiz::trabajo("talmir.sta"), "");
    r = revisa(raiz, {"N0CALL-0", "1"});
    EXPECT_EQ(r.salida, std::string("N0CALL-0 on port 1, FBB flags 0\n"
                                    "./var/ax25/fbb/talmir/talmir.sta: the filter is off\n"
                                    "first call: let in, exit 0\n"
                                    "  sent: nothing\n") +
                            kIdLinea);
    EXPECT_EQ(prueba::estacion(raiz, "N0CALL-0", 0, 0, 0, 1).codigo, 0);
}

TEST(Revision, LoQuePasaPasoAPaso) {
    Raiz raiz;
    mundo(raiz);
    Resultado r = revisa(raiz, {"N0CALL-0", "1"});
    EXPECT_EQ(r.codigo, 0);
    EXPECT_EQ(sin_sorteo(r.salida),
              std::string(
                  "N0CALL-0 on port 1, FBB flags 0\n"
                  "./var/ax25/fbb/talmir/config.prt:15: port 1 is filtered; its default mode is "
                  "OPEN\n"
                  "./var/ax25/fbb/talmir/users.prt:1: block N0CALL\n"
                  "./var/ax25/fbb/talmir/users.prt:2: mode NORMAL for port 1, with a password of 9 "
                  "characters\n"
                  "first call: challenge, exit 1\n"
                  "  sent: nothing\n") +
                  kIdLinea +
                  "  says: PASSWORD> # # # # #\n"
                  "  writes ./var/ax25/fbb/talmir/N0CALL0.tmp\n"
                  "after a right answer: let in, exit 0\n"
                  "  sent: nothing\n"
                  "  removes ./var/ax25/fbb/talmir/N0CALL0.tmp\n"
                  "after a wrong answer: challenge, exit 1\n"
                  "  sent: nothing\n"
                  "  says: PASSWORD> # # # # #\n"
                  "  writes ./var/ax25/fbb/talmir/N0CALL0.tmp\n"
                  "after the last wrong answer (answer 3): disconnected, exit 2\n"
                  "  sent: nothing\n"
                  "  says: *** MISTAKEN IDENTITY - DENIED ACCESS!\n"
                  "  removes ./var/ax25/fbb/talmir/N0CALL0.tmp\n");
    // A faulty config.prt lets every station in, and the road says why: the
    // filter's report and its mail, which the check only names.
    raiz.config(con_linea(2, "9"));
    r = revisa(raiz, {"N0CALL-0", "1"});
    EXPECT_EQ(r.codigo, 1);
    EXPECT_EQ(r.salida,
              std::string("N0CALL-0 on port 1, FBB flags 0\n"
                          "./var/ax25/fbb/talmir/config.prt:3: error: the attempts line (intentos) "
                          "must begin with a digit 1 to 5, not \"9\" (error 5)\n"
                          "first call: let in, exit 0\n"
                          "  sent: nothing\n") +
                  kIdLinea +
                  "  rewrites ./var/ax25/fbb/talmir/error.prt\n"
                  "  creates ./var/ax25/fbb/talmir/error5.tmp\n");
    EXPECT_FALSE(raiz.existe(Raiz::trabajo("error.prt")));
    EXPECT_FALSE(raiz.existe(Raiz::trabajo("error5.tmp")));
}

// What only the filter's own runs can tell: the mail, the logs and the
// outcome of the plain answer to a digest challenge, each in the section of
// the run that does it.
TEST(Revision, LoQuePasaConCorreoYRegistros) {
    struct Caso {
        const char* que;
        std::vector<std::string> interruptores;
        std::string usuario;
        std::vector<std::string> args;
        std::string seccion;  // the line that opens the run's section
        std::string linea;    // a line of that section
    };
    const std::vector<Caso> casos = {
        {"a new user, msgnewusr OK",
         {"NO", "NO", "NO", "NO", "NO", "NO", "OK"},
         "1 OPEN",
         {"--new", "N0CALL-0", "1"},
         "first call: let in, exit 0",
         "  mails \"SP N0SYS < TALMIR\": NEW USER"},
        {"lognopas OK",
         {"NO", "NO", "NO", "NO", "NO", "NO", "NO", "NO", "NO", "OK"},
         "1 NORMAL Secreto77",
         {"N0CALL-0", "1"},
         "after the last wrong answer (answer 3): disconnected, exit 2",
         "  creates ./var/ax25/fbb/talmir/lognopas.prt with its contents"},
        {"logexcld OK",
         {"NO", "NO", "NO", "NO", "NO", "NO", "NO", "NO", "OK"},
         "1 EXCLUDED",
         {"N0CALL-0", "1"},
         "first call: disconnected, exit 2",
         "  creates ./var/ax25/fbb/talmir/logexcld.prt with its contents"},
        {"MD, five characters",
         {},
         "1 MD5 Clave2024x",
         {"N0CALL-0", "1"},
         "after a right answer of five characters instead of a digest: let in, exit 0",
         "  removes ./var/ax25/fbb/talmir/N0CALL0.tmp"},
    };
    for (const Caso& c : casos) {
        Raiz raiz;
        mundo(raiz);
        raiz.config(config_basica("1 OPEN\n", "3", c.interruptores));
        raiz.usuarios("N0CALL\n" + c.usuario + "\n-\n");
        Resultado r = revisa(raiz, c.args);
        bool en_seccion = false;
        bool hallada = false;
        for (const std::string& l : lineas(r.salida)) {
            if (l == c.seccion) {
                en_seccion = true;
            } else if (en_seccion && l.rfind("  ", 0) != 0) {
                break;
            } else if (en_seccion && l.rfind(c.linea, 0) == 0) {
                hallada = true;
            }
        }
        EXPECT_TRUE(hallada) << c.que << "\n" << r.salida;
        EXPECT_FALSE(raiz.existe(Raiz::mail_in()) && !raiz.lee(Raiz::mail_in()).empty())
            << c.que << ": the check mailed";
    }
}

// The lockout as the station meets it: locked, it is told the lock text and
// nothing is looked up; with failures behind it, the wrong answer that
// reaches the limit locks it, and the sysops would be told.
TEST(Revision, LoQuePasaConElBloqueo) {
    Raiz raiz;
    mundo(raiz);
    raiz.config(config_basica("1 OPEN\n", "3"));
    raiz.usuarios("N0CALL\n1 NORMAL Secreto77\n-\n");
    raiz.escribe(Raiz::trabajo("bloqueo.prt"), "1 3 15 60\n");
    raiz.escribe(Raiz::trabajo("bloqueado.prt"), "Locked.\n");
    const std::string estado = Raiz::trabajo("bloqueos/N0CALL");
    raiz.escribe(estado, "1 4102444800\n");
    Resultado r = revisa(raiz, {"N0CALL-3", "1"});
    const std::vector<std::string> l = lineas(r.salida);
    auto tiene = [&l](const std::string& que) {
        for (const std::string& x : l) {
            if (x.rfind(que, 0) == 0) return true;
        }
        return false;
    };
    EXPECT_TRUE(
        tiene("./var/ax25/fbb/talmir/bloqueo.prt:1: port 1 is guarded: 3 failed answers "
              "within 15 minutes lock a callsign out for 60 minutes"))
        << r.salida;
    EXPECT_TRUE(tiene("N0CALL is locked out of port 1 until ")) << r.salida;
    EXPECT_TRUE(tiene("first call: disconnected, exit 2")) << r.salida;
    EXPECT_TRUE(tiene("  sent: ./var/ax25/fbb/talmir/bloqueado.prt")) << r.salida;
    EXPECT_FALSE(tiene("./var/ax25/fbb/talmir/users.prt")) << r.salida;

    const long ahora = static_cast<long>(std::time(nullptr));
    raiz.escribe(estado,
                 "1 0 " + std::to_string(ahora - 60) + " " + std::to_string(ahora - 30) + "\n");
    const std::string antes = raiz.lee(estado);
    r = revisa(raiz, {"N0CALL-3", "1"});
    EXPECT_NE(r.salida.find("N0CALL is not locked out of port 1: 2 failed answers within the "
                            "window\n"),
              std::string::npos)
        << r.salida;
    EXPECT_NE(r.salida.find("after the last wrong answer (answer 1): disconnected, exit 2\n"),
              std::string::npos)
        << r.salida;
    EXPECT_NE(r.salida.find("  mails \"SP N0SYS < TALMIR\": Lockout: N0CALL on port 1\n"),
              std::string::npos)
        << r.salida;
    // A dry run: the state is as it was.
    EXPECT_EQ(raiz.lee(estado), antes);
}

}  // namespace
