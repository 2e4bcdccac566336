// SPDX-License-Identifier: GPL-2.0-or-later
// Logs: exact header and entry bytes, connection log names, the per-callsign
// table, concurrent writers and the mailing of the refusal logs.
#include "texts/log.h"

#include <dirent.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <set>
#include <string>
#include <vector>

#include "driver/global.h"
#include "driver/texto.h"
#include "entorno.h"
#include "texts/correo.h"

namespace {

using prueba::Raiz;
using talmir::cfg;
using talmir::infbbs;
using talmir::usuario;

std::string columnas() {
    return std::string(9, ' ') + "CALLSIGN" + std::string(9, ' ') + "PORT" + std::string(10, ' ') +
           "TIME" + std::string(16, ' ') + "DATE";
}

std::string cabecera(const std::string& titulo) {
    return "\n[TALMIR v4.1\xE1"
           "2] - " +
           titulo + ":\n\n" + columnas() + "\n   " + std::string(69, '=') + "\n";
}

// The entry of the run's moment, 6 December 2026 at 09:05:07.
std::string entrada(const std::string& indic6, const std::string& ssid2,
                    const std::string& puerto2) {
    return std::string(9, ' ') + indic6 + "-" + ssid2 + std::string(8, ' ') + puerto2 +
           std::string(9, ' ') + "09:05:07  " + std::string(9, ' ') + "06-12-2026\n";
}

std::set<std::string> lista(const std::string& dir) {
    std::set<std::string> nombres;
    DIR* d = opendir(dir.c_str());
    if (d == nullptr) return nombres;
    while (const dirent* e = readdir(d)) {
        std::string n = e->d_name;
        if (n != "." && n != "..") nombres.insert(n);
    }
    closedir(d);
    return nombres;
}

class Log : public prueba::EnProceso {
   protected:
    void SetUp() override {
        prueba::EnProceso::SetUp();
        struct tm t = {};
        t.tm_year = 126;
        t.tm_mon = 11;
        t.tm_mday = 6;
        t.tm_hour = 9;
        t.tm_min = 5;
        t.tm_sec = 7;
        timegm(&t);  // fills the week and year days: a Sunday, day 340, week 48
        *talmir::hor_fch = t;
        talmir::copia(usuario.id, sizeof usuario.id, "N0CALL");
        usuario.ssid = 0;
        usuario.puerto = 2;
        talmir::leido_init = 1;
        talmir::leido_cfg = 1;
        talmir::copia(infbbs.fch_correo, sizeof infbbs.fch_correo, raiz.ruta(Raiz::mail_in()));
        talmir::copia(infbbs.fch_bloq_correo, sizeof infbbs.fch_bloq_correo,
                      raiz.ruta(Raiz::mail_lck()));
    }

    bool hay_correo() {
        talmir::MAILIN m;
        if (!talmir::abre_mailin(&m)) return false;
        talmir::cierra_mailin(&m);
        raiz.borra(Raiz::mail_in());
        return true;
    }
};

TEST_F(Log, ColumnLineWithBuiltInTexts) {
    char buf[81];
    talmir::cabecera_log(buf);
    EXPECT_EQ(std::string(buf), columnas());
}

TEST_F(Log, ColumnLineNeverPassesEightyCharacters) {
    struct Caso {
        const char* t19;
        const char* t12;
        const char* t21;
        const char* t22;
        std::string esperado;
    };
    const std::string p60(60, 'p');
    const Caso casos[] = {
        // Half the title beyond its centre: no blanks before it.
        {"abcdefghijklmnopqrstuvwxyz01", "p", "t", "d",
         "ABCDEFGHIJKLMNOPQRSTUVWXYZ01P" + std::string(13, ' ') + "T" + std::string(19, ' ') + "D"},
        // Titles longer than the room: the line is cut at 80, later titles dropped.
        {"callsign", p60.c_str(), "time", "date",
         std::string(9, ' ') + "CALLSIGN" + std::string(60, 'P') + "TIM"},
        {"", "", "", "", std::string(62, ' ')},
    };
    std::string largo(80, 'z');
    for (const auto& c : casos) {
        talmir::copia(talmir::lenguaje[19], 81, c.t19);
        talmir::copia(talmir::lenguaje[12], 81, c.t12);
        talmir::copia(talmir::lenguaje[21], 81, c.t21);
        talmir::copia(talmir::lenguaje[22], 81, c.t22);
        char buf[81 + 8];
        std::memset(buf, '#', sizeof buf);
        talmir::cabecera_log(buf);
        EXPECT_EQ(std::string(buf), c.esperado);
        EXPECT_EQ(std::string(buf + 81, 8), std::string(8, '#'));
    }
    for (int i : {19, 12, 21, 22}) talmir::copia(talmir::lenguaje[i], 81, largo);
    char buf[81 + 8];
    std::memset(buf, '#', sizeof buf);
    talmir::cabecera_log(buf);
    EXPECT_EQ(std::string(buf), std::string(80, 'Z'));
    EXPECT_EQ(std::string(buf + 81, 8), std::string(8, '#'));
}

TEST_F(Log, RefusalLogsHeaderOnceThenEntries) {
    talmir::lognopas();
    usuario.ssid = 12;
    usuario.puerto = 15;
    talmir::lognopas();
    EXPECT_EQ(raiz.lee(Raiz::trabajo("lognopas.prt")), cabecera("Log of failed password attemps") +
                                                           entrada("N0CALL", "0 ", " 2") +
                                                           entrada("N0CALL", "12", "15"));

    talmir::copia(usuario.id, sizeof usuario.id, "AB1C");
    usuario.ssid = 5;
    usuario.puerto = 0;
    talmir::logexcld();
    EXPECT_EQ(raiz.lee(Raiz::trabajo("logexcld.prt")),
              cabecera("Log of not autorized connection attemps") + entrada("AB1C  ", "5 ", " 0"));
    // No temporary file is left behind.
    EXPECT_EQ(lista(raiz.ruta(Raiz::trabajo(""))),
              (std::set<std::string>{"logexcld.prt", "lognopas.prt"}));
}

TEST_F(Log, ExistingLogOnlyGetsEntries) {
    raiz.escribe(Raiz::trabajo("logexcld.prt"), "old\n");
    talmir::logexcld();
    EXPECT_EQ(raiz.lee(Raiz::trabajo("logexcld.prt")), "old\n" + entrada("N0CALL", "0 ", " 2"));
}

TEST_F(Log, UnwritableLogIsDroppedSilently) {
    raiz.crea_dir(Raiz::trabajo("lognopas.prt/sub"));
    talmir::lognopas();
    EXPECT_EQ(talmir::valor_salida, 0);
    EXPECT_EQ(lista(raiz.ruta(Raiz::trabajo(""))), (std::set<std::string>{"lognopas.prt"}));
}

TEST_F(Log, GeneralConnectionLogNamesByPeriod) {
    struct Caso {
        std::uint16_t ops;
        std::int8_t puerto;
        const char* fichero;  // nullptr: not logged
    } casos[] = {
        {0, 2, "logcnx/logcnx.prt"},       {0, 0, nullptr},
        {1, 0, "logcnx/logcnx.prt"},       {4 + 8, 2, "logcnx/logcnx48.prt"},
        {8 + 2, 2, "logcnx/logcnx12.prt"}, {2, 2, "logcnx/logcn340.prt"},
        {2 + 1, 0, "logcnx/logcn340.prt"}, {4 + 8 + 2, 2, "logcnx/logcnx48.prt"},
        {16, 2, "logcnx/logcnx.prt"},
    };
    for (const auto& c : casos) {
        for (const char* f : {"logcnx.prt", "logcnx48.prt", "logcnx12.prt", "logcn340.prt"}) {
            raiz.borra(Raiz::trabajo(std::string("logcnx/") + f));
        }
        raiz.borra(Raiz::trabajo("logcnx"));  // made again when needed
        cfg.logcnx_ops = c.ops;
        usuario.puerto = c.puerto;
        talmir::logcnx(0);
        if (c.fichero == nullptr) {
            EXPECT_FALSE(raiz.existe(Raiz::trabajo("logcnx"))) << c.ops;
        } else {
            const std::string p = c.puerto == 0 ? " 0" : " 2";
            EXPECT_EQ(raiz.lee(Raiz::trabajo(c.fichero)),
                      cabecera("Connections log") + entrada("N0CALL", "0 ", p))
                << c.ops;
        }
    }
}

TEST_F(Log, PerCallsignTable) {
    struct Caso {
        std::string linea;
        std::uint8_t ssid;
        int resultado;
        std::uint16_t ops;
    } casos[] = {
        {"n0call w\n", 3, 1, 4},
        {"N0CALL-5 M\n", 5, 1, 8},
        {"N0CALL-5 M\n", 3, 0, 99},
        {"N0CALL-0 D\n", 0, 1, 2},
        {"N0CALL-0 D\n", 10, 0, 99},
        {"N0CALL\n", 7, 1, 0},
        {"N0CALL   \n", 7, 1, 0},
        {"N0CALL CC\n", 1, 1, 2},
        {"N0CALL XCDWMQ\n", 1, 1, 15},
        {"N0CALL CCCCCCCCCW\n", 1, 1, 9},  // the first nine letters count
        {"N0CALL-2550 W\n", 255, 0, 99},   // a word beyond ten characters never matches
        {"N0CALL-255 W\n", 255, 1, 4},
        {"N0CAL W\nN0CALLS W\n", 0, 0, 99},
        {"# N0CALL W\n\n   \nN1XYZ M\n\tn0call\tcm\n", 4, 1, 9},
        {"N0CALL W\nN0CALL M\n", 0, 1, 4},  // the first matching line
    };
    for (const auto& c : casos) {
        raiz.escribe(Raiz::trabajo("logusr.prt"), c.linea);
        usuario.ssid = c.ssid;
        std::uint16_t ops = 99;
        if (c.resultado == 1 && c.ops != 0) ops = 0;  // callers start from 0
        EXPECT_EQ(talmir::search_logusr(&ops), c.resultado) << c.linea;
        EXPECT_EQ(ops, c.ops) << c.linea;
    }
    raiz.borra(Raiz::trabajo("logusr.prt"));
    std::uint16_t ops = 0;
    EXPECT_EQ(talmir::search_logusr(&ops), 0);
}

TEST_F(Log, PerCallsignLogs) {
    // Bare callsign line: no period, not on port 0.
    raiz.escribe(Raiz::trabajo("logusr.prt"), "N0CALL\n");
    usuario.puerto = 0;
    talmir::logcnx(1);
    EXPECT_FALSE(raiz.existe(Raiz::trabajo("logcnx")));
    usuario.puerto = 2;
    talmir::logcnx(1);
    EXPECT_EQ(raiz.lee(Raiz::trabajo("logcnx/N0CALL.log")),
              cabecera("Connections log") + entrada("N0CALL", "0 ", " 2"));

    raiz.escribe(Raiz::trabajo("logusr.prt"), "N0CALL WC\n");
    usuario.puerto = 0;
    talmir::logcnx(1);
    EXPECT_EQ(raiz.lee(Raiz::trabajo("logcnx/N0CALL48.log")),
              cabecera("Connections log") + entrada("N0CALL", "0 ", " 0"));

    raiz.escribe(Raiz::trabajo("logusr.prt"), "N0CALL M\n");
    usuario.puerto = 2;
    talmir::logcnx(1);
    EXPECT_TRUE(raiz.existe(Raiz::trabajo("logcnx/N0CALL12.log")));

    // Not listed: nothing.
    raiz.escribe(Raiz::trabajo("logusr.prt"), "N1XYZ\n");
    talmir::logcnx(1);
    EXPECT_FALSE(raiz.existe(Raiz::trabajo("logcnx/N1XYZ.log")));
}

TEST_F(Log, DailyPerCallsignLogNeedsTheLogDirectory) {
    raiz.escribe(Raiz::trabajo("logusr.prt"), "N0CALL D\n");
    talmir::logcnx(1);
    EXPECT_FALSE(raiz.existe(Raiz::trabajo("logcnx")));

    raiz.crea_dir(Raiz::trabajo("logcnx"));
    talmir::logcnx(1);
    talmir::logcnx(1);
    EXPECT_EQ(raiz.lee(Raiz::trabajo("logcnx/N0CALL/340.log")), cabecera("Connections log") +
                                                                    entrada("N0CALL", "0 ", " 2") +
                                                                    entrada("N0CALL", "0 ", " 2"));
}

TEST_F(Log, ConcurrentWritersLeaveOneHeaderAndWholeEntries) {
    constexpr int kHijos = 20;
    int tubo[2];
    ASSERT_EQ(pipe(tubo), 0);
    std::vector<pid_t> hijos;
    for (int i = 0; i < kHijos; ++i) {
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            close(tubo[1]);
            char c;
            while (read(tubo[0], &c, 1) > 0) {
            }
            usuario.ssid = static_cast<std::uint8_t>(i);
            talmir::lognopas();
            _exit(0);
        }
        hijos.push_back(pid);
    }
    close(tubo[0]);
    close(tubo[1]);  // all start at once
    for (pid_t pid : hijos) {
        int estado = 0;
        waitpid(pid, &estado, 0);
        EXPECT_TRUE(WIFEXITED(estado) && WEXITSTATUS(estado) == 0);
    }

    const std::string cab = cabecera("Log of failed password attemps");
    const std::string log = raiz.lee(Raiz::trabajo("lognopas.prt"));
    ASSERT_EQ(log.compare(0, cab.size(), cab), 0);
    EXPECT_EQ(log.find("[TALMIR", cab.size()), std::string::npos);
    std::string resto = log.substr(cab.size());
    std::vector<bool> visto(kHijos, false);
    std::size_t pos = 0;
    int lineas = 0;
    while (pos < resto.size()) {
        std::size_t fin = resto.find('\n', pos);
        ASSERT_NE(fin, std::string::npos);
        std::string linea = resto.substr(pos, fin - pos + 1);
        int ssid = std::atoi(linea.substr(16, 2).c_str());
        ASSERT_GE(ssid, 0);
        ASSERT_LT(ssid, kHijos);
        std::string s = std::to_string(ssid);
        if (s.size() < 2) s += " ";
        EXPECT_EQ(linea, entrada("N0CALL", s, " 2"));
        EXPECT_FALSE(visto[ssid]);
        visto[ssid] = true;
        ++lineas;
        pos = fin + 1;
    }
    EXPECT_EQ(lineas, kHijos);
    // Only the log itself is left in the directory.
    EXPECT_EQ(lista(raiz.ruta(Raiz::trabajo(""))), (std::set<std::string>{"lognopas.prt"}));
}

TEST_F(Log, MailCommandKeepsLogsWithoutMailImport) {
    raiz.config(prueba::config_basica(""));
    talmir::copia(infbbs.fch_correo, sizeof infbbs.fch_correo, raiz.ruta("no/dir/mail.in"));
    talmir::copia(infbbs.fch_bloq_correo, sizeof infbbs.fch_bloq_correo, raiz.ruta("no/dir/x.lck"));
    cfg.num_sysop = 1;
    talmir::copia(cfg.sysop[0], sizeof cfg.sysop[0], "N0SYS");
    talmir::lognopas();
    talmir::logexcld();
    const std::string a = raiz.lee(Raiz::trabajo("lognopas.prt"));
    const std::string b = raiz.lee(Raiz::trabajo("logexcld.prt"));
    talmir::log("N0SYS", r_buf);
    EXPECT_EQ(raiz.lee(Raiz::trabajo("lognopas.prt")), a);
    EXPECT_EQ(raiz.lee(Raiz::trabajo("logexcld.prt")), b);
}

TEST_F(Log, MailCommandSendsEachLogToEverySysopAndDeletesIt) {
    if (!hay_correo()) GTEST_SKIP() << "mail import not built in this tree";
    raiz.config(prueba::config_basica(""));
    cfg.num_sysop = 2;
    talmir::copia(cfg.sysop[0], sizeof cfg.sysop[0], "N0SYS");
    talmir::copia(cfg.sysop[1], sizeof cfg.sysop[1], "N1SYS");
    talmir::lognopas();
    talmir::logexcld();
    talmir::logexcld();
    const std::string nopas = raiz.lee(Raiz::trabajo("lognopas.prt"));
    const std::string excld = raiz.lee(Raiz::trabajo("logexcld.prt"));
    talmir::log("#", r_buf);
    std::string esperado;
    for (const std::string* l : {&excld, &nopas}) {
        for (const char* s : {"N0SYS", "N1SYS"}) {
            esperado += std::string("#\nSP ") + s + " < TALMIR\nLog file.\n" + *l + "\n/EX\n";
        }
    }
    EXPECT_EQ(raiz.lee(Raiz::mail_in()), esperado);
    EXPECT_FALSE(raiz.existe(Raiz::trabajo("lognopas.prt")));
    EXPECT_FALSE(raiz.existe(Raiz::trabajo("logexcld.prt")));
    EXPECT_FALSE(raiz.existe(Raiz::mail_lck()));
    EXPECT_STREQ(r_buf, "");

    // Only one log present: that one is sent.
    raiz.borra(Raiz::mail_in());
    talmir::lognopas();
    talmir::log("N0SYS", r_buf);
    EXPECT_FALSE(raiz.existe(Raiz::trabajo("lognopas.prt")));
    EXPECT_NE(raiz.lee(Raiz::mail_in()).find("Log of failed password attemps"), std::string::npos);
}

TEST_F(Log, MailCommandWithoutSysopStillDeletesTheLogs) {
    if (!hay_correo()) GTEST_SKIP() << "mail import not built in this tree";
    cfg.num_sysop = 0;
    talmir::lognopas();
    talmir::log("N0SYS", r_buf);
    EXPECT_FALSE(raiz.existe(Raiz::trabajo("lognopas.prt")));
    EXPECT_EQ(raiz.lee(Raiz::mail_in()), "");
}

}  // namespace
