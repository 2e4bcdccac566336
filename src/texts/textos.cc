// SPDX-License-Identifier: GPL-2.0-or-later
#include "texts/textos.h"

#include <cstring>

#include "driver/global.h"
#include "driver/respuesta.h"
#include "driver/testigo.h"
#include "driver/texto.h"

namespace talmir {

namespace {

// Opens the path when it was built whole; the watcher hears of it.
Archivo abre_si_cabe(bool cabe, const char* ruta) {
    Archivo f = cabe ? Archivo::abre(ruta, "r") : Archivo();
    if (cabe) testigo_busca(ruta, static_cast<bool>(f));
    return f;
}

}  // namespace

Archivo busca_texto_puerto(const char* lang, const char* raiz, const char* general, char* ruta) {
    const int puerto = usuario.puerto;
    bool cabe = false;
    if (lang != nullptr) {
        cabe = ruta_trabajof(ruta, RUTA_MAX, "%s/%s%d.prt", lang, raiz, puerto) && existe(ruta);
    }
    if (!cabe) cabe = ruta_trabajof(ruta, RUTA_MAX, "%s%d.prt", raiz, puerto);
    Archivo f = abre_si_cabe(cabe, ruta);
    if (f) return f;

    cabe = false;
    if (lang != nullptr) {
        cabe = ruta_trabajof(ruta, RUTA_MAX, "%s/%s", lang, general) && existe(ruta);
    }
    if (!cabe) cabe = ruta_trabajof(ruta, RUTA_MAX, "%s", general);
    return abre_si_cabe(cabe, ruta);
}

Archivo busca_por_indicativo(const char* ext, char* ruta) {
    Indicativo id;
    Archivo f =
        abre_si_cabe(ruta_trabajof(ruta, RUTA_MAX, "%s%d.%s", id.t, usuario.ssid, ext), ruta);
    if (f) return f;
    return abre_si_cabe(ruta_trabajof(ruta, RUTA_MAX, "%s.%s", id.t, ext), ruta);
}

void envia_texto(char* r_buf, const Archivo& f, const char* ruta) {
    const std::size_t desde = strnlen(r_buf, RBUF_SIZE);
    rbuf_add(r_buf, "\n");
    rbuf_add_fichero(r_buf, f.get());
    testigo_envia(ruta, desde, strnlen(r_buf, RBUF_SIZE));
}

}  // namespace talmir
