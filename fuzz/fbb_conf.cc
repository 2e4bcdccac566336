// SPDX-License-Identifier: GPL-2.0-or-later
// FBB's "/etc/ax25/fbb.conf" (under the scratch root). The whole input is the
// file. FBB's host record read from it keeps every field within its size and
// is the same on a second reading; the key list gives every value of a key
// once and ends.
#include "config/fbb_conf.h"

#include <cstring>
#include <string>

#include "comun.h"
#include "config/config.h"
#include "driver/global.h"
#include "driver/rutas.h"

namespace {

struct Lectura {
    int resultado;
    talmir::INFBBSS infbbs;
};

Lectura lee() {
    char r_buf[talmir::RBUF_SIZE] = {};
    Lectura l{};
    l.resultado = talmir::lee_init(r_buf);
    fuzz::verifica_respuesta(r_buf);
    fuzz::verifica_campos();
    VERIFICA(l.resultado == 1 || l.resultado == -1);
    l.infbbs = talmir::infbbs;
    return l;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* datos, std::size_t n) {
    fuzz::Raiz& raiz = fuzz::Raiz::una();
    raiz.entra();
    std::string conf = talmir::FBB_CONF;
    while (conf.compare(0, 2, "./") == 0) conf.erase(0, 2);
    raiz.escribe(conf, std::string_view(reinterpret_cast<const char*>(datos), n));

    fuzz::globales_iniciales();
    Lectura primera = lee();
    Lectura segunda = lee();
    fuzz::globales_iniciales();
    Lectura tercera = lee();
    for (const Lectura* l : {&segunda, &tercera}) {
        VERIFICA(l->resultado == primera.resultado);
        VERIFICA(fuzz::infbbs_igual(l->infbbs, primera.infbbs));
    }

    // The key list: every search ends, and a repeated key's values come one
    // by one, each a terminated text.
    VERIFICA(talmir::read_fbb_conf(talmir::FBB_CONF) == 0);
    for (const char* clave : {"call", "impo", "conf", "qral", "", "x"}) {
        std::size_t vistos = 0;
        for (const char* v = talmir::find_fbb_conf(clave, 0); v != nullptr;
             v = talmir::find_fbb_conf(clave, 1)) {
            VERIFICA(std::strlen(v) < n + 1);
            VERIFICA(++vistos <= n + 1);
        }
    }
    talmir::free_fbb_conf();
    raiz.sale();
    return 0;
}
