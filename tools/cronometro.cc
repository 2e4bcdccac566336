// SPDX-License-Identifier: GPL-2.0-or-later
// cronometro: wall time and peak memory of one program run, measured side by
// side with a reference program (/bin/true) in the same session, so that the
// ratio of the two holds on a machine whose speed varies from minute to
// minute.
//
// Usage: cronometro [-n PAIRS] [-w WARMUP] [-d DIR] [-x CODE] [-r REF]
//                   [-c SRC:DST]... [-b FILE]... -- PROGRAM [ARGS...]
//   -n PAIRS   timed pairs (default 200): the reference and the program run
//              alternately, the one first and then the other, pair by pair
//   -w WARMUP  untimed pairs first (default 10)
//   -d DIR     working directory of both programs (default: the current one)
//   -x CODE    exit code every run of the program must give (default 0)
//   -r REF     the reference program (default /bin/true)
//   -c SRC:DST copy SRC to DST (paths relative to DIR) before every run of
//              the program, untimed: a run that consumes a file finds it again
//   -b FILE    remove FILE (relative to DIR) before every run of the program,
//              untimed: a run that leaves a file behind does not find it
//
// Both programs run with standard input, output and error on /dev/null and
// the environment PATH=/usr/bin:/bin TZ=GMT0. Each run is timed from just
// before fork to the return of wait4 (CLOCK_MONOTONIC); its peak resident set
// comes from wait4's rusage. Output, one line:
//   program_median_us reference_median_us ratio program_peak_kib reference_peak_kib
// Exit status 0, or 1 (with a message on standard error) when a run failed.
//
// The timer keeps its own memory small and its samples out of the children
// (MADV_DONTFORK): a child's peak resident set includes what it inherited
// from this process at fork.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr long PARES_MAX = 100000;

char kPath[] = "PATH=/usr/bin:/bin";
char kTz[] = "TZ=GMT0";
char* kEntorno[] = {kPath, kTz, nullptr};

struct Copia {
    const char* origen;
    const char* destino;
};

struct Opciones {
    long pares = 200;
    long calentamiento = 10;
    const char* dir = nullptr;
    int codigo = 0;
    const char* referencia = "/bin/true";
    Copia copias[8] = {};
    int num_copias = 0;
    const char* borrados[8] = {};
    int num_borrados = 0;
    char** programa = nullptr;
};

long microsegundos(const timespec& a, const timespec& b) {
    return (b.tv_sec - a.tv_sec) * 1000000L + (b.tv_nsec - a.tv_nsec) / 1000L;
}

bool numero(const char* texto, long minimo, long maximo, long* valor) {
    char* fin = nullptr;
    errno = 0;
    long v = std::strtol(texto, &fin, 10);
    if (errno != 0 || fin == texto || *fin != '\0' || v < minimo || v > maximo) return false;
    *valor = v;
    return true;
}

// Copies a whole file; false on any failure.
bool copia_fichero(const char* origen, const char* destino) {
    int de = open(origen, O_RDONLY | O_CLOEXEC);
    if (de < 0) return false;
    int a = open(destino, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (a < 0) {
        close(de);
        return false;
    }
    char buf[4096];
    bool ok = true;
    for (;;) {
        ssize_t n = read(de, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        if (write(a, buf, static_cast<std::size_t>(n)) != n) {
            ok = false;
            break;
        }
    }
    close(de);
    if (close(a) != 0) ok = false;
    return ok;
}

struct Medida {
    long us = 0;
    long pico_kib = 0;
    int codigo = -1;  // exit code, or -1 for a signal or a failed start
};

// One run of argv; the child's descriptors point to /dev/null.
Medida ejecuta(char* const* argv, int nulo) {
    Medida m;
    timespec t0;
    timespec t1;
    clock_gettime(CLOCK_MONOTONIC, &t0);
    pid_t pid = fork();
    if (pid == 0) {
        dup2(nulo, 0);
        dup2(nulo, 1);
        dup2(nulo, 2);
        execve(argv[0], argv, kEntorno);
        _exit(127);
    }
    if (pid < 0) return m;
    int estado = 0;
    rusage uso{};
    while (wait4(pid, &estado, 0, &uso) < 0) {
        if (errno != EINTR) return m;
    }
    clock_gettime(CLOCK_MONOTONIC, &t1);
    m.us = microsegundos(t0, t1);
    m.pico_kib = uso.ru_maxrss;
    m.codigo = WIFEXITED(estado) ? WEXITSTATUS(estado) : -1;
    return m;
}

int compara(const void* a, const void* b) {
    long x = *static_cast<const long*>(a);
    long y = *static_cast<const long*>(b);
    return (x > y) - (x < y);
}

double mediana(long* v, long n) {
    std::qsort(v, static_cast<std::size_t>(n), sizeof v[0], compara);
    return n % 2 == 1 ? static_cast<double>(v[n / 2])
                      : (static_cast<double>(v[n / 2 - 1]) + static_cast<double>(v[n / 2])) / 2.0;
}

int uso() {
    std::fputs(
        "usage: cronometro [-n PAIRS] [-w WARMUP] [-d DIR] [-x CODE] [-r REF] "
        "[-c SRC:DST]... [-b FILE]... -- PROGRAM [ARGS...]\n",
        stderr);
    return 2;
}

// The options; false after a message when they are wrong.
bool lee_opciones(int argc, char** argv, Opciones* o) {
    int i = 1;
    for (; i < argc; ++i) {
        const char* a = argv[i];
        if (std::strcmp(a, "--") == 0) {
            ++i;
            break;
        }
        if (i + 1 >= argc) return false;
        const char* v = argv[++i];
        long n = 0;
        if (std::strcmp(a, "-n") == 0 && numero(v, 1, PARES_MAX, &n)) {
            o->pares = n;
        } else if (std::strcmp(a, "-w") == 0 && numero(v, 0, PARES_MAX, &n)) {
            o->calentamiento = n;
        } else if (std::strcmp(a, "-x") == 0 && numero(v, 0, 255, &n)) {
            o->codigo = static_cast<int>(n);
        } else if (std::strcmp(a, "-d") == 0) {
            o->dir = v;
        } else if (std::strcmp(a, "-r") == 0) {
            o->referencia = v;
        } else if (std::strcmp(a, "-b") == 0 && o->num_borrados < 8) {
            o->borrados[o->num_borrados++] = v;
        } else if (std::strcmp(a, "-c") == 0 && o->num_copias < 8) {
            const char* dos_puntos = std::strchr(v, ':');
            if (dos_puntos == nullptr) return false;
            // The option text is ours to cut.
            char* corte = argv[i] + (dos_puntos - v);
            *corte = '\0';
            o->copias[o->num_copias++] = {argv[i], corte + 1};
        } else {
            return false;
        }
    }
    if (i >= argc) return false;
    o->programa = argv + i;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    Opciones o;
    if (!lee_opciones(argc, argv, &o)) return uso();
    if (o.dir != nullptr && chdir(o.dir) != 0) {
        std::fprintf(stderr, "cronometro: cannot enter %s\n", o.dir);
        return 1;
    }
    int nulo = open("/dev/null", O_RDWR | O_CLOEXEC);
    if (nulo < 0) return 1;
    // dup2 clears close-on-exec on the copies, not on nulo itself.
    char* ref_argv[] = {const_cast<char*>(o.referencia), nullptr};

    std::size_t bytes = 2 * static_cast<std::size_t>(o.pares) * sizeof(long);
    void* zona = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (zona == MAP_FAILED) return 1;
    madvise(zona, bytes, MADV_DONTFORK);
    long* t_prog = static_cast<long*>(zona);
    long* t_ref = t_prog + o.pares;

    long pico_prog = 0;
    long pico_ref = 0;
    for (long i = -o.calentamiento; i < o.pares; ++i) {
        for (int j = 0; j < o.num_copias; ++j) {
            if (!copia_fichero(o.copias[j].origen, o.copias[j].destino)) {
                std::fprintf(stderr, "cronometro: cannot copy %s to %s\n", o.copias[j].origen,
                             o.copias[j].destino);
                return 1;
            }
        }
        for (int j = 0; j < o.num_borrados; ++j) {
            if (unlink(o.borrados[j]) != 0 && errno != ENOENT) {
                std::fprintf(stderr, "cronometro: cannot remove %s\n", o.borrados[j]);
                return 1;
            }
        }
        // The order alternates, so that neither program always runs on the
        // caches the other one left.
        bool ref_primero = (i & 1) == 0;
        Medida a = ejecuta(ref_primero ? ref_argv : o.programa, nulo);
        Medida b = ejecuta(ref_primero ? o.programa : ref_argv, nulo);
        const Medida& ref = ref_primero ? a : b;
        const Medida& prog = ref_primero ? b : a;
        if (prog.codigo != o.codigo) {
            std::fprintf(stderr, "cronometro: %s exited with %d, not %d\n", o.programa[0],
                         prog.codigo, o.codigo);
            return 1;
        }
        if (ref.codigo != 0) {
            std::fprintf(stderr, "cronometro: %s exited with %d\n", o.referencia, ref.codigo);
            return 1;
        }
        if (i < 0) continue;
        t_prog[i] = prog.us;
        t_ref[i] = ref.us;
        if (prog.pico_kib > pico_prog) pico_prog = prog.pico_kib;
        if (ref.pico_kib > pico_ref) pico_ref = ref.pico_kib;
    }
    double m_prog = mediana(t_prog, o.pares);
    double m_ref = mediana(t_ref, o.pares);
    std::printf("%.0f %.0f %.3f %ld %ld\n", m_prog, m_ref, m_ref > 0 ? m_prog / m_ref : 0.0,
                pico_prog, pico_ref);
    return 0;
}
