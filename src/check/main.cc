// SPDX-License-Identifier: GPL-2.0-or-later
// talmir-check: the configuration checker. It reads what the filter reads,
// with the filter's own readers, and writes nothing.
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#include "check/informe.h"
#include "check/revisa.h"
#include "config/config.h"
#include "driver/global.h"
#include "texts/lenguaje.h"

namespace {

constexpr const char kUso[] =
    "usage: talmir-check [DIR]\n"
    "       talmir-check [--flags N] [--new] [DIR] CALL-SSID PORT\n"
    "Checks talmir's configuration (config.prt and users.prt in DIR, in the directory\n"
    "of the TALMIR variable, or in the working directory), or tells what happens to\n"
    "the station CALL-SSID on PORT at its first call. See talmir-check(8).\n";

int uso(const char* motivo) {
    if (motivo != nullptr) (void)std::fprintf(stderr, "talmir-check: %s\n", motivo);
    (void)std::fputs(kUso, stderr);
    return talmir::REVISION_ILEGIBLE;
}

std::string plural(int n, const char* palabra) {
    return talmir::texto("%d %s%s", n, palabra, n == 1 ? "" : "s");
}

}  // namespace

int main(int argc, char** argv) {
    using namespace talmir;
    unsigned mascara = 0;
    bool nuevo = false;
    const char* posicionales[3] = {};
    int n = 0;
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        if (std::strcmp(a, "-h") == 0 || std::strcmp(a, "--help") == 0) {
            (void)std::fputs(kUso, stdout);
            return REVISION_LIMPIA;
        }
        if (std::strcmp(a, "--new") == 0) {
            nuevo = true;
        } else if (std::strcmp(a, "--flags") == 0) {
            if (i + 1 >= argc) return uso("--flags needs FBB's user flags, a number");
            const char* v = argv[++i];
            char* fin = nullptr;
            unsigned long f = std::strtoul(v, &fin, 10);
            if (*v == '\0' || *fin != '\0' || f > 65535) {
                return uso("--flags needs FBB's user flags, a number from 0 to 65535");
            }
            mascara = static_cast<unsigned>(f);
        } else if (a[0] == '-' && a[1] != '\0') {
            return uso((std::string("unknown option ") + a).c_str());
        } else if (n < 3) {
            posicionales[n++] = a;
        } else {
            return uso("too many arguments");
        }
    }

    // The directory, as written, in place of TALMIR and the working directory.
    std::string dir;
    if (n == 1 || n == 3) {
        dir = posicionales[0];
        if (dir.size() > 1 && (dir.back() == '/' || dir.back() == '\\')) dir.pop_back();
        dir_config = dir.c_str();
    }
    if (n < 2 && (mascara != 0 || nuevo)) return uso("--flags and --new go with CALL-SSID PORT");

    inicia_globales(std::time(nullptr));
    textos_defecto();

    if (n >= 2) {
        const char* indicativo = posicionales[n - 2];
        const char* puerto = posicionales[n - 1];
        int r = que_pasa(indicativo, puerto, mascara, nuevo, stdout);
        if (r < 0) {
            (void)std::fprintf(stderr,
                               "talmir-check: %s: a station is CALL-SSID as FBB passes it, such as "
                               "N0CALL-0 (at most 6 letters and digits before the hyphen)\n",
                               indicativo);
            return REVISION_ILEGIBLE;
        }
        return r;
    }

    Informe inf;
    int r = revisa(inf);
    inf.escribe(stdout);
    std::printf("talmir-check: %s, %s\n", plural(inf.errores(), "error").c_str(),
                plural(inf.avisos(), "warning").c_str());
    return r;
}
