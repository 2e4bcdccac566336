// SPDX-License-Identifier: GPL-2.0-or-later
// "config.prt", line by line through the filter's linea_cfg, and the
// language file it names.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "check/escucha.h"
#include "check/revision.h"
#include "driver/disco.h"
#include "driver/lineas.h"
#include "driver/rutas.h"
#include "driver/texto.h"
#include "texts/lenguaje.h"

namespace talmir::revision {

namespace {

constexpr int kLineasFijas = 14;

const char* const kNombreLinea[kLineasFijas] = {
    "the language file line (lenguaje)",      "the sysops line (sysops)",
    "the attempts line (intentos)",           "the prompt line (prompt)",
    "the texts-by-language switch (txtlang)", "the open-text switch (txtusr)",
    "the exclusion-text switch (txtexcl)",    "the guest-text switch (txtguest)",
    "the introduction switch (txtintro)",     "the new-user switch (txtnewusr)",
    "the new-user mail switch (msgnewusr)",   "the connection-log switch (logtotal)",
    "the exclusion-log switch (logexc)",      "the failed-password-log switch (logfall)",
};

// The letters that mean something in each option word, from the filter's
// own tables.
template <std::size_t N>
std::string letras_de(const Opcion (&tabla)[N]) {
    std::string s;
    for (const Opcion& o : tabla) s += o.letra;
    return s;
}

// "C, R, H" from "CRH".
std::string lista_letras(const std::string& letras) {
    std::string s;
    for (char c : letras) {
        if (!s.empty()) s += ", ";
        s += c;
    }
    return s;
}

}  // namespace

void Revision::oye_errores(const std::string& fichero, unsigned num, bool en_usuarios) {
    for (const ErrorOido& e : escucha.errores) {
        unsigned linea = e.linea != 0 ? e.linea : num;
        switch (e.num) {
            case 1:
                inf_.error(ruta_fbb_conf(), 0, kSinFbb);
                break;
            case 5:
            case 7:
                if (escucha.hay_motivo) {
                    inf_.error(fichero, linea,
                               texto("%s (error %d)",
                                     explica(escucha.motivo, escucha.palabra, en_usuarios).c_str(),
                                     e.num));
                    escucha.hay_motivo = false;
                } else {
                    inf_.error(fichero, linea, texto("faulty line (error %d)", e.num));
                }
                break;
            case 6:
                revisa_lenguaje(e.linea);
                break;
            default:
                inf_.error(fichero, linea, texto("the filter reports error %d here", e.num));
                break;
        }
    }
    // A reason without an error: a port name while FBB's configuration is
    // unreadable (the filter then stops without a report of its own).
    if (escucha.hay_motivo) {
        inf_.error(fichero, num, explica(escucha.motivo, escucha.palabra, en_usuarios));
    }
    escucha.limpia();
}

void Revision::opciones(unsigned num, const std::string& p, const std::string& letras,
                        const char* que) {
    for (char c : p) {
        if (letras.find(c) == std::string::npos) {
            inf_.error(ruta_cfg_, num,
                       texto("\"%c\" means nothing in the options of %s (%s)", c, que,
                             lista_letras(letras).c_str()));
        }
    }
    if (p.size() > OPCION_MAX) {
        inf_.aviso(ruta_cfg_, num,
                   texto("only the first %zu letters of \"%s\" count", OPCION_MAX, p.c_str()));
    }
}

void Revision::sobran(unsigned num, const char** p, const char* que) {
    std::string resto = palabra(p);
    if (!resto.empty()) {
        inf_.aviso(
            ruta_cfg_, num,
            texto("\"%s\" and what follows is ignored: %s ends before it", resto.c_str(), que));
    }
}

void Revision::revisa_sysops(const char* linea, unsigned num) {
    std::string s = mayusculas(linea);
    const char* p = s.c_str();
    int tomados = 0;
    for (std::string w = palabra(&p); !w.empty(); w = palabra(&p)) {
        const std::size_t trozos = (w.size() + 5) / 6;
        if (w.size() > 6) {
            std::string como;
            for (std::size_t i = 0; i < w.size(); i += 6) {
                if (!como.empty()) como += " and ";
                como += w.substr(i, 6);
            }
            inf_.aviso(ruta_cfg_, num,
                       texto("\"%s\" is longer than 6 characters: it is read as the sysops %s",
                             w.c_str(), como.c_str()));
        }
        if (tomados < 5 && tomados + static_cast<int>(trozos) > 5) {
            inf_.aviso(ruta_cfg_, num,
                       texto("only five sysops count: \"%s\" is cut or ignored", w.c_str()));
        } else if (tomados >= 5) {
            inf_.aviso(ruta_cfg_, num,
                       texto("only five sysops count: \"%s\" is ignored", w.c_str()));
        }
        tomados += static_cast<int>(trozos);
    }
}

void Revision::revisa_intentos(const char* linea, unsigned num) {
    if (cfg.num_int > 3) {
        inf_.aviso(
            ruta_cfg_, num,
            texto("%d attempts: each answer more is one more guess; 3 is plenty", cfg.num_int));
    }
    std::string s = mayusculas(linea);
    const char* p = s.c_str();
    while (*p != '\0' && std::strchr(" \t\r\v\f", *p) != nullptr) ++p;
    ++p;  // the digit
    std::string w1 = palabra(&p);
    if (w1.empty()) return;
    opciones(num, w1, letras_de(OPCIONES_INTENTOS1), "the attempts line, first word");
    std::string w2 = palabra(&p);
    if (w2.empty()) return;
    opciones(num, w2, LETRA_CONSOLA + letras_de(OPCIONES_INTENTOS2),
             "the attempts line, second word");
    sobran(num, &p, "the attempts line's two option words");
}

void Revision::revisa_idioma(unsigned num) {
    if (cfg.lng_file[0] == '*' || cfg.lng_file[1] == '*') return;
    for (const ErrorOido& e : escucha.errores) {
        if (e.num == 6) return;  // read, with a wrong count
    }
    std::string ruta = en_trabajo(cfg.lng_file);
    if (!legible(ruta)) {
        inf_.aviso(ruta_cfg_, num,
                   texto("the language file %s cannot be read: the built-in English texts are "
                         "used",
                         ruta.c_str()));
    }
}

// The language file, read as inic_textos reads it (pieces of 79 characters),
// to tell the line where its count went wrong.
void Revision::revisa_lenguaje(int cuenta) {
    std::string ruta = en_trabajo(cfg.lng_file);
    Archivo f = Archivo::abre(ruta.c_str(), "rt");
    if (!f) return;
    char buffer[TROZO_LENGUAJE];
    unsigned linea = 1;
    unsigned ultima = 0;
    unsigned linea_30 = 0;
    int tomados = 0;
    bool al_principio = true;
    while (std::fgets(buffer, sizeof buffer, f.get()) != nullptr) {
        const bool entera = std::strchr(buffer, '\n') != nullptr;
        if (!al_principio && !es_comentario(buffer)) {
            inf_.aviso(ruta, linea,
                       "a line longer than 79 characters: the rest counts as a text line of its "
                       "own");
        }
        const unsigned esta = linea;
        al_principio = entera;
        if (entera) ++linea;
        if (es_comentario(buffer)) continue;
        ultima = esta;
        if (buffer[0] == '-') break;
        if (++tomados == TEXTOS_FICHERO + 1 && linea_30 == 0) linea_30 = esta;
    }
    if (cuenta > TEXTOS_FICHERO) {
        inf_.error(ruta, linea_30,
                   "a 30th text line: a language file holds 29 texts, one a line, so the "
                   "built-in English texts are used (error 6)");
    } else {
        inf_.error(ruta, ultima,
                   texto("the file ends after %d text lines, but a language file holds 29, so "
                         "the built-in English texts are used (error 6)",
                         cuenta));
    }
}

void Revision::revisa_fija(int tipo, const char* linea, unsigned num, int r) {
    const char* nombre = kNombreLinea[tipo];
    const char* p = linea;
    std::string primera = palabra(&p);
    if (r == DATOS_MAL) {
        switch (static_cast<tipo_linea>(tipo)) {
            case tipo_linea::lenguaje:
                inf_.error(ruta_cfg_, num, texto("%s names no file (error 5)", nombre));
                break;
            case tipo_linea::sysops:
                inf_.error(ruta_cfg_, num, texto("%s names no callsign (error 5)", nombre));
                break;
            case tipo_linea::intentos:
                inf_.error(ruta_cfg_, num,
                           texto("%s must begin with a digit 1 to 5, not \"%s\" (error 5)", nombre,
                                 primera.c_str()));
                break;
            default:
                if (primera.empty()) {
                    inf_.error(ruta_cfg_, num, texto("%s must be OK or NO (error 5)", nombre));
                } else {
                    inf_.error(ruta_cfg_, num,
                               texto("%s must be OK or NO, not \"%s\" (error 5)", nombre,
                                     primera.c_str()));
                }
                break;
        }
        return;
    }
    std::string s = mayusculas(linea);
    const char* q = s.c_str();
    palabra(&q);  // the switch
    switch (static_cast<tipo_linea>(tipo)) {
        case tipo_linea::lenguaje:
            revisa_idioma(num);
            break;
        case tipo_linea::sysops:
            revisa_sysops(linea, num);
            break;
        case tipo_linea::intentos:
            revisa_intentos(linea, num);
            break;
        case tipo_linea::prompt:
            if (std::strlen(linea) > sizeof cfg.prompt - 1) {
                inf_.aviso(ruta_cfg_, num, "the prompt is cut to 80 characters");
            }
            break;
        case tipo_linea::txtintro:
        case tipo_linea::txtnewusr:
        case tipo_linea::logtotal: {
            const std::string letras = tipo == 8   ? letras_de(OPCIONES_INTRO)
                                       : tipo == 9 ? letras_de(OPCIONES_NUEVO)
                                                   : letras_de(OPCIONES_LOG);
            std::string w = palabra(&q);
            if (!w.empty()) {
                opciones(num, w, letras, nombre);
                sobran(num, &q, texto("%s's option word", nombre).c_str());
            }
            break;
        }
        default:
            sobran(num, &q, nombre);
            break;
    }
}

void Revision::revisa_puerto(unsigned num, int r, int puerto) {
    if (r == DATOS_MAL) {
        if (escucha.hay_motivo) {
            std::string modo = escucha.palabra;
            if (escucha.motivo == hallazgo::modo_no_defecto && solo_digitos(modo)) {
                // One or two digits.
                const int n = static_cast<int>(std::strtol(modo.c_str(), nullptr, 10));
                modo = texto("mode %s (%s)", modo.c_str(), nombre_modo(n).c_str());
            }
            inf_.error(ruta_cfg_, num,
                       texto("%s (error 5)", explica(escucha.motivo, modo, false).c_str()));
            escucha.hay_motivo = false;
        } else {
            inf_.error(ruta_cfg_, num, "faulty port line (error 5)");
        }
        puertos_completos_ = false;
        return;
    }
    if (r != 0) {
        puertos_completos_ = false;
        return;
    }
    if (const PuertoCfg* antes = puerto_cfg(puerto)) {
        inf_.aviso(ruta_cfg_, num,
                   texto("port %d has a line already at line %u: this one is never used", puerto,
                         antes->linea));
        return;
    }
    puertos_.push_back({puerto, cfg.modo_def, num});
}

bool Revision::lee_config() {
    char ruta[RUTA_MAX];
    if (!ruta_config(ruta, sizeof ruta, "config.prt")) {
        inf_.error("config.prt", 0, "its directory's name is too long (error 3)");
        return false;
    }
    ruta_cfg_ = ruta;
    inf_.fichero(ruta_cfg_);
    const char* var = std::getenv("TALMIR");
    if (dir_config == nullptr && var != nullptr && mayusculas(var) != var) {
        inf_.aviso(ruta_cfg_, 0,
                   texto("the filter upper-cases the TALMIR variable (%s): this is the file it "
                         "reads",
                         var));
    }
    errno = 0;
    Archivo f = Archivo::abre(ruta, "r");
    if (!f) {
        inf_.error(ruta_cfg_, 0, texto("cannot be read: %s (error 3)", std::strerror(errno)));
        return false;
    }
    // A port that no line can name: the reading never stops at a port line.
    usuario.puerto = -1;
    char linea[LINEA_CFG];
    unsigned num = 0;
    unsigned ultima = 0;
    bool larga = false;
    while (lee_linea(f.get(), linea, sizeof linea, &larga)) {
        ++num;
        if (es_comentario(linea)) continue;
        ultima = num;
        if (larga) {
            inf_.aviso(ruta_cfg_, num,
                       "longer than 98 characters: the rest of the line is dropped");
        }
        escucha.limpia();
        int puerto = -1;
        int r = linea_cfg(static_cast<tipo_linea>(fijas_), linea, static_cast<std::uint16_t>(num),
                          r_buf_, &puerto);
        if (fijas_ < kLineasFijas) {
            revisa_fija(fijas_, linea, num, r);
            ++fijas_;
        } else {
            revisa_puerto(num, r, puerto);
        }
        oye_errores(ruta_cfg_, num, false);
    }
    if (fijas_ < kLineasFijas) {
        inf_.aviso(ruta_cfg_, ultima,
                   texto("the file ends after %d of its 14 fixed lines: no port is filtered, "
                         "every station is let in",
                         fijas_));
    } else if (puertos_.empty() && puertos_completos_) {
        inf_.aviso(ruta_cfg_, ultima,
                   "no port lines: no port is filtered, every station is let in");
    }
    cfg_leido_ = true;
    return true;
}

}  // namespace talmir::revision
