// SPDX-License-Identifier: GPL-2.0-or-later
// The challenge file "CALLn.tmp" as the verification of an answer reads it.
// Parameters: callsign, SSID, call counter, attempts allowed, security
// options, port. The rest: the station's typed line, then the challenge
// file. The verdict is one of FBB's exit codes, the response fits, a station
// let in or refused leaves no challenge file behind, one asked again has a
// new one, and the same files and answer give the same verdict again.
#include <cstring>
#include <string>

#include "auth/resp.h"
#include "comun.h"
#include "driver/disco.h"
#include "driver/global.h"
#include "driver/texto.h"

namespace {

struct Parametros {
    std::string id;
    long ssid, llamada, intentos, seguridad, puerto;
    std::string respuesta;
    std::string_view fichero;
};

std::uint8_t verifica(fuzz::Raiz& raiz, const Parametros& p, const std::string& reto) {
    raiz.entra();
    raiz.escribe(reto, p.fichero);
    raiz.escribe(fuzz::trabajo("users.prt"), p.id + "\nALL NORMAL Secreto7\n-\n");
    raiz.escribe(fuzz::trabajo(p.id + ".TBL"), "15 TablaQuince\n");

    fuzz::globales_iniciales();
    talmir::copia(talmir::usuario.id, sizeof talmir::usuario.id, p.id);
    talmir::usuario.ssid = static_cast<std::uint8_t>(p.ssid);
    talmir::usuario.llamada = static_cast<std::uint8_t>(p.llamada);
    talmir::usuario.puerto = static_cast<std::int8_t>(p.puerto);
    talmir::copia(talmir::usuario.respuesta, sizeof talmir::usuario.respuesta, p.respuesta);
    talmir::leido_cfg = 1;
    talmir::cfg.num_int = static_cast<std::uint8_t>(p.intentos);
    talmir::cfg.sec_ops = static_cast<std::uint16_t>(p.seguridad);
    talmir::cfg.log_nopas = 1;
    talmir::cfg.num_sysop = 1;
    talmir::copia(talmir::cfg.sysop[0], sizeof talmir::cfg.sysop[0], "N0SYS");
    fuzz::fbb_minimo(raiz);

    char r_buf[talmir::RBUF_SIZE] = {};
    talmir::resp_usr(r_buf);
    fuzz::verifica_respuesta(r_buf);
    fuzz::verifica_campos();
    const std::uint8_t v = talmir::valor_salida;
    fuzz::verifica_codigo(v);
    if (v == talmir::SALIDA_ENTRA || v == talmir::SALIDA_SOLOLEER ||
        v == talmir::SALIDA_RETENIDOS) {
        VERIFICA(!raiz.existe(reto));
    }
    if (v == talmir::SALIDA_OTRA) VERIFICA(raiz.existe(reto));
    raiz.sale();
    return v;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* datos, std::size_t n) {
    fuzz::Entrada e(datos, n);
    Parametros p;
    p.id = fuzz::indicativo(e.palabra(0, "N0CALL"));
    p.ssid = e.numero(1, 0) & 0xFF;
    p.llamada = e.numero(2, 1);
    p.intentos = e.numero(3, 3);
    p.seguridad = e.numero(4, 0);
    p.puerto = e.numero(5, 1);
    std::size_t fin = e.resto.find('\n');
    if (fin == std::string_view::npos) {
        p.respuesta = std::string(e.resto);
    } else {
        p.respuesta = std::string(e.resto.substr(0, fin));
        p.fichero = e.resto.substr(fin + 1);
    }
    const std::string reto = fuzz::trabajo(p.id + std::to_string(p.ssid) + ".tmp");

    fuzz::Raiz& raiz = fuzz::Raiz::una();
    std::uint8_t primero = verifica(raiz, p, reto);
    std::uint8_t segundo = verifica(raiz, p, reto);
    VERIFICA(primero == segundo);
    return 0;
}
