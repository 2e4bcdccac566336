// FBB's user file and language list: finding a station's language name.
#include "config/infsys.h"

#include <cstring>
#include <string>

#include "driver/global.h"
#include "driver/utils.h"
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

}  // namespace
