// SPDX-License-Identifier: GPL-2.0-or-later
// Recognises a station's line that FBB's shell ran as shell syntax, from the
// command of the run's parent shell, and refuses the station.
#include "driver/inyeccion.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "auth/bloqueos.h"
#include "auth/password.h"
#include "auth/resp.h"
#include "config/config.h"
#include "driver/disco.h"
#include "driver/global.h"
#include "driver/rutas.h"
#include "driver/texto.h"
#include "texts/error.h"
#include "texts/log.h"

namespace talmir {

char linea_inyectada[INYECCION_MAX];

namespace {

// The parts of FBB's command that FBB itself writes (call_nbdos): the change
// of directory, the program, its six arguments, and the redirections after
// the station's line.
constexpr std::string_view kCd = "cd ";
constexpr std::string_view kSeparador = " ; ";
constexpr std::string_view kPrograma = "c_filter";
constexpr std::string_view kRedireccion = " </dev/null >";
constexpr std::string_view kSalidaFbb = "EXECUTE.xxx";
constexpr int kArgumentosFbb = 6;
// FBB's command fits 255 characters (a quoting FBB makes it longer); what
// lies beyond this is not FBB's.
constexpr std::size_t kOrdenMax = 4096;

bool termina_en(std::string_view s, std::string_view fin) {
    return s.size() >= fin.size() && s.substr(s.size() - fin.size()) == fin;
}

// Takes the next word, separated by blanks, from s.
std::string_view toma_palabra(std::string_view* s) {
    std::size_t i = 0;
    while (i < s->size() && (*s)[i] == ' ') ++i;
    std::size_t j = i;
    while (j < s->size() && (*s)[j] != ' ') ++j;
    std::string_view w = s->substr(i, j - i);
    *s = s->substr(j);
    return w;
}

// True when the text, read as the shell reads it, runs or redirects
// something: a command substitution ("$(", "`"), a pipe, "&" (a background
// job, "&&"), "<" or ">", outside quotes ("$(" and "`" inside double quotes
// too). A word in single quotes, as a quoting FBB writes it, does nothing;
// "*", "?", "~" and "$NAME" only change words.
bool es_sintaxis_activa(std::string_view t) {
    enum { fuera, simples, dobles } estado = fuera;
    for (std::size_t i = 0; i < t.size(); ++i) {
        const char c = t[i];
        const bool sustitucion = c == '`' || (c == '$' && i + 1 < t.size() && t[i + 1] == '(');
        switch (estado) {
            case simples:
                if (c == '\'') estado = fuera;
                break;
            case dobles:
                if (c == '\\') {
                    ++i;
                } else if (c == '"') {
                    estado = fuera;
                } else if (sustitucion) {
                    return true;
                }
                break;
            case fuera:
                if (c == '\\') {
                    ++i;
                } else if (c == '\'') {
                    estado = simples;
                } else if (c == '"') {
                    estado = dobles;
                } else if (sustitucion || c == '|' || c == '&' || c == '<' || c == '>') {
                    return true;
                }
                break;
        }
    }
    return false;
}

}  // namespace

int analiza_orden_fbb(const char* orden, std::size_t largo, bool salida_tuberia, char* texto,
                      std::size_t size) {
    std::string_view o(orden, largo);
    if (o.substr(0, kCd.size()) != kCd) return 0;
    const std::size_t sep = o.find(kSeparador);
    if (sep == std::string_view::npos) return 0;
    std::string_view resto = o.substr(sep + kSeparador.size());
    const std::string_view programa = toma_palabra(&resto);
    if (!termina_en(programa, kPrograma)) return 0;
    for (int i = 0; i < kArgumentosFbb; ++i) {
        if (toma_palabra(&resto).empty()) return 0;
    }
    // FBB's redirections end the command: the last ones are FBB's, whatever
    // the station typed before them.
    const std::size_t red = resto.rfind(kRedireccion);
    if (red == std::string_view::npos) return 0;
    const std::string_view salida = resto.substr(red + kRedireccion.size());
    if (!termina_en(salida, kSalidaFbb) || salida.find(' ') != std::string_view::npos) return 0;

    std::string_view estacion = resto.substr(0, red);
    while (!estacion.empty() && estacion.front() == ' ') estacion.remove_prefix(1);
    while (!estacion.empty() && estacion.back() == ' ') estacion.remove_suffix(1);
    // FBB sends the filter's output to a file: a pipe there came from the
    // station's line.
    if (!salida_tuberia && !es_sintaxis_activa(estacion)) return 0;
    copia(texto, size, estacion);
    return 1;
}

int busca_inyeccion() {
    linea_inyectada[0] = '\0';
    char ruta[RUTA_MAX];
    if (!formatea(ruta, sizeof ruta, "%s/%d/cmdline", DIR_PROC, static_cast<int>(getppid())))
        return 0;
    const int fd = open(ruta, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    static char datos[kOrdenMax];
    std::size_t n = 0;
    while (n < sizeof datos) {
        const ssize_t r = read(fd, datos + n, sizeof datos - n);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) break;
        n += static_cast<std::size_t>(r);
    }
    close(fd);
    // popen's shell: "/bin/sh", "-c", the command, each ended by a NUL.
    std::string_view argv(datos, n);
    const std::size_t fin0 = argv.find('\0');
    if (fin0 == std::string_view::npos) return 0;
    const std::string_view shell = argv.substr(0, fin0);
    if (shell != "sh" && !termina_en(shell, "/sh")) return 0;
    argv.remove_prefix(fin0 + 1);
    if (argv.substr(0, 3) != std::string_view("-c\0", 3)) return 0;
    argv.remove_prefix(3);
    const std::size_t fin2 = argv.find('\0');
    if (fin2 == std::string_view::npos) return 0;  // cut: not a command FBB builds

    struct stat st;
    const bool tuberia = fstat(STDOUT_FILENO, &st) == 0 && S_ISFIFO(st.st_mode);
    return analiza_orden_fbb(argv.data(), fin2, tuberia, linea_inyectada, sizeof linea_inyectada);
}

void rechaza_inyeccion(char* r_buf) {
    // No challenge is left for a later line to answer; one that cannot be
    // removed is overwritten by the next first call.
    char ruta[RUTA_MAX];
    if (ruta_reto(ruta, sizeof ruta)) borra(ruta);
    if (leido_cfg == 0) lee_cfg(r_buf);
    error(ERR_INYECCION, 0, r_buf);
    // No second try: on a guarded port the callsign is locked out at once.
    const REGLA_BLOQUEO regla = regla_estacion(r_buf);
    (void)cuenta_fallos(regla, regla.fallos, true, r_buf);
    if (cfg.log_nopas) lognopas();
    deniega(r_buf);
}

}  // namespace talmir
