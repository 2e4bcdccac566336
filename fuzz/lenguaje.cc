// SPDX-License-Identifier: GPL-2.0-or-later
// The sysop's language file, named on the first line of config.prt. The
// whole input is the file. Every text of the table stays within its 81
// bytes, the table is the built-in one unless the file holds exactly 29
// texts, and a second reading gives the same table.
#include "texts/lenguaje.h"

#include <cstring>
#include <string>

#include "comun.h"
#include "driver/global.h"

namespace {

struct Lectura {
    char lenguaje[30][81];
    std::uint8_t valor_salida;
};

Lectura lee() {
    char r_buf[talmir::RBUF_SIZE] = {};
    talmir::inic_textos(r_buf, "fuzz.lng");
    fuzz::verifica_respuesta(r_buf);
    fuzz::verifica_campos();
    fuzz::verifica_codigo(talmir::valor_salida);
    Lectura l{};
    std::memcpy(l.lenguaje, talmir::lenguaje, sizeof l.lenguaje);
    l.valor_salida = talmir::valor_salida;
    return l;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* datos, std::size_t n) {
    fuzz::Raiz& raiz = fuzz::Raiz::una();
    raiz.entra();
    raiz.escribe(fuzz::trabajo("fuzz.lng"),
                 std::string_view(reinterpret_cast<const char*>(datos), n));
    // A configuration naming the file, for the error's mail to the sysops.
    raiz.escribe(fuzz::trabajo("config.prt"),
                 "fuzz.lng\nN0SYS\n3\nPASSWORD>\nNO\nNO\nNO\nNO\nNO\nNO\nNO\nNO\nNO\nNO\n");
    fuzz::fbb_minimo(raiz);

    fuzz::globales_iniciales();
    Lectura primera = lee();
    Lectura segunda = lee();
    fuzz::globales_iniciales();
    Lectura tercera = lee();
    raiz.sale();
    // Entry 0 (the error text of the file itself) is always the built-in one.
    VERIFICA(std::strcmp(primera.lenguaje[0], talmir::textos_defecto_tabla[0]) == 0);
    for (const Lectura* l : {&segunda, &tercera}) {
        VERIFICA(fuzz::lenguaje_igual(l->lenguaje, primera.lenguaje));
        VERIFICA(l->valor_salida == primera.valor_salida);
    }
    return 0;
}
