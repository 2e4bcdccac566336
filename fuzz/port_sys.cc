// SPDX-License-Identifier: GPL-2.0-or-later
// FBB's port description file ("port.sys" in FBB's system directory).
// Parameters: the port word to translate, 1 for the users.prt flavour of the
// translation (ALL and TODOS), and which of FBB's names the file bears
// (0 port_l.sys, 1 prot_w.sys, 2 port_d.sys, else port.sys). The rest is
// the file. The
// table of descriptions keeps each within its size, the translation gives a
// TNC number 0 to 9, ALL's value or -1, and a second reading gives the same.
#include <cstring>
#include <string>

#include "comun.h"
#include "config/config.h"
#include "driver/global.h"
#include "driver/rutas.h"
#include "driver/texto.h"

namespace {

struct Lectura {
    int puerto;
    char desc_port[10][11];
};

Lectura lee(const std::string& palabra, int tipo) {
    char r_buf[talmir::RBUF_SIZE] = {};
    // The word as the readers pass it: upper-cased, at most 20 characters.
    char p[21];
    talmir::copia(p, sizeof p, palabra);
    talmir::strupr(p);
    Lectura l{};
    l.puerto = talmir::transf_prt(p, 1, r_buf, tipo);
    fuzz::verifica_respuesta(r_buf);
    fuzz::verifica_campos();
    VERIFICA((l.puerto >= 0 && l.puerto <= 9) || l.puerto == -1 || (tipo != 0 && l.puerto == -5));
    std::memcpy(l.desc_port, talmir::desc_port, sizeof l.desc_port);
    return l;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* datos, std::size_t n) {
    fuzz::Entrada e(datos, n);
    std::string palabra = e.palabra(0, "VHF");
    int tipo = e.numero(1, 0) == 1 ? 1 : 0;
    static const char* const kNombres[] = {"port_l.sys", "prot_w.sys", "port_d.sys", "port.sys"};
    const long cual = e.numero(2, 3);
    const char* nombre = kNombres[cual >= 0 && cual < 3 ? cual : 3];

    fuzz::Raiz& raiz = fuzz::Raiz::una();
    raiz.entra();
    fuzz::fbb_minimo(raiz);
    std::string sys = talmir::FBB_SYSTEM;
    while (sys.compare(0, 2, "./") == 0) sys.erase(0, 2);
    raiz.escribe(sys + "/" + nombre, e.resto);

    fuzz::globales_iniciales();
    talmir::leido_cfg = 1;
    Lectura primera = lee(palabra, tipo);
    fuzz::globales_iniciales();
    talmir::leido_cfg = 1;
    Lectura segunda = lee(palabra, tipo);
    raiz.sale();
    VERIFICA(primera.puerto == segunda.puerto);
    for (int i = 0; i < 10; ++i)
        VERIFICA(std::strcmp(primera.desc_port[i], segunda.desc_port[i]) == 0);
    return 0;
}
