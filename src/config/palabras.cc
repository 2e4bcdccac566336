// SPDX-License-Identifier: GPL-2.0-or-later
// The port and mode words of "config.prt" and "users.prt", translated to
// their numbers.
#include <cstring>

#include "config/config.h"
#include "config/lectura.h"
#include "driver/global.h"
#include "texts/error.h"

namespace talmir {

const char* const ident_modo[14] = {
    "ABIERTO", "CERRADO", "EXCLUIDO", "FRASE",    "NORMAL",    "MD2",      "TABLA",
    "BBS",     "FLEXNET", "FORWARD",  "SOLOLEER", "RETENIDOS", "FORWARD5", "GUEST",
};
const char* const ident_modo2[14] = {
    "OPEN", "CLOSED",  "EXCLUDED", "FIXED",    "NORMAL", "MD5",      "TABLE",
    "BBS",  "FLEXNET", "FORWARD",  "READONLY", "HOLD",   "FORWARD5", "GUEST",
};

int busca_puerto(const char* nombre, char* r_buf) {
    if (empieza_por(nombre, "CONSOL")) return 0;
    if (leido_portsys == 0) {
        if (leido_init == 0 && lee_init(r_buf) != 1) return PUERTO_SIN_FBB;
        if (!lee_portsys()) return PUERTO_SIN_PORTSYS;
        leido_portsys = 1;
    }
    for (int i = 0; i < 10; ++i) {
        if (desc_port[i][0] != '\0' && std::strcmp(desc_port[i], nombre) == 0) return i;
    }
    return PUERTO_DESCONOCIDO;
}

int transf_prt(const char* puerto_usr_s, std::uint16_t linea, char* r_buf, int tipo) {
    if (tipo != 0 &&
        (std::strcmp(puerto_usr_s, "TODOS") == 0 || std::strcmp(puerto_usr_s, "ALL") == 0)) {
        return TODOS_PUERTOS;
    }
    const int puerto = busca_puerto(puerto_usr_s, r_buf);
    if (puerto >= 0) return puerto;
    if (puerto == PUERTO_SIN_FBB) {
        avisa(hallazgo::sin_fbb, linea, puerto_usr_s);
        return -1;
    }
    avisa(puerto == PUERTO_SIN_PORTSYS ? hallazgo::sin_portsys : hallazgo::puerto_desconocido,
          linea, puerto_usr_s);
    error(tipo == 0 ? ERR_CFG_DATOS : ERR_USR_DATOS, linea, r_buf);
    return -1;
}

int transf_modo(const char* modo_s, std::uint16_t linea, char* r_buff, int tipo) {
    for (int i = 0; i < NUM_MODOS; ++i) {
        if (std::strcmp(modo_s, ident_modo[i]) == 0 || std::strcmp(modo_s, ident_modo2[i]) == 0) {
            return i + 1;
        }
    }
    avisa(hallazgo::modo_desconocido, linea, modo_s);
    error(tipo == 0 ? ERR_CFG_DATOS : ERR_USR_DATOS, linea, r_buff);
    return -1;
}

}  // namespace talmir
