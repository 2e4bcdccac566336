// SPDX-License-Identifier: GPL-2.0-or-later
// "users.prt", line by line through the filter's linea_usr and
// password_usr, and the headers that no station can reach.
#include <cerrno>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "check/escucha.h"
#include "check/revision.h"
#include "driver/disco.h"
#include "driver/lineas.h"
#include "driver/texto.h"

namespace talmir::revision {

// Only the first word after the mode is the password: the words after it are
// dropped without a word, and the password the sysop meant is not the one
// that is asked for.
void Revision::aviso_palabras_de_mas(const LINEAUSRS& l, unsigned num, const std::string& pw) {
    const char* p = l.resto;
    if (palabra(&p).empty()) return;
    std::string resto;
    for (std::string w = palabra(&p); !w.empty(); w = palabra(&p)) {
        if (!resto.empty()) resto += ' ';
        resto += w;
    }
    if (resto.empty()) return;
    if (l.modo == MODO_FRASE) {
        inf_.aviso(ruta_usr_, num,
                   texto("FIXED takes only \"%s\" as its pass phrase, not the words after it "
                         "(\"%s\"): any typed line containing \"%s\" passes",
                         pw.c_str(), resto.c_str(), pw.c_str()));
        return;
    }
    inf_.aviso(ruta_usr_, num,
               texto("%s takes only \"%s\" as its password, not the words after it (\"%s\")",
                     nombre_modo(l.modo).c_str(), pw.c_str(), resto.c_str()));
}

void Revision::revisa_linea_usr(Bloque& b, const LINEAUSRS& l, unsigned num) {
    const auto n16 = static_cast<std::uint16_t>(num);
    usuario.password[0] = '\0';
    int pr = password_usr(l, n16, r_buf_);
    std::string pw = pr == 1 ? std::string(usuario.password) : std::string();

    if (pr == 1) aviso_palabras_de_mas(l, num, pw);
    if (l.modo < 1 || l.modo > 14) {
        inf_.aviso(ruta_usr_, num,
                   texto("%s is no mode: the station is let in as with OPEN",
                         nombre_modo(l.modo).c_str()));
    }
    if (l.modo == MODO_GUEST) aviso_guest(ruta_usr_, num);
    if (l.modo == 9) {
        if (pr == 1 && !solo_digitos(pw)) {
            inf_.error(ruta_usr_, num,
                       texto("a FLEXNET password has five digits, not \"%s\": any other "
                             "character counts as 0",
                             pw.c_str()));
        }
        inf_.aviso(ruta_usr_, num,
                   "FLEXNET is weak by design: whoever hears a few challenges and their answers "
                   "can work the password out");
    }
    if (l.modo == 4 && (l.todos || l.puerto != 0)) {
        inf_.aviso(ruta_usr_, num,
                   texto("FIXED on %s: the pass phrase goes over the air in clear",
                         l.todos ? "every port" : texto("port %d", l.puerto).c_str()));
    }
    if ((l.modo == 5 || l.modo == 6) && pr == 1 && pw.size() < 8) {
        inf_.aviso(ruta_usr_, num,
                   texto("%s password of %zu characters: 8 or more are safer",
                         nombre_modo(l.modo).c_str(), pw.size()));
    }
    for (const LineaUsr& antes : b.lineas) {
        if (antes.todos) {
            inf_.aviso(ruta_usr_, num, texto("never used: line %u serves every port", antes.linea));
            break;
        }
        if (!l.todos && antes.puerto == l.puerto) {
            inf_.aviso(ruta_usr_, num,
                       texto("never used: line %u serves port %d already", antes.linea, l.puerto));
            break;
        }
    }
    if (!l.todos && cfg_leido_ && puertos_completos_ && puerto_cfg(l.puerto) == nullptr) {
        inf_.aviso(ruta_usr_, num,
                   texto("port %d has no port line in config.prt: the filter does not work "
                         "there, so this line is never used",
                         l.puerto));
    }
    b.lineas.push_back({num, l.puerto, l.todos, l.modo});
}

int Revision::lee_usuarios() {
    char ruta[RUTA_MAX];
    if (!ruta_config(ruta, sizeof ruta, "users.prt")) return REVISION_LIMPIA;
    ruta_usr_ = ruta;
    inf_.fichero(ruta_usr_);
    errno = 0;
    Archivo f = Archivo::abre(ruta, "r");
    if (!f) {
        if (errno == ENOENT) {
            inf_.aviso(ruta_usr_, 0, "does not exist: every station gets its port's default mode");
            return REVISION_LIMPIA;
        }
        inf_.error(ruta_usr_, 0,
                   texto("cannot be read: %s: the filter takes every station as unlisted",
                         std::strerror(errno)));
        return REVISION_ILEGIBLE;
    }
    usuario.puerto = -1;
    LectorLineas lector(f.get());
    char linea[LINEA_USR];
    unsigned num = 0;
    bool es_cabecera = true;
    bool larga = false;
    while (lector.linea(linea, sizeof linea, &larga)) {
        ++num;
        if (es_comentario(linea)) continue;
        if (larga) {
            inf_.aviso(ruta_usr_, num,
                       "longer than 298 characters: the rest of the line is dropped");
        }
        const char* p = linea;
        std::string primera = mayusculas(palabra(&p));
        if (!primera.empty() && primera.size() <= CABECERA_MAX) {
            primeras_.push_back({num, primera, compila_patron(primera)});
        }
        const bool cabecera = es_cabecera;
        es_cabecera = !primera.empty() && primera[0] == '-';
        if (cabecera) {
            if (es_cabecera) continue;  // an end line without a block
            bloques_.push_back({num, primera, {}});
            if (primera.size() > CABECERA_MAX) {
                inf_.error(ruta_usr_, num,
                           texto("the header %s is longer than 9 characters: it never matches a "
                                 "station",
                                 primera.c_str()));
            }
            continue;
        }
        escucha.limpia();
        LINEAUSRS l;
        int r = linea_usr(linea, static_cast<std::uint16_t>(num), r_buf_, &l);
        if (r > 0 && !bloques_.empty()) revisa_linea_usr(bloques_.back(), l, num);
        oye_errores(ruta_usr_, num, true);
    }
    return REVISION_LIMPIA;
}

// Headers that no station can reach: an earlier line's pattern catches every
// station the header would serve (both passes, CALL-SSID and bare callsign),
// or, for a header that is a plain callsign, some line catches every
// CALL-SSID of it in the first pass, so the second never comes. Only the
// first CONSOL header serves the console.
void Revision::inalcanzables() {
    // First line of each plain word, and every pattern with "?" or "*".
    std::unordered_map<std::string, unsigned> literales;
    std::vector<const Primera*> comodines;
    for (const Primera& p : primeras_) {
        if (es_literal(p.patron)) {
            literales.emplace(p.palabra, p.linea);
        } else {
            comodines.push_back(&p);
        }
    }
    const Patron todas = compila_patron("??*");  // every text of 3 characters or more
    unsigned primera_consol = 0;
    for (const Bloque& b : bloques_) {
        if (b.cabecera.empty() || b.cabecera.size() > CABECERA_MAX) continue;
        const Patron h = compila_patron(b.cabecera);
        if (b.cabecera.compare(0, 6, "CONSOL") == 0) {
            if (primera_consol != 0) {
                inf_.error(ruta_usr_, b.linea,
                           texto("only the first CONSOL block (line %u) serves the console: this "
                                 "one is never reached",
                                 primera_consol));
                continue;
            }
            primera_consol = b.linea;
            for (const Primera* c : comodines) {
                if (incluye(c->patron, todas)) {
                    inf_.error(ruta_usr_, b.linea,
                               texto("the console block is never reached: the pattern %s at line "
                                     "%u catches every station first",
                                     c->palabra.c_str(), c->linea));
                    break;
                }
            }
            continue;
        }
        const Primera* quien = nullptr;
        if (es_literal(h)) {
            auto it = literales.find(b.cabecera);
            if (it != literales.end() && it->second < b.linea) {
                inf_.error(ruta_usr_, b.linea,
                           texto("the block %s is never reached: line %u has the same header and "
                                 "is found first",
                                 b.cabecera.c_str(), it->second));
                continue;
            }
        }
        for (const Primera* c : comodines) {
            if (c->linea < b.linea && incluye(c->patron, h)) {
                quien = c;
                break;
            }
        }
        if (quien == nullptr && es_literal(h) && b.cabecera.find('-') == std::string::npos) {
            const Patron con = con_ssid(h);
            for (const Primera* c : comodines) {
                if (c->linea != b.linea && incluye(c->patron, con)) {
                    quien = c;
                    break;
                }
            }
        }
        if (quien != nullptr) {
            inf_.error(ruta_usr_, b.linea,
                       texto("the block %s is never reached: the pattern %s at line %u is found "
                             "first for every station it would serve",
                             b.cabecera.c_str(), quien->palabra.c_str(), quien->linea));
        }
    }
}

}  // namespace talmir::revision
