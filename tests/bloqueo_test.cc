// SPDX-License-Identifier: GPL-2.0-or-later
// The lockout across connections, through the program as FBB runs it: the
// failures of a callsign on a guarded port are counted over connections,
// the limit locks it out, a locked station is told nothing, the sysops hear
// of each lock once, and "-unlock" and "-locks" serve the sysop.
#include <sys/stat.h>

#include <atomic>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

#include "entorno.h"

namespace prueba {
namespace {

const std::string kDenegado = "\n*** MISTAKEN IDENTITY - DENIED ACCESS!\n\n";
const std::string kEstado = Raiz::trabajo("bloqueos/N0CALL");

// The five characters a NORMAL challenge asks for.
std::string cinco(const std::string& salida, const std::string& pw) {
    std::size_t p = salida.rfind("PASSWORD>");
    std::string r;
    if (p == std::string::npos) return r;
    const char* s = salida.c_str() + p + 9;
    for (int i = 0; i < 5; ++i) {
        char* fin = nullptr;
        long n = std::strtol(s, &fin, 10);
        if (fin == s || n < 1 || static_cast<std::size_t>(n) > pw.size()) return "";
        r += pw[static_cast<std::size_t>(n - 1)];
        s = fin;
    }
    return r;
}

class Bloqueos : public ::testing::Test {
   protected:
    void SetUp() override {
        raiz.fbb_basico();
        // The log of failed passwords on.
        raiz.config(config_basica("0 OPEN\n1 OPEN\n2 OPEN\n", "3",
                                  {"NO", "NO", "NO", "NO", "NO", "NO", "NO", "NO", "NO", "OK"}));
        raiz.usuarios("N0CALL\nALL NORMAL Secreto9\n-\nN1CALL\nALL NORMAL Otra12345\n-\n");
        reglas("1 3 15 60\n");
    }
    void reglas(const std::string& texto) const {
        raiz.escribe(Raiz::trabajo("bloqueo.prt"), texto);
    }
    Resultado llama(const std::string& ind, int puerto) const {
        return estacion(raiz, ind, 0, 0, 0, puerto);
    }
    Resultado responde(const std::string& ind, int n, const std::string& linea, int puerto) const {
        return estacion(raiz, ind, n, 0, 0, puerto, linea);
    }
    // A connection that fails once: a challenge and one wrong answer.
    Resultado falla_una_vez(const std::string& ind, int puerto = 1) const {
        EXPECT_EQ(llama(ind, puerto).codigo, 1);
        return responde(ind, 1, "nada", puerto);
    }
    std::string correo() const { return raiz.lee(Raiz::mail_in()); }
    std::size_t avisos() const { return cuenta(correo(), "\nLockout: N0CALL on port 1\n"); }
    Raiz raiz;
};

TEST_F(Bloqueos, TresFallosDeUnaConexionBloqueanElIndicativoEnSuPuerto) {
    ASSERT_EQ(llama("N0CALL-1", 1).codigo, 1);
    EXPECT_EQ(responde("N0CALL-1", 1, "nada", 1).codigo, 1);
    EXPECT_EQ(responde("N0CALL-1", 2, "nada", 1).codigo, 1);
    Resultado r = responde("N0CALL-1", 3, "nada", 1);
    EXPECT_EQ(r.codigo, 2);
    EXPECT_EQ(r.salida, kDenegado);
    EXPECT_FALSE(raiz.existe(Raiz::trabajo("N0CALL1.tmp")));

    // Every SSID of the callsign on that port: the identification line
    // only, no challenge, nothing looked up.
    for (const char* ind : {"N0CALL-1", "N0CALL-7"}) {
        r = llama(ind, 1);
        EXPECT_EQ(r.codigo, 2) << ind;
        EXPECT_EQ(r.salida, id_linea()) << ind;
    }
    EXPECT_FALSE(raiz.existe(Raiz::trabajo("N0CALL7.tmp")));
    // Other ports, other callsigns: challenged as before.
    EXPECT_EQ(llama("N0CALL-1", 2).codigo, 1);
    EXPECT_EQ(llama("N1CALL-1", 1).codigo, 1);

    // One mail per lock, to each sysop, saying who, where and until when.
    EXPECT_EQ(avisos(), 2u) << correo();
    EXPECT_EQ(cuenta(correo(), "SP N0SYS < TALMIR\nLockout: N0CALL on port 1\n"), 1u);
    EXPECT_NE(correo().find("N0CALL is locked out of port 1 until "), std::string::npos);
    EXPECT_NE(correo().find("3 failed answers within 15 minutes"), std::string::npos);
    EXPECT_NE(correo().find("talmir -unlock N0CALL"), std::string::npos);
    // The last wrong answer and each refusal of the lock are logged.
    EXPECT_EQ(cuenta(raiz.lee(Raiz::trabajo("lognopas.prt")), "N0CALL-1 "), 2u);
    EXPECT_EQ(cuenta(raiz.lee(Raiz::trabajo("lognopas.prt")), "N0CALL-7 "), 1u);

    // The sysop lifts it.
    r = ejecuta(raiz, {"-unlock", "n0call"});
    EXPECT_EQ(r.codigo, 0);
    EXPECT_EQ(r.salida,
              std::string(kBanner) + "N0CALL: unlocked on every port, its failures forgotten\n");
    EXPECT_FALSE(raiz.existe(kEstado));
    EXPECT_EQ(llama("N0CALL-7", 1).codigo, 1);
    EXPECT_EQ(avisos(), 2u);
}

TEST_F(Bloqueos, LosFallosSeCuentanDeUnaConexionALaSiguiente) {
    EXPECT_EQ(falla_una_vez("N0CALL-1").codigo, 1);
    EXPECT_EQ(falla_una_vez("N0CALL-2").codigo, 1);
    EXPECT_EQ(avisos(), 0u);
    Resultado r = falla_una_vez("N0CALL-3");
    EXPECT_EQ(r.codigo, 2);
    EXPECT_EQ(r.salida, kDenegado);
    EXPECT_EQ(avisos(), 2u);
    // The state: mode 0600, in a directory of the program's own.
    struct stat st;
    ASSERT_EQ(stat(raiz.ruta(kEstado).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ASSERT_EQ(stat(raiz.ruta(Raiz::trabajo("bloqueos")).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST_F(Bloqueos, UnAciertoOlvidaLosFallos) {
    EXPECT_EQ(falla_una_vez("N0CALL-1").codigo, 1);
    Resultado r = responde("N0CALL-1", 2, "nada", 1);
    ASSERT_EQ(r.codigo, 1);
    r = responde("N0CALL-1", 3, cinco(r.salida, "Secreto9"), 1);
    EXPECT_EQ(r.codigo, 0);
    EXPECT_FALSE(raiz.existe(kEstado));
    EXPECT_EQ(falla_una_vez("N0CALL-1").codigo, 1);
    EXPECT_EQ(falla_una_vez("N0CALL-1").codigo, 1);
    EXPECT_EQ(avisos(), 0u);
}

TEST_F(Bloqueos, UnaRespuestaTrasElBloqueoDeOtraConexionSeRechaza) {
    // Connection A is challenged; meanwhile B, of the same callsign, is
    // locked out. A's right answer is refused, and its challenge removed.
    Resultado a = llama("N0CALL-1", 1);
    ASSERT_EQ(a.codigo, 1);
    ASSERT_EQ(llama("N0CALL-2", 1).codigo, 1);
    for (int n = 1; n <= 3; ++n) responde("N0CALL-2", n, "nada", 1);
    raiz.escribe(Raiz::trabajo("bloqueado1.prt"), "Locked out.\n");
    Resultado r = responde("N0CALL-1", 1, cinco(a.salida, "Secreto9"), 1);
    EXPECT_EQ(r.codigo, 2);
    EXPECT_EQ(r.salida, "\nLocked out.\n");
    EXPECT_FALSE(raiz.existe(Raiz::trabajo("N0CALL1.tmp")));
    // Nothing more is counted, nor mailed again.
    EXPECT_EQ(avisos(), 2u);
}

TEST_F(Bloqueos, ElTextoDelBloqueoDelPuertoOElGeneral) {
    for (int n = 1; n <= 3; ++n) falla_una_vez("N0CALL-1");
    raiz.escribe(Raiz::trabajo("bloqueado.prt"), "General.\n");
    EXPECT_EQ(llama("N0CALL-1", 1).salida, id_linea() + "\nGeneral.\n");
    raiz.escribe(Raiz::trabajo("bloqueado1.prt"), "Port one.\n");
    EXPECT_EQ(llama("N0CALL-1", 1).salida, id_linea() + "\nPort one.\n");
}

// Moves every time of the state back by the seconds: the clock as it will
// read that much later.
void atrasa(const Raiz& raiz, long segundos) {
    std::string s = raiz.lee(kEstado);
    std::string t;
    std::size_t i = 0;
    while (i < s.size()) {
        std::size_t fin = s.find('\n', i);
        std::string linea = s.substr(i, fin - i);
        std::size_t a = linea.find(' ');
        t += linea.substr(0, a);
        std::size_t j = a;
        while (j != std::string::npos && j < linea.size()) {
            std::size_t k = linea.find(' ', j + 1);
            long long v = std::stoll(linea.substr(j + 1, k - j - 1));
            t += " " + std::to_string(v == 0 ? 0 : v - segundos);
            j = k;
        }
        t += "\n";
        i = fin + 1;
    }
    raiz.escribe(kEstado, t);
}

TEST_F(Bloqueos, ElBloqueoAcabaYLosFallosViejosNoCuentan) {
    reglas("1 3 15 1\n");
    for (int n = 1; n <= 3; ++n) falla_una_vez("N0CALL-1");
    EXPECT_EQ(llama("N0CALL-1", 1).codigo, 2);
    // Two seconds short of its end it holds (times are whole seconds: a
    // slow machine, an emulated one, may pass into the next between runs),
    // one second past it it has gone.
    atrasa(raiz, 58);
    EXPECT_EQ(llama("N0CALL-1", 1).codigo, 2);
    atrasa(raiz, 3);
    EXPECT_EQ(llama("N0CALL-1", 1).codigo, 1);

    // Two failures of 15 minutes ago are out of the window: two more do not
    // lock, a third one within it does.
    raiz.borra(kEstado);
    falla_una_vez("N0CALL-1");
    falla_una_vez("N0CALL-1");
    atrasa(raiz, 15 * 60);
    EXPECT_EQ(falla_una_vez("N0CALL-1").codigo, 1);
    EXPECT_EQ(falla_una_vez("N0CALL-1").codigo, 1);
    EXPECT_EQ(falla_una_vez("N0CALL-1").codigo, 2);
}

TEST_F(Bloqueos, LaConsolaSoloConSuPropiaLinea) {
    reglas("* 1 15 60\n");
    EXPECT_EQ(falla_una_vez("N0CALL-1", 0).codigo, 1);
    EXPECT_FALSE(raiz.existe(kEstado));
    EXPECT_EQ(falla_una_vez("N0CALL-1", 2).codigo, 2);
    EXPECT_EQ(llama("N0CALL-1", 2).codigo, 2);
    EXPECT_EQ(llama("N0CALL-1", 0).codigo, 1);

    reglas("* 1 15 60\n0 1 15 60\n");
    EXPECT_EQ(falla_una_vez("N0CALL-1", 0).codigo, 2);
    EXPECT_EQ(llama("N0CALL-1", 0).codigo, 2);
}

TEST_F(Bloqueos, SinFicheroNadaCambia) {
    raiz.borra(Raiz::trabajo("bloqueo.prt"));
    for (int i = 0; i < 4; ++i) EXPECT_EQ(falla_una_vez("N0CALL-1").codigo, 1);
    EXPECT_FALSE(raiz.existe(Raiz::trabajo("bloqueos")));
}

TEST_F(Bloqueos, UnaLineaErroneaSeInformaYLasDemasValen) {
    reglas("# comment\n\n1 3 15\n1 3 15 60\n2 100 15 60\n");
    Resultado r = llama("N0CALL-1", 1);
    EXPECT_EQ(r.codigo, 1);
    const std::string informe = raiz.lee(Raiz::trabajo("error.prt"));
    // The last faulty line is the report; its marker mails once.
    EXPECT_NE(informe.find("*** ERROR 00115: bloqueo.prt:5: FAILURES 100: a number from 1 to 99\n"),
              std::string::npos)
        << informe;
    EXPECT_TRUE(raiz.existe(Raiz::trabajo("error15.tmp")));
    EXPECT_EQ(cuenta(correo(), "bloqueo.prt:3: four words are needed"), 2u) << correo();
    responde("N0CALL-1", 1, "nada", 1);
    responde("N0CALL-1", 2, "nada", 1);
    EXPECT_EQ(responde("N0CALL-1", 3, "nada", 1).codigo, 2);
    EXPECT_EQ(cuenta(correo(), "bloqueo.prt:3: four words are needed"), 2u);
    EXPECT_EQ(llama("N0CALL-1", 1).codigo, 2);
    // Mended: the marker goes.
    reglas("1 3 15 60\n");
    llama("N1CALL-1", 1);
    EXPECT_FALSE(raiz.existe(Raiz::trabajo("error15.tmp")));
}

TEST_F(Bloqueos, LaListaDeBloqueos) {
    Resultado r = ejecuta(raiz, {"-locks"});
    EXPECT_EQ(r.codigo, 0);
    EXPECT_EQ(r.salida, std::string(kBanner) + "no locks in force\n");
    for (int n = 1; n <= 3; ++n) falla_una_vez("N0CALL-1");
    falla_una_vez("N1CALL-1");
    r = ejecuta(raiz, {"-locks"});
    EXPECT_EQ(r.codigo, 0);
    ASSERT_EQ(r.salida.rfind(kBanner, 0), 0u);
    const std::string lista = r.salida.substr(std::string(kBanner).size());
    EXPECT_EQ(lista.rfind("N0CALL  port 1   until ", 0), 0u) << lista;
    EXPECT_EQ(cuenta(lista, "\n"), 1u) << lista;
    r = ejecuta(raiz, {"-unlock", "N1CALL-3"});
    EXPECT_EQ(r.salida,
              std::string(kBanner) + "N1CALL: unlocked on every port, its failures forgotten\n");
    r = ejecuta(raiz, {"-unlock", "N1CALL"});
    EXPECT_EQ(r.salida, std::string(kBanner) + "N1CALL: no failures and no locks\n");
    r = ejecuta(raiz, {"-unlock", "../config.prt"});
    EXPECT_EQ(r.salida, std::string(kBanner) + "talmir: not a callsign: ../config.prt\n");
    EXPECT_TRUE(raiz.existe(Raiz::trabajo("config.prt")));
}

// Overlapping connections of one callsign, each answering wrong once: every
// failure counts, none twice.
void solapadas(Bloqueos* t, const Raiz& raiz, int limite, int esperado) {
    raiz.escribe(Raiz::trabajo("bloqueo.prt"), "1 " + std::to_string(limite) + " 15 60\n");
    const int kConexiones = 30;
    for (int i = 0; i < kConexiones; ++i) {
        ASSERT_EQ(estacion(raiz, "N0CALL-" + std::to_string(i), 0, 0, 0, 1).codigo, 1);
    }
    std::atomic<int> listos{0};
    std::vector<int> codigos(kConexiones, -1);
    std::vector<std::thread> hilos;
    for (int i = 0; i < kConexiones; ++i) {
        hilos.emplace_back([&, i] {
            listos.fetch_add(1);
            while (listos.load() < kConexiones) std::this_thread::yield();
            codigos[static_cast<std::size_t>(i)] =
                estacion(raiz, "N0CALL-" + std::to_string(i), 1, 0, 0, 1, "nada").codigo;
        });
    }
    for (auto& h : hilos) h.join();
    int refusals = 0;
    for (int c : codigos) refusals += c == 2 ? 1 : 0;
    EXPECT_EQ(refusals, esperado);
    (void)t;
}

TEST_F(Bloqueos, TreintaConexionesSolapadasContraUnLimiteDeTreinta) {
    solapadas(this, raiz, 30, 1);
    EXPECT_EQ(llama("N0CALL-40", 1).codigo, 2);
    EXPECT_EQ(avisos(), 2u);
}

TEST_F(Bloqueos, TreintaConexionesSolapadasContraUnLimiteDeTreintaYUno) {
    solapadas(this, raiz, 31, 0);
    EXPECT_EQ(llama("N0CALL-40", 1).codigo, 1);
    // All thirty failures are kept, on one line.
    const std::string s = raiz.lee(kEstado);
    EXPECT_EQ(cuenta(s, " "), 31u) << s;
    EXPECT_EQ(cuenta(s, "\n"), 1u) << s;
    EXPECT_EQ(falla_una_vez("N0CALL-1").codigo, 2);
}

}  // namespace
}  // namespace prueba
