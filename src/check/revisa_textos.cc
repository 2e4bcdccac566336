// SPDX-License-Identifier: GPL-2.0-or-later
// The texts that the modes of the configuration send, the password tables
// that TABLE lines need, and FBB's files for texts by language.
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>

#include "auth/password.h"
#include "check/escucha.h"
#include "check/revision.h"
#include "driver/disco.h"
#include "driver/lineas.h"
#include "driver/rutas.h"
#include "driver/texto.h"

namespace talmir::revision {

void Revision::necesita(int puerto, int modo, const std::string& fichero, unsigned linea,
                        bool por_defecto) {
    int num_error = 0;
    const char* raiz = nullptr;
    const char* general = nullptr;
    std::string hace;
    if (modo == 2) {
        num_error = 9;
        raiz = "info";
        general = "info.prt";
        hace = "shows the information text";
    } else if ((modo == 3 || modo == 8) && cfg.txt_dcnx) {
        num_error = 11;
        raiz = "exclud";
        general = "excluded.prt";
        hace = modo == 8 ? "sends a station without FBB's BBS flag the exclusion text (txtexcl "
                           "is OK)"
                         : "sends the exclusion text (txtexcl is OK)";
    } else if (es_abierto(modo) && cfg.txt_cnx) {
        num_error = 8;
        raiz = "open";
        general = "open.prt";
        hace = "sends the open text (txtusr is OK)";
    } else {
        return;
    }
    if (textos_dichos_.count({num_error, puerto}) != 0) return;
    std::string propio = texto("%s%d.prt", raiz, puerto);
    if (legible(en_trabajo(propio)) || legible(en_trabajo(general))) return;
    textos_dichos_.insert({num_error, puerto});
    std::string quien = nombre_modo(modo);
    if (modo < 1 || modo > 14) quien += " (as OPEN)";
    inf_.error(fichero, linea,
               texto("%s%s on port %d %s, but neither %s nor %s is in %s (error %d)",
                     por_defecto ? "the default mode " : "", quien.c_str(), puerto, hace.c_str(),
                     propio.c_str(), general, DIR_TRABAJO, num_error));
}

void Revision::textos_necesarios() {
    for (const PuertoCfg& p : puertos_) necesita(p.puerto, p.modo, ruta_cfg_, p.linea, true);
    for (const Bloque& b : bloques_) {
        for (const LineaUsr& l : b.lineas) {
            if (l.todos) {
                for (const PuertoCfg& p : puertos_) {
                    necesita(p.puerto, l.modo, ruta_usr_, l.linea, false);
                }
            } else if (puerto_cfg(l.puerto) != nullptr) {
                necesita(l.puerto, l.modo, ruta_usr_, l.linea, false);
            }
        }
    }
}

void Revision::tablas_necesarias() {
    for (const Bloque& b : bloques_) {
        for (const LineaUsr& l : b.lineas) {
            if (l.modo != 7) continue;
            const std::string& h = b.cabecera;
            const bool patron = h.find_first_of("?*") != std::string::npos ||
                                h.compare(0, 6, "CONSOL") == 0 || h.size() > CABECERA_MAX;
            if (patron) {
                inf_.aviso(ruta_usr_, l.linea,
                           texto("TABLE for %s: each station it serves needs a table of its own "
                                 "(CALL.TBL), or it gets error 4 and its port's default mode",
                                 h.c_str()));
                continue;
            }
            std::size_t guion = h.find('-');
            std::string indicativo = h.substr(0, guion);
            std::string propia;
            std::string general = indicativo + ".TBL";
            if (guion != std::string::npos) {
                propia = texto("%s%d.TBL", indicativo.c_str(),
                               static_cast<std::uint8_t>(a_numero(h.c_str() + guion + 1)));
            }
            if ((!propia.empty() && legible(en_trabajo(propia))) || legible(en_trabajo(general))) {
                continue;
            }
            if (!tablas_dichas_.insert(h).second) continue;
            std::string nombres =
                propia.empty() ? general : texto("%s nor %s", propia.c_str(), general.c_str());
            inf_.error(ruta_usr_, l.linea,
                       texto("TABLE for %s, but %s%s is in %s, so the station gets its port's "
                             "default mode (error 4)",
                             h.c_str(), propia.empty() ? "no " : "neither ", nombres.c_str(),
                             DIR_TRABAJO));
        }
    }
}

// A password table, read as password_tabla reads it: the first line of a
// day that carries a password serves that day.
void Revision::revisa_tabla(const std::string& ruta) {
    Archivo f = Archivo::abre(ruta.c_str(), "rt");
    if (!f) {
        inf_.error(ruta, 0, texto("cannot be read: %s", std::strerror(errno)));
        return;
    }
    unsigned dias[32] = {};
    char linea[300];
    char pw[sizeof linea];
    unsigned num = 0;
    unsigned ultima = 0;
    while (lee_linea(f.get(), linea, sizeof linea)) {
        ++num;
        if (es_comentario(linea)) continue;
        ultima = num;
        long dia = 0;
        std::size_t largo = 0;
        if (!linea_tabla(linea, &dia, pw, sizeof pw, &largo)) {
            inf_.error(ruta, num,
                       "a table line begins with the day of the month: the line is never used");
            continue;
        }
        if (dia < 1 || dia > 31) {
            inf_.error(ruta, num, texto("%ld is no day of the month: the line is never used", dia));
            continue;
        }
        if (largo == 0) {
            inf_.error(ruta, num, texto("day %ld has no password: the line is passed over", dia));
            continue;
        }
        if (dias[dia] != 0) {
            inf_.aviso(ruta, num,
                       texto("day %ld has a line already at line %u: this one is never used", dia,
                             dias[dia]));
            continue;
        }
        dias[dia] = num;
    }
    std::string faltan;
    int cuantos = 0;
    for (int d = 1; d <= 31; ++d) {
        if (dias[d] != 0) continue;
        if (!faltan.empty()) faltan += ", ";
        faltan += texto("%d", d);
        ++cuantos;
    }
    if (cuantos == 31) {
        inf_.error(ruta, ultima,
                   "no line for any day: the station always gets its port's default mode");
    } else if (cuantos > 0) {
        inf_.error(
            ruta, ultima,
            texto("no line for day%s %s: on %s the station gets its port's default mode",
                  cuantos > 1 ? "s" : "", faltan.c_str(), cuantos > 1 ? "those days" : "that day"));
    }
}

void Revision::revisa_idiomas_fbb() {
    if (!cfg_leido_ || cfg.txt_lang == 0 || leido_init == 0) return;
    std::string langue = infbbs.ruta_system;
    langue += "/langue.sys";
    std::string inf = infbbs.ruta_datadir;
    inf += "/inf.sys";
    for (const std::string& r : {langue, inf}) {
        if (!legible(r)) {
            inf_.aviso(r, 0,
                       "cannot be read, while texts by language are switched on (txtlang): "
                       "every station gets the texts of the working directory");
        }
    }
}

}  // namespace talmir::revision
