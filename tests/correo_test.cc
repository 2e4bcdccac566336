// SPDX-License-Identifier: GPL-2.0-or-later
// Mail import into FBB: the lock, the pending file and its moving.
#include "texts/correo.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "driver/disco.h"
#include "driver/global.h"
#include "driver/texto.h"
#include "entorno.h"

namespace {

using prueba::Raiz;

std::string mensaje(const std::string& sp, const std::string& asunto, const std::string& cuerpo) {
    return "#\n" + sp + "\n" + asunto + "\n" + cuerpo + "/EX\n";
}

class Correo : public prueba::EnProceso {
   protected:
    void SetUp() override {
        prueba::EnProceso::SetUp();
        // FBB's data as the host configuration reader would leave them.
        talmir::leido_init = 1;
        pon_rutas(raiz.ruta(Raiz::mail_in()), raiz.ruta(Raiz::mail_lck()));
    }
    static void pon_rutas(const std::string& correo, const std::string& bloqueo) {
        talmir::copia(talmir::infbbs.fch_correo, sizeof talmir::infbbs.fch_correo, correo);
        talmir::copia(talmir::infbbs.fch_bloq_correo, sizeof talmir::infbbs.fch_bloq_correo,
                      bloqueo);
    }
    // One writer, one message.
    bool envia(const std::string& sp, const std::string& asunto, const std::string& cuerpo) {
        talmir::MAILIN m;
        if (!talmir::abre_mailin(&m)) return false;
        talmir::escribe_mensaje(&m, sp.c_str(), asunto.c_str(), cuerpo);
        return talmir::cierra_mailin(&m);
    }
    std::string importado() const { return raiz.lee(Raiz::mail_in()); }
    std::string pendiente() const { return raiz.lee(Raiz::trabajo("mail.prt")); }
    bool bloqueado() const { return raiz.existe(Raiz::mail_lck()); }
    bool queda_pendiente() const {
        return raiz.existe(Raiz::trabajo("mail.prt")) || raiz.existe(Raiz::trabajo("mail.prt.mov"));
    }
};

TEST_F(Correo, SinBloqueoVaAlFicheroDeImportacion) {
    raiz.escribe(Raiz::mail_in(), "earlier\n");
    talmir::ya_bloqueado = 1;
    ASSERT_TRUE(envia("SP N0SYS < TALMIR", "Subject", "line one\nline two\n"));
    EXPECT_EQ(importado(),
              "earlier\n" + mensaje("SP N0SYS < TALMIR", "Subject", "line one\nline two\n"));
    EXPECT_EQ(talmir::ya_bloqueado, 0);
    EXPECT_FALSE(bloqueado());
    EXPECT_FALSE(queda_pendiente());
}

TEST_F(Correo, ElBloqueoSeTieneMientrasEstaAbierto) {
    talmir::MAILIN m;
    ASSERT_TRUE(talmir::abre_mailin(&m));
    EXPECT_TRUE(bloqueado());
    talmir::escribe_mensaje(&m, "SP A < TALMIR", "s", "b\n");
    // Nothing reaches FBB before the close: one append per writer.
    EXPECT_EQ(importado(), "");
    ASSERT_TRUE(talmir::cierra_mailin(&m));
    EXPECT_FALSE(bloqueado());
    EXPECT_EQ(importado(), mensaje("SP A < TALMIR", "s", "b\n"));
}

TEST_F(Correo, ConBloqueoVaAlPendiente) {
    raiz.escribe(Raiz::mail_lck(), "");
    ASSERT_TRUE(envia("SP N0SYS < N0BBS", "Welcome!", "Hello\n\n"));
    EXPECT_EQ(talmir::ya_bloqueado, 1);
    EXPECT_TRUE(bloqueado());
    EXPECT_FALSE(raiz.existe(Raiz::mail_in()));
    EXPECT_EQ(pendiente(), mensaje("SP N0SYS < N0BBS", "Welcome!", "Hello\n\n"));
    ASSERT_TRUE(envia("SP N1SYS < TALMIR", "two", ""));
    EXPECT_EQ(pendiente(), mensaje("SP N0SYS < N0BBS", "Welcome!", "Hello\n\n") +
                               mensaje("SP N1SYS < TALMIR", "two", ""));
}

TEST_F(Correo, DosMensajesDeUnEscritor) {
    talmir::MAILIN m;
    ASSERT_TRUE(talmir::abre_mailin(&m));
    talmir::escribe_mensaje(&m, "SP N0SYS < TALMIR", "ERROR detected!", "a\nb\n\n");
    talmir::escribe_mensaje(&m, "SP N1SYS < TALMIR", "ERROR detected!", "a\nb\n\n");
    ASSERT_TRUE(talmir::cierra_mailin(&m));
    EXPECT_EQ(importado(), mensaje("SP N0SYS < TALMIR", "ERROR detected!", "a\nb\n\n") +
                               mensaje("SP N1SYS < TALMIR", "ERROR detected!", "a\nb\n\n"));
}

TEST_F(Correo, CuerpoSinSaltoFinalNoPierdeElFin) {
    ASSERT_TRUE(envia("SP X < TALMIR", "s", "no newline at end"));
    EXPECT_EQ(importado(), mensaje("SP X < TALMIR", "s", "no newline at end\n"));
}

TEST_F(Correo, ImportacionImposible) {
    // The import path is a directory: no file, and the lock is not left.
    raiz.crea_dir(Raiz::mail_in());
    talmir::MAILIN m;
    EXPECT_FALSE(talmir::abre_mailin(&m));
    EXPECT_FALSE(bloqueado());
    EXPECT_FALSE(talmir::cierra_mailin(&m));
}

TEST_F(Correo, SinDatosDeFbbNoHayFichero) {
    talmir::leido_init = 0;  // the host configuration cannot be read here
    talmir::MAILIN m;
    EXPECT_FALSE(talmir::abre_mailin(&m));
    EXPECT_FALSE(bloqueado());
    EXPECT_FALSE(queda_pendiente());
}

TEST_F(Correo, BloqueoImposibleEscribeSinBloqueo) {
    // The lock cannot be made at all (its directory is missing): the message
    // still reaches the import file, and no lock is removed afterwards.
    pon_rutas(raiz.ruta(Raiz::mail_in()), raiz.ruta("no/such/dir/mail.lck"));
    ASSERT_TRUE(envia("SP A < TALMIR", "s", "b\n"));
    EXPECT_EQ(importado(), mensaje("SP A < TALMIR", "s", "b\n"));
}

TEST_F(Correo, EscrituraFallidaNoDejaMedioMensaje) {
    pon_rutas("/dev/full", raiz.ruta(Raiz::mail_lck()));
    talmir::MAILIN m;
    ASSERT_TRUE(talmir::abre_mailin(&m));
    talmir::escribe_mensaje(&m, "SP A < TALMIR", "s", "b\n");
    EXPECT_FALSE(talmir::cierra_mailin(&m));
    EXPECT_FALSE(bloqueado());
}

TEST_F(Correo, PendienteSeMueve) {
    std::string p = mensaje("SP A < TALMIR", "one", "x\n") + mensaje("SP B < TALMIR", "two", "");
    raiz.escribe(Raiz::trabajo("mail.prt"), p);
    raiz.escribe(Raiz::mail_in(), "already\n");
    talmir::correo_pendiente(r_buf);
    EXPECT_EQ(importado(), "already\n" + p);
    EXPECT_FALSE(bloqueado());
    EXPECT_FALSE(queda_pendiente());
    EXPECT_EQ(r_buf[0], '\0');
}

TEST_F(Correo, PendienteEsperaAlBloqueo) {
    std::string p = mensaje("SP A < TALMIR", "one", "x\n");
    raiz.escribe(Raiz::trabajo("mail.prt"), p);
    raiz.escribe(Raiz::mail_lck(), "");
    talmir::correo_pendiente(r_buf);
    EXPECT_EQ(pendiente(), p);
    EXPECT_FALSE(raiz.existe(Raiz::mail_in()));
    EXPECT_TRUE(bloqueado());
}

TEST_F(Correo, PendienteSinNadaNoToca) {
    talmir::leido_init = 0;
    talmir::correo_pendiente(r_buf);
    EXPECT_FALSE(raiz.existe(Raiz::mail_in()));
    EXPECT_FALSE(bloqueado());
}

TEST_F(Correo, RestoDeUnaVueltaAnteriorVaPrimero) {
    std::string viejo = mensaje("SP OLD < TALMIR", "old", "");
    std::string nuevo = mensaje("SP NEW < TALMIR", "new", "");
    raiz.escribe(Raiz::trabajo("mail.prt.mov"), viejo);
    raiz.escribe(Raiz::trabajo("mail.prt"), nuevo);
    talmir::correo_pendiente(r_buf);
    EXPECT_EQ(importado(), viejo + nuevo);
    EXPECT_FALSE(queda_pendiente());
    EXPECT_FALSE(bloqueado());

    // A leftover alone is moved too.
    raiz.escribe(Raiz::trabajo("mail.prt.mov"), viejo);
    talmir::correo_pendiente(r_buf);
    EXPECT_EQ(importado(), viejo + nuevo + viejo);
    EXPECT_FALSE(queda_pendiente());
}

TEST_F(Correo, CopiaFallidaGuardaElPendiente) {
    std::string p = mensaje("SP A < TALMIR", "one", "x\n");
    raiz.escribe(Raiz::trabajo("mail.prt"), p);
    pon_rutas("/dev/full", raiz.ruta(Raiz::mail_lck()));
    talmir::correo_pendiente(r_buf);
    EXPECT_FALSE(bloqueado());
    EXPECT_EQ(raiz.lee(Raiz::trabajo("mail.prt.mov")) + pendiente(), p);

    // New pending mail meanwhile, then a run that can write: both, in order.
    std::string q = mensaje("SP B < TALMIR", "two", "y\n");
    raiz.escribe(Raiz::mail_lck(), "");
    ASSERT_TRUE(envia("SP B < TALMIR", "two", "y\n"));
    raiz.borra(Raiz::mail_lck());
    pon_rutas(raiz.ruta(Raiz::mail_in()), raiz.ruta(Raiz::mail_lck()));
    talmir::correo_pendiente(r_buf);
    EXPECT_EQ(importado(), p + q);
    EXPECT_FALSE(queda_pendiente());
    EXPECT_FALSE(bloqueado());
}

TEST_F(Correo, ImportacionImposibleGuardaElPendiente) {
    std::string p = mensaje("SP A < TALMIR", "one", "x\n");
    raiz.escribe(Raiz::trabajo("mail.prt"), p);
    raiz.crea_dir(Raiz::mail_in());
    talmir::correo_pendiente(r_buf);
    EXPECT_EQ(pendiente(), p);
    EXPECT_FALSE(bloqueado());
}

// FBB's import named as the pending file itself: the mail stays where it is
// (FBB reads it there) and the move ends at once. It used to copy the file
// onto its own end until the disk was full. The move runs in a child with an
// alarm, so that a relapse fails here instead of hanging the suite.
TEST_F(Correo, ImportacionEsElPendiente) {
    const std::string p = mensaje("SP A < TALMIR", "one", "x\n");
    raiz.escribe(Raiz::trabajo("mail.prt"), p);
    pon_rutas(raiz.ruta(Raiz::trabajo("mail.prt")), raiz.ruta(Raiz::trabajo("mail.lck")));
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        alarm(30);
        talmir::correo_pendiente(r_buf);
        _exit(0);
    }
    int estado = 0;
    ASSERT_EQ(waitpid(pid, &estado, 0), pid);
    ASSERT_TRUE(WIFEXITED(estado) && WEXITSTATUS(estado) == 0);
    EXPECT_EQ(pendiente(), p);
    EXPECT_FALSE(raiz.existe(Raiz::trabajo("mail.prt.mov")));
    EXPECT_FALSE(raiz.existe(Raiz::trabajo("mail.lck")));
}

// FBB's import named as the pending file's aside name: the pending mail is
// kept. It used to be renamed over the import and then deleted as copied.
TEST_F(Correo, ImportacionEsElApartado) {
    const std::string p = mensaje("SP A < TALMIR", "one", "x\n");
    raiz.escribe(Raiz::trabajo("mail.prt"), p);
    pon_rutas(raiz.ruta(Raiz::trabajo("mail.prt.mov")), raiz.ruta(Raiz::trabajo("mail.prt.lck")));
    talmir::correo_pendiente(r_buf);
    EXPECT_EQ(pendiente(), p);
    EXPECT_FALSE(raiz.existe(Raiz::trabajo("mail.prt.lck")));
}
// The pending file named as FBB's import while FBB holds its lock: writing
// the pending file would write the import under FBB's lock. Neither can be
// had, and no file is made.
TEST_F(Correo, PendienteEsLaImportacionBloqueada) {
    pon_rutas(raiz.ruta(Raiz::trabajo("mail.prt")), raiz.ruta(Raiz::trabajo("mail.lck")));
    raiz.escribe(Raiz::trabajo("mail.lck"), "");
    EXPECT_FALSE(envia("SP A < TALMIR", "one", "x\n"));
    EXPECT_FALSE(raiz.existe(Raiz::trabajo("mail.prt")));
    EXPECT_TRUE(raiz.existe(Raiz::trabajo("mail.lck")));
    // With mail already pending there, it is left as it was.
    const std::string p = mensaje("SP B < TALMIR", "two", "y\n");
    raiz.escribe(Raiz::trabajo("mail.prt"), p);
    EXPECT_FALSE(envia("SP A < TALMIR", "one", "x\n"));
    EXPECT_EQ(pendiente(), p);
}

// Many runs at once, FBB taking its lock now and then: every message reaches
// the import file exactly once and whole.
TEST_F(Correo, Concurrencia) {
    constexpr int kEscritores = 20;
    constexpr int kMensajes = 5;
    auto texto_de = [](int i, int j) {
        std::string cuerpo;
        for (int k = 0; k < 6; ++k) {
            cuerpo += "writer " + std::to_string(i) + " message " + std::to_string(j) + " line " +
                      std::to_string(k) + std::string(40, 'a' + (i % 26)) + "\n";
        }
        return mensaje("SP W" + std::to_string(i) + " < TALMIR",
                       "M" + std::to_string(i) + "-" + std::to_string(j), cuerpo);
    };
    const std::string alto = Raiz::trabajo("stop-fbb");

    pid_t fbb = fork();
    ASSERT_GE(fbb, 0);
    if (fbb == 0) {
        // FBB: takes its lock exclusively, holds it a moment, removes it.
        while (access(alto.c_str(), F_OK) != 0) {
            if (talmir::crea_exclusivo(talmir::infbbs.fch_bloq_correo) == 1) {
                usleep(300);
                unlink(talmir::infbbs.fch_bloq_correo);
            }
            usleep(100);
        }
        _exit(0);
    }
    std::vector<pid_t> hijos;
    for (int i = 0; i < kEscritores; ++i) {
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            char rb[talmir::RBUF_SIZE] = {};
            int fallos = 0;
            for (int j = 0; j < kMensajes; ++j) {
                if (i % 3 == 0) talmir::correo_pendiente(rb);
                std::string m = texto_de(i, j);
                // Each message goes whole, like the writers of the program do;
                // "#" line, send line, subject, body, "/EX".
                std::size_t a = m.find('\n', 2);
                std::size_t b = m.find('\n', a + 1);
                std::string sp = m.substr(2, a - 2);
                std::string asunto = m.substr(a + 1, b - a - 1);
                std::string cuerpo = m.substr(b + 1, m.size() - (b + 1) - 4);
                talmir::MAILIN mail;
                if (!talmir::abre_mailin(&mail)) {
                    ++fallos;
                    continue;
                }
                talmir::escribe_mensaje(&mail, sp.c_str(), asunto.c_str(), cuerpo);
                if (!talmir::cierra_mailin(&mail)) ++fallos;
            }
            if (i % 3 == 0) talmir::correo_pendiente(rb);
            _exit(fallos == 0 ? 0 : 1);
        }
        hijos.push_back(pid);
    }
    for (pid_t pid : hijos) {
        int estado = 0;
        ASSERT_EQ(waitpid(pid, &estado, 0), pid);
        EXPECT_TRUE(WIFEXITED(estado) && WEXITSTATUS(estado) == 0);
    }
    raiz.escribe(alto, "");
    int estado = 0;
    ASSERT_EQ(waitpid(fbb, &estado, 0), fbb);

    ASSERT_FALSE(bloqueado());
    talmir::correo_pendiente(r_buf);
    EXPECT_FALSE(bloqueado());
    EXPECT_FALSE(queda_pendiente());

    std::string todo = importado();
    std::size_t total = 0;
    for (int i = 0; i < kEscritores; ++i) {
        for (int j = 0; j < kMensajes; ++j) {
            std::string m = texto_de(i, j);
            total += m.size();
            std::size_t pos = todo.find(m);
            ASSERT_NE(pos, std::string::npos) << "writer " << i << " message " << j;
            EXPECT_EQ(todo.find(m, pos + 1), std::string::npos) << i << " " << j;
        }
    }
    EXPECT_EQ(todo.size(), total);
}

}  // namespace
