// SPDX-License-Identifier: GPL-2.0-or-later
#include "driver/acceso.h"

#include "auth/forward.h"
#include "auth/password.h"
#include "config/config.h"
#include "driver/disco.h"
#include "driver/global.h"
#include "driver/respuesta.h"
#include "driver/rutas.h"
#include "driver/testigo.h"
#include "driver/texto.h"
#include "texts/error.h"
#include "texts/intro.h"
#include "texts/log.h"
#include "texts/textos.h"

namespace talmir {

void prim_llamd(char* r_buf) {
    // -1: a fault already reported, which has set the outcome.
    const int leido = lee_cfg(r_buf);
    if (leido == -1) return;
    if (leido == 0) {
        // The port is not filtered.
        envia_intro(r_buf);
        valor_salida = SALIDA_ENTRA;
        return;
    }
    const int usr = lee_usr(r_buf);
    if (usr == -1) return;
    decision(static_cast<std::uint8_t>(usr == 1 ? usuario.modo : cfg.modo_def), r_buf);
}

void decision(std::uint8_t modo, char* r_buf) {
    testigo_modo(modo, en_respaldo != 0);
    switch (modo) {
        case MODO_CERRADO:
            msg_informativo(r_buf);
            break;
        case MODO_EXCLUIDO:
            excluido(r_buf);
            break;
        case MODO_FRASE:
            password_frase(r_buf);
            break;
        case MODO_NORMAL:
            password_normal(r_buf);
            break;
        case MODO_MD:
            password_md(r_buf);
            break;
        case MODO_TABLA:
            password_tabla(r_buf);
            break;
        case MODO_BBS:
            bbs(r_buf);
            break;
        case MODO_FLEXNET:
            password_flexnet(r_buf);
            break;
        case MODO_FORWARD:
        case MODO_FORWARD5:
            password_forward(r_buf);
            break;
        case MODO_SOLOLEER:
            valor_salida = SALIDA_SOLOLEER;
            break;
        case MODO_RETENIDOS:
            valor_salida = SALIDA_RETENIDOS;
            break;
        case MODO_GUEST:
            valor_salida = SALIDA_GUEST;
            break;
        default:  // OPEN, and every number outside the modes
            libre(r_buf);
            break;
    }
}

void decision_respaldo(char* r_buf) {
    if (en_respaldo != 0) {
        // The default mode led back to a fall-back: end the loop.
        valor_salida = SALIDA_DESCONECTA;
        return;
    }
    en_respaldo = 1;
    decision(static_cast<std::uint8_t>(cfg.modo_def), r_buf);
}

void libre(char* r_buf) {
    if (cfg.txt_cnx) {
        char ruta[RUTA_MAX];
        Archivo f = busca_texto_puerto(nullptr, "open", "open.prt", ruta);
        if (!f) {
            error(ERR_ABIERTO, 0, r_buf);
            return;
        }
        envia_texto(r_buf, f, ruta);
    }
    borra_marca_error(ERR_ABIERTO);
    envia_intro(r_buf);
    valor_salida = SALIDA_ENTRA;
}

void excluido(char* r_buf) {
    if (cfg.txt_dcnx) {
        char ruta[RUTA_MAX];
        Archivo f = busca_texto_puerto(nullptr, "exclud", "excluded.prt", ruta);
        if (!f) {
            error(ERR_EXCLUIDO, 0, r_buf);
            return;
        }
        envia_texto(r_buf, f, ruta);
        f.cierra();
        borra_marca_error(ERR_EXCLUIDO);
    }
    if (cfg.log_dcnx) logexcld();
    valor_salida = SALIDA_DESCONECTA;
}

void bbs(char* r_buf) {
    if (usuario.mascara & FLAG_BBS) {
        valor_salida = SALIDA_ENTRA;
        return;
    }
    excluido(r_buf);
}

}  // namespace talmir
