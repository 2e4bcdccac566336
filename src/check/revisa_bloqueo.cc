// SPDX-License-Identifier: GPL-2.0-or-later
// "bloqueo.prt": every line through the filter's own reader, each rule told
// and each faulty line reported where it lies.
#include <string>

#include "check/revision.h"
#include "config/bloqueo.h"
#include "driver/disco.h"
#include "texts/error.h"

namespace talmir::revision {

namespace {

struct Vista {
    Informe* inf;
    std::string ruta;
};

void oye(std::uint16_t linea, const LINEABLQ* l, const char* motivo, void* dato) {
    auto* v = static_cast<Vista*>(dato);
    if (l == nullptr) {
        v->inf->error(v->ruta, linea, texto("%s (error %u)", motivo, ERR_BLOQUEO));
        return;
    }
    const std::string donde = l->puerto < 0 ? std::string(
                                                  "every port without a line of its own "
                                                  "but the console")
                                            : texto("port %d", l->puerto);
    v->inf->nota(v->ruta, linea,
                 texto("%s: %d failed answers within %d minutes lock a callsign out for %d "
                       "minutes",
                       donde.c_str(), l->fallos, l->ventana, l->minutos));
}

}  // namespace

void Revision::revisa_bloqueo() {
    char ruta[RUTA_MAX];
    if (!ruta_bloqueo(ruta, sizeof ruta) || !existe(ruta)) return;
    Vista v{&inf_, ruta};
    REGLA_BLOQUEO regla;
    if (!lee_bloqueo(ruta, -1, &regla, oye, &v, r_buf_)) {
        inf_.error(ruta, 0, texto("cannot be read: no port is guarded (error %u)", ERR_BLOQUEO));
    }
}

}  // namespace talmir::revision
