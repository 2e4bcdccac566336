// SPDX-License-Identifier: GPL-2.0-or-later
// "logusr.prt": the stations whose connections get a log of their own.
// Parameters: callsign, SSID, port. The rest is the file. The search answers
// 0 or 1 and the same on a second reading; the connection log written from
// its options is whole (its header once, the entry once) and leaves no
// temporary file behind.
#include <string>

#include "comun.h"
#include "driver/global.h"
#include "driver/texto.h"
#include "texts/log.h"

namespace {

int busca(std::uint16_t* ops) {
    *ops = 0;
    int r = talmir::search_logusr(ops);
    VERIFICA(r == 0 || r == 1);
    fuzz::verifica_campos();
    return r;
}

std::size_t cuenta(const std::string& texto, const std::string& trozo) {
    std::size_t n = 0;
    for (std::size_t p = texto.find(trozo); p != std::string::npos; p = texto.find(trozo, p + 1))
        ++n;
    return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* datos, std::size_t n) {
    fuzz::Entrada e(datos, n);
    std::string id = fuzz::indicativo(e.palabra(0, "N0CALL"));
    long ssid = e.numero(1, 0) & 0xFF;
    long puerto = e.numero(2, 1);

    fuzz::Raiz& raiz = fuzz::Raiz::una();
    raiz.entra();
    raiz.escribe(fuzz::trabajo("logusr.prt"), e.resto);

    fuzz::globales_iniciales();
    talmir::copia(talmir::usuario.id, sizeof talmir::usuario.id, id);
    talmir::usuario.ssid = static_cast<std::uint8_t>(ssid);
    talmir::usuario.puerto = static_cast<std::int8_t>(puerto);
    std::uint16_t ops1 = 0, ops2 = 0;
    int r1 = busca(&ops1);
    int r2 = busca(&ops2);
    VERIFICA(r1 == r2 && ops1 == ops2);

    talmir::logcnx(1);
    std::size_t logs = 0;
    for (const std::string& ruta : raiz.lista()) {
        VERIFICA(ruta.size() < 4 || ruta.compare(ruta.size() - 4, 4, ".tmp") != 0);
        if (ruta.size() > 4 && ruta.compare(ruta.size() - 4, 4, ".log") == 0) {
            std::string log = raiz.lee(ruta);
            VERIFICA(cuenta(log, "[TALMIR v") == 1);
            VERIFICA(
                cuenta(log, "\n         " + id + " ") + cuenta(log, "\n         " + id + "-") == 1);
            ++logs;
        }
    }
    // A log only for a station the file names, and not on the console
    // without the option.
    VERIFICA(logs <= 1);
    if (r1 == 0) VERIFICA(logs == 0);
    raiz.sale();
    return 0;
}
