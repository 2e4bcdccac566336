// SPDX-License-Identifier: GPL-2.0-or-later
// The file layer: on disk, and in a dry run that changes nothing on disk but
// records every change and shows the run its own changes when it reads.
#include "driver/disco.h"

#include <dirent.h>
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "driver/disco_simulado.h"
#include "entorno.h"

namespace {

using talmir::Anexado;
using talmir::Anexo;
using talmir::Simulacion;
using Tipo = talmir::Simulacion::Accion::Tipo;

class Disco : public prueba::EnProceso {
   protected:
    std::string r(const std::string& rel) const { return raiz.ruta(rel); }
    // What the text of a file reads as through the layer; "<none>" when it
    // does not open.
    static std::string lee(const std::string& ruta) {
        talmir::Archivo f = talmir::Archivo::abre(ruta.c_str(), "r");
        if (!f) return "<none>";
        std::string s;
        int c;
        while ((c = std::fgetc(f.get())) != EOF) s += static_cast<char>(c);
        return s;
    }
    // Every name under the root, with the bytes of each file.
    std::set<std::string> arbol(const std::string& rel = "") const {
        std::set<std::string> s;
        DIR* d = opendir(r(rel).c_str());
        if (d == nullptr) return s;
        while (dirent* e = readdir(d)) {
            std::string n = e->d_name;
            if (n == "." || n == "..") continue;
            std::string sub = rel.empty() ? n : rel + "/" + n;
            if (e->d_type == DT_DIR) {
                s.insert(sub + "/");
                for (const auto& x : arbol(sub)) s.insert(x);
            } else {
                s.insert(sub + "=" + raiz.lee(sub));
            }
        }
        closedir(d);
        return s;
    }
};

TEST_F(Disco, SimulacionNoTocaNadaYSeVeASiMisma) {
    raiz.escribe("log", "old\n");
    raiz.escribe("pendiente", "mail\n");
    raiz.escribe("quitar", "x");
    const std::set<std::string> antes = arbol();
    {
        Simulacion sim;
        EXPECT_EQ(talmir::crea_exclusivo(r("marca").c_str()), 1);
        EXPECT_EQ(talmir::crea_exclusivo(r("marca").c_str()), 0);
        EXPECT_EQ(talmir::crea_exclusivo(r("log").c_str()), 0);  // there on disk
        EXPECT_TRUE(talmir::existe(r("marca").c_str()));
        EXPECT_TRUE(talmir::reemplaza(r("reto").c_str(), "abcde\n"));
        EXPECT_EQ(lee(r("reto")), "abcde\n");
        EXPECT_TRUE(talmir::reescribe(r("error").c_str(), "report\n"));
        EXPECT_EQ(talmir::anexa(r("log").c_str(), "new\n", Anexo{}), Anexado::hecho);
        EXPECT_EQ(lee(r("log")), "old\nnew\n");
        EXPECT_EQ(talmir::anexa(r("nada").c_str(), "x", Anexo{}), Anexado::sin_fichero);
        EXPECT_EQ(talmir::crea_con(r("nuevo").c_str(), "head\n"), 1);
        EXPECT_EQ(talmir::crea_con(r("nuevo").c_str(), "head\n"), 0);
        EXPECT_TRUE(talmir::borra(r("quitar").c_str()));
        EXPECT_FALSE(talmir::borra(r("quitar").c_str()));
        EXPECT_FALSE(talmir::existe(r("quitar").c_str()));
        EXPECT_EQ(lee(r("quitar")), "<none>");
        EXPECT_EQ(talmir::prt_mkdir(r("dir").c_str()), 0);
        EXPECT_EQ(talmir::prt_mkdir(r("dir").c_str()), -1);
        EXPECT_TRUE(talmir::renombra(r("pendiente").c_str(), r("aparte").c_str()));
        EXPECT_TRUE(talmir::vacia_en(r("aparte").c_str(), r("import").c_str()));
        EXPECT_EQ(lee(r("import")), "mail\n");
        EXPECT_FALSE(talmir::existe(r("aparte").c_str()));
        EXPECT_EQ(lee(r("pendiente")), "<none>");

        const std::vector<std::pair<Tipo, std::string>> esperado = {
            {Tipo::crea, "marca"},   {Tipo::escribe, "reto"},       {Tipo::reescribe, "error"},
            {Tipo::anexa, "log"},    {Tipo::crea_con, "nuevo"},     {Tipo::borra, "quitar"},
            {Tipo::crea_dir, "dir"}, {Tipo::renombra, "pendiente"}, {Tipo::vacia_en, "aparte"},
        };
        ASSERT_EQ(sim.acciones().size(), esperado.size());
        for (std::size_t i = 0; i < esperado.size(); ++i) {
            EXPECT_EQ(sim.acciones()[i].tipo, esperado[i].first) << i;
            EXPECT_EQ(sim.acciones()[i].ruta, r(esperado[i].second)) << i;
        }
        EXPECT_EQ(sim.acciones()[1].datos, "abcde\n");
        EXPECT_EQ(sim.acciones()[7].destino, r("aparte"));
        EXPECT_EQ(sim.acciones()[8].destino, r("import"));
    }
    EXPECT_EQ(arbol(), antes);
    EXPECT_EQ(talmir::simulacion, nullptr);
}

TEST_F(Disco, AnexoEnDisco) {
    Anexo crea;
    crea.crea = true;
    EXPECT_EQ(talmir::anexa(r("a").c_str(), "", Anexo{}), Anexado::sin_fichero);
    EXPECT_FALSE(raiz.existe("a"));
    EXPECT_EQ(talmir::anexa(r("a").c_str(), "", crea), Anexado::hecho);
    EXPECT_EQ(raiz.lee("a"), "");
    EXPECT_EQ(talmir::anexa(r("a").c_str(), "one\n", Anexo{}), Anexado::hecho);
    EXPECT_EQ(talmir::anexa(r("a").c_str(), "two\n", crea), Anexado::hecho);
    EXPECT_EQ(raiz.lee("a"), "one\ntwo\n");

    // A file that turns out to be the one it must not be is not written, and
    // one this call created is removed again.
    Anexo distinto = crea;
    ASSERT_EQ(symlink(r("a").c_str(), r("enlace").c_str()), 0);
    const std::string enlace = r("enlace"), b = r("b");
    distinto.distinto_de = enlace.c_str();
    EXPECT_EQ(talmir::anexa(r("a").c_str(), "three\n", distinto), Anexado::fallo);
    EXPECT_EQ(raiz.lee("a"), "one\ntwo\n");
    distinto.distinto_de = b.c_str();
    EXPECT_EQ(talmir::anexa(r("b").c_str(), "x", distinto), Anexado::fallo);
    EXPECT_FALSE(raiz.existe("b"));

    raiz.crea_dir("d");
    EXPECT_EQ(talmir::anexa(r("d").c_str(), "x", crea), Anexado::fallo);
}

// The name of a file's lock, as FBB makes it.
TEST(Bloqueo, Lfile) {
    EXPECT_STREQ(talmir::lfile("/var/ax25/fbb/mail/mail.in"), "/var/ax25/fbb/mail/mail.lck");
    EXPECT_STREQ(talmir::lfile("mailin"), "mailin.lck");
    EXPECT_STREQ(talmir::lfile("/a.b/mailin"), "/a.lck");
    EXPECT_STREQ(talmir::lfile(std::string(251, 'x').c_str()),
                 (std::string(251, 'x') + ".lck").c_str());
    EXPECT_STREQ(talmir::lfile(std::string(252, 'x').c_str()), "");  // no room: no name at all
}

}  // namespace
