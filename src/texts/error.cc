// SPDX-License-Identifier: GPL-2.0-or-later
// Error reporting: the latest report in "error.prt", one marker per error
// number, one mail to the sysops per error until its marker is removed, and
// the exit code the error calls for.
#include "texts/error.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "auth/bloqueos.h"
#include "config/config.h"
#include "driver/acceso.h"
#include "driver/disco.h"
#include "driver/global.h"
#include "driver/inyeccion.h"
#include "driver/rutas.h"
#include "driver/testigo.h"
#include "driver/texto.h"
#include "texts/correo.h"

namespace talmir {

OyenteError oyente_error = nullptr;

namespace {

// Room for a composed message: the longest is three texts of 80 characters
// with two file names, so it is always held in full.
constexpr std::size_t kMensajeMax = 400;

void compone_mensaje(std::uint16_t num_error, std::uint16_t linea, char* mensaje,
                     std::size_t size) {
    switch (num_error) {
        case ERR_INIT:
            formatea(mensaje, size, "%s %s %s.", lenguaje[1], "init.srv", lenguaje[2]);
            break;
        case ERR_CORREO:
            formatea(mensaje, size, "%s.\n    %s %s", lenguaje[3], lenguaje[4], "init.srv");
            break;
        case ERR_CFG_ABRE:
            formatea(mensaje, size, "%s (%s) %s.", lenguaje[5], "config.prt", lenguaje[2]);
            break;
        case ERR_TABLA:
            formatea(mensaje, size, "%s %s %s.", lenguaje[6], usuario.id, lenguaje[2]);
            break;
        case ERR_CFG_DATOS:
            formatea(mensaje, size, "%s %d (%s)", lenguaje[7], linea, "config.prt");
            break;
        case ERR_LENGUAJE:
            formatea(mensaje, size, "%s (%d/%d).", lenguaje[0], linea, 29);
            break;
        case ERR_USR_DATOS:
            formatea(mensaje, size, "%s %d (%s)", lenguaje[7], linea, "users.prt");
            break;
        case ERR_ABIERTO:
            formatea(mensaje, size, "%s %s %s.\n    %s %s", lenguaje[1], "open.prt", lenguaje[2],
                     lenguaje[9], "config.prt");
            break;
        case ERR_INFO:
            formatea(mensaje, size, "%s %s %s.", lenguaje[1], "info.prt", lenguaje[2]);
            break;
        case ERR_RETO:
            copia(mensaje, size, lenguaje[8]);
            break;
        case ERR_EXCLUIDO:
            formatea(mensaje, size, "%s %s %s.\n    %s %s", lenguaje[1], "excluded.prt",
                     lenguaje[2], lenguaje[9], "config.prt");
            break;
        case ERR_MEMORIA:
            copia(mensaje, size, lenguaje[10]);
            break;
        case ERR_INYECCION:
            // In English whatever the language file: its layout is fixed.
            formatea(mensaje, size,
                     "Shell syntax in the station's line, run by FBB's shell before talmir: %s",
                     linea_inyectada);
            break;
        case ERR_BLOQUEO:
            // In English too, as the checker says it.
            if (linea != 0) {
                formatea(mensaje, size, "%s:%u: %s", BLOQUEO_PRT, linea, falta_bloqueo);
            } else {
                formatea(mensaje, size, "%s: %s", BLOQUEO_PRT, falta_bloqueo);
            }
            break;
        default:
            copia(mensaje, size, lenguaje[11]);
            break;
    }
}

// The station line and the error line, without their line ends.
void linea_estacion(char* buf, std::size_t size) {
    formatea(buf, size, "%s: %s-%d / %s: %d", lenguaje[13], usuario.id, usuario.ssid, lenguaje[12],
             usuario.puerto);
}

void linea_error(std::uint16_t num_error, const char* mensaje, char* buf, std::size_t size) {
    formatea(buf, size, "*** ERROR 001%i: %s", num_error, mensaje);
}

// Rewrites "error.prt" with the report. False when it cannot be written
// whole: then it is left empty, never with half a report. Runs that report at
// the same moment take turns (flock), so that the file holds one whole
// report, the last one.
bool escribe_informe(const char* estacion, const char* linea_err) {
    char ruta[RUTA_MAX];
    if (!ruta_trabajo(ruta, "error.prt")) return false;
    std::string informe = "\n[TALMIR v";
    informe += version;
    informe += "] - ";
    informe += hora;
    informe += "\n";
    informe += estacion;
    informe += "\n";
    informe += linea_err;
    informe += "\n\n";
    return reescribe(ruta, informe);
}

// Reads what the mail needs: FBB's data and, unless the error comes from the
// reading of the configuration itself, the configuration.
void lee_datos(std::uint16_t num_error, char* r_buf) {
    if (leido_init == 0) lee_init(r_buf);
    // Never a reading of the configuration from inside another one: a faulty
    // language file met during the reading would raise its error again.
    if (leido_cfg == 0 && num_error != ERR_CFG_ABRE && num_error != ERR_CFG_DATOS &&
        leyendo_cfg == 0)
        lee_cfg(r_buf);
}

void completa_sysops() {
    if (cfg.num_sysop != 0) return;
    copia(cfg.sysop[0], sizeof cfg.sysop[0], leido_init != 0 ? infbbs.sysop : "SYSOP");
    cfg.num_sysop = 1;
}

void envia_correo(const char* estacion, const char* linea_err) {
    MAILIN correo;
    if (!abre_mailin(&correo)) return;
    std::string cuerpo = cabprt;
    cuerpo += "\n";
    cuerpo += estacion;
    cuerpo += "\n";
    cuerpo += linea_err;
    cuerpo += "\n\n";
    escribe_a_sysops(&correo, lenguaje[14], cuerpo);
    cierra_mailin(&correo);
}

void fija_salida(std::uint16_t num_error, char* r_buf) {
    switch (num_error) {
        case ERR_INFO:
        case ERR_RETO:
        case ERR_EXCLUIDO:
        case ERR_INYECCION:
            valor_salida = SALIDA_DESCONECTA;
            break;
        case ERR_BLOQUEO:
            // The station's outcome stays as it was.
            break;
        case ERR_TABLA:
        case ERR_USR_DATOS:
            if (usuario.nuevo == -1) {
                valor_salida = SALIDA_DESCONECTA;
            } else {
                decision_respaldo(r_buf);
            }
            break;
        default:
            valor_salida = SALIDA_ENTRA;
            break;
    }
}

}  // namespace

char* fch_err_tmp(char* ruta, int num_err) {
    // The caller's buffer holds RUTA_MAX bytes; a path that does not fit is
    // left empty, a file that can be neither found nor made.
    if (!ruta_trabajof(ruta, RUTA_MAX, "error%d.tmp", num_err)) ruta[0] = '\0';
    return ruta;
}

void borra_marca_error(int num_err) {
    if (oyente_error != nullptr) return;
    char ruta[RUTA_MAX];
    fch_err_tmp(ruta, num_err);
    if (ruta[0] != '\0') borra(ruta);
}

void error(std::uint16_t num_error, std::uint16_t linea, char* r_buf) {
    if (oyente_error != nullptr) {
        oyente_error(num_error, linea);
        return;
    }
    char mensaje[kMensajeMax];
    compone_mensaje(num_error, linea, mensaje, sizeof mensaje);
    testigo_error(num_error, linea, mensaje);
    char estacion[256];
    char linea_err[kMensajeMax + 32];
    linea_estacion(estacion, sizeof estacion);
    linea_error(num_error, mensaje, linea_err, sizeof linea_err);

    // Without "error.prt" the fault is neither marked nor mailed, but the
    // station is still served as the error calls for.
    if (escribe_informe(estacion, linea_err) && num_error > ERR_CORREO) {
        lee_datos(num_error, r_buf);
        completa_sysops();
        char marca[RUTA_MAX];
        fch_err_tmp(marca, num_error);
        // Only the run that creates the marker mails; a marker that cannot be
        // made at all does not stop the mail. Nothing is mailed while the
        // configuration is being read.
        int creada = marca[0] != '\0' ? crea_exclusivo(marca) : -1;
        if (creada != 0 && leido_cfg != 0 && leyendo_cfg == 0) envia_correo(estacion, linea_err);
    }
    fija_salida(num_error, r_buf);
}

}  // namespace talmir
