// SPDX-License-Identifier: GPL-2.0-or-later
// Language texts: the built-in table and the sysop's language file.
#include "texts/lenguaje.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "driver/global.h"
#include "entorno.h"

namespace {

using prueba::Raiz;

class Lenguaje : public prueba::EnProceso {
   protected:
    // n text lines "T01".."Tnn".
    static std::string textos(int n, int desde = 1) {
        std::string s;
        for (int i = desde; i < desde + n; ++i) {
            char linea[16];
            std::snprintf(linea, sizeof linea, "T%02d\n", i);
            s += linea;
        }
        return s;
    }
    void lee(const std::string& contenido) {
        raiz.escribe(Raiz::trabajo("idioma.txt"), contenido);
        talmir::inic_textos(r_buf, "idioma.txt");
    }
    bool marca6() const { return raiz.existe(Raiz::trabajo("error6.tmp")); }
    void pon_marca6() const { raiz.escribe(Raiz::trabajo("error6.tmp"), ""); }
    bool son_defecto() const {
        for (int i = 0; i < 30; ++i) {
            if (std::strcmp(talmir::lenguaje[i], talmir::textos_defecto_tabla[i]) != 0)
                return false;
        }
        return true;
    }
    std::string informe() const { return raiz.lee(Raiz::trabajo("error.prt")); }
};

TEST_F(Lenguaje, TablaIncorporada) {
    EXPECT_STREQ(talmir::textos_defecto_tabla[0], "Incorrect number of lines in language file");
    EXPECT_STREQ(talmir::textos_defecto_tabla[15], "Log of not autorized connection attemps");
    EXPECT_STREQ(talmir::textos_defecto_tabla[25], "*** MD is the only allowed format in answer");
    EXPECT_STREQ(talmir::textos_defecto_tabla[29], "Connections log");
    std::strcpy(talmir::lenguaje[7], "changed");
    talmir::textos_defecto();
    EXPECT_TRUE(son_defecto());
}

TEST_F(Lenguaje, DosAsteriscosSonLosIncorporados) {
    std::strcpy(talmir::lenguaje[3], "changed");
    talmir::inic_textos(r_buf, "**");
    EXPECT_TRUE(son_defecto());
    EXPECT_FALSE(raiz.existe(Raiz::trabajo("error.prt")));
}

TEST_F(Lenguaje, FicheroAusenteEnSilencio) {
    std::strcpy(talmir::lenguaje[3], "kept");
    talmir::inic_textos(r_buf, "no_such.txt");
    EXPECT_STREQ(talmir::lenguaje[3], "kept");
    EXPECT_FALSE(raiz.existe(Raiz::trabajo("error.prt")));
    EXPECT_EQ(r_buf[0], '\0');
}

TEST_F(Lenguaje, VeintinueveConComentariosYVacias) {
    pon_marca6();
    lee("# language file\n\n" + textos(10) + "#more\n\n\n" + textos(19, 11) + "\n# end\n");
    EXPECT_STREQ(talmir::lenguaje[0], "Incorrect number of lines in language file");
    EXPECT_STREQ(talmir::lenguaje[1], "T01");
    EXPECT_STREQ(talmir::lenguaje[11], "T11");
    EXPECT_STREQ(talmir::lenguaje[29], "T29");
    EXPECT_FALSE(marca6());
    EXPECT_FALSE(raiz.existe(Raiz::trabajo("error.prt")));
    EXPECT_EQ(talmir::valor_salida, 0);
}

TEST_F(Lenguaje, GuionTerminaLaLectura) {
    lee(textos(29) + "-----\n" + textos(5, 30) + "anything\n");
    EXPECT_STREQ(talmir::lenguaje[29], "T29");
    EXPECT_FALSE(marca6());
    EXPECT_FALSE(raiz.existe(Raiz::trabajo("error.prt")));
}

TEST_F(Lenguaje, CuentasErroneas) {
    struct Caso {
        const char* nombre;
        std::string contenido;
        int cuenta;
    };
    const Caso casos[] = {
        {"28 lines", textos(28), 28},
        {"30 lines", textos(30), 30},
        {"45 lines", textos(45), 30},
        {"empty file", "", 0},
        {"comments only", "# a\n\n#b\n", 0},
        {"dash first", "# c\n-\n" + textos(29), 0},
        {"dash after 12", textos(12) + "-x\n" + textos(17, 13), 12},
    };
    // As inside the reading of the configuration, FBB's data already read.
    talmir::leido_init = 1;
    talmir::leyendo_cfg = 1;
    for (const auto& c : casos) {
        SCOPED_TRACE(c.nombre);
        raiz.borra(Raiz::trabajo("error6.tmp"));
        raiz.borra(Raiz::trabajo("error.prt"));
        talmir::valor_salida = 9;
        lee(c.contenido);
        EXPECT_TRUE(son_defecto());
        std::string linea = "*** ERROR 0016: Incorrect number of lines in language file (" +
                            std::to_string(c.cuenta) + "/29).\n\n";
        std::string inf = informe();
        ASSERT_GE(inf.size(), linea.size());
        EXPECT_EQ(inf.substr(inf.size() - linea.size()), linea);
        EXPECT_TRUE(marca6());
        EXPECT_EQ(talmir::valor_salida, 0);
    }
}

TEST_F(Lenguaje, FicheroErroneoNoDejaMezcla) {
    lee(textos(29));
    EXPECT_STREQ(talmir::lenguaje[5], "T05");
    lee(textos(3));
    EXPECT_TRUE(son_defecto());
}

TEST_F(Lenguaje, LineasLargasEnTrozosDe79) {
    std::string a79(79, 'a');
    std::string b79(79, 'b');
    // 79 + 3 characters: two texts; exactly 79: one text (its newline alone
    // is an empty rest); 80: two texts, the second one character.
    lee(a79 + "XYZ\n" + b79 + "\n" + "c" + a79 + "\n" + textos(24, 5));
    EXPECT_EQ(std::string(talmir::lenguaje[1]), a79);
    EXPECT_STREQ(talmir::lenguaje[2], "XYZ");
    EXPECT_EQ(std::string(talmir::lenguaje[3]), b79);
    EXPECT_EQ(std::string(talmir::lenguaje[4]), "c" + std::string(78, 'a'));
    EXPECT_STREQ(talmir::lenguaje[5], "a");
    EXPECT_STREQ(talmir::lenguaje[6], "T05");
    EXPECT_STREQ(talmir::lenguaje[29], "T28");
    EXPECT_FALSE(marca6());
}

TEST_F(Lenguaje, RestoQueEmpiezaPorGuionTermina) {
    // The rest of a long line is read as a line of its own, dash test included.
    lee(textos(28) + std::string(79, 'z') + "-tail\n" + "ignored\n");
    EXPECT_EQ(std::string(talmir::lenguaje[29]), std::string(79, 'z'));
    EXPECT_FALSE(marca6());
}

TEST_F(Lenguaje, RetornoDeCarroYBlancoInicial) {
    lee(" T01 \r\n\t\n" + textos(26, 3) + "last\r\n");
    EXPECT_STREQ(talmir::lenguaje[1], " T01 \r");
    EXPECT_STREQ(talmir::lenguaje[2], "\t");
    EXPECT_STREQ(talmir::lenguaje[29], "last\r");
    EXPECT_FALSE(marca6());
}

TEST_F(Lenguaje, UltimaLineaSinSaltoCuenta) {
    std::string s = textos(29);
    s.pop_back();
    lee(s);
    EXPECT_STREQ(talmir::lenguaje[29], "T29");
    EXPECT_FALSE(marca6());
}

TEST_F(Lenguaje, MarcaSoloSeBorraConExito) {
    pon_marca6();
    lee(textos(30));
    EXPECT_TRUE(marca6());
    lee(textos(29));
    EXPECT_FALSE(marca6());
}

}  // namespace
