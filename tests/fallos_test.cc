// SPDX-License-Identifier: GPL-2.0-or-later
// Faults of the file system met by the program run as FBB runs it: a working
// directory that is missing, read-only or a symbolic link loop, FBB's mail
// directory missing, an import file that cannot be written, a full disk
// (RLIMIT_FSIZE with SIGXFSZ ignored), files that are directories, unreadable
// files and link loops. Each gives its error number and exit code, or drops a
// log entry silently; nothing half written stays where a later run or FBB
// would read it, and pending mail is never lost.
//
// File permissions do not stop root: as root, the runs that need them become
// "nobody" (the scratch root is handed to that user first, and the program is
// copied into it, so that nothing outside the root needs to be reachable).
#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "entorno.h"

namespace prueba {
namespace {

const std::string kDenegado = "\n*** MISTAKEN IDENTITY - DENIED ACCESS!\n\n";
const std::string kExclusion = "Go away.\n";
const std::string kFrase(200, 'f');

// Ports 1 and 4 open, 2 excluded (with its text), 3 closed (without an
// information text: error 9). N0CALL answers a NORMAL challenge on port 1,
// N0FIX a FIXED one with a long pass phrase. One answer each. The exclusion
// text, the new-user notice and the three logs are on.
const std::vector<std::string> kInterruptores = {"NO", "NO", "OK", "NO", "NO",
                                                 "NO", "OK", "OK", "OK", "OK"};
const std::string kPuertos = "1 OPEN\n2 EXCLUDED\n3 CLOSED\n4 OPEN\n";

std::string usuarios() {
    return "N0CALL\n1 NORMAL Secreto9\n-\nN0FIX\n1 FIXED " + kFrase + "\n-\n";
}

std::string lee_fichero(const std::string& ruta) {
    std::string s;
    if (FILE* f = std::fopen(ruta.c_str(), "rb")) {
        char buf[65536];
        std::size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
        std::fclose(f);
    }
    return s;
}

std::set<std::string> lista_dir(const std::string& dir) {
    std::set<std::string> nombres;
    if (DIR* d = opendir(dir.c_str())) {
        while (const dirent* e = readdir(d)) {
            std::string n = e->d_name;
            if (n != "." && n != "..") nombres.insert(n);
        }
        closedir(d);
    }
    return nombres;
}

// The messages of a mail text, each from "#" to "/EX"; a text that does not
// split into whole messages gives a message "INCOMPLETE" at its end.
std::vector<std::string> mensajes(const std::string& correo) {
    std::vector<std::string> m;
    std::size_t p = 0;
    while (p < correo.size()) {
        std::size_t fin = correo.find("\n/EX\n", p);
        if (correo.compare(p, 2, "#\n") != 0 || fin == std::string::npos) {
            m.push_back("INCOMPLETE");
            break;
        }
        m.push_back(correo.substr(p, fin + 5 - p));
        p = fin + 5;
    }
    return m;
}

// Names left in a directory by a write that did not end: temporary files of
// the challenge file ("N0CALL0.tmp.XXXXXX") and of new logs ("x.prt.N.N.tmp").
std::vector<std::string> temporales(const std::string& dir) {
    std::vector<std::string> t;
    for (const auto& n : lista_dir(dir)) {
        if (n.find(".tmp.") != std::string::npos ||
            (n.size() > 4 && n.compare(n.size() - 4, 4, ".tmp") == 0 &&
             n.find(".prt.") != std::string::npos)) {
            t.push_back(n);
        }
    }
    return t;
}

int da_permisos(const char* ruta, const struct stat* st, int tipo, struct FTW*) {
    if (tipo == FTW_D || tipo == FTW_DNR) chmod(ruta, 0755);
    (void)st;
    return 0;
}

uid_t g_uid_nadie = 65534;
gid_t g_gid_nadie = 65534;

int entrega(const char* ruta, const struct stat*, int, struct FTW*) {
    return lchown(ruta, g_uid_nadie, g_gid_nadie) == 0 ? 0 : 1;
}

void hazte_nadie() {
    if (setgroups(0, nullptr) != 0 || setgid(g_gid_nadie) != 0 || setuid(g_uid_nadie) != 0)
        _exit(126);
}

// A full disk: no file of the run grows past the given size, and the write
// that would pass it fails (EFBIG) instead of killing the run.
std::function<void()> limite(rlim_t bytes) {
    return [bytes] {
        signal(SIGXFSZ, SIG_IGN);
        struct rlimit l = {bytes, bytes};
        if (setrlimit(RLIMIT_FSIZE, &l) != 0) _exit(125);
    };
}

class Fallos : public ::testing::Test {
   protected:
    void SetUp() override {
        raiz.fbb_basico();
        raiz.config(config_basica(kPuertos, "1", kInterruptores));
        raiz.usuarios(usuarios());
        raiz.escribe(Raiz::trabajo("exclud2.prt"), kExclusion);
    }
    void TearDown() override {
        // Whatever a test took away, the root can be removed again.
        nftw(raiz.dir().c_str(), da_permisos, 16, FTW_PHYS);
    }

    // Runs as a user that file permissions stop; call it once the files are
    // laid out and before their permissions are taken away. Skips the test
    // when root cannot become such a user.
    bool nadie(Arranque* a) {
        if (geteuid() != 0) return true;
        if (const passwd* p = getpwnam("nobody")) {
            g_uid_nadie = p->pw_uid;
            g_gid_nadie = p->pw_gid;
        }
        const std::string copia = raiz.ruta("talmir");
        raiz.escribe("talmir", lee_fichero(TALMIR_BIN));
        chmod(copia.c_str(), 0755);
        chmod(raiz.dir().c_str(), 0755);
        nftw(raiz.dir().c_str(), entrega, 16, FTW_PHYS);
        // Can it be done here (a container may not map the user)?
        pid_t pid = fork();
        if (pid == 0) {
            hazte_nadie();
            _exit(access(copia.c_str(), X_OK) == 0 && chdir(raiz.dir().c_str()) == 0 ? 0 : 1);
        }
        int estado = 0;
        waitpid(pid, &estado, 0);
        if (!WIFEXITED(estado) || WEXITSTATUS(estado) != 0) return false;
        a->programa = copia;
        a->antes = hazte_nadie;
        return true;
    }

    Resultado corre(const std::vector<std::string>& args, const Arranque& a = {}) {
        Resultado r = ejecuta(raiz, args, a);
        EXPECT_EQ(r.errores, "") << args[0];
        return r;
    }
    std::string informe() const { return raiz.lee(Raiz::trabajo("error.prt")); }
    std::string importado() const { return raiz.lee(Raiz::mail_in()); }
    std::string dir_trabajo() const { return raiz.ruta("var/ax25/fbb/talmir"); }

    Raiz raiz;
};

const char kSinNadie[] = "root cannot become \"nobody\" here: permissions cannot be tested";

// Runs of every kind, as FBB starts them.
std::vector<std::string> reto() {
    return args_estacion("N0CALL-0", 0, 0, 0, 1);
}
std::vector<std::string> respuesta(const std::string& texto) {
    return args_estacion("N0CALL-0", 1, 0, 0, 1, texto);
}
std::vector<std::string> reto_frase() {
    return args_estacion("N0FIX-0", 0, 0, 0, 1);
}
std::vector<std::string> admitido() {
    return args_estacion("N0OPEN-0", 0, 0, 0, 4);
}
std::vector<std::string> excluido() {
    return args_estacion("N0EXC-0", 0, 0, 0, 2);
}
std::vector<std::string> cerrado() {
    return args_estacion("N0CLS-0", 0, 0, 0, 3);
}
std::vector<std::string> nuevo() {
    return args_estacion("N0NEW-0", 0, 0, 1, 4);
}

std::string linea_error(int num) {
    return "*** ERROR 001" + std::to_string(num) + ": ";
}

// --- The working directory ---------------------------------------------

TEST_F(Fallos, DirectorioDeTrabajoAusente) {
    // The configuration lies elsewhere (TALMIR), so the station gets as far
    // as its challenge, which cannot be written: error 10 with no error file
    // to take its report, exit code 2, and nothing is created.
    raiz.escribe("CFG/config.prt", config_basica(kPuertos, "1", kInterruptores));
    raiz.escribe("CFG/users.prt", usuarios());
    raiz.borra(Raiz::trabajo("exclud2.prt"));
    for (const auto* n : {"config.prt", "users.prt"}) raiz.borra(Raiz::trabajo(n));
    ASSERT_EQ(rmdir(dir_trabajo().c_str()), 0);
    Arranque a;
    a.entorno = {"TALMIR=cfg"};

    Resultado r = corre(reto(), a);
    EXPECT_EQ(r.codigo, 2);
    EXPECT_EQ(r.salida, id_linea());
    r = corre(respuesta("Secreto9"), a);
    EXPECT_EQ(r.codigo, 2);
    EXPECT_EQ(r.salida, "");
    // Let in, its connection log dropped; the exclusion text missing (error
    // 11, exit 2); the new user's notice still reaches FBB.
    r = corre(admitido(), a);
    EXPECT_EQ(r.codigo, 0);
    EXPECT_EQ(r.salida, id_linea());
    r = corre(excluido(), a);
    EXPECT_EQ(r.codigo, 2);
    EXPECT_EQ(r.salida, id_linea());
    r = corre(nuevo(), a);
    EXPECT_EQ(r.codigo, 0);
    EXPECT_EQ(mensajes(importado()).size(), 2u);
    EXPECT_EQ(cuenta(importado(), "Callsign N0NEW connected"), 2u);
    EXPECT_FALSE(raiz.existe("var/ax25/fbb/talmir"));
    EXPECT_FALSE(raiz.existe(Raiz::mail_lck()));

    // Without the variable "config.prt" cannot be read: error 3, exit 0.
    r = corre(reto());
    EXPECT_EQ(r.codigo, 0);
    EXPECT_EQ(r.salida, id_linea());
    // The sysop's commands: the banner, exit 0, and the one line on standard
    // error of a marker that cannot be made.
    r = ejecuta(raiz, {"-off"});
    EXPECT_EQ(r.codigo, 0);
    EXPECT_EQ(r.salida, kBanner);
    EXPECT_EQ(cuenta(r.errores, "talmir: cannot create"), 1u);
    r = corre({"-log"});
    EXPECT_EQ(r.codigo, 0);
    EXPECT_EQ(r.salida, kBanner);
    EXPECT_FALSE(raiz.existe("var/ax25/fbb/talmir"));
}

TEST_F(Fallos, DirectorioDeTrabajoDeSoloLectura) {
    const std::string pendiente = "#\nSP N0SYS < TALMIR\nold\nbody\n/EX\n";
    raiz.escribe(Raiz::trabajo("mail.prt"), pendiente);
    Arranque a;
    if (!nadie(&a)) {
        GTEST_SKIP() << kSinNadie;
    }
    ASSERT_EQ(chmod(dir_trabajo().c_str(), 0555), 0);

    // No challenge file, no error file: error 10 unreported, exit 2, and no
    // temporary file. The pending mail cannot be moved aside: it waits.
    Resultado r = corre(reto(), a);
    EXPECT_EQ(r.codigo, 2);
    EXPECT_EQ(r.salida, id_linea());
    EXPECT_EQ(raiz.lee(Raiz::trabajo("mail.prt")), pendiente);
    EXPECT_EQ(importado(), "");
    EXPECT_FALSE(raiz.existe(Raiz::mail_lck()));
    // Logs are dropped silently.
    r = corre(excluido(), a);
    EXPECT_EQ(r.codigo, 2);
    EXPECT_EQ(r.salida, id_linea() + "\n" + kExclusion);
    r = corre(admitido(), a);
    EXPECT_EQ(r.codigo, 0);
    EXPECT_EQ(r.salida, id_linea());
    EXPECT_EQ(temporales(dir_trabajo()), std::vector<std::string>{});
    EXPECT_FALSE(raiz.existe(Raiz::trabajo("logexcld.prt")));
    EXPECT_FALSE(raiz.existe(Raiz::trabajo("logcnx")));
    EXPECT_FALSE(raiz.existe(Raiz::trabajo("error.prt")));

    // An error file that can be written takes the report; the marker cannot
    // be made, and the mail goes all the same.
    ASSERT_EQ(chmod(dir_trabajo().c_str(), 0755), 0);
    raiz.escribe(Raiz::trabajo("error.prt"), "");
    if (geteuid() == 0) {
        ASSERT_EQ(chown(raiz.ruta(Raiz::trabajo("error.prt")).c_str(), g_uid_nadie, g_gid_nadie),
                  0);
    }
    ASSERT_EQ(chmod(dir_trabajo().c_str(), 0555), 0);
    r = corre(reto(), a);
    EXPECT_EQ(r.codigo, 2);
    EXPECT_EQ(cuenta(informe(), linea_error(10)), 1u) << informe();
    EXPECT_FALSE(raiz.existe(Raiz::trabajo("error10.tmp")));
    std::vector<std::string> m = mensajes(importado());
    ASSERT_EQ(m.size(), 2u) << importado();
    EXPECT_EQ(cuenta(m[0], linea_error(10)), 1u);
    EXPECT_EQ(raiz.lee(Raiz::trabajo("mail.prt")), pendiente);

    // Writable again: the next run moves the pending mail, whole and once.
    ASSERT_EQ(chmod(dir_trabajo().c_str(), 0755), 0);
    r = corre(admitido(), a);
    EXPECT_EQ(r.codigo, 0);
    EXPECT_EQ(cuenta(importado(), pendiente), 1u);
    EXPECT_FALSE(raiz.existe(Raiz::trabajo("mail.prt")));
    EXPECT_FALSE(raiz.existe(Raiz::trabajo("mail.prt.mov")));
}

TEST_F(Fallos, FicheroDeRetoQueNoSePuedeEscribir) {
    // The challenge file's name is taken by a directory: error 10, reported
    // and mailed once, exit 2, no challenge text and no temporary file.
    raiz.crea_dir(Raiz::trabajo("N0CALL0.tmp"));
    Resultado r = corre(reto());
    EXPECT_EQ(r.codigo, 2);
    EXPECT_EQ(r.salida, id_linea());
    EXPECT_EQ(cuenta(informe(), linea_error(10)), 1u);
    EXPECT_TRUE(raiz.existe(Raiz::trabajo("error10.tmp")));
    EXPECT_EQ(mensajes(importado()).size(), 2u);
    EXPECT_EQ(temporales(dir_trabajo()), std::vector<std::string>{});
    // The answer cannot be read from it either.
    r = corre(respuesta("Secreto9"));
    EXPECT_EQ(r.codigo, 2);
    EXPECT_EQ(r.salida, "");
    EXPECT_EQ(mensajes(importado()).size(), 2u);
}

// --- FBB's mail --------------------------------------------------------

TEST_F(Fallos, BuzonDeFbbAusente) {
    const std::string pendiente = "#\nSP N0SYS < TALMIR\nold\nbody\n/EX\n";
    raiz.escribe(Raiz::trabajo("mail.prt"), pendiente);
    raiz.escribe(Raiz::trabajo("logexcld.prt"), "excluded log\n");
    ASSERT_EQ(rmdir(raiz.ruta("var/ax25/fbb/mail").c_str()), 0);

    // The new user's notice: error 2, no marker; the station goes on.
    Resultado r = corre(nuevo());
    EXPECT_EQ(r.codigo, 0);
    EXPECT_EQ(cuenta(informe(), linea_error(2)), 1u) << informe();
    EXPECT_FALSE(raiz.existe(Raiz::trabajo("error2.tmp")));
    // An error to mail: reported, marked, not mailed.
    r = corre(cerrado());
    EXPECT_EQ(r.codigo, 2);
    EXPECT_EQ(cuenta(informe(), linea_error(9)), 1u);
    EXPECT_TRUE(raiz.existe(Raiz::trabajo("error9.tmp")));
    // "-log" keeps the logs it cannot mail.
    r = corre({"-log"});
    EXPECT_EQ(r.salida, kBanner);
    EXPECT_EQ(raiz.lee(Raiz::trabajo("logexcld.prt")), "excluded log\n");
    // The pending mail waited all along; with the directory back it goes.
    EXPECT_EQ(raiz.lee(Raiz::trabajo("mail.prt")), pendiente);
    raiz.crea_dir("var/ax25/fbb/mail");
    corre(admitido());
    EXPECT_EQ(importado(), pendiente);
    EXPECT_FALSE(raiz.existe(Raiz::trabajo("mail.prt")));
    EXPECT_FALSE(raiz.existe(Raiz::mail_lck()));
}

// The import file cannot be written: a directory of that name, or a file
// the run may not write.
TEST_F(Fallos, ImportacionNoEscribible) {
    const std::string pendiente = "#\nSP N0SYS < TALMIR\nold\nbody\n/EX\n";
    for (int caso = 0; caso < 2; ++caso) {
        SCOPED_TRACE(caso == 0 ? "directory" : "read-only file");
        Arranque a;
        raiz.borra(Raiz::trabajo("error2.tmp"));
        raiz.borra(Raiz::trabajo("error9.tmp"));
        raiz.escribe(Raiz::trabajo("mail.prt"), pendiente);
        raiz.escribe(Raiz::trabajo("logexcld.prt"), "excluded log\n");
        if (caso == 0) {
            raiz.crea_dir(Raiz::mail_in());
        } else {
            rmdir(raiz.ruta(Raiz::mail_in()).c_str());
            raiz.escribe(Raiz::mail_in(), "earlier\n");
            if (!nadie(&a)) {
                GTEST_SKIP() << kSinNadie;
            }
            ASSERT_EQ(chmod(raiz.ruta(Raiz::mail_in()).c_str(), 0444), 0);
        }
        Resultado r = corre(nuevo(), a);
        EXPECT_EQ(r.codigo, 0);
        EXPECT_EQ(cuenta(informe(), linea_error(2)), 1u) << informe();
        r = corre(cerrado(), a);
        EXPECT_EQ(r.codigo, 2);
        EXPECT_EQ(cuenta(informe(), linea_error(9)), 1u);
        EXPECT_TRUE(raiz.existe(Raiz::trabajo("error9.tmp")));
        r = corre({"-log"}, a);
        EXPECT_EQ(raiz.lee(Raiz::trabajo("logexcld.prt")), "excluded log\n");
        // Nothing moved, nothing lost, no lock left behind.
        EXPECT_EQ(raiz.lee(Raiz::trabajo("mail.prt")) + raiz.lee(Raiz::trabajo("mail.prt.mov")),
                  pendiente);
        EXPECT_FALSE(raiz.existe(Raiz::mail_lck()));
        if (caso == 1) {
            EXPECT_EQ(importado(), "earlier\n");
        }
    }
    // Writable again: the pending mail goes, once.
    ASSERT_EQ(chmod(raiz.ruta(Raiz::mail_in()).c_str(), 0666), 0);
    corre(admitido());
    EXPECT_EQ(importado(), "earlier\n" + pendiente);
    EXPECT_FALSE(raiz.existe(Raiz::trabajo("mail.prt")));
    EXPECT_FALSE(raiz.existe(Raiz::trabajo("mail.prt.mov")));
}

// --- A full disk -------------------------------------------------------

TEST_F(Fallos, DiscoLlenoAlEscribirElReto) {
    // The pass phrase does not fit, the report does, the mail does not: no
    // challenge file, a whole report, no half message.
    Arranque a;
    a.antes = limite(150);
    Resultado r = corre(reto_frase(), a);
    EXPECT_EQ(r.codigo, 2);
    EXPECT_EQ(r.salida, id_linea());
    EXPECT_FALSE(raiz.existe(Raiz::trabajo("N0FIX0.tmp")));
    EXPECT_EQ(temporales(dir_trabajo()), std::vector<std::string>{});
    EXPECT_EQ(cuenta(informe(), linea_error(10)), 1u) << informe();
    EXPECT_EQ(informe().substr(informe().size() - 2), "\n\n");
    EXPECT_EQ(importado(), "");
    EXPECT_FALSE(raiz.existe(Raiz::mail_lck()));

    // A fresh challenge that cannot be written leaves the earlier one whole.
    r = corre(reto());
    ASSERT_EQ(r.codigo, 1);
    const std::string anterior = raiz.lee(Raiz::trabajo("N0CALL0.tmp"));
    a.antes = limite(3);
    r = corre(reto(), a);
    EXPECT_EQ(r.codigo, 2);
    EXPECT_EQ(raiz.lee(Raiz::trabajo("N0CALL0.tmp")), anterior);
    EXPECT_EQ(temporales(dir_trabajo()), std::vector<std::string>{});
}

// The lockout's state: a write that a full disk stops loses that failure,
// never changes a verdict, and leaves neither a torn state nor a temporary
// file.
class FallosDelBloqueo : public Fallos {
   protected:
    void SetUp() override {
        Fallos::SetUp();
        raiz.config(config_basica(kPuertos, "3", kInterruptores));
        raiz.escribe(Raiz::trabajo("bloqueo.prt"), "1 3 15 60\n");
    }
    std::string estado() const { return raiz.lee(Raiz::trabajo("bloqueos/N0CALL")); }
    std::string dir_estado() const { return dir_trabajo() + "/bloqueos"; }
    std::vector<std::string> responde(int n) const {
        return args_estacion("N0CALL-0", n, 0, 0, 1, "nada");
    }
};

TEST_F(FallosDelBloqueo, DiscoLleno) {
    ASSERT_EQ(corre(reto()).codigo, 1);
    ASSERT_EQ(corre(responde(1)).codigo, 1);
    const std::string uno = estado();
    ASSERT_EQ(cuenta(uno, "\n"), 1u);
    // Room for the challenge, not for a state of two failures.
    Arranque a;
    a.antes = limite(20);
    Resultado r = corre(responde(2), a);
    EXPECT_EQ(r.codigo, 1);
    EXPECT_EQ(estado(), uno);
    EXPECT_EQ(temporales(dir_estado()), std::vector<std::string>{});
    EXPECT_EQ(lista_dir(dir_estado()), std::set<std::string>{"N0CALL"});
    // The lost failure is not counted: the last answer is refused as ever,
    // and the next connection is challenged.
    r = corre(responde(3));
    EXPECT_EQ(r.codigo, 2);
    EXPECT_EQ(r.salida, kDenegado);
    EXPECT_EQ(corre(reto()).codigo, 1);
}

TEST_F(FallosDelBloqueo, DirectorioDeSoloLectura) {
    ASSERT_EQ(corre(reto()).codigo, 1);
    ASSERT_EQ(corre(responde(1)).codigo, 1);
    ASSERT_EQ(corre(responde(2)).codigo, 1);
    const std::string dos = estado();
    Arranque a;
    if (!nadie(&a)) {
        GTEST_SKIP() << kSinNadie;
    }
    ASSERT_EQ(chmod(dir_estado().c_str(), 0500), 0);
    // The third failure reaches the limit: refused at once, though the lock
    // cannot be kept (and is not mailed).
    Resultado r = corre(responde(3), a);
    EXPECT_EQ(r.codigo, 2);
    EXPECT_EQ(r.salida, kDenegado);
    EXPECT_EQ(estado(), dos);
    EXPECT_EQ(importado(), "");
    // Another callsign's failure is lost: it is challenged again.
    raiz.usuarios(usuarios() + "N1CALL\n1 NORMAL Otra12345\n-\n");
    ASSERT_EQ(corre(args_estacion("N1CALL-0", 0, 0, 0, 1), a).codigo, 1);
    r = corre(args_estacion("N1CALL-0", 1, 0, 0, 1, "nada"), a);
    EXPECT_EQ(r.codigo, 1);
    EXPECT_EQ(lista_dir(dir_estado()), std::set<std::string>{"N0CALL"});
}

TEST_F(FallosDelBloqueo, EstadoQueNoSeLeeComoSeEscribio) {
    // Each counts as no failures and no lock, and is rewritten whole.
    const std::vector<std::string> corruptos = {
        "garbage",
        "1 9999999999\n1 0\n",         // a port twice
        "1 9999999999",                // cut short
        "1 9999999999 12 x\n",         // not a time
        "200 9999999999\n",            // not a port
        std::string(200 * 1024, '1'),  // far too long
        "1 9999999999" + std::string(100, ' ') + "\n",
    };
    for (const std::string& c : corruptos) {
        raiz.escribe(Raiz::trabajo("bloqueos/N0CALL"), c);
        EXPECT_EQ(corre(reto()).codigo, 1) << c.substr(0, 40);
        EXPECT_EQ(corre(responde(1)).codigo, 1) << c.substr(0, 40);
        const std::string s = estado();
        EXPECT_EQ(s.rfind("1 0 ", 0), 0u) << s;
        EXPECT_EQ(cuenta(s, " "), 2u) << s;
        EXPECT_EQ(cuenta(s, "\n"), 1u) << s;
    }
}

TEST_F(Fallos, DiscoLlenoAlEscribirElInforme) {
    // A report that does not fit whole is no report: no half "error.prt",
    // and the error is neither marked nor mailed, so that the next
    // occurrence is.
    Arranque a;
    a.antes = limite(40);
    Resultado r = corre(cerrado(), a);
    EXPECT_EQ(r.codigo, 2);
    EXPECT_EQ(informe(), "");
    EXPECT_FALSE(raiz.existe(Raiz::trabajo("error9.tmp")));
    EXPECT_EQ(importado(), "");
    r = corre(cerrado());
    EXPECT_EQ(r.codigo, 2);
    EXPECT_EQ(cuenta(informe(), linea_error(9)), 1u);
    EXPECT_EQ(mensajes(importado()).size(), 2u);
}

TEST_F(Fallos, DiscoLlenoAlEscribirElCorreo) {
    const std::string antes = "#\nSP N0SYS < TALMIR\nearlier\n/EX\n";
    raiz.escribe(Raiz::mail_in(), antes);
    const rlim_t tope = antes.size() + 100;
    Arranque a;
    a.antes = limite(tope);

    // To the import file: the two notices do not fit; nothing of them stays.
    Resultado r = corre(nuevo(), a);
    EXPECT_EQ(r.codigo, 0);
    EXPECT_EQ(importado(), antes);
    EXPECT_FALSE(raiz.existe(Raiz::mail_lck()));

    // To the pending file while FBB holds its lock: nothing of them stays.
    const std::string pendiente = "#\nSP N0SYS < TALMIR\nwaiting\n/EX\n";
    raiz.escribe(Raiz::trabajo("mail.prt"), pendiente);
    raiz.escribe(Raiz::mail_lck(), "");
    r = corre(nuevo(), a);
    EXPECT_EQ(r.codigo, 0);
    EXPECT_EQ(raiz.lee(Raiz::trabajo("mail.prt")), pendiente);
    EXPECT_TRUE(raiz.existe(Raiz::mail_lck()));
    raiz.borra(Raiz::mail_lck());

    // Moving pending mail that does not fit: the import file as it was, the
    // pending mail kept whole for a later run.
    std::string grande;
    for (int i = 0; i < 5; ++i)
        grande += "#\nSP N0SYS < TALMIR\nbig " + std::to_string(i) + "\n" + std::string(60, 'x') +
                  "\n/EX\n";
    raiz.escribe(Raiz::trabajo("mail.prt"), pendiente + grande);
    r = corre(admitido(), a);
    EXPECT_EQ(r.codigo, 0);
    EXPECT_EQ(importado(), antes);
    EXPECT_EQ(raiz.lee(Raiz::trabajo("mail.prt.mov")) + raiz.lee(Raiz::trabajo("mail.prt")),
              pendiente + grande);
    EXPECT_FALSE(raiz.existe(Raiz::mail_lck()));
    r = corre(admitido());
    EXPECT_EQ(importado(), antes + pendiente + grande);
    EXPECT_FALSE(raiz.existe(Raiz::trabajo("mail.prt")));
    EXPECT_FALSE(raiz.existe(Raiz::trabajo("mail.prt.mov")));
}

TEST_F(Fallos, DiscoLlenoSinPoderTomarElBloqueo) {
    // FBB's mail directory takes no lock file, the import file can still be
    // written: the notices go without the lock, and on a full disk nothing
    // of them stays.
    const std::string antes = "#\nSP N0SYS < TALMIR\nearlier\n/EX\n";
    raiz.escribe(Raiz::mail_in(), antes);
    Arranque a;
    if (!nadie(&a)) {
        GTEST_SKIP() << kSinNadie;
    }
    ASSERT_EQ(chmod(raiz.ruta("var/ax25/fbb/mail").c_str(), 0555), 0);
    Arranque lleno = a;
    const rlim_t tope = antes.size() + 100;
    const std::function<void()> como = a.antes;
    lleno.antes = [tope, como] {
        limite(tope)();
        if (como) como();
    };
    Resultado r = corre(nuevo(), lleno);
    EXPECT_EQ(r.codigo, 0);
    EXPECT_EQ(importado(), antes);
    r = corre(nuevo(), a);
    EXPECT_EQ(r.codigo, 0);
    std::vector<std::string> m = mensajes(importado());
    ASSERT_EQ(m.size(), 3u) << importado();
    EXPECT_EQ(cuenta(m[2], "Callsign N0NEW connected"), 1u);
    EXPECT_FALSE(raiz.existe(Raiz::mail_lck()));
}

TEST_F(Fallos, DiscoLlenoAlEscribirLosLogs) {
    // A new log whose header does not fit: no log, no temporary file.
    Arranque a;
    a.antes = limite(60);
    corre(reto());
    Resultado r = corre(respuesta("nada"), a);
    EXPECT_EQ(r.codigo, 2);
    EXPECT_EQ(r.salida, kDenegado);
    r = corre(excluido(), a);
    EXPECT_EQ(r.codigo, 2);
    r = corre(admitido(), a);
    EXPECT_EQ(r.codigo, 0);
    EXPECT_FALSE(raiz.existe(Raiz::trabajo("lognopas.prt")));
    EXPECT_FALSE(raiz.existe(Raiz::trabajo("logexcld.prt")));
    EXPECT_FALSE(raiz.existe(Raiz::trabajo("logcnx/logcnx.prt")));
    EXPECT_EQ(temporales(dir_trabajo()), std::vector<std::string>{});
    EXPECT_EQ(temporales(dir_trabajo() + "/logcnx"), std::vector<std::string>{});

    // Existing logs with room for less than an entry: no half entry, and the
    // next entry that fits follows on a line of its own.
    corre(reto());
    corre(respuesta("nada"));
    corre(excluido());
    corre(admitido());
    const char* logs[] = {"lognopas.prt", "logexcld.prt", "logcnx/logcnx.prt"};
    std::string antes[3];
    for (int i = 0; i < 3; ++i) {
        antes[i] = raiz.lee(Raiz::trabajo(logs[i]));
        ASSERT_NE(antes[i], "") << logs[i];
    }
    // Each log gets a limit of its own size and 20 bytes.
    for (int i = 0; i < 3; ++i) {
        a.antes = limite(antes[i].size() + 20);
        if (i == 0) {
            corre(reto());
            corre(respuesta("nada"), a);
        } else {
            corre(i == 1 ? excluido() : admitido(), a);
        }
        EXPECT_EQ(raiz.lee(Raiz::trabajo(logs[i])), antes[i]) << logs[i];
    }
    corre(reto());
    corre(respuesta("nada"));
    corre(excluido());
    corre(admitido());
    for (int i = 0; i < 3; ++i) {
        std::string ahora = raiz.lee(Raiz::trabajo(logs[i]));
        ASSERT_EQ(ahora.compare(0, antes[i].size(), antes[i]), 0) << logs[i];
        std::string resto = ahora.substr(antes[i].size());
        EXPECT_EQ(cuenta(resto, "\n"), 1u) << logs[i] << ": " << resto;
        EXPECT_EQ(resto.rfind("         N0", 0), 0u) << logs[i] << ": " << resto;
    }
}

// --- Files that are directories, unreadable files, link loops ----------

TEST_F(Fallos, FicherosQueSonDirectorios) {
    // "config.prt": it cannot be read, error 3 and exit 0.
    raiz.borra(Raiz::trabajo("config.prt"));
    raiz.crea_dir(Raiz::trabajo("config.prt"));
    Resultado r = corre(reto());
    EXPECT_EQ(r.codigo, 0);
    EXPECT_EQ(r.salida, id_linea());
    EXPECT_EQ(cuenta(informe(), linea_error(3)), 1u) << informe();
    rmdir(raiz.ruta(Raiz::trabajo("config.prt")).c_str());
    raiz.config(config_basica(kPuertos, "1", kInterruptores));

    // "users.prt": no table, the port's mode (open).
    raiz.borra(Raiz::trabajo("users.prt"));
    raiz.crea_dir(Raiz::trabajo("users.prt"));
    r = corre(reto());
    EXPECT_EQ(r.codigo, 0);
    EXPECT_EQ(r.salida, id_linea());
    rmdir(raiz.ruta(Raiz::trabajo("users.prt")).c_str());
    raiz.usuarios(usuarios());

    // "error.prt": the report has nowhere to go; no marker, no mail.
    raiz.borra(Raiz::trabajo("error.prt"));
    raiz.crea_dir(Raiz::trabajo("error.prt"));
    r = corre(cerrado());
    EXPECT_EQ(r.codigo, 2);
    EXPECT_FALSE(raiz.existe(Raiz::trabajo("error9.tmp")));
    EXPECT_EQ(importado(), "");
    rmdir(raiz.ruta(Raiz::trabajo("error.prt")).c_str());

    // The logs: dropped.
    raiz.crea_dir(Raiz::trabajo("lognopas.prt"));
    raiz.crea_dir(Raiz::trabajo("logexcld.prt"));
    raiz.borra(Raiz::trabajo("logcnx/logcnx.prt"));
    ASSERT_EQ(rmdir(raiz.ruta(Raiz::trabajo("logcnx")).c_str()), 0);
    raiz.escribe(Raiz::trabajo("logcnx"), "not a directory\n");
    corre(reto());
    EXPECT_EQ(corre(respuesta("nada")).salida, kDenegado);
    EXPECT_EQ(corre(excluido()).codigo, 2);
    EXPECT_EQ(corre(admitido()).codigo, 0);
    EXPECT_EQ(raiz.lee(Raiz::trabajo("logcnx")), "not a directory\n");
    EXPECT_EQ(lista_dir(raiz.ruta(Raiz::trabajo("lognopas.prt"))), std::set<std::string>{});
    EXPECT_EQ(temporales(dir_trabajo()), std::vector<std::string>{});

    // "mail.prt": pending mail that cannot be opened. The directory stays
    // where it is; a notice that finds FBB's lock taken is error 2.
    raiz.crea_dir(Raiz::trabajo("mail.prt"));
    r = corre(admitido());
    EXPECT_EQ(r.codigo, 0);
    EXPECT_EQ(lista_dir(dir_trabajo()).count("mail.prt.mov"), 0u);
    raiz.escribe(Raiz::mail_lck(), "");
    r = corre(nuevo());
    EXPECT_EQ(r.codigo, 0);
    EXPECT_EQ(cuenta(informe(), linea_error(2)), 1u) << informe();
    EXPECT_TRUE(raiz.existe(Raiz::mail_lck()));
}

TEST_F(Fallos, FicherosIlegibles) {
    const std::string pendiente = "#\nSP N0SYS < TALMIR\nold\nbody\n/EX\n";
    corre(reto());
    raiz.escribe(Raiz::trabajo("mail.prt"), pendiente);
    Arranque a;
    if (!nadie(&a)) {
        GTEST_SKIP() << kSinNadie;
    }
    auto quita = [&](const std::string& nombre) {
        ASSERT_EQ(chmod(raiz.ruta(Raiz::trabajo(nombre)).c_str(), 0), 0) << nombre;
    };
    auto devuelve = [&](const std::string& nombre) {
        ASSERT_EQ(chmod(raiz.ruta(Raiz::trabajo(nombre)).c_str(), 0644), 0) << nombre;
    };

    // The challenge file: error 10, exit 2, mailed; the file stays. The
    // pending mail cannot be read: it is neither lost nor moved in part.
    quita("N0CALL0.tmp");
    quita("mail.prt");
    Resultado r = corre(respuesta("Secreto9"), a);
    EXPECT_EQ(r.codigo, 2);
    EXPECT_EQ(r.salida, "");
    EXPECT_EQ(cuenta(informe(), linea_error(10)), 1u) << informe();
    EXPECT_TRUE(raiz.existe(Raiz::trabajo("N0CALL0.tmp")));
    EXPECT_EQ(mensajes(importado()).size(), 2u) << importado();
    EXPECT_EQ(raiz.lee(Raiz::trabajo("mail.prt")) + raiz.lee(Raiz::trabajo("mail.prt.mov")),
              pendiente);

    // "users.prt": no table, the port's mode.
    quita("users.prt");
    r = corre(reto(), a);
    EXPECT_EQ(r.codigo, 0);
    devuelve("users.prt");

    // "config.prt": error 3, exit 0, marked, never mailed.
    quita("config.prt");
    r = corre(reto(), a);
    EXPECT_EQ(r.codigo, 0);
    EXPECT_EQ(r.salida, id_linea());
    EXPECT_EQ(cuenta(informe(), linea_error(3)), 1u) << informe();
    EXPECT_TRUE(raiz.existe(Raiz::trabajo("error3.tmp")));
    devuelve("config.prt");

    // The pending mail, readable again, goes once and whole.
    devuelve("mail.prt");
    r = corre(admitido(), a);
    EXPECT_EQ(cuenta(importado(), pendiente), 1u);
    EXPECT_FALSE(raiz.existe(Raiz::trabajo("mail.prt")));
    EXPECT_FALSE(raiz.existe(Raiz::trabajo("mail.prt.mov")));
}

TEST_F(Fallos, BuclesDeEnlaces) {
    auto bucle = [&](const std::string& rel) {
        raiz.borra(rel);
        ASSERT_EQ(symlink(raiz.ruta(rel).c_str(), raiz.ruta(rel).c_str()), 0) << rel;
    };
    // "config.prt": error 3.
    bucle(Raiz::trabajo("config.prt"));
    Resultado r = corre(reto());
    EXPECT_EQ(r.codigo, 0);
    EXPECT_EQ(cuenta(informe(), linea_error(3)), 1u) << informe();
    raiz.borra(Raiz::trabajo("config.prt"));
    raiz.config(config_basica(kPuertos, "1", kInterruptores));

    // The challenge file: a new challenge replaces the link; an answer that
    // finds the loop is error 10.
    bucle(Raiz::trabajo("N0CALL0.tmp"));
    r = corre(reto());
    EXPECT_EQ(r.codigo, 1);
    bucle(Raiz::trabajo("N0CALL0.tmp"));
    r = corre(respuesta("Secreto9"));
    EXPECT_EQ(r.codigo, 2);
    EXPECT_EQ(cuenta(informe(), linea_error(10)), 1u) << informe();

    // The logs: dropped.
    bucle(Raiz::trabajo("lognopas.prt"));
    bucle(Raiz::trabajo("logexcld.prt"));
    bucle(Raiz::trabajo("logcnx"));
    corre(reto());
    EXPECT_EQ(corre(respuesta("nada")).salida, kDenegado);
    EXPECT_EQ(corre(excluido()).codigo, 2);
    EXPECT_EQ(corre(admitido()).codigo, 0);
    EXPECT_EQ(temporales(dir_trabajo()), std::vector<std::string>{});

    // The import file: error 2, no lock left.
    bucle(Raiz::mail_in());
    r = corre(nuevo());
    EXPECT_EQ(r.codigo, 0);
    EXPECT_EQ(cuenta(informe(), linea_error(2)), 1u) << informe();
    EXPECT_FALSE(raiz.existe(Raiz::mail_lck()));
    raiz.borra(Raiz::mail_in());

    // The pending file: a notice that finds FBB's lock taken is error 2.
    bucle(Raiz::trabajo("mail.prt"));
    raiz.escribe(Raiz::mail_lck(), "");
    r = corre(nuevo());
    EXPECT_EQ(cuenta(informe(), linea_error(2)), 1u) << informe();
    raiz.borra(Raiz::mail_lck());

    // The working directory itself: as if it were missing.
    ASSERT_EQ(rename(dir_trabajo().c_str(), raiz.ruta("viejo").c_str()), 0);
    bucle("var/ax25/fbb/talmir");
    r = corre(reto());
    EXPECT_EQ(r.codigo, 0);
    EXPECT_EQ(r.salida, id_linea());
}

}  // namespace
}  // namespace prueba
