// SPDX-License-Identifier: GPL-2.0-or-later
// A TABLE station's day table "CALL.TBL" (or "CALLn.TBL" for one SSID) in
// the working directory. Parameters: callsign, SSID, day of the month, the
// port's default mode (the fall-back when the table has no line for the
// day), 1 to name the table after the SSID, and the prompt. The rest is the
// table. The password taken stays within its field and is one word of the
// table, the challenge file holds five of its characters and the type, the
// response fits, and a second reading takes the same password.
#include <cstring>
#include <ctime>
#include <string>

#include "auth/password.h"
#include "comun.h"
#include "driver/global.h"
#include "driver/texto.h"

namespace {

struct Lectura {
    std::uint8_t valor_salida;
    std::string password;
};

struct tm dia_fijo;

Lectura lee(const std::string& id, long ssid, long dia, long modo_def, const std::string& prompt) {
    fuzz::globales_iniciales();
    dia_fijo = *talmir::hor_fch;
    dia_fijo.tm_mday = static_cast<int>(dia);
    talmir::hor_fch = &dia_fijo;
    talmir::copia(talmir::usuario.id, sizeof talmir::usuario.id, id);
    talmir::usuario.ssid = static_cast<std::uint8_t>(ssid);
    talmir::usuario.puerto = 1;
    talmir::leido_cfg = 1;
    talmir::cfg.modo_def = static_cast<std::int8_t>(modo_def);
    talmir::copia(talmir::cfg.prompt, sizeof talmir::cfg.prompt, prompt);

    char r_buf[talmir::RBUF_SIZE] = {};
    talmir::password_tabla(r_buf);
    fuzz::verifica_respuesta(r_buf);
    fuzz::verifica_campos();
    fuzz::verifica_codigo(talmir::valor_salida);
    return Lectura{talmir::valor_salida, talmir::usuario.password};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* datos, std::size_t n) {
    fuzz::Entrada e(datos, n);
    std::string id = fuzz::indicativo(e.palabra(0, "N0TAB"));
    long ssid = e.numero(1, 0) & 0xFF;
    long dia = e.numero(2, 15);
    long modo_def = e.numero(3, 2);
    bool por_ssid = e.numero(4, 0) == 1;
    std::string prompt = e.palabra(5, "PASSWORD>");

    fuzz::Raiz& raiz = fuzz::Raiz::una();
    raiz.entra();
    std::string tabla = id + (por_ssid ? std::to_string(ssid) : std::string()) + ".TBL";
    raiz.escribe(fuzz::trabajo(tabla), e.resto);
    raiz.escribe(fuzz::trabajo("info.prt"), "Closed.\n");
    raiz.escribe(fuzz::trabajo("excluded.prt"), "Excluded.\n");
    raiz.escribe(fuzz::trabajo("open.prt"), "Welcome.\n");

    Lectura primera = lee(id, ssid, dia, modo_def, prompt);
    std::string reto = raiz.lee(fuzz::trabajo(id + std::to_string(ssid) + ".tmp"));
    Lectura segunda = lee(id, ssid, dia, modo_def, prompt);
    raiz.sale();

    VERIFICA(primera.password == segunda.password);
    VERIFICA(primera.valor_salida == segunda.valor_salida);
    if (primera.valor_salida == talmir::SALIDA_OTRA && !primera.password.empty()) {
        // The challenge: five characters of the password, then the type.
        VERIFICA(e.resto.find(primera.password) != std::string_view::npos);
        VERIFICA(reto.size() == 7 && reto[5] == '\n' && reto[6] == '7');
        for (int i = 0; i < 5; ++i) VERIFICA(primera.password.find(reto[i]) != std::string::npos);
    }
    return 0;
}
