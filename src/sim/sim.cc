// SPDX-License-Identifier: GPL-2.0-or-later
// The simulator: each run of talmir as FBB makes it, what the station sees,
// and the station's answers passed on.
#include "sim/sim.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

extern char** environ;

namespace talmir::sim {

namespace {

constexpr std::size_t SALIDA_MAX = 65536;  // output kept per run; the rest is read and dropped
constexpr int ESPERA_MS = 10000;           // FBB freezes while its filter runs: bound each run

struct Ejecucion {
    char salida[SALIDA_MAX];
    std::size_t n;
    int codigo;  // exit code, or -1
    int senal;   // the signal that ended it, or 0
    bool agotado;
};

long ms_desde(const struct timespec& t0) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (t.tv_sec - t0.tv_sec) * 1000L + (t.tv_nsec - t0.tv_nsec) / 1000000L;
}

// Runs talmir once, as FBB does: in the given directory, standard input
// /dev/null, standard error left to ours (FBB's log), standard output read.
bool ejecuta(const char* programa, const char* dir, char* const argv[], Ejecucion* e) {
    e->n = 0;
    e->codigo = -1;
    e->senal = 0;
    e->agotado = false;
    int p[2];
    if (pipe(p) != 0) return false;
    (void)std::fflush(stdout);
    pid_t pid = fork();
    if (pid < 0) {
        close(p[0]);
        close(p[1]);
        return false;
    }
    if (pid == 0) {
        close(p[0]);
        int nulo = open("/dev/null", O_RDONLY);
        if (nulo < 0 || dup2(nulo, 0) < 0 || dup2(p[1], 1) < 0 || chdir(dir) != 0) _exit(127);
        execve(programa, argv, environ);
        _exit(127);
    }
    close(p[1]);
    struct timespec t0;
    clock_gettime(CLOCK_MONOTONIC, &t0);
    char tiradero[4096];
    while (true) {
        long queda = ESPERA_MS - ms_desde(t0);
        if (queda <= 0) {
            e->agotado = true;
            kill(pid, SIGKILL);
            break;
        }
        struct pollfd pf = {p[0], POLLIN, 0};
        int r = poll(&pf, 1, static_cast<int>(queda));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) continue;
        char* destino = e->n < SALIDA_MAX ? e->salida + e->n : tiradero;
        std::size_t cabe = e->n < SALIDA_MAX ? SALIDA_MAX - e->n : sizeof tiradero;
        ssize_t k = read(p[0], destino, cabe);
        if (k < 0 && errno == EINTR) continue;
        if (k <= 0) break;
        if (destino != tiradero) e->n += static_cast<std::size_t>(k);
    }
    close(p[0]);
    int estado = 0;
    while (waitpid(pid, &estado, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(estado)) e->codigo = WEXITSTATUS(estado);
    if (WIFSIGNALED(estado)) e->senal = WTERMSIG(estado);
    return true;
}

// The output as FBB sends it: a bare CR is dropped, LF becomes the line end,
// a NUL byte drops the rest of its line; 8-bit bytes and "%" pass unchanged.
void muestra(const char* s, std::size_t n, bool crlf) {
    bool cortada = false;
    for (std::size_t i = 0; i < n; ++i) {
        char c = s[i];
        if (c == '\n') {
            (void)std::fputs(crlf ? "\r\n" : "\n", stdout);
            cortada = false;
        } else if (c == '\0') {
            cortada = true;
        } else if (c != '\r' && !cortada) {
            (void)std::fputc(c, stdout);
        }
    }
}

const char* veredicto(int codigo) {
    switch (codigo) {
        case 0:
            return "let in";
        case 2:
            return "disconnected";
        case 3:
            return "let in read-only";
        case 4:
            return "let in, messages held";
        case 11:
            return "let in as guest";
        default:
            return nullptr;
    }
}

void di_veredicto(int codigo) {
    const char* v = veredicto(codigo);
    if (v != nullptr)
        std::printf("[talmir-sim] exit %d: %s\n", codigo, v);
    else
        std::printf("[talmir-sim] exit %d: not an exit code of talmir's\n", codigo);
}

// The arguments of one run: CALL-SSID counter flags new record port words...
struct Argumentos {
    char campos[6][24];  // room for any long in decimal
    char* v[6 + PALABRAS_MAX + 2];
};

void arma(Argumentos* a, const char* programa, const char* ind, long llamada, long flags,
          long nuevo, long registro, long puerto, Palabras* w) {
    (void)std::snprintf(a->campos[0], sizeof a->campos[0], "%s", ind);
    (void)std::snprintf(a->campos[1], sizeof a->campos[1], "%ld", llamada);
    (void)std::snprintf(a->campos[2], sizeof a->campos[2], "%ld", flags);
    (void)std::snprintf(a->campos[3], sizeof a->campos[3], "%ld", nuevo);
    (void)std::snprintf(a->campos[4], sizeof a->campos[4], "%ld", registro);
    (void)std::snprintf(a->campos[5], sizeof a->campos[5], "%ld", puerto);
    int k = 0;
    a->v[k++] = const_cast<char*>(programa);
    for (auto& c : a->campos) a->v[k++] = c;
    for (int i = 0; w != nullptr && i < w->n; ++i) a->v[k++] = w->p[i];
    a->v[k] = nullptr;
}

// Runs talmir and shows the run and its output; false when it did not end
// by itself (the reason has been said).
bool corre(const Opciones& o, const char* quien, const char* dir, Argumentos* a, Ejecucion* e,
           bool pregunta = false) {
    std::printf("[talmir-sim] %srun:", quien);
    for (int i = 1; a->v[i] != nullptr; ++i) std::printf(" %s", a->v[i]);
    std::printf("\n");
    if (!ejecuta(o.talmir, dir, a->v, e)) {
        std::printf("[talmir-sim] cannot start %s: %s\n", o.talmir, std::strerror(errno));
        return false;
    }
    muestra(e->salida, e->n, o.crlf);
    // A prompt without a line end (FIXED) keeps the station's answer on its
    // line; anything of the simulator's own starts on a fresh one.
    bool abierta = e->n > 0 && e->salida[e->n - 1] != '\n';
    if (abierta && !(pregunta && e->codigo == 1 && !e->agotado && e->senal == 0)) std::printf("\n");
    if (e->agotado) {
        std::printf("[talmir-sim] no end after %d s: killed (FBB is frozen meanwhile)\n",
                    ESPERA_MS / 1000);
        return false;
    }
    if (e->senal != 0) {
        std::printf("[talmir-sim] killed by signal %d (FBB would run the filter again for ever)\n",
                    e->senal);
        return false;
    }
    if (e->codigo == 127) {
        std::printf("[talmir-sim] exit 127: talmir could not be run in %s\n", dir);
        return false;
    }
    return true;
}

Ejecucion g_ejecucion;  // 64 KiB: kept off the stack

// What the station with this password answers to the challenge at the end of
// the output, with the digest (nullptr: the plain characters).
Reto respuesta(const Ejecucion& e, const char* password, Resumen md, char* out, std::size_t tam) {
    return responde(e.salida, e.n, password, md, out, tam);
}

// --password: the answers a person may type to the challenge just shown.
// FIXED gets no help: its answer is the pass phrase itself, and its prompt
// waits on the line for it.
void ayuda(const Ejecucion& e, const char* password) {
    char plano[400], h5[40], h2[40];
    Reto r = respuesta(e, password, nullptr, plano, sizeof plano);
    switch (r) {
        case RETO_NORMAL:
        case RETO_FLEXNET:
            std::printf("[talmir-sim] with the password: %s\n", plano);
            break;
        case RETO_MD:
            respuesta(e, password, resumen_md5, h5, sizeof h5);
            respuesta(e, password, resumen_md2, h2, sizeof h2);
            std::printf("[talmir-sim] with the password: %s, or MD5 %s, or MD2 %s\n", plano, h5,
                        h2);
            break;
        case RETO_FORWARD:
            respuesta(e, password, resumen_md5, h5, sizeof h5);
            respuesta(e, password, resumen_md2, h2, sizeof h2);
            std::printf("[talmir-sim] with the password: MD5 %s, or MD2 %s\n", h5, h2);
            break;
        default:
            break;
    }
}

// --password: a typed line "{md5}", "{md2}" or "{plain}" becomes that answer
// to the challenge just shown. True when the line was replaced.
bool sustituye(const Ejecucion& e, const char* password, char* linea, std::size_t tam) {
    Resumen md;
    if (std::strcmp(linea, "{md5}") == 0) {
        md = resumen_md5;
    } else if (std::strcmp(linea, "{md2}") == 0) {
        md = resumen_md2;
    } else if (std::strcmp(linea, "{plain}") == 0) {
        md = nullptr;
    } else {
        return false;
    }
    char r[400];
    if (respuesta(e, password, md, r, sizeof r) == RETO_NINGUNO) {
        std::printf("[talmir-sim] %s: no such answer to this challenge: typed as it is\n", linea);
        return false;
    }
    (void)std::snprintf(linea, tam, "%s", r);
    return true;
}

}  // namespace

int dialogo(const Opciones& o) {
    std::FILE* entrada = stdin;
    if (o.guion != nullptr) {
        entrada = std::fopen(o.guion, "r");
        if (entrada == nullptr) {
            (void)std::fprintf(stderr, "talmir-sim: %s: %s\n", o.guion, std::strerror(errno));
            return SALIDA_USO;
        }
    }
    bool eco = o.guion != nullptr || !isatty(0);
    Ejecucion* e = &g_ejecucion;
    Palabras palabras;
    Argumentos a;
    int resultado = 1;
    for (long llamada = 0;; ++llamada) {
        arma(&a, "talmir", o.indicativo, llamada, o.flags, o.nuevo ? 1 : 0, o.registro, o.puerto,
             llamada > 0 ? &palabras : nullptr);
        if (!corre(o, "", o.dir, &a, e, true)) {
            resultado = SALIDA_FALLO;
            break;
        }
        if (e->codigo != 1) {
            di_veredicto(e->codigo);
            resultado = e->codigo;
            break;
        }
        // After a prompt without a line end, our own lines start a fresh one.
        const char* nl = e->n > 0 && e->salida[e->n - 1] != '\n' ? "\n" : "";
        if (llamada + 1 >= o.max) {
            std::printf("%s[talmir-sim] %ld runs: giving up (--max)\n", nl, o.max);
            break;
        }
        char linea[512];
        if (o.clave != nullptr) {
            if (respuesta(*e, o.clave, o.resumen, linea, sizeof linea) == RETO_NINGUNO) {
                std::printf("%s[talmir-sim] no challenge this station can answer\n", nl);
                break;
            }
            std::printf("%s\n", linea);
        } else {
            if (o.password != nullptr) ayuda(*e, o.password);
            (void)std::fflush(stdout);
            if (!lee_linea_estacion(entrada, linea, sizeof linea)) {
                std::printf("%s[talmir-sim] the station types nothing more: the link is dropped\n",
                            nl);
                break;
            }
            // A replaced line is shown, as the echo of a line not typed.
            bool sustituida =
                o.password != nullptr && sustituye(*e, o.password, linea, sizeof linea);
            if (sustituida || eco) std::printf("%s\n", linea);
        }
        if (trocea_linea(linea, &palabras) < 0) {
            std::printf("[talmir-sim] a quote is left open: FBB's shell fails, FBB disconnects\n");
            resultado = 2;
            break;
        }
    }
    if (entrada != stdin) (void)std::fclose(entrada);
    return resultado;
}

namespace {

// The first line of the output that begins with "!", without its line end.
bool linea_exclamacion(const Ejecucion& e, char* out, std::size_t tam) {
    std::size_t i = 0;
    while (i < e.n) {
        std::size_t f = i;
        while (f < e.n && e.salida[f] != '\n') ++f;
        if (e.salida[i] == '!') {
            std::size_t n = f - i;
            while (n > 0 && e.salida[i + n - 1] == '\r') --n;
            if (n + 1 > tam) n = tam - 1;
            std::memcpy(out, e.salida + i, n);
            out[n] = '\0';
            return true;
        }
        i = f + 1;
    }
    return false;
}

}  // namespace

int forward(const Opciones& o) {
    Ejecucion* e = &g_ejecucion;
    Palabras palabras;
    Argumentos a;
    char linea[LINEA_MAX + 1];
    long flags = o.flags | 16;
    std::printf("[talmir-sim] BBS %s (%s) is called by BBS %s (%s)\n", o.propio, o.dir,
                o.indicativo, o.dir_socio);
    arma(&a, "talmir", o.indicativo, 0, flags, 0, o.registro, o.puerto, nullptr);
    if (!corre(o, "A ", o.dir, &a, e)) return SALIDA_FALLO;
    if (e->codigo != 1) {
        di_veredicto(e->codigo);
        return e->codigo;
    }
    if (!linea_exclamacion(*e, linea, sizeof linea)) {
        std::printf("[talmir-sim] A sent no \"!\" line: nothing for B to answer\n");
        return 1;
    }
    std::printf("[talmir-sim] A -> B: %s\n", linea);
    if (trocea_linea(linea + 1, &palabras) < 0) {
        std::printf("[talmir-sim] a quote is left open: B's shell fails\n");
        return 2;
    }
    arma(&a, "talmir", o.propio, 0, flags, -1, o.registro, o.puerto, &palabras);
    if (!corre(o, "B ", o.dir_socio, &a, e)) return SALIDA_FALLO;
    if (e->codigo != 0 || e->n == 0) {
        std::printf("[talmir-sim] B gives no answer (exit %d): the forward session fails\n",
                    e->codigo);
        return e->codigo == 0 ? 2 : e->codigo;
    }
    // The first line B sends that is not empty is what A's FBB reads next.
    std::size_t i = 0;
    while (i < e->n && (e->salida[i] == '\n' || e->salida[i] == '\r')) ++i;
    std::size_t n = 0;
    while (i + n < e->n && n < LINEA_MAX && e->salida[i + n] != '\n' && e->salida[i + n] != '\r') {
        linea[n] = e->salida[i + n];
        ++n;
    }
    linea[n] = '\0';
    std::printf("[talmir-sim] B -> A: %s\n", linea);
    if (trocea_linea(linea, &palabras) < 0) {
        std::printf("[talmir-sim] a quote is left open: A's shell fails, A disconnects\n");
        return 2;
    }
    arma(&a, "talmir", o.indicativo, 1, flags, 0, o.registro, o.puerto, &palabras);
    if (!corre(o, "A ", o.dir, &a, e)) return SALIDA_FALLO;
    di_veredicto(e->codigo);
    return e->codigo;
}

// --challenge: the station's answer to one challenge line, nothing run.
int calcula(const Opciones& o) {
    Ejecucion& e = g_ejecucion;
    std::size_t n = std::strlen(o.reto);
    // The challenge as talmir prints it: on a line of its own.
    e.n = 0;
    e.salida[e.n++] = '\n';
    std::memcpy(e.salida + e.n, o.reto, n);
    e.n += n;
    if (e.salida[e.n - 1] != '\n') e.salida[e.n++] = '\n';
    char r[400];
    if (respuesta(e, o.password, o.resumen, r, sizeof r) == RETO_NINGUNO) {
        (void)std::fprintf(stderr, "talmir-sim: no challenge this station can answer in: %s\n",
                           o.reto);
        return 1;
    }
    std::printf("%s\n", r);
    return 0;
}

}  // namespace talmir::sim
