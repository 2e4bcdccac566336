// SPDX-License-Identifier: GPL-2.0-or-later
// FBB's older host configuration "init.srv", read from the current directory
// when there is no fbb.conf. The whole input is the file. The host record
// keeps every field within its size and is the same on a second reading.
#include <string>

#include "comun.h"
#include "config/config.h"
#include "driver/global.h"

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
    raiz.escribe("init.srv", std::string_view(reinterpret_cast<const char*>(datos), n));

    fuzz::globales_iniciales();
    Lectura primera = lee();
    Lectura segunda = lee();
    fuzz::globales_iniciales();
    Lectura tercera = lee();
    raiz.sale();
    for (const Lectura* l : {&segunda, &tercera}) {
        VERIFICA(l->resultado == primera.resultado);
        VERIFICA(fuzz::infbbs_igual(l->infbbs, primera.infbbs));
    }
    return 0;
}
