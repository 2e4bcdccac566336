// SPDX-License-Identifier: GPL-2.0-or-later
// FBB's host configuration: fbb.conf's key list, lee_init and init.srv.
#include "config/fbb_conf.h"

#include <gtest/gtest.h>

#include <string>

#include "config/config.h"
#include "driver/global.h"
#include "entorno.h"

namespace {

using talmir::infbbs;

class FbbConf : public prueba::EnProceso {
   protected:
    void TearDown() override {
        talmir::free_fbb_conf();
        prueba::EnProceso::TearDown();
    }
    int lee(const std::string& texto) {
        raiz.escribe("fbb.conf", texto);
        return talmir::read_fbb_conf(raiz.ruta("fbb.conf").c_str());
    }
    static std::string valor(const char* clave, int next = 0) {
        const char* v = talmir::find_fbb_conf(clave, next);
        return v == nullptr ? std::string("(none)") : std::string(v);
    }
    // fbb.conf with the three keys that must be present, plus `resto`.
    void conf(const std::string& resto) {
        raiz.escribe("etc/ax25/fbb.conf",
                     "callsign = n0bbs\nqraloc = jn18du\ncity = Testville\n" + resto);
    }
};

TEST_F(FbbConf, SinFichero) {
    EXPECT_EQ(talmir::read_fbb_conf(raiz.ruta("none.conf").c_str()), 1);
    EXPECT_EQ(valor("call"), "(none)");
}

TEST_F(FbbConf, ClavesYValores) {
    ASSERT_EQ(lee("# comment\n"
                  "   # indented comment\n"
                  "\n"
                  "   \n"
                  "callsign = n0call-1\n"
                  "city = \"Testville, Nowhere\"  \n"
                  "name = Sysop Name  \n"
                  "QRALOC=jn18du\n"
                  "\tsysop\t=\tn0sys\n"
                  "pg = 5\n"
                  "novalue\n"
                  "quote = \"open only\n"
                  "inner = \"a\"b\" c\n"
                  "eq = a = b\n"
                  "mixed = \"\"\n"),
              0);
    EXPECT_EQ(valor("call"), "n0call-1");
    EXPECT_EQ(valor("CALL"), "n0call-1");
    EXPECT_EQ(valor("Callsign"), "n0call-1");
    EXPECT_EQ(valor("city"), "Testville, Nowhere");
    EXPECT_EQ(valor("name"), "Sysop Name  ");
    EXPECT_EQ(valor("qral"), "jn18du");
    EXPECT_EQ(valor("sysop"), "n0sys");
    EXPECT_EQ(valor("pg"), "5");
    EXPECT_EQ(valor("p"), "(none)");
    EXPECT_EQ(valor("novalue"), "");
    EXPECT_EQ(valor("quote"), "open only");
    EXPECT_EQ(valor("inner"), "a\"b");
    EXPECT_EQ(valor("eq"), "a = b");
    EXPECT_EQ(valor("mixe"), "");
    EXPECT_EQ(valor("#"), "(none)");
}

TEST_F(FbbConf, LaUltimaLineaGanaYNextSigue) {
    ASSERT_EQ(lee("conf = /first/\nConfig = /second/\ncall = x\nconfig = /third\n"), 0);
    EXPECT_EQ(valor("conf"), "/third");
    EXPECT_EQ(valor("conf", 1), "/second/");
    EXPECT_EQ(valor("conf", 1), "/first/");
    EXPECT_EQ(valor("conf", 1), "(none)");
    talmir::free_fbb_conf();
    EXPECT_EQ(valor("conf"), "(none)");
}

TEST_F(FbbConf, LineaLarga) {
    // The rest of a line over 254 characters is dropped, not read as a line.
    ASSERT_EQ(lee("name = " + std::string(247, 'n') + "call = lost\ncity = x\n"), 0);
    EXPECT_EQ(valor("name"), std::string(247, 'n'));
    EXPECT_EQ(valor("call"), "(none)");
    EXPECT_EQ(valor("city"), "x");
}

TEST_F(FbbConf, LeeInitBasico) {
    raiz.fbb_basico();
    ASSERT_EQ(talmir::lee_init(r_buf), 1);
    EXPECT_EQ(talmir::leido_init, 1);
    EXPECT_STREQ(infbbs.id, "N0BBS");
    EXPECT_STREQ(infbbs.locator, "JN18DU");
    EXPECT_STREQ(infbbs.qth, "Testville, Nowhere");
    EXPECT_STREQ(infbbs.nsysop, "Sysop Name");
    EXPECT_STREQ(infbbs.sysop, "N0SYS");
    EXPECT_EQ(infbbs.ruta_system, raiz.ruta("etc/ax25/fbb"));
    EXPECT_EQ(infbbs.ruta_datadir, raiz.ruta("var/ax25/fbb"));
    EXPECT_EQ(infbbs.fch_correo, raiz.ruta(prueba::Raiz::mail_in()));
    EXPECT_EQ(infbbs.fch_bloq_correo, raiz.ruta(prueba::Raiz::mail_lck()));
}

TEST_F(FbbConf, LeeInitValores) {
    conf("callsign = n0call-1\n");
    ASSERT_EQ(talmir::lee_init(r_buf), 1);
    EXPECT_STREQ(infbbs.id, "N0CALL");
    // Default paths without conf, data and import keys.
    EXPECT_STREQ(infbbs.ruta_system, "./etc/ax25/fbb/");
    EXPECT_STREQ(infbbs.ruta_datadir, "./var/ax25/fbb/");
    EXPECT_STREQ(infbbs.fch_correo, "./var/ax25/fbb/mail/mail.in");
    // FBB's own lock for its default import file, not a name of our own.
    EXPECT_STREQ(infbbs.fch_bloq_correo, "./var/ax25/fbb/mail/mail.lck");
    EXPECT_STREQ(infbbs.sysop, "SYSOP");

    talmir::reinicia_globales();
    conf(
        "CONF = /etc/one/\nConf = c:\\fbb\\system\\\nDATA=/data//\n"
        "impo = /var/ax25/fbb/mail/mail.in\nsysop = n0sysop\n"
        "city = " +
        std::string(50, 'c') + "\nname = " + std::string(45, 'n') + "\n");
    ASSERT_EQ(talmir::lee_init(r_buf), 1);
    EXPECT_STREQ(infbbs.ruta_system, "c:\\fbb\\system");
    EXPECT_STREQ(infbbs.ruta_datadir, "/data/");
    EXPECT_STREQ(infbbs.fch_correo, "/var/ax25/fbb/mail/mail.in");
    EXPECT_STREQ(infbbs.fch_bloq_correo, "/var/ax25/fbb/mail/mail.lck");
    EXPECT_STREQ(infbbs.sysop, "N0SYSO");
    EXPECT_EQ(infbbs.qth, std::string(40, 'c'));
    EXPECT_EQ(infbbs.nsysop, std::string(40, 'n'));

    // Over-long callsign and locator are cut to six characters.
    talmir::reinicia_globales();
    raiz.escribe("etc/ax25/fbb.conf", "call = abcdefgh.x\nqraloc = jn18duxx\ncity = a b\n");
    ASSERT_EQ(talmir::lee_init(r_buf), 1);
    EXPECT_STREQ(infbbs.id, "ABCDEF");
    EXPECT_STREQ(infbbs.locator, "JN18DU");
    EXPECT_STREQ(infbbs.qth, "a b");
}

TEST_F(FbbConf, LeeInitFalla) {
    const std::string sin[] = {
        "callsign = n0bbs\nqraloc = jn18du\n",             // no city
        "callsign = n0bbs\nqraloc = jn18du\ncity =\n",     // empty city
        "callsign = -n0bbs\nqraloc = jn18du\ncity = x\n",  // no letters at the start
        "qraloc = jn18du\ncity = x\n",                     // no callsign
        "callsign = n0bbs\ncity = x\n",                    // no locator
    };
    for (const auto& texto : sin) {
        SCOPED_TRACE(texto);
        talmir::reinicia_globales();
        raiz.escribe("etc/ax25/fbb.conf", texto);
        // init.srv is not read when fbb.conf exists.
        raiz.escribe("init.srv", "N0BBS\n\nJN18DU\nTown\n/etc/\n");
        EXPECT_EQ(talmir::lee_init(r_buf), -1);
        EXPECT_EQ(talmir::leido_init, 0);
    }
}

// The locator: qraloc when it holds a word, else loca.
TEST_F(FbbConf, LocalizadorDeQralocOLoca) {
    const struct {
        const char* claves;
        const char* locator;
    } casos[] = {
        {"qraloc = jn18du\n", "JN18DU"},
        {"loca = jo20aa\n", "JO20AA"},
        {"qraloc = jn18du\nloca = jo20aa\n", "JN18DU"},
        {"qraloc =\nloca = jo20aa\n", "JO20AA"},
        {"qraloc =   \nloca = jo20aa\n", "JO20AA"},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.claves);
        talmir::reinicia_globales();
        raiz.escribe("etc/ax25/fbb.conf", std::string("callsign = n0bbs\ncity = x\n") + c.claves);
        ASSERT_EQ(talmir::lee_init(r_buf), 1);
        EXPECT_STREQ(infbbs.locator, c.locator);
    }
}

TEST_F(FbbConf, RutasQueNoCabenFallan) {
    const std::string largo(101, 'd');
    const std::string casos[] = {
        "conf = /" + largo + "\n",
        "data = /" + largo + "\n",
        "impo = /" + largo + "\n",
        // The file fits its field but its lock name does not fit 80 characters.
        "impo = /" + std::string(80, 'm') + ".in\n",
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c);
        talmir::reinicia_globales();
        conf(c);
        EXPECT_EQ(talmir::lee_init(r_buf), -1);
        EXPECT_EQ(talmir::leido_init, 0);
    }
    // At the limits.
    talmir::reinicia_globales();
    conf("conf = /" + std::string(99, 'd') + "\nimpo = /" + std::string(74, 'm') + ".in\n");
    ASSERT_EQ(talmir::lee_init(r_buf), 1);
    EXPECT_EQ(std::string(infbbs.ruta_system), "/" + std::string(99, 'd'));
    EXPECT_EQ(std::string(infbbs.fch_bloq_correo), "/" + std::string(74, 'm') + ".lck");
}

const char kInitSrv[] =
    "# init.srv\n"
    "n0bbs-1 extra\n"       // 1
    "0\n"                   // 2
    "jn18du\n"              // 3
    "Testville, Nowhere\n"  // 4
    "\n"
    "c:\\fbb\\system\\\n"  // 5
    "6\n7\n8\n9\n10\n"     // 6..10
    "Sysop Name\n"         // 11
    "n0sysop\n"            // 12
    "# comment\n"
    "13\n"                 // 13
    "/var/mail/mail.in\n"  // 14
    "not read\n";

TEST_F(FbbConf, InitSrvComoRespaldo) {
    raiz.escribe("init.srv", kInitSrv);
    ASSERT_EQ(talmir::lee_init(r_buf), 1);
    EXPECT_EQ(talmir::leido_init, 1);
    EXPECT_STREQ(infbbs.id, "N0BBS");
    EXPECT_STREQ(infbbs.locator, "JN18DU");
    EXPECT_STREQ(infbbs.qth, "Testville, Nowhere");
    EXPECT_STREQ(infbbs.ruta_system, "c:\\fbb\\system");
    EXPECT_STREQ(infbbs.ruta_datadir, "c:\\fbb\\system");
    EXPECT_STREQ(infbbs.nsysop, "Sysop Name");
    EXPECT_STREQ(infbbs.sysop, "N0SYSO");
    EXPECT_STREQ(infbbs.fch_correo, "/var/mail/mail.in");
    EXPECT_STREQ(infbbs.fch_bloq_correo, "/var/mail/mail.lck");
}

TEST_F(FbbConf, InitSrvOrdenYFallos) {
    // The fifth line loses its last character whatever it is.
    std::string otro = kInitSrv;
    otro.replace(otro.find("c:\\fbb\\system\\"), 14, "/etc/fbbx");
    raiz.escribe("init.srv", kInitSrv);
    raiz.escribe("init_w.srv", otro);
    ASSERT_EQ(talmir::lee_init_srv(r_buf), 1);
    EXPECT_EQ(talmir::leido_init, 1);
    EXPECT_STREQ(infbbs.ruta_system, "/etc/fbb");

    // An init.srv that ends before its 14th data line.
    talmir::reinicia_globales();
    raiz.borra("init_w.srv");
    std::string corto = kInitSrv;
    corto.erase(corto.find("/var/mail"));
    raiz.escribe("init.srv", corto);
    EXPECT_EQ(talmir::lee_init(r_buf), -1);
    EXPECT_EQ(talmir::leido_init, 0);

    // None of the three names.
    talmir::reinicia_globales();
    raiz.borra("init.srv");
    EXPECT_EQ(talmir::lee_init_srv(r_buf), -1);
    EXPECT_EQ(talmir::lee_init(r_buf), -1);
    EXPECT_EQ(talmir::leido_init, 0);
}

}  // namespace
