// SPDX-License-Identifier: GPL-2.0-or-later
#include "entorno.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "auth/md2c.h"
#include "auth/md5c.h"
#include "driver/global.h"
#include "texts/lenguaje.h"

#ifndef TALMIR_EMULADOR
#define TALMIR_EMULADOR ""
#endif

namespace prueba {

namespace {

// What an ELF file was built for: its class, byte order and machine (bytes
// 4, 5, 18 and 19 of its header); empty for any other file.
std::string maquina_elf(const char* ruta) {
    unsigned char h[20];
    int fd = open(ruta, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return "";
    ssize_t n = read(fd, h, sizeof h);
    close(fd);
    if (n != static_cast<ssize_t>(sizeof h) || h[0] != 0x7f || h[1] != 'E' || h[2] != 'L' ||
        h[3] != 'F')
        return "";
    return std::string{static_cast<char>(h[4]), static_cast<char>(h[5]), static_cast<char>(h[18]),
                       static_cast<char>(h[19])};
}

std::string lee_fd(int fd) {
    std::string s;
    char buf[4096];
    ssize_t n;
    while ((n = read(fd, buf, sizeof buf)) > 0 || (n < 0 && errno == EINTR)) {
        if (n > 0) s.append(buf, static_cast<std::size_t>(n));
    }
    return s;
}

}  // namespace

void Raiz::escribe(const std::string& rel, const std::string& contenido) const {
    ASSERT_TRUE(RaizTemporal::escribe(rel, contenido)) << ruta(rel);
}

void Raiz::fbb_basico() const {
    escribe("etc/ax25/fbb.conf",
            "# FBB configuration for the tests\n"
            "version = FBB7.0.11\n"
            "callsign = n0bbs\n"
            "ssid = 0\n"
            "qraloc = jn18du\n"
            "city = \"Testville, Nowhere\"\n"
            "name = Sysop Name\n"
            "sysop = n0sys\n"
            "config = " +
                ruta("etc/ax25/fbb") +
                "/\n"
                "data = " +
                ruta("var/ax25/fbb") +
                "/\n"
                "import = " +
                ruta(mail_in()) + "\n");
}

std::vector<std::string> orden(const std::string& programa, const std::vector<std::string>& args) {
    std::vector<std::string> v;
    const std::string emulador = TALMIR_EMULADOR;
    if (!emulador.empty()) {
        // The tests' own program (qemu shows the emulated one): the target's.
        static const std::string propia = maquina_elf("/proc/self/exe");
        const std::string suya = maquina_elf(programa.c_str());
        if (!suya.empty() && suya == propia) {
            std::size_t i = 0;
            while (i < emulador.size()) {
                std::size_t fin = emulador.find(' ', i);
                if (fin == std::string::npos) fin = emulador.size();
                if (fin > i) v.push_back(emulador.substr(i, fin - i));
                i = fin + 1;
            }
        }
    }
    v.push_back(programa);
    v.insert(v.end(), args.begin(), args.end());
    return v;
}

Resultado ejecuta(const Raiz& raiz, const std::vector<std::string>& args,
                  const std::vector<std::string>& entorno) {
    Arranque arranque;
    arranque.entorno = entorno;
    return ejecuta(raiz, args, arranque);
}

Resultado ejecuta_programa(const std::string& programa, const Raiz& raiz,
                           const std::vector<std::string>& args,
                           const std::vector<std::string>& entorno) {
    Arranque arranque;
    arranque.entorno = entorno;
    arranque.programa = programa;
    return ejecuta(raiz, args, arranque);
}

Resultado ejecuta(const Raiz& raiz, const std::vector<std::string>& args,
                  const Arranque& arranque) {
    Resultado r;
    // Everything the child needs is made before it exists: a child of a
    // process with threads may only make system calls.
    std::vector<std::string> linea =
        orden(arranque.programa.empty() ? TALMIR_BIN : arranque.programa, args);
    const std::string& programa = linea[0];
    std::vector<char*> argv;
    for (auto& a : linea) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> env = {"PATH=/usr/bin:/bin", "TZ=UTC"};
    for (const auto& e : arranque.entorno) env.push_back(e);
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);

    int out[2], err[2];
    // Close on exec: a run started by another thread at the same moment must
    // not hold this run's pipes open.
    if (pipe2(out, O_CLOEXEC) != 0) return r;
    if (pipe2(err, O_CLOEXEC) != 0) {
        close(out[0]);
        close(out[1]);
        return r;
    }
    pid_t pid = -1;
    if (!arranque.antes) {
        // Without a step of its own before the program, the run is spawned:
        // far cheaper than a fork of a large (sanitized) test process.
        posix_spawn_file_actions_t acciones;
        posix_spawn_file_actions_init(&acciones);
        posix_spawn_file_actions_addchdir_np(&acciones, raiz.dir().c_str());
        posix_spawn_file_actions_addopen(&acciones, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_adddup2(&acciones, out[1], 1);
        posix_spawn_file_actions_adddup2(&acciones, err[1], 2);
        if (posix_spawn(&pid, programa.c_str(), &acciones, nullptr, argv.data(), envp.data()) != 0)
            pid = -1;
        posix_spawn_file_actions_destroy(&acciones);
    } else {
        pid = fork();
        if (pid == 0) {
            if (chdir(raiz.dir().c_str()) != 0) _exit(127);
            int nulo = open("/dev/null", O_RDONLY);
            dup2(nulo, 0);
            dup2(out[1], 1);
            dup2(err[1], 2);
            arranque.antes();
            execve(programa.c_str(), argv.data(), envp.data());
            _exit(127);
        }
    }
    close(out[1]);
    close(err[1]);
    if (pid < 0) {
        close(out[0]);
        close(err[0]);
        return r;
    }
    // Standard error is small; read standard output first, then it.
    r.salida = lee_fd(out[0]);
    r.errores = lee_fd(err[0]);
    close(out[0]);
    close(err[0]);
    int estado = 0;
    while (waitpid(pid, &estado, 0) < 0 && errno == EINTR) {
    }
    r.codigo = WIFEXITED(estado) ? WEXITSTATUS(estado) : -1;
    return r;
}

std::vector<std::string> args_estacion(const std::string& indicativo, int llamada, int mascara,
                                       int nuevo, int puerto, const std::string& respuesta) {
    std::vector<std::string> args = {
        indicativo, std::to_string(llamada), std::to_string(mascara), std::to_string(nuevo),
        "0",        std::to_string(puerto)};
    if (!respuesta.empty()) args.push_back(respuesta);
    return args;
}

Resultado estacion(const Raiz& raiz, const std::string& indicativo, int llamada, int mascara,
                   int nuevo, int puerto, const std::string& respuesta,
                   const std::vector<std::string>& entorno) {
    return ejecuta(raiz, args_estacion(indicativo, llamada, mascara, nuevo, puerto, respuesta),
                   entorno);
}

const char kBanner[] =
    "\n"
    "\t\t\t   ***** TALMIR v4.1\xE1"
    "2 *****\n"
    "\t\t  Autentificador de usuarios para BBS radio\n"
    "\t\t  Este software ha de ser ejecutado por FBB\n"
    "\n"
    "\n";

std::size_t cuenta(const std::string& texto, const std::string& trozo) {
    std::size_t n = 0;
    for (std::size_t p = texto.find(trozo); p != std::string::npos; p = texto.find(trozo, p + 1))
        ++n;
    return n;
}

std::string hex2(const std::string& texto) {
    char h[33];
    talmir::md2_hex(reinterpret_cast<const unsigned char*>(texto.data()), texto.size(), h);
    return h;
}

std::string hex5(const std::string& texto) {
    char h[33];
    talmir::md5_hex(reinterpret_cast<const unsigned char*>(texto.data()), texto.size(), h);
    return h;
}

std::string mayusculas(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

std::string id_linea() {
    return std::string(
        "{TALMIR-4.1\xE1"
        "2}\n");
}

void EnProceso::SetUp() {
    char actual[4096];
    if (getcwd(actual, sizeof actual) != nullptr) anterior_ = actual;
    ASSERT_EQ(chdir(raiz.dir().c_str()), 0);
    unsetenv("TALMIR");
    talmir::reinicia_globales();
    talmir::inicia_globales(std::time(nullptr));
    talmir::textos_defecto();
}

void EnProceso::TearDown() {
    if (!anterior_.empty() && chdir(anterior_.c_str()) != 0) std::abort();
}

std::string config_basica(const std::string& puertos, const std::string& intentos,
                          const std::vector<std::string>& interruptores) {
    std::string s = "**\nN0SYS N1SYS\n" + intentos + "\nPASSWORD>\n";
    for (std::size_t i = 0; i < 10; ++i)
        s += (i < interruptores.size() ? interruptores[i] : "NO") + "\n";
    return s + puertos;
}

}  // namespace prueba
