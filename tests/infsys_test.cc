// SPDX-License-Identifier: GPL-2.0-or-later
// FBB's user file and language list: finding a station's language name.
#include "config/infsys.h"

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "driver/global.h"
#include "driver/texto.h"
#include "entorno.h"

namespace {

using talmir::infbbs;
using talmir::usuario;

// One 360-byte inf.sys record: the callsign at offset 0, the language at 93.
std::string registro(const std::string& indic, unsigned char lang, unsigned char ssid = 0) {
    std::string r(talmir::INFSYS_ILP32.tam_registro, '\0');
    r.replace(0, indic.size(), indic);
    r[7] = static_cast<char>(ssid);
    r[talmir::INFSYS_ILP32.ofs_lang] = static_cast<char>(lang);
    // Other fields hold data, so that a reader that looks beyond the callsign
    // would notice.
    r.replace(121, 5, "SMITH");
    return r;
}

class InfSys : public prueba::EnProceso {
   protected:
    void SetUp() override {
        prueba::EnProceso::SetUp();
        talmir::leido_init = 1;
        talmir::copia(infbbs.ruta_datadir, sizeof infbbs.ruta_datadir, raiz.ruta("fbbdata"));
        talmir::copia(infbbs.ruta_system, sizeof infbbs.ruta_system, raiz.ruta("fbbsys"));
        raiz.escribe("fbbdata/inf.sys", registro("N0CAL", 2) + registro("N0CALL", 1, 7) +
                                            registro("X1Y", 0) + registro("N0LONG", 4));
        raiz.escribe("fbbsys/langue.sys",
                     "# FBB language list\n"
                     "\n"
                     "2 1 1\n"
                     "ENGLISH\n"
                     "# comment between languages\n"
                     "FRANCAIS  French texts\n"
                     "\n"
                     "DEUTSCH\n"
                     "ABCDEFGHIJ\n"
                     "   \n"
                     "F6 FRANCAIS\n");
        talmir::copia(usuario.id, sizeof usuario.id, "N0CALL");
    }
};

TEST_F(InfSys, RecordSearchIsExactOnTheCallsignField) {
    unsigned char datos[talmir::INFSYS_TAM_MAX] = {};
    struct Caso {
        const char* indic;
        int resultado;
        int lang;
    } casos[] = {
        {"N0CALL", 1, 1},   {"N0CAL", 1, 2},   {"X1Y", 1, 0}, {"N0CA", 0, -1},
        {"N0CALLX", 0, -1}, {"n0call", 0, -1}, {"", 0, -1},
    };
    for (const auto& c : casos) {
        std::memset(datos, 0, sizeof datos);
        EXPECT_EQ(talmir::lee_infsys(c.indic, datos), c.resultado) << c.indic;
        if (c.resultado == 1) {
            EXPECT_EQ(datos[talmir::INFSYS_ILP32.ofs_lang], c.lang) << c.indic;
            EXPECT_STREQ(reinterpret_cast<const char*>(datos), c.indic);
        }
    }
}

TEST_F(InfSys, TrailingPartialRecordAndMissingFile) {
    raiz.escribe("fbbdata/inf.sys", registro("N0CAL", 2) + std::string("N0CALL\0\0", 8));
    unsigned char datos[talmir::INFSYS_TAM_MAX];
    EXPECT_EQ(talmir::lee_infsys("N0CALL", datos), 0);
    raiz.borra("fbbdata/inf.sys");
    EXPECT_EQ(talmir::lee_infsys("N0CAL", datos), 0);
}

TEST_F(InfSys, LanguageNumbersSkipCommentsAndTheFirstDataLine) {
    struct Caso {
        int num;
        int resultado;
        const char* nombre;
    } casos[] = {
        {0, 1, "ENGLISH"},     {1, 1, "FRANCAIS"},
        {2, 1, "DEUTSCH"},     {3, 0, "untouched"},  // ten letters: a directory name is never cut
        {4, 0, "untouched"},                         // blanks only
        {5, 1, "F6"},          {6, 0, "untouched"},  // beyond the list
        {200, 0, "untouched"}, {-1, 0, "untouched"},
    };
    for (const auto& c : casos) {
        char nombre[10];
        std::strcpy(nombre, "untouched");
        EXPECT_EQ(talmir::lee_languesys(c.num, nombre), c.resultado) << c.num;
        EXPECT_STREQ(nombre, c.nombre) << c.num;
    }
}

TEST_F(InfSys, NineLetterLanguageFitsTenBytes) {
    raiz.escribe("fbbsys/langue.sys", "2 1 1\nPORTUGUES\n");
    char nombre[10];
    EXPECT_EQ(talmir::lee_languesys(0, nombre), 1);
    EXPECT_STREQ(nombre, "PORTUGUES");
}

TEST_F(InfSys, LangusedGivesTheStationsLanguage) {
    char nombre[10] = "none";
    EXPECT_EQ(talmir::langused(nombre), 1);
    EXPECT_STREQ(nombre, "FRANCAIS");

    talmir::copia(usuario.id, sizeof usuario.id, "N0CAL");
    EXPECT_EQ(talmir::langused(nombre), 1);
    EXPECT_STREQ(nombre, "DEUTSCH");

    // Language 4 names nothing usable; an unknown station has no record.
    talmir::copia(usuario.id, sizeof usuario.id, "N0LONG");
    std::strcpy(nombre, "none");
    EXPECT_EQ(talmir::langused(nombre), 0);
    EXPECT_STREQ(nombre, "none");
    talmir::copia(usuario.id, sizeof usuario.id, "N9XYZ");
    EXPECT_EQ(talmir::langused(nombre), 0);
    EXPECT_STREQ(nombre, "none");
}

TEST_F(InfSys, LangusedWithoutLanguageList) {
    raiz.borra("fbbsys/langue.sys");
    char nombre[10] = "none";
    EXPECT_EQ(talmir::langused(nombre), 0);
    EXPECT_STREQ(nombre, "none");
}

TEST_F(InfSys, LangusedWhenFbbDataCannotBeRead) {
    // No fbb.conf and no init.srv in the root: FBB's data fail to be read.
    talmir::leido_init = 0;
    char r_buf_antes[sizeof r_buf];
    std::memcpy(r_buf_antes, r_buf, sizeof r_buf);
    char nombre[10] = "none";
    EXPECT_EQ(talmir::langused(nombre), 0);
    EXPECT_STREQ(nombre, "none");
    // Nothing of the reading reaches the station's buffer.
    EXPECT_EQ(std::memcmp(r_buf, r_buf_antes, sizeof r_buf), 0);
}

// inf.sys as Debian's FBB 7.0.11 (7.011-2) writes it on each architecture,
// measured twice: FBB's record type compiled for it with FBB's own flags
// (sizeof, offsetof) and its xfbbd run under qemu-user, a new station logged
// in over telnet and given "OL 2" (stored as language 1).
struct Medida {
    const char* arquitectura;  // Debian's name
    int tam_registro;
    int ofs_lang;
    int ofs_flags;  // u16
};
constexpr Medida kMedidas[] = {
    {"amd64", 380, 109, 104},
    {"i386", 360, 93, 88},
    {"armhf", 360, 93, 88},
    {"arm64", 380, 109, 104},
};

// This test program's architecture by Debian's name, or none measured.
constexpr const char* kArquitectura =
#if defined(__x86_64__) && !defined(__ILP32__)
    "amd64";
#elif defined(__i386__)
    "i386";
#elif defined(__arm__) && defined(__ARM_PCS_VFP)
    "armhf";
#elif defined(__aarch64__) && !defined(__ILP32__)
    "arm64";
#else
    nullptr;
#endif

bool igual(const talmir::FormatoInfsys& a, const talmir::FormatoInfsys& b) {
    return a.tam_registro == b.tam_registro && a.ofs_lang == b.ofs_lang;
}

// Every layout FBB_INFSYS_LAYOUT names, with the tests' program built for it.
struct Disposicion {
    const char* nombre;
    talmir::FormatoInfsys formato;
    const char* programa;
};
const Disposicion kDisposiciones[] = {
    {"ilp32", talmir::INFSYS_ILP32, TALMIR_BIN},
    {"lp64", talmir::INFSYS_LP64, TALMIR_BIN_LP64},
};

TEST(InfsysNative, MatchesTheRecordMeasuredForThisArchitecture) {
    if (kArquitectura == nullptr) GTEST_SKIP() << "no inf.sys measured for this architecture";
    const Medida* m = nullptr;
    for (const auto& x : kMedidas) {
        if (std::string_view(x.arquitectura) == kArquitectura) m = &x;
    }
    ASSERT_NE(m, nullptr) << kArquitectura;
    EXPECT_EQ(talmir::INFSYS_NATIVO.tam_registro, m->tam_registro) << kArquitectura;
    EXPECT_EQ(talmir::INFSYS_NATIVO.ofs_lang, m->ofs_lang) << kArquitectura;
}

TEST(InfsysLayout, EveryMeasuredRecordHasALayout) {
    for (const auto& m : kMedidas) {
        const talmir::FormatoInfsys medido = {m.tam_registro, m.ofs_lang};
        int cuantas = 0;
        for (const auto& d : kDisposiciones) cuantas += igual(d.formato, medido) ? 1 : 0;
        EXPECT_EQ(cuantas, 1) << m.arquitectura;
        EXPECT_LE(m.tam_registro, talmir::INFSYS_TAM_MAX) << m.arquitectura;
        // The flags, ON base number and paging lines come just before the language.
        EXPECT_EQ(m.ofs_flags + 5, m.ofs_lang) << m.arquitectura;
    }
    // No two layouts alike, and the native one among them.
    EXPECT_FALSE(igual(talmir::INFSYS_ILP32, talmir::INFSYS_LP64));
    int nativas = 0;
    for (const auto& d : kDisposiciones) nativas += igual(d.formato, talmir::INFSYS_NATIVO) ? 1 : 0;
    EXPECT_EQ(nativas, 1);
}

TEST(InfsysLayout, EachLayoutReadsTheLanguageAtItsOffset) {
    for (const auto& d : kDisposiciones) {
        SCOPED_TRACE(d.nombre);
        prueba::Raiz raiz;
        raiz.fbb_basico();
        raiz.escribe("etc/ax25/fbb/langue.sys", "# languages\n2 1 1\nENGLISH\nFRANCAIS\nDEUTSCH\n");
        raiz.config(prueba::config_basica(
            "", "3", {"OK", "NO", "NO", "NO", "OK", "NO", "NO", "NO", "NO", "NO"}));
        raiz.escribe(prueba::Raiz::trabajo("intro.prt"), "general\n");
        raiz.escribe(prueba::Raiz::trabajo("FRANCAIS/intro.prt"), "bonjour\n");
        raiz.escribe(prueba::Raiz::trabajo("DEUTSCH/intro.prt"), "hallo\n");
        const std::vector<std::string> args = {"N0CALL-1", "0", "0", "0", "0", "1"};

        // A record of the given size with language 1 at the given offset and
        // language 2 where each other layout keeps it.
        auto un_registro = [](const talmir::FormatoInfsys& f, const std::string& indic) {
            std::string r(f.tam_registro, '\x7f');
            r.replace(0, 8, std::string(8, '\0'));
            r.replace(0, indic.size(), indic);
            r[7] = 1;
            for (const auto& otra : kDisposiciones) {
                if (otra.formato.ofs_lang < f.tam_registro) r[otra.formato.ofs_lang] = 2;
            }
            r[f.ofs_lang] = 1;
            return r;
        };
        // Three other stations first, so that a wrong record size misses the station.
        std::string inf;
        for (const char* otra : {"N0AAA", "N0BBB", "N0CCC"}) inf += un_registro(d.formato, otra);
        raiz.escribe("var/ax25/fbb/inf.sys", inf + un_registro(d.formato, "N0CALL"));
        EXPECT_EQ(prueba::ejecuta_programa(d.programa, raiz, args).salida,
                  prueba::id_linea() + "\nbonjour\n");

        // The same stations in any other layout: this build never finds the station.
        for (const auto& otra : kDisposiciones) {
            if (igual(otra.formato, d.formato)) continue;
            inf.clear();
            for (const char* o : {"N0AAA", "N0BBB", "N0CCC"}) inf += un_registro(otra.formato, o);
            raiz.escribe("var/ax25/fbb/inf.sys", inf + un_registro(otra.formato, "N0CALL"));
            EXPECT_EQ(prueba::ejecuta_programa(d.programa, raiz, args).salida,
                      prueba::id_linea() + "\ngeneral\n")
                << otra.nombre;
        }
    }
}

}  // namespace
