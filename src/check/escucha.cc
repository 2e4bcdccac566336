// SPDX-License-Identifier: GPL-2.0-or-later
#include "check/escucha.h"

#include "check/informe.h"
#include "driver/disco.h"
#include "driver/global.h"
#include "driver/rutas.h"
#include "texts/error.h"

namespace talmir {

Escucha escucha;

namespace {

void oye_hallazgo(hallazgo que, std::uint16_t linea, const char* palabra) {
    switch (que) {
        case hallazgo::puerto_elegido:
            escucha.linea_puerto = linea;
            return;
        case hallazgo::cabecera:
            escucha.linea_cabecera = linea;
            return;
        case hallazgo::linea_elegida:
            escucha.linea_usuario = linea;
            return;
        default:
            break;
    }
    escucha.hay_motivo = true;
    escucha.motivo = que;
    escucha.palabra = palabra != nullptr ? palabra : "";
}

void oye_error(std::uint16_t num_error, std::uint16_t linea) {
    escucha.errores.push_back({num_error, linea});
}

// The port descriptions read from FBB's file, as "1 VHF, 2 UHF".
std::string descripciones() {
    std::string s;
    for (int i = 0; i < 10; ++i) {
        if (desc_port[i][0] == '\0') continue;
        if (!s.empty()) s += ", ";
        s += texto("%d %s", i, desc_port[i]);
    }
    return s.empty() ? std::string("none") : s;
}

}  // namespace

void Escucha::limpia() {
    hay_motivo = false;
    palabra.clear();
    errores.clear();
}

void instala_escucha() {
    oyente_config = oye_hallazgo;
    oyente_error = oye_error;
}

std::string nombre_modo(int modo) {
    if (modo == 6) return "MD2/MD5";
    if (modo >= 1 && modo <= 14) return ident_modo2[modo - 1];
    return texto("mode number %d", modo);
}

std::string explica(hallazgo motivo, const std::string& palabra, bool en_usuarios) {
    const char* p = palabra.c_str();
    switch (motivo) {
        case hallazgo::pocas_palabras:
            return en_usuarios ? "a block line needs a port and a mode (a \"-\" line missing "
                                 "before a new header?)"
                               : "a port line needs a port and a default mode";
        case hallazgo::palabra_larga:
            return texto("\"%s...\" is longer than 20 characters", p);
        case hallazgo::modo_no_defecto:
            return texto(
                "%s cannot be a port's default mode: OPEN, CLOSED, EXCLUDED, BBS, "
                "READONLY or HOLD (1, 2, 3, 8, 11 or 12)",
                p);
        case hallazgo::sin_fbb:
            return texto("the port name %s cannot be looked up: FBB's configuration cannot be read",
                         p);
        case hallazgo::sin_portsys:
            return texto(
                "the port name %s cannot be looked up: no port description file "
                "(port_l.sys or port.sys) in %s",
                p, infbbs.ruta_system);
        case hallazgo::puerto_desconocido:
            return texto("no port is called %s in FBB's port descriptions (%s)", p,
                         descripciones().c_str());
        case hallazgo::modo_desconocido:
            return texto("%s is no access mode", p);
        case hallazgo::sin_password:
            return "this mode needs a password as the line's third word";
        case hallazgo::flexnet_cinco:
            return texto("a FLEXNET password has five digits, not \"%s\"", p);
        default:
            break;
    }
    return "faulty line";
}

std::string en_trabajo(const std::string& nombre) {
    return std::string(DIR_TRABAJO) + "/" + nombre;
}

bool legible(const std::string& ruta) {
    Archivo f = Archivo::abre(ruta.c_str(), "r");
    return static_cast<bool>(f);
}

}  // namespace talmir
