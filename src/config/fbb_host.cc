// SPDX-License-Identifier: GPL-2.0-or-later
// FBB's host files: the port descriptions (port.sys) and the host
// configuration, from fbb.conf or else init.srv.
#include <cstring>
#include <string_view>

#include "config/config.h"
#include "config/fbb_conf.h"
#include "config/lectura.h"
#include "driver/disco.h"
#include "driver/global.h"
#include "driver/lineas.h"
#include "driver/rutas.h"
#include "driver/texto.h"
#include "texts/error.h"

namespace talmir {

namespace {

// One TNC line: the TNC number (first field) and the description (eleventh
// field). Returns the TNC number, or -1 when the first field is none.
long linea_tnc(char* linea) {
    strupr(linea);
    const char* p = linea;
    char campo[16];
    std::size_t n = lee_palabra(&p, campo, sizeof campo);
    long tnc;
    if (n == 0 || n >= sizeof campo || !entero_de_palabra(campo, &tnc)) return -1;
    for (int i = 2; i <= 10; ++i) {
        if (lee_palabra(&p, nullptr, 0) == 0) return tnc;
    }
    char desc[sizeof desc_port[0]];
    n = lee_palabra(&p, desc, sizeof desc);
    // A longer description is never cut: a cut one could match another word.
    if (n > 0 && n < sizeof desc && tnc >= 0 && tnc <= 9) {
        copia(desc_port[tnc], sizeof desc_port[tnc], desc);
    }
    return tnc;
}

// One data line of init.srv. 1 go on, 0 done (14th line), -1 a path that
// does not fit.
int linea_init_srv(int dato, const char* linea) {
    switch (dato) {
        case 1:
            toma_alfanumerico(infbbs.id, linea);
            break;
        case 3:
            toma_palabra(infbbs.locator, linea, true);
            break;
        case 4:
            toma_linea(infbbs.qth, linea);
            break;
        case 5: {
            // The line is shorter than the field: the word always fits.
            if (toma_ruta(infbbs.ruta_system, linea) > 0) {
                infbbs.ruta_system[std::strlen(infbbs.ruta_system) - 1] = '\0';
                copia(infbbs.ruta_datadir, sizeof infbbs.ruta_datadir, infbbs.ruta_system);
            }
            break;
        }
        case 11:
            toma_linea(infbbs.nsysop, linea);
            break;
        case 12:
            toma_palabra(infbbs.sysop, linea, true);
            break;
        case 14:
            return toma_correo(linea) ? 0 : -1;
        default:
            break;
    }
    return 1;
}

}  // namespace

// Reads FBB's port description file into desc_port. False when none of its
// names opens.
bool lee_portsys() {
    // LinFBB's own name first, then those of FBB's other builds.
    static constexpr const char* kNombres[] = {"port_l.sys", "prot_w.sys", "port_d.sys",
                                               "port.sys"};
    Archivo f;
    for (const char* nombre : kNombres) {
        char ruta[RUTA_MAX];
        if (!junta_ruta(ruta, sizeof ruta, infbbs.ruta_system, nombre)) continue;
        f = Archivo::abre(ruta, "r");
        if (f) break;
    }
    if (!f) return false;

    char linea[LINEA_CFG];
    long puertos = 0;
    long tncs = 0;
    while (lee_linea(f.get(), linea, sizeof linea)) {
        if (es_comentario(linea)) continue;
        const char* p = linea;
        if (lee_entero(&p, &puertos)) lee_entero(&p, &tncs);
        break;
    }
    for (long i = 0; i < puertos && lee_linea(f.get(), linea, sizeof linea);) {
        if (!es_comentario(linea)) ++i;
    }
    for (long i = 0; i < tncs && lee_linea(f.get(), linea, sizeof linea);) {
        if (es_comentario(linea)) continue;
        // A line for TNC 0 does not count.
        if (linea_tnc(linea) != 0) ++i;
    }
    return true;
}

int lee_init(char* r_buf) {
    copia(infbbs.ruta_system, sizeof infbbs.ruta_system, FBB_SYSTEM);
    copia(infbbs.ruta_datadir, sizeof infbbs.ruta_datadir, FBB_DATADIR);
    copia(infbbs.fch_correo, sizeof infbbs.fch_correo, FBB_MAIL_IN);
    copia(infbbs.fch_bloq_correo, sizeof infbbs.fch_bloq_correo, FBB_LOCK_IN);

    if (read_fbb_conf(ruta_fbb_conf()) != 0) {
        free_fbb_conf();
        if (lee_init_srv(r_buf) != 1) return -1;
        leido_init = 1;
        return 1;
    }
    bool ok = lee_fbb_conf();
    free_fbb_conf();
    if (!ok || infbbs.id[0] == '\0' || infbbs.locator[0] == '\0' || infbbs.qth[0] == '\0') {
        return -1;
    }
    leido_init = 1;
    return 1;
}

int lee_init_srv(char* r_buf) {
    // Relative names: FBB's older setups keep init.srv in the current
    // directory of the process.
    static constexpr const char* kNombres[] = {"init_w.srv", "init_d.srv", "init.srv"};
    Archivo f;
    for (const char* nombre : kNombres) {
        f = Archivo::abre(nombre, "r");
        if (f) break;
    }
    if (!f) {
        error(ERR_INIT, 0, r_buf);
        return -1;
    }
    char linea[LINEA_CFG];
    int dato = 0;
    while (lee_linea(f.get(), linea, sizeof linea)) {
        if (es_comentario(linea)) continue;
        int r = linea_init_srv(++dato, linea);
        if (r < 0) return -1;
        if (r == 0) {
            leido_init = 1;
            return 1;
        }
    }
    // The file ended before its 14th data line.
    f.cierra();
    error(ERR_INIT, 0, r_buf);
    return -1;
}

}  // namespace talmir
