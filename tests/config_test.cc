// SPDX-License-Identifier: GPL-2.0-or-later
// config.prt, users.prt, port and mode words.
#include "config/config.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "driver/disco.h"
#include "driver/global.h"
#include "entorno.h"

namespace {

using talmir::cfg;
using talmir::usuario;

// The complete example file of the documentation.
const char kEjemplo[] =
    "**\n"
    "N0CALL N1CALL\n"
    "3 CR R\n"
    "PASSWORD>\n"
    "NO\n"
    "OK\n"
    "OK\n"
    "NO\n"
    "OK XS\n"
    "OK TM\n"
    "OK\n"
    "OK CD\n"
    "OK\n"
    "OK\n"
    "0     OPEN\n"
    "1     CLOSED\n"
    "VHF   EXCLUDED\n";

// FBB's port descriptions: FILE 0, VHF 1, UHF 2, HF 3, LINK 4.
const char kPortSys[] =
    "# FBB port description\n"
    "1 4\n"
    "#\n"
    "1 8 /dev/ttyS0 9600\n"
    "#TNC NbCh Com MultCh Pacln Maxfr NbFwd MxBloc M/P-Fwd Mode Freq\n"
    "0 0 0 0 0 0 0 0 00/01 ---- File\n"
    "1 4 1 0 250 2 1 10 00/60 TU vhf\n"
    "2 4 1 1 250 2 1 10 00/60 TU UHF\n"
    "3 4 1 2 250 2 1 10 00/60 TU HF\n"
    "4 4 1 3 250 2 1 10 00/60 TU LINK\n";

class Config : public prueba::EnProceso {
   protected:
    int lee(int puerto) {
        usuario.puerto = static_cast<std::int8_t>(puerto);
        return talmir::lee_cfg(r_buf);
    }
    // The basic config with a port line, a fixed line replaced by `linea`.
    static std::string con_linea(int indice, const std::string& linea) {
        std::vector<std::string> lineas = {"**", "N0SYS N1SYS", "3",  "PASSWORD>", "NO",
                                           "NO", "NO",          "NO", "NO",        "NO",
                                           "NO", "NO",          "NO", "NO"};
        lineas[static_cast<std::size_t>(indice)] = linea;
        std::string s;
        for (const auto& l : lineas) s += l + "\n";
        return s + "1 OPEN\n";
    }
    void puertos_fbb() {
        raiz.fbb_basico();
        raiz.escribe("etc/ax25/fbb/port.sys", kPortSys);
    }
};

TEST_F(Config, EjemploCompleto) {
    puertos_fbb();
    raiz.config(kEjemplo);
    ASSERT_EQ(lee(1), 1);
    EXPECT_EQ(cfg.modo_def, 2);
    EXPECT_STREQ(cfg.lng_file, "**");
    EXPECT_EQ(cfg.num_sysop, 2);
    EXPECT_STREQ(cfg.sysop[0], "N0CALL");
    EXPECT_STREQ(cfg.sysop[1], "N1CALL");
    EXPECT_EQ(cfg.num_int, 3);
    EXPECT_EQ(cfg.sec_ops, 11);
    EXPECT_STREQ(cfg.prompt, "PASSWORD>");
    EXPECT_EQ(cfg.txt_lang, 0);
    EXPECT_EQ(cfg.txt_cnx, 1);
    EXPECT_EQ(cfg.txt_dcnx, 1);
    EXPECT_EQ(cfg.txt_guest, 0);
    EXPECT_EQ(cfg.txt_intro, 1);
    EXPECT_EQ(cfg.txtintro_ops, 3);
    EXPECT_EQ(cfg.txt_nusr, 1);
    EXPECT_EQ(cfg.newusr_ops, 3);
    EXPECT_EQ(cfg.msj_nusr, 1);
    EXPECT_EQ(cfg.log_cnx, 1);
    EXPECT_EQ(cfg.logcnx_ops, 3);
    EXPECT_EQ(cfg.log_dcnx, 1);
    EXPECT_EQ(cfg.log_nopas, 1);
    EXPECT_EQ(talmir::leido_cfg, 1);
    EXPECT_EQ(talmir::leyendo_cfg, 0);

    EXPECT_EQ(lee(0), 1);
    EXPECT_EQ(cfg.modo_def, 1);
    // Port 5 reaches the VHF line (port 1, found through port.sys) and the end.
    EXPECT_EQ(lee(5), 0);
    EXPECT_EQ(cfg.modo_def, 3);
    EXPECT_STREQ(talmir::desc_port[1], "VHF");
}

TEST_F(Config, ComentariosNoCambianNada) {
    puertos_fbb();
    std::string con;
    std::string texto = kEjemplo;
    for (std::size_t i = 0; i < texto.size(); ++i) {
        con += texto[i];
        if (texto[i] == '\n') con += (i % 2 != 0) ? "# comment OK NO\n" : "\n";
    }
    raiz.config("# head\n\n" + con);
    ASSERT_EQ(lee(1), 1);
    talmir::CFGS con_comentarios = cfg;

    talmir::reinicia_globales();
    raiz.config(kEjemplo);
    ASSERT_EQ(lee(1), 1);
    EXPECT_EQ(std::memcmp(&con_comentarios, &cfg, sizeof cfg), 0);
}

TEST_F(Config, DosLecturasDanElMismoRegistro) {
    raiz.config(kEjemplo);
    ASSERT_EQ(lee(1), 1);
    talmir::CFGS primera = cfg;
    ASSERT_EQ(lee(1), 1);
    EXPECT_EQ(std::memcmp(&primera, &cfg, sizeof cfg), 0);
    ASSERT_EQ(lee(1), 1);
    EXPECT_EQ(std::memcmp(&primera, &cfg, sizeof cfg), 0);
}

TEST_F(Config, FicheroCortoDejaLosValoresPorDefecto) {
    raiz.config("**\nn0sys\n");
    EXPECT_EQ(lee(1), 0);
    EXPECT_EQ(cfg.num_sysop, 1);
    EXPECT_STREQ(cfg.sysop[0], "N0SYS");
    EXPECT_EQ(cfg.num_int, 3);
    EXPECT_STREQ(cfg.prompt, "PASSWORD>");
    EXPECT_EQ(cfg.modo_def, 1);
    EXPECT_EQ(talmir::leido_cfg, 1);

    // Only the fixed lines: no port is filtered.
    raiz.config(prueba::config_basica(""));
    EXPECT_EQ(lee(0), 0);
}

TEST_F(Config, SinFicheroEsError) {
    EXPECT_EQ(lee(1), -1);
    EXPECT_EQ(talmir::leido_cfg, 0);
    EXPECT_EQ(talmir::leyendo_cfg, 0);
}

TEST_F(Config, Interruptores) {
    struct Caso {
        const char* palabra;
        int valor;  // -1: data error
    };
    const Caso casos[] = {{"ok", 1},   {"Ok", 1},   {"OKAY", 1}, {"NOT", 0},
                          {"no", 0},   {"  OK", 1}, {"YES", -1}, {"O", -1},
                          {"   ", -1}, {"O K", -1}, {"NOK", 0},  {"OK XS", 1}};
    for (const auto& c : casos) {
        SCOPED_TRACE(c.palabra);
        talmir::reinicia_globales();
        cfg.txt_lang = 7;
        raiz.config(con_linea(4, c.palabra));
        if (c.valor < 0) {
            EXPECT_EQ(lee(1), -1);
            EXPECT_EQ(cfg.txt_lang, 7);
            EXPECT_EQ(talmir::leido_cfg, 0);
            EXPECT_EQ(talmir::leyendo_cfg, 0);
        } else {
            EXPECT_EQ(lee(1), 1);
            EXPECT_EQ(cfg.txt_lang, c.valor);
        }
    }
}

TEST_F(Config, MascarasDeOpciones) {
    struct Caso {
        int indice;
        const char* linea;
        std::uint16_t talmir::CFGS::*mascara;
        std::uint16_t valor;
    };
    const Caso casos[] = {
        {8, "OK", &talmir::CFGS::txtintro_ops, 0},
        {8, "ok xsn", &talmir::CFGS::txtintro_ops, 7},
        {8, "OK XX", &talmir::CFGS::txtintro_ops, 2},
        {8, "OKAY X", &talmir::CFGS::txtintro_ops, 1},
        {9, "OK M", &talmir::CFGS::newusr_ops, 2},
        {9, "NO TM", &talmir::CFGS::newusr_ops, 3},
        {11, "OK CDWM", &talmir::CFGS::logcnx_ops, 15},
        {11, "OK C-D", &talmir::CFGS::logcnx_ops, 3},
        {11, "OK C D", &talmir::CFGS::logcnx_ops, 1},
        // Only the first ten letters of an option word count.
        {11, "OK CCCCCCCCCCCC", &talmir::CFGS::logcnx_ops, 10},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.linea);
        talmir::reinicia_globales();
        cfg.*c.mascara = 0x4000;
        raiz.config(con_linea(c.indice, c.linea));
        ASSERT_EQ(lee(1), 1);
        EXPECT_EQ(cfg.*c.mascara, c.valor);
    }
}

TEST_F(Config, LineaDeIntentos) {
    struct Caso {
        const char* linea;
        int num_int;  // -1: data error
        std::uint16_t sec_ops;
    };
    const Caso casos[] = {
        {"3", 3, 0},        {"3 CRH DN", 3, 103},
        {"3 CR CR", 3, 11}, {"3 cr r", 3, 11},
        {"1 C C", 1, 1},    {"5 X C", 5, 1},
        {"3CR R", 3, 11},   {"  2 H", 2, 4},
        {"3 CC", 3, 2},     {"3 ABCDEFGHIJH", 3, 5},
        {"0", -1, 0},       {"7", -1, 0},
        {"9 CR", -1, 0},    {"X", -1, 0},
        {"-3", -1, 0},      {"   ", -1, 0},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.linea);
        talmir::reinicia_globales();
        cfg.sec_ops = 0x4000;
        raiz.config(con_linea(2, c.linea));
        if (c.num_int < 0) {
            EXPECT_EQ(lee(1), -1);
            EXPECT_EQ(cfg.num_int, 3);
            EXPECT_EQ(talmir::leido_cfg, 0);
        } else {
            EXPECT_EQ(lee(1), 1);
            EXPECT_EQ(cfg.num_int, c.num_int);
            EXPECT_EQ(cfg.sec_ops, c.sec_ops);
        }
    }
}

TEST_F(Config, LineaDeSysops) {
    struct Caso {
        const char* linea;
        std::vector<std::string> sysops;  // empty: data error
    };
    const Caso casos[] = {
        {"n0call n1call", {"N0CALL", "N1CALL"}},
        {"n0callabc n1call", {"N0CALL", "ABC", "N1CALL"}},
        {"A B C D E F G", {"A", "B", "C", "D", "E"}},
        {"\tN0SYS", {"N0SYS"}},
        {"   ", {}},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.linea);
        talmir::reinicia_globales();
        raiz.config(con_linea(1, c.linea));
        if (c.sysops.empty()) {
            EXPECT_EQ(lee(1), -1);
            // The error report puts one sysop into the empty list.
            EXPECT_EQ(cfg.num_sysop, 1);
            continue;
        }
        ASSERT_EQ(lee(1), 1);
        ASSERT_EQ(cfg.num_sysop, c.sysops.size());
        for (std::size_t i = 0; i < c.sysops.size(); ++i) EXPECT_EQ(cfg.sysop[i], c.sysops[i]);
    }
}

TEST_F(Config, PromptYLenguaje) {
    raiz.config(con_linea(3, "   "));
    ASSERT_EQ(lee(1), 1);
    EXPECT_STREQ(cfg.prompt, "   ");

    raiz.config(con_linea(3, "  Pass word >"));
    ASSERT_EQ(lee(1), 1);
    EXPECT_STREQ(cfg.prompt, "  Pass word >");

    raiz.config(con_linea(3, std::string(90, 'P')));
    ASSERT_EQ(lee(1), 1);
    EXPECT_EQ(cfg.prompt, std::string(80, 'P'));

    // The language word; the built-in texts are kept for "*" names.
    raiz.config(con_linea(0, "*x"));
    ASSERT_EQ(lee(1), 1);
    EXPECT_STREQ(cfg.lng_file, "*x");
    raiz.config(con_linea(0, "  spanish.lng trailing"));
    ASSERT_EQ(lee(1), 1);
    EXPECT_STREQ(cfg.lng_file, "spanish.lng");
    raiz.config(con_linea(0, "  "));
    EXPECT_EQ(lee(1), -1);
}

TEST_F(Config, LineaLargaPierdeElResto) {
    // The rest of a line over 98 characters is dropped, not read as a line.
    raiz.config(con_linea(3, std::string(98, 'P') + "XX"));
    ASSERT_EQ(lee(1), 1);
    EXPECT_EQ(cfg.prompt, std::string(80, 'P'));
    EXPECT_EQ(cfg.txt_lang, 0);
}

TEST_F(Config, LineasDePuerto) {
    const std::string texto = prueba::config_basica("1 OPEN\nCONSOL CLOSED\n2 5\n");
    struct Caso {
        int puerto;
        int resultado;
        int modo;
    };
    const Caso casos[] = {{0, 1, 2}, {1, 1, 1}, {2, -1, 5}, {3, -1, 5}};
    for (const auto& c : casos) {
        SCOPED_TRACE(c.puerto);
        talmir::reinicia_globales();
        raiz.config(texto);
        EXPECT_EQ(lee(c.puerto), c.resultado);
        EXPECT_EQ(cfg.modo_def, c.modo);
        EXPECT_EQ(talmir::leido_cfg, c.resultado >= 0 ? 1 : 0);
    }

    // The first line of a port counts.
    raiz.config(prueba::config_basica("1 excluded\n1 OPEN\n"));
    EXPECT_EQ(lee(1), 1);
    EXPECT_EQ(cfg.modo_def, 3);

    // Numbers, keywords of both tables and lower case.
    raiz.config(prueba::config_basica("3 bbs\n4 11\n5 RETENIDOS\nconsola SOLOLEER\n"));
    EXPECT_EQ(lee(3), 1);
    EXPECT_EQ(cfg.modo_def, 8);
    EXPECT_EQ(lee(4), 1);
    EXPECT_EQ(cfg.modo_def, 11);
    EXPECT_EQ(lee(5), 1);
    EXPECT_EQ(cfg.modo_def, 12);
    EXPECT_EQ(lee(0), 1);
    EXPECT_EQ(cfg.modo_def, 11);
    EXPECT_EQ(lee(6), 0);
}

TEST_F(Config, LineasDePuertoErroneas) {
    const char* lineas[] = {
        "1",                             // one word
        "1 NORMAL",                      // not a default mode
        "1 0",                           //
        "1 MYSTERY",                     // unknown keyword
        "VHF OPEN",                      // no port description file
        "1 OPENOPENOPENOPENOPENOPEN",    // word over 20 characters
        "ABCDEFGHIJKLMNOPQRSTUVWXYZ 1",  //
        "ALL OPEN",                      // no special meaning here
    };
    for (const char* l : lineas) {
        SCOPED_TRACE(l);
        talmir::reinicia_globales();
        raiz.fbb_basico();
        raiz.config(prueba::config_basica(std::string(l) + "\n"));
        EXPECT_EQ(lee(1), -1);
        EXPECT_EQ(talmir::leido_cfg, 0);
        EXPECT_EQ(talmir::leyendo_cfg, 0);
    }
}

TEST_F(Config, NombresDePuertoPorPortSys) {
    puertos_fbb();
    raiz.config(prueba::config_basica("link closed\nHF OPEN\n"));
    EXPECT_EQ(lee(4), 1);
    EXPECT_EQ(cfg.modo_def, 2);
    // A word of two characters is a port number, never a name: HF is port 0.
    EXPECT_EQ(lee(3), 0);
    EXPECT_EQ(lee(0), 1);
    EXPECT_EQ(cfg.modo_def, 1);
    raiz.config(prueba::config_basica("SAT OPEN\n"));
    EXPECT_EQ(lee(3), -1);
}

TEST_F(Config, VariableTalmir) {
    raiz.escribe("CFG/config.prt", prueba::config_basica("2 CLOSED\n"));
    raiz.config(prueba::config_basica("2 OPEN\n"));
    setenv("TALMIR", "cfg/", 1);
    EXPECT_EQ(lee(2), 1);
    EXPECT_EQ(cfg.modo_def, 2);
    setenv("TALMIR", "cfg\\", 1);
    EXPECT_EQ(lee(2), 1);
    EXPECT_EQ(cfg.modo_def, 2);
    unsetenv("TALMIR");
    EXPECT_EQ(lee(2), 1);
    EXPECT_EQ(cfg.modo_def, 1);

    // A value over 80 characters is never cut.
    raiz.escribe(std::string(80, 'A') + "/config.prt", prueba::config_basica("2 CLOSED\n"));
    raiz.escribe(std::string(81, 'A') + "/config.prt", prueba::config_basica("2 CLOSED\n"));
    setenv("TALMIR", std::string(81, 'a').c_str(), 1);
    EXPECT_EQ(lee(2), -1);
    setenv("TALMIR", std::string(80, 'a').c_str(), 1);
    EXPECT_EQ(lee(2), 1);
    unsetenv("TALMIR");
}

TEST_F(Config, RutaConfig) {
    char ruta[talmir::RUTA_MAX];
    struct Caso {
        const char* valor;  // nullptr: unset
        const char* ruta;
    };
    const Caso casos[] = {
        {nullptr, "./var/ax25/fbb/talmir/config.prt"},
        {"/tmp/cfg/", "/TMP/CFG/config.prt"},
        {"/tmp/cfg", "/TMP/CFG/config.prt"},
        {"x//", "X//config.prt"},
        {"", "/config.prt"},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.ruta);
        if (c.valor == nullptr) {
            unsetenv("TALMIR");
        } else {
            setenv("TALMIR", c.valor, 1);
        }
        ASSERT_TRUE(talmir::ruta_config(ruta, sizeof ruta, "config.prt"));
        EXPECT_STREQ(ruta, c.ruta);
    }
    setenv("TALMIR", std::string(81, 'x').c_str(), 1);
    EXPECT_FALSE(talmir::ruta_config(ruta, sizeof ruta, "config.prt"));
    setenv("TALMIR", std::string(80, 'x').c_str(), 1);
    EXPECT_FALSE(talmir::ruta_config(ruta, 20, "config.prt"));
    unsetenv("TALMIR");
}

TEST_F(Config, EsComentario) {
    EXPECT_EQ(talmir::es_comentario(""), 1);
    EXPECT_EQ(talmir::es_comentario("\n"), 1);
    EXPECT_EQ(talmir::es_comentario("# x"), 1);
    EXPECT_EQ(talmir::es_comentario(" #"), 0);
    EXPECT_EQ(talmir::es_comentario("x"), 0);
}

// ---- users.prt ----------------------------------------------------------

class Usuarios : public prueba::EnProceso {
   protected:
    int busca(const char* id, int ssid, int puerto) {
        std::strcpy(usuario.id, id);
        usuario.ssid = static_cast<std::uint8_t>(ssid);
        usuario.puerto = static_cast<std::int8_t>(puerto);
        usuario.modo = 0;
        return talmir::lee_usr(r_buf);
    }
};

TEST_F(Usuarios, CompararIndicativos) {
    struct Caso {
        const char* patron;
        const char* texto;
        int resultado;
    };
    const Caso casos[] = {
        {"N0*", "N0CALL", 0},
        {"N0*", "N0CALL-3", 0},
        {"N0*", "N0", 1},
        {"N0*", "N1CALL", 1},
        {"N0CALL-?", "N0CALL-3", 0},
        {"N0CALL-?", "N0CALL-10", 1},
        {"N0CALL-?", "N0CALL-", 1},
        {"*", "A", 0},
        {"*", "AB", 1},
        {"*", "", 1},
        {"*0CALL", "N0CALL", 0},
        {"*0CALL", "N0CALL-1", 1},
        {"N*CALL", "N0CALL", 0},
        {"N*CALL", "N0XCALL", 1},
        {"", "", 0},
        {"", "N0CALL", 1},
        {"N0CALL", "N0CALL", 0},
        {"N0CALL", "N0CAL", 1},
        {"N0CAL", "N0CALL", 1},
        {"n0call", "N0CALL", 1},
        {"?0CAL?-0", "N0CALL-0", 0},
        {"N0CALL-**", "N0CALL-10", 0},
        {"N0CALL-**", "N0CALL-1", 1},
    };
    for (const auto& c : casos) {
        EXPECT_EQ(talmir::compara_indicativos(c.patron, c.texto), c.resultado)
            << c.patron << " vs " << c.texto;
    }
}

TEST_F(Usuarios, SinTablaNoHayError) {
    EXPECT_EQ(busca("N0CALL", 0, 1), 0);
}

TEST_F(Usuarios, BloqueConSsidYSinSsidEnCualquierOrden) {
    const std::string con_ssid = "N0CALL-3\n1 OPEN\n-\n";
    const std::string sin_ssid = "N0CALL\n1 CLOSED\n-\n";
    for (const auto& tabla : {con_ssid + sin_ssid, sin_ssid + con_ssid}) {
        raiz.usuarios(tabla);
        EXPECT_EQ(busca("N0CALL", 3, 1), 1);
        EXPECT_EQ(usuario.modo, 1);
        EXPECT_EQ(busca("N0CALL", 1, 1), 1);
        EXPECT_EQ(usuario.modo, 2);
        EXPECT_EQ(busca("N1CALL", 0, 1), 0);
    }
}

TEST_F(Usuarios, PatronAntesQueIndicativo) {
    const std::string patron = "n0*\n1 OPEN\n-\n";
    const std::string indicativo = "N0CALL\n1 CLOSED\n-\n";
    for (const auto& tabla : {patron + indicativo, indicativo + patron}) {
        raiz.usuarios(tabla);
        EXPECT_EQ(busca("N0CALL", 0, 1), 1);
        EXPECT_EQ(usuario.modo, 1);
    }
}

TEST_F(Usuarios, BloqueConsola) {
    raiz.usuarios(
        "# users\n"
        "N1CALL\n"
        "CONSOL CLOSED\n"  // a port line, not a header
        "-\n"
        "\n"
        "CONSOLA extra words\n"
        "0 EXCLUDED\n"
        "1 EXCLUDED\n"
        "-\n");
    EXPECT_EQ(busca("N0CALL", 0, 0), 1);
    EXPECT_EQ(usuario.modo, 3);
    EXPECT_EQ(busca("N0CALL", 0, 1), 0);
    EXPECT_EQ(busca("N1CALL", 0, 0), 1);
    EXPECT_EQ(usuario.modo, 2);

    // A first word over 9 characters never matches.
    raiz.usuarios("CONSOLE123\n0 EXCLUDED\n-\n");
    EXPECT_EQ(busca("N0CALL", 0, 0), 0);
}

TEST_F(Usuarios, FinDeBloque) {
    raiz.usuarios("N0CALL\n1 OPEN\n# c\n2 CLOSED\n--- end\nN1CALL\n3 EXCLUDED\n-\n");
    EXPECT_EQ(busca("N0CALL", 0, 2), 1);
    EXPECT_EQ(usuario.modo, 2);
    EXPECT_EQ(busca("N0CALL", 0, 3), 0);
    EXPECT_EQ(busca("N1CALL", 0, 3), 1);
    EXPECT_EQ(usuario.modo, 3);
    // The end of the file ends a block too.
    raiz.usuarios("N0CALL\n1 OPEN\n");
    EXPECT_EQ(busca("N0CALL", 0, 2), 0);
}

TEST_F(Usuarios, FlexnetParaTodos) {
    raiz.usuarios("N0CALL\nALL FLEXNET abcd\n-\n");
    EXPECT_EQ(busca("N0CALL", 0, 0), -1);
    EXPECT_EQ(busca("N0CALL", 0, 3), -1);
    raiz.usuarios("N0CALL\nall flexnet 12345\n-\n");
    for (int puerto : {0, 3, 9}) {
        EXPECT_EQ(busca("N0CALL", 0, puerto), 1);
        EXPECT_EQ(usuario.modo, 9);
        EXPECT_STREQ(usuario.password, "12345");
    }
    raiz.usuarios("N0CALL\nTODOS FLEXNET 123456\n-\n");
    EXPECT_EQ(busca("N0CALL", 0, 3), -1);
}

TEST_F(Usuarios, AsteriscoComoPuerto) {
    raiz.fbb_basico();
    raiz.usuarios("N0CALL\n* OPEN\n-\n");
    EXPECT_EQ(busca("N0CALL", 0, 7), 1);
    EXPECT_EQ(usuario.modo, 1);
    raiz.usuarios("N0CALL\n*9 CLOSED\n-\n");
    EXPECT_EQ(busca("N0CALL", 0, 7), 1);
    EXPECT_EQ(usuario.modo, 2);
    // Looked up as a port name: there is no port description file.
    raiz.usuarios("N0CALL-0\n*** OPEN\n-\n");
    EXPECT_EQ(busca("N0CALL", 0, 7), -1);
    // Every line takes part in the header search: "***" is a pattern that
    // matches N0CALL-0, so the first pass stops at that port line.
    raiz.usuarios("N0CALL\n*** OPEN\n-\n");
    EXPECT_EQ(busca("N0CALL", 0, 7), 0);
}

TEST_F(Usuarios, ModosYPasswords) {
    struct Caso {
        const char* linea;
        int resultado;
        int modo;
        const char* password;
    };
    const Caso casos[] = {
        {"2 7", 1, 7, ""},
        {"2 TABLE", 1, 7, ""},
        {"2 5", -1, 0, ""},
        {"2 NORMAL SeCrEt", 1, 5, "SeCrEt"},
        {"2 fixed my pass phrase", 1, 4, "my"},
        {"2 MD2 key", 1, 6, "key"},
        {"2 md5 key", 1, 6, "key"},
        {"2 FORWARD", -1, 0, ""},
        {"2 13", -1, 0, ""},
        {"2 99", 1, 99, ""},
        {"2 GUEST", 1, 14, ""},
        {"2", -1, 0, ""},
        {"2 NORMALNORMALNORMALNORMAL x", -1, 0, ""},
        {"2 BOGUS", -1, 0, ""},
        {"02 HOLD", 1, 12, ""},
        {"3 BOGUS\n2 OPEN", -1, 0, ""},  // lines before the matching one count
        {"3 5\n2 OPEN", 1, 1, ""},       // a password is needed only to match
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.linea);
        std::strcpy(usuario.password, "old");
        raiz.usuarios(std::string("N0CALL\n") + c.linea + "\n-\n");
        EXPECT_EQ(busca("N0CALL", 0, 2), c.resultado);
        if (c.resultado == 1) {
            EXPECT_EQ(usuario.modo, c.modo);
            EXPECT_STREQ(usuario.password, c.password);
        }
    }
}

TEST_F(Usuarios, PuertoPorNombre) {
    raiz.fbb_basico();
    raiz.escribe("etc/ax25/fbb/port.sys", kPortSys);
    raiz.usuarios("N0CALL\nUHF HOLD\nlink NORMAL pw\n-\n");
    EXPECT_EQ(busca("N0CALL", 0, 2), 1);
    EXPECT_EQ(usuario.modo, 12);
    EXPECT_EQ(busca("N0CALL", 0, 4), 1);
    EXPECT_EQ(usuario.modo, 5);
    EXPECT_STREQ(usuario.password, "pw");
    raiz.usuarios("N0CALL\nSAT HOLD\n-\n");
    EXPECT_EQ(busca("N0CALL", 0, 2), -1);
}

TEST_F(Usuarios, TablaGrande) {
    std::string tabla;
    for (int i = 0; i < 3000; ++i) tabla += "X" + std::to_string(i) + "\n1 OPEN\n-\n";
    tabla += "N0CALL\n1 CLOSED\n-\n";
    raiz.usuarios(tabla);
    EXPECT_EQ(busca("N0CALL", 5, 1), 1);
    EXPECT_EQ(usuario.modo, 2);
    EXPECT_EQ(busca("X2999", 0, 1), 1);
    EXPECT_EQ(usuario.modo, 1);
}

// ---- Port and mode words ------------------------------------------------

class Puertos : public prueba::EnProceso {};

TEST_F(Puertos, FicheroDeDescripciones) {
    raiz.fbb_basico();
    raiz.escribe("etc/ax25/fbb/port.sys", kPortSys);
    EXPECT_EQ(talmir::transf_prt("VHF", 1, r_buf, 0), 1);
    EXPECT_EQ(talmir::transf_prt("LINK", 1, r_buf, 1), 4);
    EXPECT_EQ(talmir::leido_portsys, 1);
    EXPECT_EQ(talmir::leido_init, 1);
    const char* esperado[10] = {"FILE", "VHF", "UHF", "HF", "LINK", "", "", "", "", ""};
    for (int i = 0; i < 10; ++i) EXPECT_STREQ(talmir::desc_port[i], esperado[i]) << i;

    // Read once per run.
    raiz.borra("etc/ax25/fbb/port.sys");
    EXPECT_EQ(talmir::transf_prt("HF", 1, r_buf, 0), 3);
    EXPECT_EQ(talmir::transf_prt("SAT", 1, r_buf, 0), -1);
}

TEST_F(Puertos, LinFbbLeePortLSysAntesQueLosDemas) {
    raiz.fbb_basico();
    raiz.escribe("etc/ax25/fbb/port.sys", kPortSys);
    raiz.escribe("etc/ax25/fbb/prot_w.sys",
                 "1 1\n1 8 /dev/ttyS0 9600\n1 4 1 0 250 2 1 10 00/60 TU WIN\n");
    raiz.escribe("etc/ax25/fbb/port_l.sys",
                 "# LinFBB\n1 2\n1 9 127.0.0.1 6300\n"
                 "0 0 0 0 0 0 0 0 00/01 ---- File\n"
                 "1 4 1 0 250 2 1 10 00/60 TU Telnet\n"
                 "2 4 1 vhfdrop 250 2 1 10 00/60 XUWY Radio\n");
    EXPECT_EQ(talmir::transf_prt("TELNET", 1, r_buf, 0), 1);
    EXPECT_EQ(talmir::transf_prt("RADIO", 1, r_buf, 0), 2);
    EXPECT_EQ(talmir::transf_prt("VHF", 1, r_buf, 0), -1);
    EXPECT_EQ(talmir::transf_prt("WIN", 1, r_buf, 0), -1);
}

TEST_F(Puertos, PalabrasEspeciales) {
    EXPECT_EQ(talmir::transf_prt("CONSOL", 1, r_buf, 0), 0);
    EXPECT_EQ(talmir::transf_prt("CONSOLE", 1, r_buf, 1), 0);
    EXPECT_EQ(talmir::transf_prt("ALL", 1, r_buf, 1), -5);
    EXPECT_EQ(talmir::transf_prt("TODOS", 1, r_buf, 1), -5);
    // Without FBB's configuration no name can be looked up.
    EXPECT_EQ(talmir::transf_prt("ALL", 1, r_buf, 0), -1);
    EXPECT_EQ(talmir::transf_prt("VHF", 1, r_buf, 1), -1);
    EXPECT_EQ(talmir::leido_portsys, 0);
}

TEST_F(Puertos, LineasDeTncRaras) {
    raiz.fbb_basico();
    raiz.escribe("etc/ax25/fbb/prot_w.sys",
                 "2 5\n"
                 "1 8 /dev/ttyS0 9600\n"
                 "\n"
                 "2 8 /dev/ttyS1 9600\n"
                 "0 0 0 0 0 0 0 0 00/01 ---- File\n"
                 "12 4 1 0 250 2 1 10 00/60 TU FAR\n"         // TNC above 9
                 "1 4 1 0 250 2 1 10 00/60 TU DESCRIPTION\n"  // over 10 characters
                 "2 4 1 vhfdrop 250 2 1 10 00/60 TU vhf2\n"   // interface name
                 "3 4 1 0 250 2 1 10\n"                       // no eleventh field
                 "4 4 1 0 250 2 1 10 00/60 TU LINK\n"
                 "5 4 1 0 250 2 1 10 00/60 TU AFTER\n");
    raiz.escribe("etc/ax25/fbb/port.sys", kPortSys);
    EXPECT_EQ(talmir::transf_prt("VHF2", 1, r_buf, 0), 2);
    EXPECT_EQ(talmir::transf_prt("LINK", 1, r_buf, 0), 4);
    EXPECT_EQ(talmir::transf_prt("DESCRIPTIO", 1, r_buf, 0), -1);
    EXPECT_EQ(talmir::transf_prt("AFTER", 1, r_buf, 0), -1);
    const char* esperado[10] = {"FILE", "", "VHF2", "", "LINK", "", "", "", "", ""};
    for (int i = 0; i < 10; ++i) EXPECT_STREQ(talmir::desc_port[i], esperado[i]) << i;
}

TEST_F(Puertos, Modos) {
    for (int i = 0; i < 14; ++i) {
        EXPECT_EQ(talmir::transf_modo(talmir::ident_modo[i], 1, r_buf, 0), i + 1);
        EXPECT_EQ(talmir::transf_modo(talmir::ident_modo2[i], 1, r_buf, 1), i + 1);
    }
    EXPECT_STREQ(talmir::ident_modo[5], "MD2");
    EXPECT_STREQ(talmir::ident_modo2[5], "MD5");
    EXPECT_STREQ(talmir::ident_modo[11], "RETENIDOS");
    EXPECT_STREQ(talmir::ident_modo2[10], "READONLY");
    EXPECT_EQ(talmir::transf_modo("open", 1, r_buf, 0), -1);
    EXPECT_EQ(talmir::transf_modo("OPENX", 1, r_buf, 1), -1);
    EXPECT_EQ(talmir::transf_modo("", 1, r_buf, 1), -1);
}

}  // namespace

namespace {

// Arbitrary bytes, long lines and long words in every file these readers
// take: nothing may be written past a field, and every result stays one of
// the documented ones.
class Robustez : public prueba::EnProceso {
   protected:
    std::uint32_t estado_ = 12345;
    std::uint32_t siguiente() {
        estado_ = estado_ * 1103515245u + 12345u;
        return estado_ >> 8;
    }
    std::string texto() {
        static const char kPiezas[][12] = {"OK",  "NO", "ALL", "*",    "-",  " ", "  ", "\n",
                                           "\t",  "#",  "\"",  "=",    "1",  "5", "9",  "CONSOL",
                                           "VHF", "N0", "?",   "call", "\r", "x"};
        std::string s;
        std::uint32_t n = siguiente() % 400;
        for (std::uint32_t i = 0; i < n; ++i) {
            std::uint32_t r = siguiente() % 40;
            if (r < 22) {
                s += kPiezas[r];
            } else if (r < 30) {
                s += static_cast<char>(siguiente() % 256);
            } else {
                s += std::string(siguiente() % 320, static_cast<char>('A' + r % 26));
            }
        }
        return s;
    }
};

TEST_F(Robustez, FicherosArbitrarios) {
    for (int i = 0; i < 150; ++i) {
        talmir::reinicia_globales();
        raiz.escribe("etc/ax25/fbb.conf", i % 3 == 0
                                              ? texto()
                                              : "call = n0bbs\nqraloc = aa00\ncity = x\n"
                                                "conf = " +
                                                    raiz.ruta("etc/ax25/fbb") + "\n" + texto());
        raiz.escribe("init.srv", texto());
        raiz.escribe("etc/ax25/fbb/port.sys", (i % 2 == 0 ? "1 4\nx\n" : "") + texto());
        raiz.config(i % 2 == 0 ? prueba::config_basica(texto()) : texto());
        raiz.usuarios(i % 2 == 0 ? "N0CALL\n" + texto() : texto());
        std::strcpy(usuario.id, "N0CALL");
        usuario.puerto = static_cast<std::int8_t>(i % 4);
        int r = talmir::lee_cfg(r_buf);
        EXPECT_TRUE(r >= -1 && r <= 1);
        r = talmir::lee_usr(r_buf);
        EXPECT_TRUE(r >= -1 && r <= 1);
        r = talmir::lee_init(r_buf);
        EXPECT_TRUE(r == -1 || r == 1);
        EXPECT_EQ(talmir::leyendo_cfg, 0);
        EXPECT_LE(std::strlen(cfg.prompt), 80u);
        EXPECT_LE(std::strlen(usuario.password), 300u);
        for (const auto& d : talmir::desc_port) EXPECT_LE(strnlen(d, sizeof d), 10u);
    }
}

}  // namespace
