// SPDX-License-Identifier: GPL-2.0-or-later
// Whether the installed FBB runs the stations' lines through its shell:
// LinFBB 7.0.11 (Debian's fbb 7.011-2) and older paste the typed line
// unquoted into the shell command that runs the connection filter.
#include "check/fbb_instalado.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

#include "check/informe.h"
#include "driver/disco.h"
#include "driver/rutas.h"

namespace talmir {

namespace {

constexpr std::size_t kMarca = sizeof FBB_MARCA_CITADO - 1;

// True when the file holds the marker; false also when it cannot be read.
bool tiene_marca(const char* ruta) {
    Archivo f = Archivo::abre(ruta, "rb");
    if (!f) return false;
    static char buf[65536];
    std::size_t guardado = 0;  // the end of the previous piece, kept
    for (;;) {
        std::size_t n = std::fread(buf + guardado, 1, sizeof buf - guardado, f.get());
        if (n == 0) return false;
        std::string_view v(buf, guardado + n);
        if (v.find(std::string_view(FBB_MARCA_CITADO, kMarca)) != std::string_view::npos)
            return true;
        guardado = v.size() < kMarca ? v.size() : kMarca - 1;
        std::memmove(buf, buf + v.size() - guardado, guardado);
    }
}

// The version of the installed package fbb, as dpkg-query tells it; empty
// when it is not installed, or dpkg-query is missing or fails.
std::string version_paquete() {
    std::string admindir =
        DPKG_ADMINDIR != nullptr ? std::string("--admindir=") + DPKG_ADMINDIR : std::string();
    char formato[] = "--showformat=${db:Status-Status} ${Version}\n";
    char programa[] = "dpkg-query";
    char buscar[] = "-W";
    char paquete[] = "fbb";
    std::vector<char*> args = {programa, buscar, formato};
    if (!admindir.empty()) args.push_back(admindir.data());
    args.push_back(paquete);
    args.push_back(nullptr);

    int tubo[2];
    if (pipe2(tubo, O_CLOEXEC) != 0) return std::string();
    posix_spawn_file_actions_t acciones;
    posix_spawn_file_actions_init(&acciones);
    posix_spawn_file_actions_addopen(&acciones, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&acciones, tubo[1], 1);
    posix_spawn_file_actions_addopen(&acciones, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int error = posix_spawnp(&pid, programa, &acciones, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&acciones);
    close(tubo[1]);
    // One short line is expected: more is no version (read to the end all
    // the same, so that dpkg-query never waits on a full pipe).
    char buf[256];
    std::size_t leidos = 0;
    bool cabe = true;
    while (error == 0) {
        char trozo[256];
        const ssize_t n = read(tubo[0], trozo, sizeof trozo);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        const auto largo = static_cast<std::size_t>(n);
        if (cabe && largo <= sizeof buf - leidos) {
            std::memcpy(buf + leidos, trozo, largo);
            leidos += largo;
        } else {
            cabe = false;
        }
    }
    close(tubo[0]);
    int estado = 0;
    if (error == 0) {
        while (waitpid(pid, &estado, 0) < 0 && errno == EINTR) {
        }
    }
    if (error != 0 || !WIFEXITED(estado) || WEXITSTATUS(estado) != 0 || !cabe) return std::string();
    std::string_view l(buf, leidos);
    if (!l.empty() && l.back() == '\n') l.remove_suffix(1);
    constexpr std::string_view kInstalado = "installed ";
    if (l.substr(0, kInstalado.size()) != kInstalado || l.find('\n') != std::string_view::npos)
        return std::string();
    return std::string(l.substr(kInstalado.size()));
}

// The first two numbers of the upstream version ("7.011-2" gives 7 and 11).
bool hasta_7011(const std::string& version) {
    std::string_view v(version);
    const std::size_t epoca = v.find(':');
    if (epoca != std::string_view::npos) v.remove_prefix(epoca + 1);
    long numeros[2] = {0, 0};
    for (long& n : numeros) {
        if (v.empty() || v[0] < '0' || v[0] > '9') break;
        while (!v.empty() && v[0] >= '0' && v[0] <= '9') {
            if (n < 100000) n = n * 10 + (v[0] - '0');
            v.remove_prefix(1);
        }
        if (!v.empty() && v[0] == '.') v.remove_prefix(1);
    }
    return numeros[0] < 7 || (numeros[0] == 7 && numeros[1] <= 11);
}

// Which FBB the warnings name, from its package's version.
std::string que_fbb(const std::string& version) {
    return version.empty() ? std::string("this FBB (no package names it)")
                           : "FBB " + version + " (package fbb)";
}

bool hay_xfbbd() {
    Archivo f = Archivo::abre(FBB_XFBBD, "rb");
    return static_cast<bool>(f);
}

}  // namespace

std::string aviso_fbb_instalado() {
    if (!hay_xfbbd() || tiene_marca(FBB_XFBBD)) return std::string();
    const std::string version = version_paquete();
    if (!version.empty() && !hasta_7011(version)) return std::string();
    return que_fbb(version) +
           " hands every line a station types to its shell, unquoted: a station in a dialogue "
           "with talmir can run commands as FBB's user (root on Debian) and walk past any "
           "challenge by typing x|true. Install FBB with the quoting patch (platform/fbb/ in "
           "talmir's source; talmir(8), SECURITY)";
}

std::string aviso_guest_fbb() {
    if (!hay_xfbbd()) return std::string();
    const std::string version = version_paquete();
    if (!version.empty() && !hasta_7011(version)) return std::string();
    return que_fbb(version) +
           " has no guest access: it takes GUEST's exit code 11 as a pending answer and runs "
           "talmir again with the station's next line, which answers no challenge, so the "
           "station is disconnected. Give it READONLY or HOLD instead";
}

}  // namespace talmir
