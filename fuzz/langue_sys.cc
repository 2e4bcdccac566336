// SPDX-License-Identifier: GPL-2.0-or-later
// FBB's language list "langue.sys" in FBB's system directory. Parameters:
// the language number. The rest is the file. The name found fits its
// 10-byte room (the buffer handed in is exactly that big) and is the same
// on a second reading.
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "comun.h"
#include "config/infsys.h"
#include "driver/global.h"
#include "driver/rutas.h"
#include "driver/texto.h"

namespace {

constexpr std::size_t kNombre = 10;  // a language name of 9 characters

int lee(long numero, std::string* nombre) {
    auto buf = std::make_unique<char[]>(kNombre);
    std::memset(buf.get(), 'Z', kNombre);
    int r = talmir::lee_languesys(static_cast<int>(numero), buf.get());
    VERIFICA(r == 0 || r == 1);
    if (r == 1) {
        VERIFICA(std::memchr(buf.get(), '\0', kNombre) != nullptr);
        VERIFICA(buf[0] != '\0');
        *nombre = buf.get();
    }
    return r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* datos, std::size_t n) {
    fuzz::Entrada e(datos, n);
    long numero = e.numero(0, 0);

    fuzz::Raiz& raiz = fuzz::Raiz::una();
    raiz.entra();
    std::string sys = talmir::FBB_SYSTEM;
    while (sys.compare(0, 2, "./") == 0) sys.erase(0, 2);
    raiz.escribe(sys + "/langue.sys", e.resto);

    fuzz::globales_iniciales();
    talmir::copia(talmir::infbbs.ruta_system, sizeof talmir::infbbs.ruta_system, sys);
    std::string primero, segundo;
    int r1 = lee(numero, &primero);
    int r2 = lee(numero, &segundo);
    raiz.sale();
    fuzz::verifica_campos();
    VERIFICA(r1 == r2 && primero == segundo);
    return 0;
}
