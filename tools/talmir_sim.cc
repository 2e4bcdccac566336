// talmir-sim: plays FBB's part in one connection, so that a sysop, a person
// or a test can see what a station sees and answer as it would. Each run of talmir gets the
// arguments FBB gives its connection filter (CALL-SSID, call counter, user
// flags, new-user flag, record, port and the typed line split into words by
// the shell), in the directory FBB's filter directory stands for; its output
// is shown as FBB sends it, and its exit code decides the next step.
//
// Lines of the simulator's own begin with "[talmir-sim]"; everything else is
// the station's screen. The exit status is talmir's last exit code (0, 2, 3,
// 4, 11: the verdict), 1 when the dialogue stopped while talmir still waited
// for an answer, 64 on a usage error and 70 when talmir could not run or died.
// With --challenge it only works out a station's answer: 0 printed, 1 none.

#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "auth/md5c.h"
#include "sim_respuesta.h"

extern char** environ;

namespace {

constexpr std::size_t SALIDA_MAX = 65536;  // output kept per run; the rest is read and dropped
constexpr int ESPERA_MS = 10000;           // FBB freezes while its filter runs: bound each run
constexpr int RUNS_DEF = 20;
constexpr int SALIDA_USO = 64;
constexpr int SALIDA_FALLO = 70;

void md5(const unsigned char* datos, std::size_t n, char hex[33]) {
    talmir::md5_hex(datos, n, hex);
}

void md2(const unsigned char* datos, std::size_t n, char hex[33]) {
    talmir::md2_hex(datos, n, hex);
}

struct Opciones {
    char talmir[PATH_MAX] = {};
    const char* dir = ".";
    const char* dir_socio = nullptr;
    char indicativo[16] = {};  // the station, or in --forward the partner BBS
    char propio[16] = {};      // --forward: this BBS's callsign
    long puerto = 1;
    long flags = 0;
    long registro = 0;
    bool nuevo = false;
    const char* guion = nullptr;
    const char* clave = nullptr;         // --answer: the station answers by itself
    const char* password = nullptr;      // --password: a person answers, helped
    talmir::sim::Resumen resumen = md5;  // --digest: MD5, MD2, or none (plain)
    const char* reto = nullptr;          // --challenge: only work out the answer
    bool forward = false;
    bool crlf = false;
    long max = RUNS_DEF;
};

struct Ejecucion {
    char salida[SALIDA_MAX];
    std::size_t n;
    int codigo;  // exit code, or -1
    int senal;   // the signal that ended it, or 0
    bool agotado;
};

void uso(std::FILE* f) {
    std::fputs(
        "usage: talmir-sim [options] CALL-SSID\n"
        "       talmir-sim --forward THISBBS-SSID --dir A --partner-dir B [options] PARTNER-SSID\n"
        "       talmir-sim --password PASSWORD [--digest md5|md2|plain] --challenge TEXT\n"
        "Plays FBB's part in one connection: runs talmir as FBB's connection filter,\n"
        "shows what the station sees and passes the station's lines to it.\n"
        "  --talmir PATH       the program (default: talmir beside talmir-sim, or the\n"
        "                      installed one)\n"
        "  --dir DIR           current directory of every run (default: .)\n"
        "  --port N            the station's port, TNC number of port.sys (default 1)\n"
        "  --flags N           FBB's user flags in decimal (default 0; 16 = BBS, 8 = sysop)\n"
        "  --new               the station is new to FBB (new-user flag 1)\n"
        "  --record N          FBB's record number (default 0)\n"
        "  --script FILE       the station's lines from FILE, one per answer\n"
        "                      (default: standard input)\n"
        "  --answer PASSWORD   play a station that knows its password and answers itself\n"
        "  --password PASSWORD you type, helped: after each challenge the answers are\n"
        "                      shown, and a line {md5}, {md2} or {plain} sends one\n"
        "  --digest md5|md2|plain  what --answer sends to an MD challenge (default md5)\n"
        "  --challenge TEXT    print what the station answers to the challenge line TEXT\n"
        "                      (such as \"PASSWORD> 3 1 4 1 5 [0123456789]\") and exit\n"
        "  --forward CALL      two BBSs forwarding: BBS A (CALL, --dir) challenges the\n"
        "                      partner BBS B (PARTNER-SSID, --partner-dir), which answers\n"
        "  --partner-dir DIR   the partner BBS's directory in --forward\n"
        "  --max N             at most N runs of talmir (default 20)\n"
        "  --crlf              end lines with CR LF, as FBB sends them\n"
        "Verdicts: exit 0 let in, 3 let in read-only, 4 let in, messages held,\n"
        "11 let in as guest, 2 disconnected. See talmir-sim(1).\n",
        f);
}

bool numero(const char* s, long min, long max, long* v) {
    if (s == nullptr || *s == '\0') return false;
    char* fin = nullptr;
    errno = 0;
    long x = std::strtol(s, &fin, 10);
    if (errno != 0 || *fin != '\0' || x < min || x > max) return false;
    *v = x;
    return true;
}

// FBB passes callsigns in capitals and always with their SSID.
bool indicativo(const char* s, char* out, std::size_t tam) {
    std::size_t n = std::strlen(s);
    bool con_ssid = std::strchr(s, '-') != nullptr;
    if (n == 0 || n + (con_ssid ? 0 : 2) + 1 > tam) return false;
    for (std::size_t i = 0; i < n; ++i)
        out[i] = (s[i] >= 'a' && s[i] <= 'z') ? static_cast<char>(s[i] - 'a' + 'A') : s[i];
    out[n] = '\0';
    if (!con_ssid) std::memcpy(out + n, "-0", 3);
    return true;
}

// The program beside this one (a build tree), else the installed one: the
// build names the way from the installed simulator's directory to talmir's
// (TALMIR_SIM_A_SBIN, such as "../sbin"). The first that can be run counts.
bool talmir_por_defecto(char* out, std::size_t tam) {
    char yo[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", yo, sizeof yo - 1);
    if (n <= 0) return false;
    yo[n] = '\0';
    char* barra = std::strrchr(yo, '/');
    if (barra == nullptr) return false;
    barra[1] = '\0';
    int k = std::snprintf(out, tam, "%stalmir", yo);
    if (k <= 0 || static_cast<std::size_t>(k) >= tam) return false;
#ifdef TALMIR_SIM_A_SBIN
    if (access(out, X_OK) != 0) {
        char otro[PATH_MAX];
        k = std::snprintf(otro, sizeof otro, "%s%s/talmir", yo, TALMIR_SIM_A_SBIN);
        if (k > 0 && static_cast<std::size_t>(k) < sizeof otro && access(otro, X_OK) == 0 &&
            realpath(otro, out) != nullptr)
            return true;
    }
#endif
    return true;
}

// Parses the command line; 0 when fine, else the exit status to end with.
int opciones(int argc, char** argv, Opciones* o) {
    const char* talmir = nullptr;
    const char* ind = nullptr;
    const char* propio = nullptr;
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        const char* v = i + 1 < argc ? argv[i + 1] : nullptr;
        bool ok = true;
        bool toma = true;  // the option takes the next argument
        if (std::strcmp(a, "--help") == 0 || std::strcmp(a, "-h") == 0) {
            uso(stdout);
            return -1;
        } else if (std::strcmp(a, "--new") == 0) {
            o->nuevo = true;
            toma = false;
        } else if (std::strcmp(a, "--crlf") == 0) {
            o->crlf = true;
            toma = false;
        } else if (v == nullptr && a[0] == '-' && a[1] == '-') {
            std::fprintf(stderr, "talmir-sim: %s needs a value\n", a);
            return SALIDA_USO;
        } else if (std::strcmp(a, "--talmir") == 0) {
            talmir = v;
        } else if (std::strcmp(a, "--dir") == 0) {
            o->dir = v;
        } else if (std::strcmp(a, "--partner-dir") == 0) {
            o->dir_socio = v;
        } else if (std::strcmp(a, "--port") == 0) {
            ok = numero(v, 0, 99, &o->puerto);
        } else if (std::strcmp(a, "--flags") == 0) {
            ok = numero(v, 0, 65535, &o->flags);
        } else if (std::strcmp(a, "--record") == 0) {
            ok = numero(v, 0, 2147483647L, &o->registro);
        } else if (std::strcmp(a, "--max") == 0) {
            ok = numero(v, 1, 99, &o->max);
        } else if (std::strcmp(a, "--script") == 0) {
            o->guion = v;
        } else if (std::strcmp(a, "--answer") == 0) {
            o->clave = v;
            ok = std::strlen(v) <= 300;
        } else if (std::strcmp(a, "--password") == 0) {
            o->password = v;
            ok = std::strlen(v) <= 300;
        } else if (std::strcmp(a, "--digest") == 0) {
            if (std::strcmp(v, "md5") == 0 || std::strcmp(v, "MD5") == 0) {
                o->resumen = md5;
            } else if (std::strcmp(v, "md2") == 0 || std::strcmp(v, "MD2") == 0) {
                o->resumen = md2;
            } else if (std::strcmp(v, "plain") == 0) {
                o->resumen = nullptr;
            } else {
                ok = false;
            }
        } else if (std::strcmp(a, "--challenge") == 0) {
            o->reto = v;
            ok = std::strlen(v) <= 1000;
        } else if (std::strcmp(a, "--forward") == 0) {
            o->forward = true;
            propio = v;
        } else if (a[0] == '-' && a[1] != '\0') {
            std::fprintf(stderr, "talmir-sim: unknown option %s\n", a);
            return SALIDA_USO;
        } else if (ind == nullptr) {
            ind = a;
            toma = false;
        } else {
            std::fprintf(stderr, "talmir-sim: one callsign only (%s)\n", a);
            return SALIDA_USO;
        }
        if (!ok) {
            std::fprintf(stderr, "talmir-sim: bad value for %s: %s\n", a, v);
            return SALIDA_USO;
        }
        if (toma) ++i;
    }
    if (o->reto != nullptr) {
        // Nothing runs: a password and the challenge are all it takes.
        if (o->clave != nullptr && o->password == nullptr) o->password = o->clave;
        if (o->password == nullptr || ind != nullptr || o->forward || o->guion != nullptr) {
            std::fprintf(stderr,
                         "talmir-sim: --challenge takes --password (and --digest), no callsign\n");
            return SALIDA_USO;
        }
        return 0;
    }
    if (ind == nullptr) {
        uso(stderr);
        return SALIDA_USO;
    }
    if (!indicativo(ind, o->indicativo, sizeof o->indicativo) ||
        (propio != nullptr && !indicativo(propio, o->propio, sizeof o->propio))) {
        std::fprintf(stderr, "talmir-sim: a callsign is CALL-SSID of at most 12 characters\n");
        return SALIDA_USO;
    }
    if (o->forward && (o->dir_socio == nullptr || o->guion != nullptr || o->clave != nullptr ||
                       o->password != nullptr)) {
        std::fprintf(stderr,
                     "talmir-sim: --forward needs --partner-dir, and no --script, --answer or "
                     "--password\n");
        return SALIDA_USO;
    }
    if (o->clave != nullptr && (o->guion != nullptr || o->password != nullptr)) {
        std::fprintf(stderr, "talmir-sim: --answer excludes --script and --password\n");
        return SALIDA_USO;
    }
    if (talmir == nullptr) {
        if (!talmir_por_defecto(o->talmir, sizeof o->talmir)) {
            std::fprintf(stderr, "talmir-sim: cannot find my own directory: give --talmir\n");
            return SALIDA_USO;
        }
    } else if (realpath(talmir, o->talmir) == nullptr) {
        std::fprintf(stderr, "talmir-sim: %s: %s\n", talmir, std::strerror(errno));
        return SALIDA_USO;
    }
    if (access(o->talmir, X_OK) != 0) {
        std::fprintf(stderr, "talmir-sim: %s: cannot be run\n", o->talmir);
        return SALIDA_USO;
    }
    const char* dirs[2] = {o->dir, o->dir_socio};
    for (const char* d : dirs) {
        struct stat st;
        if (d != nullptr && (stat(d, &st) != 0 || !S_ISDIR(st.st_mode))) {
            std::fprintf(stderr, "talmir-sim: %s is no directory\n", d);
            return SALIDA_USO;
        }
    }
    return 0;
}

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
    std::fflush(stdout);
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
            std::fputs(crlf ? "\r\n" : "\n", stdout);
            cortada = false;
        } else if (c == '\0') {
            cortada = true;
        } else if (c != '\r' && !cortada) {
            std::fputc(c, stdout);
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
    char* v[6 + talmir::sim::PALABRAS_MAX + 2];
};

void arma(Argumentos* a, const char* programa, const char* ind, long llamada, long flags,
          long nuevo, long registro, long puerto, talmir::sim::Palabras* w) {
    std::snprintf(a->campos[0], sizeof a->campos[0], "%s", ind);
    std::snprintf(a->campos[1], sizeof a->campos[1], "%ld", llamada);
    std::snprintf(a->campos[2], sizeof a->campos[2], "%ld", flags);
    std::snprintf(a->campos[3], sizeof a->campos[3], "%ld", nuevo);
    std::snprintf(a->campos[4], sizeof a->campos[4], "%ld", registro);
    std::snprintf(a->campos[5], sizeof a->campos[5], "%ld", puerto);
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

// One line of the station from f, without its line end; false at the end.
bool lee_linea(std::FILE* f, char* buf, std::size_t tam) {
    if (std::fgets(buf, static_cast<int>(tam), f) == nullptr) return false;
    std::size_t n = std::strlen(buf);
    if (n > 0 && buf[n - 1] != '\n') {
        int c;
        while ((c = std::fgetc(f)) != EOF && c != '\n') {
        }
    }
    while (n > 0 && (buf[n - 1] == '\n' || buf[n - 1] == '\r')) buf[--n] = '\0';
    return true;
}

Ejecucion g_ejecucion;  // 64 KiB: kept off the stack

// What the station with this password answers to the challenge at the end of
// the output, with the digest (nullptr: the plain characters).
talmir::sim::Reto respuesta(const Ejecucion& e, const char* password, talmir::sim::Resumen md,
                            char* out, std::size_t tam) {
    return talmir::sim::responde(e.salida, e.n, password, md, out, tam);
}

// --password: the answers a person may type to the challenge just shown.
// FIXED gets no help: its answer is the pass phrase itself, and its prompt
// waits on the line for it.
void ayuda(const Ejecucion& e, const char* password) {
    char plano[400], h5[40], h2[40];
    talmir::sim::Reto r = respuesta(e, password, nullptr, plano, sizeof plano);
    switch (r) {
        case talmir::sim::RETO_NORMAL:
        case talmir::sim::RETO_FLEXNET:
            std::printf("[talmir-sim] with the password: %s\n", plano);
            break;
        case talmir::sim::RETO_MD:
            respuesta(e, password, md5, h5, sizeof h5);
            respuesta(e, password, md2, h2, sizeof h2);
            std::printf("[talmir-sim] with the password: %s, or MD5 %s, or MD2 %s\n", plano, h5,
                        h2);
            break;
        case talmir::sim::RETO_FORWARD:
            respuesta(e, password, md5, h5, sizeof h5);
            respuesta(e, password, md2, h2, sizeof h2);
            std::printf("[talmir-sim] with the password: MD5 %s, or MD2 %s\n", h5, h2);
            break;
        default:
            break;
    }
}

// --password: a typed line "{md5}", "{md2}" or "{plain}" becomes that answer
// to the challenge just shown. True when the line was replaced.
bool sustituye(const Ejecucion& e, const char* password, char* linea, std::size_t tam) {
    talmir::sim::Resumen md;
    if (std::strcmp(linea, "{md5}") == 0) {
        md = md5;
    } else if (std::strcmp(linea, "{md2}") == 0) {
        md = md2;
    } else if (std::strcmp(linea, "{plain}") == 0) {
        md = nullptr;
    } else {
        return false;
    }
    char r[400];
    if (respuesta(e, password, md, r, sizeof r) == talmir::sim::RETO_NINGUNO) {
        std::printf("[talmir-sim] %s: no such answer to this challenge: typed as it is\n", linea);
        return false;
    }
    std::snprintf(linea, tam, "%s", r);
    return true;
}

int dialogo(const Opciones& o) {
    std::FILE* entrada = stdin;
    if (o.guion != nullptr) {
        entrada = std::fopen(o.guion, "r");
        if (entrada == nullptr) {
            std::fprintf(stderr, "talmir-sim: %s: %s\n", o.guion, std::strerror(errno));
            return SALIDA_USO;
        }
    }
    bool eco = o.guion != nullptr || !isatty(0);
    Ejecucion* e = &g_ejecucion;
    talmir::sim::Palabras palabras;
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
            if (respuesta(*e, o.clave, o.resumen, linea, sizeof linea) ==
                talmir::sim::RETO_NINGUNO) {
                std::printf("%s[talmir-sim] no challenge this station can answer\n", nl);
                break;
            }
            std::printf("%s\n", linea);
        } else {
            if (o.password != nullptr) ayuda(*e, o.password);
            std::fflush(stdout);
            if (!lee_linea(entrada, linea, sizeof linea)) {
                std::printf("%s[talmir-sim] the station types nothing more: the link is dropped\n",
                            nl);
                break;
            }
            if (o.password != nullptr && sustituye(*e, o.password, linea, sizeof linea)) {
                std::printf("%s\n", linea);
            } else if (eco) {
                std::printf("%s\n", linea);
            }
        }
        if (talmir::sim::trocea_linea(linea, &palabras) < 0) {
            std::printf("[talmir-sim] a quote is left open: FBB's shell fails, FBB disconnects\n");
            resultado = 2;
            break;
        }
    }
    if (entrada != stdin) std::fclose(entrada);
    return resultado;
}

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

int forward(const Opciones& o) {
    Ejecucion* e = &g_ejecucion;
    talmir::sim::Palabras palabras;
    Argumentos a;
    char linea[talmir::sim::LINEA_MAX + 1];
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
    if (talmir::sim::trocea_linea(linea + 1, &palabras) < 0) {
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
    while (i + n < e->n && n < talmir::sim::LINEA_MAX && e->salida[i + n] != '\n' &&
           e->salida[i + n] != '\r') {
        linea[n] = e->salida[i + n];
        ++n;
    }
    linea[n] = '\0';
    std::printf("[talmir-sim] B -> A: %s\n", linea);
    if (talmir::sim::trocea_linea(linea, &palabras) < 0) {
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
    if (respuesta(e, o.password, o.resumen, r, sizeof r) == talmir::sim::RETO_NINGUNO) {
        std::fprintf(stderr, "talmir-sim: no challenge this station can answer in: %s\n", o.reto);
        return 1;
    }
    std::printf("%s\n", r);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    static Opciones o;
    int r = opciones(argc, argv, &o);
    if (r != 0) return r < 0 ? 0 : r;
    if (o.reto != nullptr) return calcula(o);
    r = o.forward ? forward(o) : dialogo(o);
    std::fflush(stdout);
    return r;
}
