// SPDX-License-Identifier: GPL-2.0-or-later
// Judges a station's answer to the challenge waiting in its challenge file.
#include "auth/resp.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "auth/bloqueos.h"
#include "auth/password.h"
#include "config/config.h"
#include "driver/disco.h"
#include "driver/global.h"
#include "driver/lineas.h"
#include "driver/respuesta.h"
#include "driver/texto.h"
#include "texts/error.h"
#include "texts/intro.h"
#include "texts/log.h"

namespace talmir {

namespace {

std::string_view texto(int i) {
    return std::string_view(lenguaje[i], strnlen(lenguaje[i], 80));
}

// Reads at most four characters of line 2, as a read into a 5-byte buffer
// does: it stops after a newline. False at the end of the file.
bool lee_linea2(std::FILE* f, char buf[5]) {
    std::size_t n = 0;
    int c;
    while (n < 4 && (c = std::getc(f)) != EOF) {
        buf[n++] = static_cast<char>(c);
        if (c == '\n') break;
    }
    buf[n] = '\0';
    return n > 0;
}

// "%2hd": blanks, then at most two characters of sign and digits. False when
// there is no digit.
bool tipo_linea2(const char* p, std::int16_t* tipo) {
    while (es_blanco(*p)) ++p;
    int ancho = 2;
    bool negativo = false;
    if (*p == '+' || *p == '-') {
        negativo = *p == '-';
        ++p;
        --ancho;
    }
    if (!es_digito(*p)) return false;
    int v = 0;
    while (ancho > 0 && es_digito(*p)) {
        v = v * 10 + (*p - '0');
        ++p;
        --ancho;
    }
    *tipo = static_cast<std::int16_t>(negativo ? -v : v);
    return true;
}

// A digest answer: exactly 32 characters, equal to one of the expected
// digests in lowercase or, failing that, in uppercase.
bool digest_correcto(const char* resp, Reto* reto) {
    if (std::strlen(resp) != 32) return false;
    if (std::strcmp(resp, reto->pas_md2) == 0 || std::strcmp(resp, reto->pas_md5) == 0) return true;
    strupr(reto->pas_md2);
    strupr(reto->pas_md5);
    return std::strcmp(resp, reto->pas_md2) == 0 || std::strcmp(resp, reto->pas_md5) == 0;
}

bool restringido() {
    return usuario.puerto != 0 || (cfg.sec_ops & SEC_CONSOLA) != 0;
}

// The station answered right.
void aceptado(const Reto& reto, bool correcto_md, char* r_buf) {
    if (reto.tipo == TIPO_MD && !correcto_md && restringido()) {
        rbuf_add(r_buf, "\n");
        if (cfg.sec_ops & (SEC_MD_SOLOLEER | SEC_MD_RETENIDOS)) {
            rbuf_add(r_buf, texto(24));
            rbuf_add(r_buf, " ");
            rbuf_add(r_buf, texto(27));
            rbuf_add(r_buf, "\n");
            envia_intro(r_buf);
            valor_salida = (cfg.sec_ops & SEC_MD_SOLOLEER) ? SALIDA_SOLOLEER : SALIDA_RETENIDOS;
            return;
        }
        if (cfg.sec_ops & SEC_MD_DENEGADO) {
            rbuf_add(r_buf, texto(25));
            rbuf_add(r_buf, "\n\n");
            valor_salida = SALIDA_DESCONECTA;
            return;
        }
    }
    envia_intro(r_buf);
    valor_salida = SALIDA_ENTRA;
}

// The answers are used up, or the challenge allowed one answer only.
void rechazado(const Reto& reto, const char* ruta, char* r_buf) {
    // A challenge that cannot be removed is overwritten by the next first
    // call: the verdict stands either way.
    borra(ruta);
    if (cfg.log_nopas) lognopas();
    if (reto.tipo != TIPO_FORWARD && restringido() &&
        (cfg.sec_ops & (SEC_FALLO_SOLOLEER | SEC_FALLO_RETENIDOS))) {
        rbuf_add(r_buf, "\n");
        rbuf_add(r_buf, texto(23));
        rbuf_add(r_buf, " ");
        rbuf_add(r_buf, texto(27));
        rbuf_add(r_buf, "\n");
        valor_salida = (cfg.sec_ops & SEC_FALLO_SOLOLEER) ? SALIDA_SOLOLEER : SALIDA_RETENIDOS;
        return;
    }
    deniega(r_buf);
}

}  // namespace

bool lee_reto(const char* ruta, Reto* reto, char* r_buf) {
    Archivo f = Archivo::abre(ruta, "rt");
    char linea[301];
    if (!f || !lee_linea(f.get(), linea, sizeof linea)) {
        error(ERR_RETO, 0, r_buf);
        return false;
    }
    // Line 1: "%s %32s".
    const char* p = linea;
    lee_palabra(&p, reto->pas_tmp, sizeof reto->pas_tmp);
    lee_palabra(&p, reto->pas_md2, sizeof reto->pas_md2);

    char l2[5];
    if (lee_linea2(f.get(), l2)) tipo_linea2(l2, &reto->tipo);

    if (reto->tipo == TIPO_MD || reto->tipo == TIPO_FORWARD) {
        if (!lee_linea(f.get(), linea, sizeof linea)) {
            error(ERR_RETO, 0, r_buf);
            return false;
        }
        p = linea;
        lee_palabra(&p, reto->pas_md5, sizeof reto->pas_md5);
    }
    f.cierra();
    borra_marca_error(ERR_RETO);
    return true;
}

void deniega(char* r_buf) {
    rbuf_add(r_buf, "\n");
    rbuf_add(r_buf, texto(23));
    rbuf_add(r_buf, " ");
    rbuf_add(r_buf, texto(26));
    rbuf_add(r_buf, "\n\n");
    valor_salida = SALIDA_DESCONECTA;
}

void resp_usr(char* r_buf) {
    Reto reto = {};
    char ruta[RUTA_MAX];
    bool hay_ruta = ruta_reto(ruta, sizeof ruta);

    if (leido_cfg == 0 && lee_cfg(r_buf) == -1) return;
    // Locked out by another connection since the challenge: no answer counts,
    // not even a right one.
    const REGLA_BLOQUEO regla = regla_estacion(r_buf);
    if (bloqueado_hasta(regla) != 0) {
        rechaza_bloqueado(r_buf);
        return;
    }
    if (!hay_ruta) {
        // A path that does not fit is a file that cannot be opened.
        error(ERR_RETO, 0, r_buf);
        return;
    }
    if (!lee_reto(ruta, &reto, r_buf)) return;

    char resp[sizeof usuario.respuesta];
    copia(resp, sizeof resp,
          std::string_view(usuario.respuesta, strnlen(usuario.respuesta, sizeof resp - 1)));

    bool correcto = false;
    bool correcto_md = false;
    if (reto.tipo == TIPO_MD || reto.tipo == TIPO_FORWARD) {
        correcto = correcto_md = digest_correcto(resp, &reto);
    }
    // The plain answer. A forward challenge has none (its "XXXXX" only holds
    // the place), and an empty expected answer would match every line.
    if (!correcto && reto.tipo != TIPO_FORWARD &&
        !(reto.tipo == TIPO_MD && (cfg.sec_ops & SEC_MD_SOLO)) && reto.pas_tmp[0] != '\0') {
        correcto = std::strstr(resp, reto.pas_tmp) != nullptr;
    }
    std::memset(reto.pas_tmp, 0, sizeof reto.pas_tmp);

    if (correcto) {
        borra(ruta);  // as in rechazado
        acierto(regla);
        aceptado(reto, correcto_md, r_buf);
        return;
    }
    // The failure that reaches the port's limit refuses at once.
    if (cuenta_fallos(regla, 1, false, r_buf) != 0) {
        borra(ruta);
        if (cfg.log_nopas) lognopas();
        deniega(r_buf);
        return;
    }
    if (usuario.llamada != cfg.num_int && reto.tipo != TIPO_FRASE && reto.tipo != TIPO_FLEXNET &&
        reto.tipo != TIPO_FORWARD) {
        if (reto.tipo == TIPO_MD)
            password_md(r_buf);
        else if (reto.tipo == TIPO_TABLA)
            password_tabla(r_buf);
        else
            password_normal(r_buf);
        return;
    }
    rechazado(reto, ruta, r_buf);
}

}  // namespace talmir
