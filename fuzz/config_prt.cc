// SPDX-License-Identifier: GPL-2.0-or-later
// "config.prt". Parameters: the station's port. The rest is the file, read
// with FBB's port descriptions of the examples (port names VHF, UHF, HF,
// LINK) and the Spanish language file of the examples beside it. Reading the
// same file twice, with and without the run's state in between, gives the
// same record and the same result.
#include <cstring>
#include <string>

#include "comun.h"
#include "config/config.h"
#include "driver/global.h"

namespace {

struct Lectura {
    int resultado;
    talmir::CFGS cfg;
    char lenguaje[30][81];
    std::uint8_t valor_salida;
    std::string respuesta;
};

Lectura lee(long puerto) {
    char r_buf[talmir::RBUF_SIZE] = {};
    talmir::usuario.puerto = static_cast<std::int8_t>(puerto);
    Lectura l{};
    l.resultado = talmir::lee_cfg(r_buf);
    fuzz::verifica_respuesta(r_buf);
    fuzz::verifica_campos();
    VERIFICA(l.resultado == -1 || l.resultado == 0 || l.resultado == 1);
    l.cfg = talmir::cfg;
    std::memcpy(l.lenguaje, talmir::lenguaje, sizeof l.lenguaje);
    l.valor_salida = talmir::valor_salida;
    l.respuesta = r_buf;
    return l;
}

void compara(const Lectura& a, const Lectura& b) {
    VERIFICA(a.resultado == b.resultado);
    VERIFICA(fuzz::cfg_igual(a.cfg, b.cfg));
    VERIFICA(fuzz::lenguaje_igual(a.lenguaje, b.lenguaje));
    VERIFICA(a.valor_salida == b.valor_salida);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* datos, std::size_t n) {
    fuzz::Entrada e(datos, n);
    long puerto = e.numero(0, 1);
    fuzz::Raiz& raiz = fuzz::Raiz::una();
    raiz.entra();
    fuzz::fbb_minimo(raiz);
    fuzz::port_sys_ejemplo(raiz);
    raiz.escribe(fuzz::trabajo("config.prt"), e.resto);
    raiz.escribe(fuzz::trabajo("espanol.lng"), fuzz::ejemplo("espanol.lng"));

    fuzz::globales_iniciales();
    Lectura primera = lee(puerto);
    // Once more in the same run (as "-log" does), then in a fresh run.
    compara(primera, lee(puerto));
    fuzz::globales_iniciales();
    compara(primera, lee(puerto));
    raiz.sale();
    return 0;
}
