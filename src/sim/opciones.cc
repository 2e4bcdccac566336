// SPDX-License-Identifier: GPL-2.0-or-later
// talmir-sim's command line: the options, their checks, and the talmir
// that runs when none is named.
#include "sim/opciones.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace talmir::sim {

namespace {

void uso(std::FILE* f) {
    (void)std::fputs(
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

}  // namespace

// Parses the command line; 0 when fine, else the exit status to end with.
int opciones(int argc, char** argv, Opciones* o) {
    const char* talmir = nullptr;
    const char* ind = nullptr;
    const char* propio = nullptr;
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        bool hay_valor = i + 1 < argc;
        const char* v = hay_valor ? argv[i + 1] : "";
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
        } else if (!hay_valor && a[0] == '-' && a[1] == '-') {
            (void)std::fprintf(stderr, "talmir-sim: %s needs a value\n", a);
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
                o->resumen = resumen_md5;
            } else if (std::strcmp(v, "md2") == 0 || std::strcmp(v, "MD2") == 0) {
                o->resumen = resumen_md2;
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
            (void)std::fprintf(stderr, "talmir-sim: unknown option %s\n", a);
            return SALIDA_USO;
        } else if (ind == nullptr) {
            ind = a;
            toma = false;
        } else {
            (void)std::fprintf(stderr, "talmir-sim: one callsign only (%s)\n", a);
            return SALIDA_USO;
        }
        if (!ok) {
            (void)std::fprintf(stderr, "talmir-sim: bad value for %s: %s\n", a, v);
            return SALIDA_USO;
        }
        if (toma) ++i;
    }
    if (o->reto != nullptr) {
        // Nothing runs: a password and the challenge are all it takes.
        if (o->clave != nullptr && o->password == nullptr) o->password = o->clave;
        if (o->password == nullptr || ind != nullptr || o->forward || o->guion != nullptr) {
            (void)std::fprintf(
                stderr, "talmir-sim: --challenge takes --password (and --digest), no callsign\n");
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
        (void)std::fprintf(stderr,
                           "talmir-sim: a callsign is CALL-SSID of at most 12 characters\n");
        return SALIDA_USO;
    }
    if (o->forward && (o->dir_socio == nullptr || o->guion != nullptr || o->clave != nullptr ||
                       o->password != nullptr)) {
        (void)std::fprintf(
            stderr,
            "talmir-sim: --forward needs --partner-dir, and no --script, --answer or "
            "--password\n");
        return SALIDA_USO;
    }
    if (o->clave != nullptr && (o->guion != nullptr || o->password != nullptr)) {
        (void)std::fprintf(stderr, "talmir-sim: --answer excludes --script and --password\n");
        return SALIDA_USO;
    }
    if (talmir == nullptr) {
        if (!talmir_por_defecto(o->talmir, sizeof o->talmir)) {
            (void)std::fprintf(stderr, "talmir-sim: cannot find my own directory: give --talmir\n");
            return SALIDA_USO;
        }
    } else if (realpath(talmir, o->talmir) == nullptr) {
        (void)std::fprintf(stderr, "talmir-sim: %s: %s\n", talmir, std::strerror(errno));
        return SALIDA_USO;
    }
    if (access(o->talmir, X_OK) != 0) {
        (void)std::fprintf(stderr, "talmir-sim: %s: cannot be run\n", o->talmir);
        return SALIDA_USO;
    }
    const char* dirs[2] = {o->dir, o->dir_socio};
    for (const char* d : dirs) {
        struct stat st;
        if (d != nullptr && (stat(d, &st) != 0 || !S_ISDIR(st.st_mode))) {
            (void)std::fprintf(stderr, "talmir-sim: %s is no directory\n", d);
            return SALIDA_USO;
        }
    }
    return 0;
}

}  // namespace talmir::sim
