// SPDX-License-Identifier: GPL-2.0-or-later
// Texts sent to stations, the new-user notice and the welcome mail.
#include "texts/intro.h"

#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "config/infsys.h"
#include "driver/global.h"
#include "driver/respuesta.h"
#include "driver/rutas.h"
#include "driver/texto.h"
#include "entorno.h"
#include "texts/correo.h"
#include "texts/error.h"

namespace {

using prueba::Raiz;
using talmir::cfg;
using talmir::infbbs;
using talmir::usuario;

std::string registro(const std::string& indic, unsigned char lang) {
    std::string r(talmir::INFSYS_ILP32.tam_registro, '\0');
    r.replace(0, indic.size(), indic);
    r[93] = static_cast<char>(lang);
    return r;
}

class Intro : public prueba::EnProceso {
   protected:
    void SetUp() override {
        prueba::EnProceso::SetUp();
        talmir::leido_init = 1;
        talmir::leido_cfg = 1;
        talmir::copia(infbbs.id, sizeof infbbs.id, "N0BBS");
        talmir::copia(infbbs.ruta_datadir, sizeof infbbs.ruta_datadir, raiz.ruta("fbbdata"));
        talmir::copia(infbbs.ruta_system, sizeof infbbs.ruta_system, raiz.ruta("fbbsys"));
        talmir::copia(infbbs.fch_correo, sizeof infbbs.fch_correo, raiz.ruta(Raiz::mail_in()));
        talmir::copia(infbbs.fch_bloq_correo, sizeof infbbs.fch_bloq_correo,
                      raiz.ruta(Raiz::mail_lck()));
        // N0CALL speaks language 0, "english".
        raiz.escribe("fbbdata/inf.sys", registro("N0CAL", 1) + registro("N0CALL", 0));
        raiz.escribe("fbbsys/langue.sys", "# languages\n2 1 1\nenglish\nfrancais\n");
        talmir::copia(usuario.id, sizeof usuario.id, "N0CALL");
        usuario.ssid = 0;
        usuario.puerto = 2;
    }

    void texto(const std::string& nombre, const std::string& contenido) {
        raiz.escribe(Raiz::trabajo(nombre), contenido);
    }

    // True when the mail import of this build works (it is its own module).
    bool hay_correo() {
        talmir::MAILIN m;
        if (!talmir::abre_mailin(&m)) return false;
        talmir::cierra_mailin(&m);
        raiz.borra(Raiz::mail_in());
        return true;
    }
};

TEST_F(Intro, SearchOrderLanguagePortPortLanguageGeneral) {
    struct Caso {
        bool txt_lang;
        std::vector<std::string> ficheros;
        std::string esperado;
    } casos[] = {
        {true, {"english/intro2.prt", "intro2.prt", "english/intro.prt", "intro.prt"}, "\nL2"},
        {true, {"intro2.prt", "english/intro.prt", "intro.prt"}, "\nP2"},
        {true, {"english/intro.prt", "intro.prt"}, "\nLG"},
        {true, {"intro.prt"}, "\nG"},
        {true, {"francais/intro2.prt", "francais/intro.prt"}, ""},
        {true, {}, ""},
        {false, {"english/intro2.prt", "english/intro.prt", "intro.prt"}, "\nG"},
        {false, {"english/intro2.prt", "english/intro.prt"}, ""},
        {false, {"english/intro2.prt", "intro2.prt"}, "\nP2"},
    };
    const std::map<std::string, std::string> contenido = {
        {"english/intro2.prt", "L2"}, {"intro2.prt", "P2"},          {"english/intro.prt", "LG"},
        {"intro.prt", "G"},           {"francais/intro2.prt", "F2"}, {"francais/intro.prt", "FG"},
    };
    int i = 0;
    for (const auto& c : casos) {
        for (const auto& [nombre, txt] : contenido) raiz.borra(Raiz::trabajo(nombre));
        for (const auto& f : c.ficheros) texto(f, contenido.at(f));
        cfg.txt_lang = c.txt_lang ? 1 : 0;
        char buf[talmir::RBUF_SIZE] = {};
        talmir::envia_txtintro(talmir::sf_genintro, buf);
        EXPECT_EQ(std::string(buf), c.esperado) << "case " << i;
        ++i;
    }
}

TEST_F(Intro, StationWithoutKnownLanguageUsesTheWorkingDirectory) {
    cfg.txt_lang = 1;
    talmir::copia(usuario.id, sizeof usuario.id, "N9XYZ");
    texto("english/guest2.prt", "L2");
    texto("guest.prt", "G");
    talmir::envia_txtintro(talmir::sf_guest, r_buf);
    EXPECT_STREQ(r_buf, "\nG");
}

TEST_F(Intro, PortZeroHasItsOwnFiles) {
    usuario.puerto = 0;
    texto("intro0.prt", "console intro\n");
    texto("intro.prt", "general\n");
    texto("newtxt0.prt", "console new\n");
    talmir::envia_txtintro(talmir::sf_genintro, r_buf);
    talmir::envia_txtintro(talmir::sf_newusr, r_buf);
    EXPECT_STREQ(r_buf, "\nconsole intro\n\nconsole new\n");
}

TEST_F(Intro, NewGuestGetsGuestIntroNewTextAndPresentationInOrder) {
    cfg.txt_guest = 1;
    cfg.txt_intro = 1;
    cfg.txt_nusr = 1;
    cfg.newusr_ops = 1;  // the text only: the welcome mail has tests of its own
    usuario.mascara = talmir::FLAG_GUEST;
    usuario.nuevo = 1;
    texto("guest.prt", "GUEST\n");
    texto("intro.prt", "INTRO\n");
    texto("newtxt.prt", "NEW\n");
    texto("N0CALL0.ent", "ME\n");
    talmir::envia_intro(r_buf);
    EXPECT_STREQ(r_buf, "\nGUEST\n\nINTRO\n\nNEW\n\nME\n");

    // "N": no general introduction for new users.
    cfg.txtintro_ops = 4;
    char buf[talmir::RBUF_SIZE] = {};
    talmir::envia_intro(buf);
    EXPECT_STREQ(buf, "\nGUEST\n\nNEW\n\nME\n");

    // Switches off: the presentation alone.
    cfg.txt_guest = cfg.txt_intro = cfg.txt_nusr = 0;
    char buf2[talmir::RBUF_SIZE] = {};
    talmir::envia_intro(buf2);
    EXPECT_STREQ(buf2, "\nME\n");
}

TEST_F(Intro, BbsGetsOnlyItsPresentation) {
    cfg.txt_guest = cfg.txt_intro = cfg.txt_nusr = 1;
    cfg.newusr_ops = 3;
    usuario.mascara = talmir::FLAG_BBS | talmir::FLAG_GUEST;
    usuario.nuevo = 1;
    texto("guest.prt", "GUEST\n");
    texto("intro.prt", "INTRO\n");
    texto("newtxt.prt", "NEW\n");
    texto("newmsg.prt", "WELCOME\n");
    texto("N0CALL.ent", "BBS\n");
    talmir::envia_intro(r_buf);
    EXPECT_STREQ(r_buf, "\nBBS\n");
    EXPECT_FALSE(raiz.existe(Raiz::mail_in()));
}

TEST_F(Intro, GeneralIntroductionExclusions) {
    struct Caso {
        std::uint16_t mascara;
        std::int16_t nuevo;
        std::uint16_t ops;
        bool enviado;
    } casos[] = {
        {0, 0, 7, true},   {4, 0, 0, true},  {4, 0, 1, false}, {4, 0, 6, true},
        {8, 0, 2, false},  {8, 0, 5, true},  {0, 1, 4, false}, {0, 1, 3, true},
        {12, 0, 2, false}, {0, -1, 4, true}, {32, 0, 7, true},
    };
    texto("intro.prt", "INTRO\n");
    texto("guest.prt", "GUEST\n");
    for (const auto& c : casos) {
        usuario.mascara = c.mascara;
        usuario.nuevo = c.nuevo;
        cfg.txtintro_ops = c.ops;
        char buf[talmir::RBUF_SIZE] = {};
        talmir::envia_txtintro(talmir::sf_genintro, buf);
        EXPECT_EQ(std::string(buf), c.enviado ? "\nINTRO\n" : "")
            << c.mascara << " " << c.nuevo << " " << c.ops;
        // The exclusions are for the general introduction only.
        char buf2[talmir::RBUF_SIZE] = {};
        talmir::envia_txtintro(talmir::sf_guest, buf2);
        EXPECT_STREQ(buf2, "\nGUEST\n");
    }
}

TEST_F(Intro, PresentationWithSsidBeforeBareCallsign) {
    struct Caso {
        std::uint8_t ssid;
        std::vector<std::string> ficheros;
        std::string esperado;
    } casos[] = {
        {0, {"N0CALL0.ent", "N0CALL.ent"}, "\nWITH0"},
        {0, {"N0CALL.ent"}, "\nBARE"},
        {5, {"N0CALL0.ent", "N0CALL5.ent", "N0CALL.ent"}, "\nWITH5"},
        {5, {"N0CALL0.ent"}, ""},
        {5, {"N0CALL.ent"}, "\nBARE"},
    };
    const std::map<std::string, std::string> contenido = {
        {"N0CALL0.ent", "WITH0"}, {"N0CALL5.ent", "WITH5"}, {"N0CALL.ent", "BARE"}};
    for (const auto& c : casos) {
        for (const auto& [nombre, txt] : contenido) raiz.borra(Raiz::trabajo(nombre));
        for (const auto& f : c.ficheros) texto(f, contenido.at(f));
        usuario.ssid = c.ssid;
        char buf[talmir::RBUF_SIZE] = {};
        talmir::envia_txtintro(talmir::sf_prespers, buf);
        EXPECT_EQ(std::string(buf), c.esperado) << int(c.ssid);
    }
}

TEST_F(Intro, TextsBeyondTheResponseBufferAreCut) {
    std::string grande(5000, 'x');
    texto("intro.prt", grande);
    texto("N0CALL.ent", "ME\n");
    std::memset(r_buf, 0, sizeof r_buf);
    talmir::rbuf_add(r_buf, "{ID}\n");
    cfg.txt_intro = 1;
    talmir::envia_intro(r_buf);
    ASSERT_EQ(strnlen(r_buf, sizeof r_buf), talmir::RBUF_SIZE - 1);
    EXPECT_EQ(std::string(r_buf, 6), "{ID}\n\n");
    EXPECT_EQ(std::string(r_buf + 6), std::string(talmir::RBUF_SIZE - 7, 'x'));
}

TEST_F(Intro, InformationTextByPortAndItsMarker) {
    char marca[talmir::RUTA_MAX];
    talmir::fch_err_tmp(marca, 9);
    const bool hay_errores = marca[0] != '\0';
    if (hay_errores) raiz.escribe(marca, "");

    texto("info.prt", "GENERAL\n");
    texto("info2.prt", "CLOSED ON 2\n");
    talmir::rbuf_add(r_buf, "{ID}\n");
    talmir::msg_informativo(r_buf);
    EXPECT_STREQ(r_buf, "{ID}\n\nCLOSED ON 2\n");
    EXPECT_EQ(talmir::valor_salida, 2);
    if (hay_errores) {
        EXPECT_FALSE(raiz.existe(marca));
    }

    usuario.puerto = 0;
    char buf[talmir::RBUF_SIZE] = {};
    talmir::msg_informativo(buf);
    EXPECT_STREQ(buf, "\nGENERAL\n");
}

TEST_F(Intro, MissingInformationTextIsError9) {
    talmir::rbuf_add(r_buf, "{ID}\n");
    talmir::msg_informativo(r_buf);
    EXPECT_STREQ(r_buf, "{ID}\n");
    // Error 9 records the fault and disconnects (where the error routine is built).
    if (raiz.existe(Raiz::trabajo("error.prt"))) {
        EXPECT_EQ(talmir::valor_salida, 2);
        EXPECT_NE(raiz.lee(Raiz::trabajo("error.prt")).find("*** ERROR 0019: "), std::string::npos);
    }
}

// A config.prt with msgnewusr on or off and two sysops.
std::string config_nusr(bool msj) {
    return "**\nN0SYS N1SYS\n3\nPASSWORD>\nNO\nNO\nNO\nNO\nNO\nNO\n" +
           std::string(msj ? "OK" : "NO") + "\nNO\nNO\nNO\n";
}

TEST_F(Intro, NewUserNoticeOffTouchesNoMail) {
    raiz.config(config_nusr(false));
    cfg.msj_nusr = 0;
    EXPECT_EQ(talmir::nuevo_usr(r_buf), 1);
    EXPECT_FALSE(raiz.existe(Raiz::mail_in()));
    EXPECT_FALSE(raiz.existe(Raiz::mail_lck()));
    EXPECT_STREQ(r_buf, "");
}

TEST_F(Intro, NewUserNoticeWithoutMailImportFails) {
    raiz.config(config_nusr(true));
    cfg.msj_nusr = 1;
    talmir::copia(infbbs.fch_correo, sizeof infbbs.fch_correo, raiz.ruta("no/such/dir/mail.in"));
    talmir::copia(infbbs.fch_bloq_correo, sizeof infbbs.fch_bloq_correo,
                  raiz.ruta("no/such/dir/mail.lck"));
    EXPECT_EQ(talmir::nuevo_usr(r_buf), -1);
    EXPECT_STREQ(r_buf, "");
}

TEST_F(Intro, NewUserNoticeToEverySysop) {
    if (!hay_correo()) GTEST_SKIP() << "mail import not built in this tree";
    raiz.config(config_nusr(true));
    cfg.msj_nusr = 1;
    cfg.num_sysop = 2;
    talmir::copia(cfg.sysop[0], sizeof cfg.sysop[0], "N0SYS");
    talmir::copia(cfg.sysop[1], sizeof cfg.sysop[1], "N1SYS");
    struct Caso {
        std::uint8_t ssid;
        std::int8_t puerto;
        std::string estacion;
    } casos[] = {{5, 3, "N0CALL-5"}, {0, 3, "N0CALL"}, {0, 0, "N0CALL"}};
    for (const auto& c : casos) {
        raiz.borra(Raiz::mail_in());
        usuario.ssid = c.ssid;
        usuario.puerto = c.puerto;
        EXPECT_EQ(talmir::nuevo_usr(r_buf), 1);
        std::string cuerpo = std::string(talmir::cabprt) + "\nCallsign " + c.estacion +
                             " connected to the system at first time (Port " +
                             std::to_string(c.puerto) + ").\n";
        EXPECT_EQ(raiz.lee(Raiz::mail_in()), "#\nSP N0SYS < TALMIR\nNEW USER\n" + cuerpo +
                                                 "/EX\n#\nSP N1SYS < TALMIR\nNEW USER\n" + cuerpo +
                                                 "/EX\n");
        EXPECT_FALSE(raiz.existe(Raiz::mail_lck()));
    }
    EXPECT_STREQ(r_buf, "");
}

TEST_F(Intro, WelcomeMailCopiesTheTextWhole) {
    if (!hay_correo()) GTEST_SKIP() << "mail import not built in this tree";
    std::string largo;
    for (int i = 0; i < 200; ++i) largo += "Line " + std::to_string(i) + " of a long welcome %s\n";
    struct Caso {
        std::vector<std::pair<std::string, std::string>> ficheros;
        std::string cuerpo;  // empty: no mail
    } casos[] = {
        {{{"newmsg2.prt", "Port two\n"}, {"newmsg.prt", "General\n"}}, "Port two\n\n"},
        {{{"newmsg.prt", "General\n"}, {"english/newmsg2.prt", "Lang\n"}}, "General\n\n"},
        {{{"newmsg.prt", "No end"}}, "No end\n"},
        {{{"newmsg.prt", largo}}, largo + "\n"},
        {{{"english/newmsg.prt", "Lang\n"}}, ""},
    };
    cfg.txt_lang = 1;
    for (const auto& c : casos) {
        for (const char* f :
             {"newmsg2.prt", "newmsg.prt", "english/newmsg2.prt", "english/newmsg.prt"}) {
            raiz.borra(Raiz::trabajo(f));
        }
        raiz.borra(Raiz::mail_in());
        for (const auto& [f, t] : c.ficheros) texto(f, t);
        char buf[talmir::RBUF_SIZE] = {};
        talmir::msg_newusr(buf);
        EXPECT_STREQ(buf, "");
        if (c.cuerpo.empty()) {
            EXPECT_FALSE(raiz.existe(Raiz::mail_in()));
        } else {
            EXPECT_EQ(raiz.lee(Raiz::mail_in()),
                      "#\nSP N0CALL < N0BBS\nWelcome!\n" + c.cuerpo + "/EX\n");
        }
    }
}

TEST_F(Intro, WelcomeMailBetweenNewUserTextAndPresentation) {
    if (!hay_correo()) GTEST_SKIP() << "mail import not built in this tree";
    cfg.txt_nusr = 1;
    cfg.newusr_ops = 3;
    usuario.nuevo = 1;
    texto("newtxt.prt", "NEW\n");
    texto("newmsg.prt", "Hello\n");
    texto("N0CALL0.ent", "ME\n");
    talmir::envia_intro(r_buf);
    EXPECT_STREQ(r_buf, "\nNEW\n\nME\n");
    EXPECT_EQ(raiz.lee(Raiz::mail_in()), "#\nSP N0CALL < N0BBS\nWelcome!\nHello\n\n/EX\n");
}

}  // namespace
