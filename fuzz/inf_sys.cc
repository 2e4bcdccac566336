// SPDX-License-Identifier: GPL-2.0-or-later
// FBB's user file "inf.sys" (fixed-size binary records) in FBB's data
// directory. Parameters: the callsign looked for. The rest is the file. The
// record copied out fits the buffer handed in (exactly the room the reader
// asks for), is one
// whose callsign field is the one looked for, and is the same on a second
// reading; the language name found through it fits its 10 bytes.
#include <cstring>
#include <memory>
#include <string>

#include "comun.h"
#include "config/infsys.h"
#include "driver/global.h"
#include "driver/texto.h"

namespace {

const auto kRegistro = static_cast<std::size_t>(talmir::INFSYS_FORMATO.tam_registro);
constexpr auto kRoom = static_cast<std::size_t>(talmir::INFSYS_TAM_MAX);

int lee(const std::string& indic, std::string* registro) {
    auto buf = std::make_unique<unsigned char[]>(kRoom);
    int r = talmir::lee_infsys(indic.c_str(), buf.get());
    VERIFICA(r == 0 || r == 1);
    if (r == 1) {
        registro->assign(reinterpret_cast<const char*>(buf.get()), kRegistro);
        VERIFICA(registro->compare(0, indic.size(), indic) == 0);
        VERIFICA(registro->size() == indic.size() || (*registro)[indic.size()] == '\0');
    }
    return r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* datos, std::size_t n) {
    fuzz::Entrada e(datos, n);
    std::string indic = fuzz::indicativo(e.palabra(0, "N0CALL"));

    fuzz::Raiz& raiz = fuzz::Raiz::una();
    raiz.entra();
    raiz.escribe("fbbdata/inf.sys", e.resto);
    raiz.escribe("fbbsys/langue.sys", "2 1 1\nENGLISH\nFRANCAIS\nDEUTSCH\nESPANOL\n");

    fuzz::globales_iniciales();
    talmir::leido_init = 1;
    talmir::copia(talmir::infbbs.ruta_datadir, sizeof talmir::infbbs.ruta_datadir, "fbbdata");
    talmir::copia(talmir::infbbs.ruta_system, sizeof talmir::infbbs.ruta_system, "fbbsys");
    std::string primero, segundo;
    int r1 = lee(indic, &primero);
    int r2 = lee(indic, &segundo);
    VERIFICA(r1 == r2 && primero == segundo);

    // The station's language through its record.
    talmir::copia(talmir::usuario.id, sizeof talmir::usuario.id, indic);
    auto lang = std::make_unique<char[]>(10);
    int l = talmir::langused(lang.get());
    VERIFICA(l == 0 || l == 1);
    if (l == 1) VERIFICA(std::memchr(lang.get(), '\0', 10) != nullptr);
    raiz.sale();
    fuzz::verifica_campos();
    return 0;
}
