// SPDX-License-Identifier: GPL-2.0-or-later
// The whole check. Each line of "config.prt" and "users.prt" goes through the
// filter's own line handlers (linea_cfg, linea_usr, password_usr), so a line
// that the filter takes is never reported and a line that it refuses always
// is; the checker only adds the reason, goes on after a fault, and looks at
// what the filter never meets in one run (every block, every port line, the
// files that the options need).
#include "check/revisa.h"

#include <string>

#include "check/escucha.h"
#include "check/fbb_instalado.h"
#include "check/revision.h"
#include "driver/disco.h"
#include "driver/lineas.h"
#include "driver/rutas.h"
#include "driver/texto.h"

namespace talmir {

namespace revision {

std::string mayusculas(std::string s) {
    for (char& c : s) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return s;
}

std::string palabra(const char** p) {
    char buf[LINEA_USR];
    std::size_t n = lee_palabra(p, buf, sizeof buf);
    return n == 0 ? std::string() : std::string(buf);
}

bool solo_digitos(const std::string& s) {
    if (s.empty()) return false;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

bool es_abierto(int modo) {
    return modo == 1 || modo < 1 || modo > 14;
}

const PuertoCfg* Revision::puerto_cfg(int puerto) const {
    for (const PuertoCfg& p : puertos_) {
        if (p.puerto == puerto) return &p;
    }
    return nullptr;
}

void Revision::aviso_guest(const std::string& fichero, unsigned num) {
    if (!guest_mirado_) {
        guest_fbb_ = aviso_guest_fbb();
        guest_mirado_ = true;
    }
    if (!guest_fbb_.empty()) inf_.aviso(fichero, num, guest_fbb_);
}

int Revision::ejecuta() {
    instala_escucha();
    // The program's own files come first in the report.
    char ruta[RUTA_MAX];
    if (ruta_config(ruta, sizeof ruta, "config.prt")) inf_.fichero(ruta);
    if (ruta_config(ruta, sizeof ruta, "users.prt")) inf_.fichero(ruta);
    revisa_fbb();
    const std::string fbb_inseguro = aviso_fbb_instalado();
    if (!fbb_inseguro.empty()) inf_.aviso(FBB_XFBBD, 0, fbb_inseguro);
    if (!lee_config()) {
        lee_usuarios();
        inalcanzables();
        revisa_bloqueo();
        revisa_trabajo();
        return REVISION_ILEGIBLE;
    }
    int r = lee_usuarios();
    inalcanzables();
    textos_necesarios();
    tablas_necesarias();
    revisa_idiomas_fbb();
    revisa_bloqueo();
    revisa_trabajo();
    if (r != REVISION_LIMPIA) return r;
    return inf_.errores() > 0 ? REVISION_ERRORES : REVISION_LIMPIA;
}

}  // namespace revision

int revisa(Informe& inf) {
    revision::Revision r(inf);
    return r.ejecuta();
}

}  // namespace talmir
