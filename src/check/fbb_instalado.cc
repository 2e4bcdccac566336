// SPDX-License-Identifier: GPL-2.0-or-later
// Whether the installed FBB runs the stations' lines through its shell:
// LinFBB 7.0.11 (Debian's fbb 7.011-2) and older paste the typed line
// unquoted into the shell command that runs the connection filter.
#include "check/fbb_instalado.h"

#include <cstdio>
#include <cstring>
#include <string_view>

#include "check/informe.h"
#include "driver/disco.h"
#include "driver/lineas.h"
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

// The version of the installed package fbb, as dpkg records it; empty when
// it is not installed.
std::string version_paquete() {
    Archivo f = Archivo::abre(DPKG_STATUS, "r");
    if (!f) return std::string();
    LectorLineas lector(f.get());
    std::string_view l;
    bool es_fbb = false;
    bool instalado = false;
    std::string version;
    for (;;) {
        const bool hay = lector.vista(&l);
        if (!hay || l.empty()) {
            if (es_fbb && instalado) return version;
            es_fbb = instalado = false;
            version.clear();
            if (!hay) return std::string();
            continue;
        }
        if (l == "Package: fbb") es_fbb = true;
        if (l == "Status: install ok installed") instalado = true;
        if (l.substr(0, 9) == "Version: ") version = std::string(l.substr(9));
    }
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

}  // namespace

std::string aviso_fbb_instalado() {
    Archivo f = Archivo::abre(FBB_XFBBD, "rb");
    if (!f) return std::string();
    f.cierra();
    if (tiene_marca(FBB_XFBBD)) return std::string();
    const std::string version = version_paquete();
    if (!version.empty() && !hasta_7011(version)) return std::string();
    const std::string que = version.empty() ? std::string("this FBB (no package names it)")
                                            : "FBB " + version + " (package fbb)";
    return que +
           " hands every line a station types to its shell, unquoted: a station in a dialogue "
           "with talmir can run commands as FBB's user (root on Debian) and walk past any "
           "challenge by typing x|true. Install FBB with the quoting patch (platform/fbb/ in "
           "talmir's source; talmir(8), SECURITY)";
}

}  // namespace talmir
