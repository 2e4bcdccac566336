// SPDX-License-Identifier: GPL-2.0-or-later
// Standing state in empty marker files of the working directory: the
// filter-off marker "talmir.sta" and one closed-port marker per port.
#include "driver/estado.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "driver/disco.h"
#include "driver/global.h"
#include "driver/rutas.h"
#include "driver/testigo.h"
#include "driver/texto.h"

namespace talmir {

namespace {

// A marker that cannot be changed is told to the sysop who gave the command
// in one line on standard error; the command still ends normally.
void avisa(const char* accion, const char* ruta, int err) {
    char linea[RUTA_MAX + 160];
    formatea(linea, sizeof linea, "talmir: cannot %s %s: %s\n", accion, ruta, std::strerror(err));
    escribe_todo(STDERR_FILENO, linea, strnlen(linea, sizeof linea));
}

// accion 1 removes the marker when it exists, 0 creates it (empty) when it
// does not; an existing marker is left untouched.
void cambia_marca(const char* ruta, int accion) {
    if (accion == 1) {
        // One that another command removed meanwhile is removed all the same.
        if (existe(ruta) && !borra(ruta) && errno != ENOENT) avisa("remove", ruta, errno);
    } else {
        if (crea_exclusivo(ruta) < 0) avisa("create", ruta, errno);
    }
}

}  // namespace

void estado_filtro(int accion) {
    char ruta[RUTA_MAX];
    if (!ruta_trabajo(ruta, "talmir.sta")) {
        avisa(accion == 1 ? "remove" : "create", ruta, ENAMETOOLONG);
        return;
    }
    cambia_marca(ruta, accion);
}

void estado_puerto(std::uint8_t puerto, int accion) {
    char ruta[RUTA_MAX];
    if (!ruta_trabajof(ruta, sizeof ruta, "%u.%s", static_cast<unsigned>(puerto), "prt")) {
        avisa(accion == 1 ? "remove" : "create", ruta, ENAMETOOLONG);
        return;
    }
    cambia_marca(ruta, accion);
}

std::uint8_t puerto_cerrado() {
    char ruta[RUTA_MAX];
    if (!ruta_trabajof(ruta, sizeof ruta, "%d.%s", static_cast<int>(usuario.puerto), "prt")) {
        return 0;
    }
    if (!existe(ruta)) return 0;
    testigo_marca(ruta, "the port is closed to all but BBSs and sysops");
    return 1;
}

}  // namespace talmir
