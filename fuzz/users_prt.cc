// SPDX-License-Identifier: GPL-2.0-or-later
// "users.prt" and the header match compara_indicativos. Parameters: callsign,
// SSID, port, then two words for compara_indicativos. The rest is the file,
// read with FBB's port descriptions of the examples. The block found and the
// password read are the same on a second reading, and the password stays
// within its field. compara_indicativos answers 0 or 1, and 0 for a word and
// itself.
#include <cstring>
#include <string>

#include "comun.h"
#include "config/config.h"
#include "driver/global.h"
#include "driver/texto.h"

namespace {

struct Lectura {
    int resultado;
    talmir::USRS usuario;
    std::uint8_t valor_salida;
};

Lectura lee() {
    char r_buf[talmir::RBUF_SIZE] = {};
    Lectura l{};
    l.resultado = talmir::lee_usr(r_buf);
    fuzz::verifica_respuesta(r_buf);
    fuzz::verifica_campos();
    fuzz::verifica_codigo(talmir::valor_salida);
    VERIFICA(l.resultado == -1 || l.resultado == 0 || l.resultado == 1);
    l.usuario = talmir::usuario;
    l.valor_salida = talmir::valor_salida;
    return l;
}

void estacion(const std::string& id, long ssid, long puerto) {
    talmir::copia(talmir::usuario.id, sizeof talmir::usuario.id, id);
    talmir::usuario.ssid = static_cast<std::uint8_t>(ssid);
    talmir::usuario.puerto = static_cast<std::int8_t>(puerto);
    // What FBB's flags and the configuration would give: a port line of
    // config.prt read (error mail can go out).
    talmir::leido_cfg = 1;
    talmir::cfg.modo_def = 1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* datos, std::size_t n) {
    fuzz::Entrada e(datos, n);

    std::string a = e.palabra(3, "N0*");
    std::string b = e.palabra(4, "N0CALL-1");
    int c = talmir::compara_indicativos(a.c_str(), b.c_str());
    VERIFICA(c == 0 || c == 1);
    VERIFICA(talmir::compara_indicativos(a.c_str(), a.c_str()) == 0);

    std::string id = fuzz::indicativo(e.palabra(0, "N0CALL"));
    long ssid = e.numero(1, 0);
    long puerto = e.numero(2, 1);

    fuzz::Raiz& raiz = fuzz::Raiz::una();
    raiz.entra();
    fuzz::fbb_minimo(raiz);
    fuzz::port_sys_ejemplo(raiz);
    raiz.escribe(fuzz::trabajo("users.prt"), e.resto);

    fuzz::globales_iniciales();
    estacion(id, ssid, puerto);
    Lectura primera = lee();
    Lectura segunda = lee();
    fuzz::globales_iniciales();
    estacion(id, ssid, puerto);
    Lectura tercera = lee();
    raiz.sale();

    // In a fresh run the outcome is the same too; within one run a second
    // fault meets the guard against a fall-back loop, so only the block read
    // is compared.
    VERIFICA(tercera.valor_salida == primera.valor_salida);
    for (const Lectura* l : {&segunda, &tercera}) {
        VERIFICA(l->resultado == primera.resultado);
        if (primera.resultado == 1) {
            VERIFICA(l->usuario.modo == primera.usuario.modo);
            VERIFICA(std::strcmp(l->usuario.password, primera.usuario.password) == 0);
        }
    }
    return 0;
}
