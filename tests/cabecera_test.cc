// SPDX-License-Identifier: GPL-2.0-or-later
// The one reading of users.prt that finds the station's header gives exactly
// what three passes over the table give: CALL-SSID first, then the bare
// callsign, then (on the console) the first CONSOL header.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "config/config.h"
#include "driver/global.h"
#include "driver/lineas.h"
#include "driver/texto.h"
#include "entorno.h"

namespace {

using talmir::usuario;

// A table in a file of its own, removed at the end.
class Fichero {
   public:
    explicit Fichero(const std::string& contenido) {
        char plantilla[] = "/tmp/talmir-cabecera.XXXXXX";
        int fd = mkstemp(plantilla);
        if (fd < 0) std::abort();
        ruta_ = plantilla;
        std::size_t hecho = 0;
        while (hecho < contenido.size()) {
            ssize_t n = write(fd, contenido.data() + hecho, contenido.size() - hecho);
            if (n <= 0) std::abort();
            hecho += static_cast<std::size_t>(n);
        }
        close(fd);
    }
    ~Fichero() { unlink(ruta_.c_str()); }
    Fichero(const Fichero&) = delete;
    Fichero& operator=(const Fichero&) = delete;
    const char* ruta() const { return ruta_.c_str(); }

   private:
    std::string ruta_;
};

// The lines of a table as the rules of the user table state them: split at
// the line ends, at most 298 characters each, a NUL ending the text.
std::vector<std::string> lineas(const std::string& tabla) {
    std::vector<std::string> v;
    std::size_t i = 0;
    while (i < tabla.size()) {
        std::size_t nl = tabla.find('\n', i);
        std::size_t fin = nl == std::string::npos ? tabla.size() : nl;
        std::string linea = tabla.substr(i, std::min<std::size_t>(fin - i, 298));
        v.push_back(linea.substr(0, linea.find('\0')));
        i = fin + 1;
    }
    return v;
}

// One pass from the start of the table, with sscanf: the first non-comment
// line whose first word (of at most 9 characters), upper-cased, matches the
// text; or, for CONSOL, the first header whose first word begins with
// "CONSOL".
std::uint32_t pasada(const std::vector<std::string>& todas, const char* texto, bool consol) {
    std::uint32_t num = 0;
    bool es_cabecera = true;
    for (const std::string& linea : todas) {
        ++num;
        if (talmir::es_comentario(linea.c_str())) continue;
        char palabra[300];
        const bool hay = std::sscanf(linea.c_str(), "%299s", palabra) == 1;
        const bool cabecera = es_cabecera;
        es_cabecera = hay && palabra[0] == '-';
        if (!hay || std::strlen(palabra) > 9) continue;
        talmir::strupr(palabra);
        const bool coincide = consol ? cabecera && std::strncmp(palabra, "CONSOL", 6) == 0
                                     : talmir::compara_indicativos(palabra, texto) == 0;
        if (coincide) return num;
    }
    return 0;
}

std::uint32_t tres_pasadas(const std::vector<std::string>& todas, const char* ind_ssid,
                           const char* ind, bool consola) {
    if (std::uint32_t n = pasada(todas, ind_ssid, false)) return n;
    if (std::uint32_t n = pasada(todas, ind, false)) return n;
    return consola ? pasada(todas, nullptr, true) : 0;
}

struct Estacion {
    const char* id;
    int ssid;
    bool consola;
};

const Estacion kEstaciones[] = {
    {"N0CALL", 0, true}, {"N0CALL", 3, false}, {"N0CALL", 10, true}, {"X1Y", 0, true},
    {"CONSOL", 0, true}, {"E", 5, false},      {"n0call", 0, true},
};

// The one reading against the three passes, for every station; and after
// the reader has gone to the offset it gave, the next line it reads is the
// one after the header.
void compara(const std::string& tabla, const std::string& donde) {
    Fichero fichero(tabla);
    const std::vector<std::string> todas = lineas(tabla);
    for (const Estacion& e : kEstaciones) {
        char ind_ssid[16];
        std::snprintf(ind_ssid, sizeof ind_ssid, "%s-%d", e.id, e.ssid);
        const std::uint32_t esperada = tres_pasadas(todas, ind_ssid, e.id, e.consola);

        std::FILE* f = std::fopen(fichero.ruta(), "r");
        ASSERT_NE(f, nullptr);
        talmir::LectorLineas lector(f);
        const talmir::Cabecera c = talmir::busca_cabecera(lector, ind_ssid, e.id, e.consola);
        EXPECT_EQ(c.linea, esperada)
            << donde << ", station " << ind_ssid << (e.consola ? " on the console" : "");
        if (c.linea != 0 && c.linea == esperada) {
            ASSERT_TRUE(lector.salta_a(c.siguiente));
            char siguiente[299];
            bool hay = lector.linea(siguiente, sizeof siguiente);
            ASSERT_EQ(hay, c.linea < todas.size()) << donde << ", station " << ind_ssid;
            if (hay) {
                EXPECT_EQ(std::string(siguiente), todas[c.linea])
                    << donde << ", station " << ind_ssid;
            }
        }
        std::fclose(f);
    }
}

// First words and lines that put the search to the test: patterns, SSIDs,
// case, CONSOL words as headers and as port lines, end lines, comments,
// blanks, words of 9 and 10 characters, a NUL, a carriage return, and lines
// cut at 298 characters.
const std::vector<std::string>& piezas() {
    static const std::vector<std::string> v = {
        "N0CALL",
        "N0CALL-0",
        "N0CALL-3",
        "N0CALL-10",
        "n0call",
        "N0CALL-?",
        "N0CALL-??",
        "N0*",
        "n0*",
        "*0CALL",
        "*0CALL-3",
        "*",
        "?",
        "?0CALL-0",
        "N*",
        "N0CALL-**",
        "N0CALLXXXX",
        "N0CALL-100",
        "N0CALL-1*",
        "CONSOL",
        "CONSOLE",
        "consola",
        "CONSOLEXXX",
        "CONSOLXXX",
        " CONSOL",
        "\tCONSOL x",
        "CONS",
        "C",
        "C*",
        "X1Y",
        "X1Y-0",
        "X*",
        "x1y-?",
        "E",
        "E-5",
        "E*",
        "?-5",
        "-",
        "- end",
        "--",
        "  -",
        "-CONSOL",
        "-N0CALL",
        "#",
        "# N0CALL",
        "#CONSOL",
        "",
        " ",
        "\t",
        "\r",
        "N0CALL\r",
        "\rN0CALL-0",
        "\v\fX1Y",
        "1 OPEN",
        "0 CLOSED",
        "VHF NORMAL pw",
        "ALL OPEN",
        "* OPEN",
        "CONSOL OPEN",
        "N0CALL OPEN",
        "N0CALL-3 1 OPEN",
        std::string(300, ' ') + "N0CALL",
        std::string(290, ' ') + "N0CALL-0",
        std::string(292, ' ') + "N0CALL-0",
        std::string(292, ' ') + "CONSOL",
        std::string(293, ' ') + "CONSOL",
        std::string("N0CALL\0X", 8),
        std::string("X1Y\0-0", 6),
        std::string("\0N0CALL", 7),
        std::string(" \0N0CALL", 8),
        std::string(600, 'x'),
        "N0CALL " + std::string(400, 'y'),
    };
    return v;
}

TEST(Cabecera, TablasPensadas) {
    const std::vector<std::string> tablas = {
        "",
        "\n",
        "N0CALL",
        "N0CALL\n1 OPEN\n-\n",
        "N0CALL-3\n1 OPEN\n-\nN0CALL\n1 CLOSED\n-\n",
        "N0CALL\n1 CLOSED\n-\nN0CALL-3\n1 OPEN\n-\n",
        "N0*\n1 OPEN\n-\nN0CALL\n1 CLOSED\n-\n",
        "N0CALL\n1 CLOSED\n-\nN0*\n1 OPEN\n-\n",
        "N1CALL\nCONSOL CLOSED\n-\nCONSOL\n0 OPEN\n-\nN0CALL\n1 OPEN\n-\n",
        "CONSOLE\n0 OPEN\n-\n",
        "N1CALL\n0 OPEN\n-\n\n# comment\nCONSOL\n0 CLOSED\n-\n",
        "N1CALL\n0 OPEN\n# no end line\nCONSOL\n0 CLOSED\n-\nconsole\n0 OPEN\n",
        "N1CALL\n0 OPEN\n   \nCONSOL\n0 CLOSED\n-\n",
        "-\nCONSOL\n0 CLOSED\n-\n",
        "N0CALL\n1 OPEN\n-\nN0CALL\n1 CLOSED\n-\nN0CALL-0\n0 OPEN\n-\nN0CALL-0\n0 HOLD\n-\n",
        "X1Y\n1 OPEN\n-\nN0CALL-?\n1 OPEN\n-\nN0CALL-3\n1 OPEN\n-\n",
        "*0CALL\n1 OPEN\n-\n?0CALL-0\n1 OPEN\n-\n*\n0 OPEN\n-\n",
        "1 OPEN\nN0CALL-0 OPEN\n-\n",
        "N0CALLXXXX\n1 OPEN\n-\nCONSOLEXXX\n0 OPEN\n-\nCONSOLXXX\n0 OPEN\n-\n",
        "N0CALL\r\n1 OPEN\r\n-\r\nN0CALL-0\r\n1 OPEN\r\n",
        "E\n1 OPEN\n-\nE-5\n1 OPEN\n-\nE*\n1 OPEN\n-\n",
    };
    for (std::size_t i = 0; i < tablas.size(); ++i)
        compara(tablas[i], "table " + std::to_string(i));
}

// Tables drawn at random from the pieces, with and without a last line end.
TEST(Cabecera, TablasAlAzar) {
    std::mt19937 azar(20240611u);
    const std::vector<std::string>& p = piezas();
    for (int i = 0; i < 1500; ++i) {
        std::string tabla;
        const int n = static_cast<int>(azar() % 40);
        for (int j = 0; j < n; ++j) {
            if (j > 0) tabla += '\n';
            tabla += p[azar() % p.size()];
        }
        if (azar() % 4 != 0) tabla += '\n';
        compara(tabla, "random table " + std::to_string(i));
        if (HasFailure()) return;
    }
}

// Tables larger than the reader's buffer: headers before, across and after
// its end, the bare callsign far behind the point where the reading ends,
// a line longer than the buffer, and the end of the file without a line end.
TEST(Cabecera, TablasMayoresQueElBuffer) {
    std::string relleno;
    for (int i = 0; relleno.size() < 34000; ++i) {
        relleno += "F" + std::to_string(i % 10) + "AB" + std::to_string(i) + "\n1 OPEN\n-\n";
    }
    const std::vector<std::string>& p = piezas();
    std::mt19937 azar(77u);
    const std::vector<std::string> extremos = {
        "N0CALL\n1 OPEN\n-\n",
        "N0CALL-0\n1 OPEN\n-\n",
        "N0CALL-3\n1 OPEN\n-\n",
        "CONSOL\n0 OPEN\n-\n",
        "X1Y\n0 OPEN\n-\n",
        "N0*\n0 OPEN\n-\n",
        std::string(40000, 'L'),
        "N0CALL",
        "CONSOL",
    };
    for (std::size_t a = 0; a < extremos.size(); ++a) {
        for (std::size_t b = 0; b < extremos.size(); ++b) {
            compara(extremos[a] + "\n" + relleno + extremos[b],
                    "large table " + std::to_string(a) + "/" + std::to_string(b));
        }
        compara(extremos[a] + "\n" + relleno + relleno + extremos[a] + "\n" + relleno,
                "larger table " + std::to_string(a));
    }
    // Every piece once across the first end of the buffer.
    for (std::size_t i = 0; i < p.size(); ++i) {
        std::string tabla = relleno.substr(0, 32768 - 3 - azar() % 8);
        tabla += "\n" + p[i] + "\n1 OPEN\n-\n" + relleno;
        compara(tabla, "piece " + std::to_string(i) + " across the buffer's end");
    }
}

// Through lee_usr: the block of the bare callsign lies far behind the end of
// the reading, and its lines are the ones read.
class CabeceraLeeUsr : public prueba::EnProceso {
   protected:
    int busca(const char* id, int ssid, int puerto) {
        std::strcpy(usuario.id, id);
        usuario.ssid = static_cast<std::uint8_t>(ssid);
        usuario.puerto = static_cast<std::int8_t>(puerto);
        usuario.modo = 0;
        std::memset(usuario.password, 0, sizeof usuario.password);
        return talmir::lee_usr(r_buf);
    }
};

TEST_F(CabeceraLeeUsr, BloqueLejanoLeidoEntero) {
    std::string relleno;
    for (int i = 0; i < 20000; ++i) relleno += "G" + std::to_string(i) + "\n1 OPEN\n-\n";
    raiz.usuarios("N0CALL\n0 CLOSED\n1 NORMAL s3cret\n-\n" + relleno +
                  "CONSOL\n0 HOLD\n-\nN0CALL-3\n1 FIXED frase\n-\n" + relleno);
    EXPECT_EQ(busca("N0CALL", 0, 1), 1);
    EXPECT_EQ(usuario.modo, 5);
    EXPECT_STREQ(usuario.password, "s3cret");
    EXPECT_EQ(busca("N0CALL", 3, 1), 1);
    EXPECT_EQ(usuario.modo, 4);
    EXPECT_STREQ(usuario.password, "frase");
    EXPECT_EQ(busca("X9X", 0, 0), 1);
    EXPECT_EQ(usuario.modo, 12);
    EXPECT_EQ(busca("X9X", 0, 1), 0);
}

// The same through the program as FBB runs it: each station gets the mode
// of its own block in a table of 60,000 lines.
TEST(CabeceraPrograma, TablaGrandeBloquesLejanos) {
    prueba::Raiz raiz;
    raiz.fbb_basico();
    raiz.config(prueba::config_basica("0 OPEN\n1 EXCLUDED\n"));
    std::string relleno;
    for (int i = 0; i < 10000; ++i) relleno += "G" + std::to_string(i) + "\n1 OPEN\n-\n";
    raiz.usuarios("N0CALL\n1 CLOSED\n-\n" + relleno + "N0CALL-3\n1 READONLY\n-\n" + relleno +
                  "CONSOL\n0 HOLD\n-\n");
    EXPECT_EQ(prueba::estacion(raiz, "N0CALL-0", 0, 0, 0, 1).codigo, 2);  // CLOSED
    EXPECT_EQ(prueba::estacion(raiz, "N0CALL-3", 0, 0, 0, 1).codigo, 3);  // READONLY
    EXPECT_EQ(prueba::estacion(raiz, "X9X-0", 0, 0, 0, 0).codigo, 4);     // HOLD
    EXPECT_EQ(prueba::estacion(raiz, "X9X-0", 0, 0, 0, 1).codigo, 2);     // EXCLUDED
}

TEST(LectorLineas, PosicionYSalto) {
    std::string texto;
    for (int i = 0; i < 10000; ++i) texto += "line " + std::to_string(i) + "\n";
    Fichero fichero(texto);
    std::FILE* f = std::fopen(fichero.ruta(), "r");
    ASSERT_NE(f, nullptr);
    talmir::LectorLineas lector(f);
    std::vector<std::uint64_t> posiciones;
    char linea[64];
    for (int i = 0; i < 10000; ++i) {
        posiciones.push_back(lector.posicion());
        ASSERT_TRUE(lector.linea(linea, sizeof linea));
        ASSERT_EQ(std::string(linea), "line " + std::to_string(i));
    }
    EXPECT_FALSE(lector.linea(linea, sizeof linea));
    EXPECT_EQ(lector.posicion(), texto.size());
    for (int i : {0, 1, 4000, 9999, 9998, 5, 7000}) {
        ASSERT_TRUE(lector.salta_a(posiciones[static_cast<std::size_t>(i)]));
        ASSERT_TRUE(lector.linea(linea, sizeof linea));
        EXPECT_EQ(std::string(linea), "line " + std::to_string(i));
        EXPECT_EQ(lector.linea(linea, sizeof linea), i < 9999);
    }
    std::fclose(f);
}

TEST(LectorLineas, VistaDeLineasLargas) {
    const std::size_t kMax = talmir::LectorLineas::VISTA_MAX;
    const std::vector<std::size_t> largos = {0,     1,     kMax - 1, kMax, kMax + 1,
                                             32767, 32768, 32769,    70000};
    std::string texto;
    for (std::size_t n : largos) texto += std::string(n, 'a' + static_cast<char>(n % 26)) + "\n";
    texto += "end";
    Fichero fichero(texto);
    std::FILE* f = std::fopen(fichero.ruta(), "r");
    ASSERT_NE(f, nullptr);
    talmir::LectorLineas lector(f);
    std::uint64_t pos = 0;
    for (std::size_t n : largos) {
        std::string_view v;
        bool larga = false;
        ASSERT_TRUE(lector.vista(&v, &larga)) << n;
        EXPECT_EQ(v, std::string(n < kMax ? n : kMax, 'a' + static_cast<char>(n % 26))) << n;
        EXPECT_EQ(larga, n > kMax) << n;
        pos += n + 1;
        EXPECT_EQ(lector.posicion(), pos) << n;
    }
    std::string_view v;
    ASSERT_TRUE(lector.vista(&v));
    EXPECT_EQ(v, "end");
    EXPECT_FALSE(lector.vista(&v));
    std::fclose(f);
}

}  // namespace
