// The whole check. Each line of "config.prt" and "users.prt" goes through the
// filter's own line handlers (linea_cfg, linea_usr, password_usr), so a line
// that the filter takes is never reported and a line that it refuses always
// is; the checker only adds the reason, goes on after a fault, and looks at
// what the filter never meets in one run (every block, every port line, the
// files that the options need).
#include "check/revisa.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "auth/password.h"
#include "check/escucha.h"
#include "check/fbb_instalado.h"
#include "check/patron.h"
#include "config/config.h"
#include "config/fbb_conf.h"
#include "driver/disco.h"
#include "driver/global.h"
#include "driver/lineas.h"
#include "driver/rutas.h"
#include "driver/texto.h"

namespace talmir {

namespace {

constexpr int kLineasFijas = 14;

constexpr const char kSinFbb[] =
    "cannot be read, and init.srv in the current directory cannot stand in for it: port names "
    "cannot be looked up and no mail reaches the sysops (error 1)";
// The first word of a "users.prt" line is compared as a pattern only up to
// this length.
constexpr std::size_t kCabeceraMax = 9;

const char* const kNombreLinea[kLineasFijas] = {
    "the language file line (lenguaje)",      "the sysops line (sysops)",
    "the attempts line (intentos)",           "the prompt line (prompt)",
    "the texts-by-language switch (txtlang)", "the open-text switch (txtusr)",
    "the exclusion-text switch (txtexcl)",    "the guest-text switch (txtguest)",
    "the introduction switch (txtintro)",     "the new-user switch (txtnewusr)",
    "the new-user mail switch (msgnewusr)",   "the connection-log switch (logtotal)",
    "the exclusion-log switch (logexc)",      "the failed-password-log switch (logfall)",
};

// The letters that mean something in each option word.
constexpr const char kLetrasIntentos1[] = "CRH";
constexpr const char kLetrasIntentos2[] = "CRHDN";
constexpr const char kLetrasIntro[] = "XSN";
constexpr const char kLetrasNuevo[] = "TM";
constexpr const char kLetrasLog[] = "CDWM";
// An option word counts with its first 10 letters.
constexpr std::size_t kOpcionMax = 10;

struct PuertoCfg {
    int puerto;
    int modo;
    unsigned linea;
};

struct LineaUsr {
    unsigned linea;
    int puerto;
    bool todos;
    int modo;
};

struct Bloque {
    unsigned linea;
    std::string cabecera;  // upper-cased, whole
    std::vector<LineaUsr> lineas;
};

struct Primera {
    unsigned linea;
    std::string palabra;
    Patron patron;
};

std::string mayusculas(std::string s) {
    for (char& c : s) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return s;
}

// The next word of a line, whole.
std::string palabra(const char** p) {
    char buf[LINEA_USR];
    std::size_t n = lee_palabra(p, buf, sizeof buf);
    return n == 0 ? std::string() : std::string(buf);
}

// "C, R, H" from "CRH".
std::string lista_letras(const char* letras) {
    std::string s;
    for (const char* c = letras; *c != '\0'; ++c) {
        if (!s.empty()) s += ", ";
        s += *c;
    }
    return s;
}

bool solo_digitos(const std::string& s) {
    if (s.empty()) return false;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

bool es_abierto(int modo) {
    return modo == 1 || modo < 1 || modo > 14;
}

class Revision {
   public:
    explicit Revision(Informe& inf) : inf_(inf) {}
    int ejecuta();

   private:
    void revisa_fbb();
    bool lee_config();
    void revisa_fija(int tipo, const char* linea, unsigned num, int r);
    void revisa_puerto(unsigned num, int r, int puerto);
    void opciones(unsigned num, const std::string& palabra, const char* letras, const char* que);
    void sobran(unsigned num, const char** p, const char* que);
    void revisa_sysops(const char* linea, unsigned num);
    void revisa_intentos(const char* linea, unsigned num);
    void revisa_idioma(unsigned num);
    void revisa_lenguaje(int cuenta);
    void oye_errores(const std::string& fichero, unsigned num, bool en_usuarios);
    int lee_usuarios();
    void revisa_linea_usr(Bloque& b, const LINEAUSRS& l, unsigned num);
    void aviso_palabras_de_mas(const LINEAUSRS& l, unsigned num, const std::string& pw);
    void inalcanzables();
    void textos_necesarios();
    void necesita(int puerto, int modo, const std::string& fichero, unsigned linea,
                  bool por_defecto);
    void tablas_necesarias();
    void revisa_tabla(const std::string& ruta);
    void revisa_trabajo();
    void revisa_idiomas_fbb();
    const PuertoCfg* puerto_cfg(int puerto) const;

    Informe& inf_;
    char r_buf_[RBUF_SIZE] = {};
    std::string ruta_cfg_;
    std::string ruta_usr_;
    bool cfg_leido_ = false;
    int fijas_ = 0;
    bool puertos_completos_ = true;
    std::vector<PuertoCfg> puertos_;
    std::vector<Bloque> bloques_;
    std::vector<Primera> primeras_;
    std::set<std::pair<int, int>> textos_dichos_;
    std::set<std::string> tablas_dichas_;
};

const PuertoCfg* Revision::puerto_cfg(int puerto) const {
    for (const PuertoCfg& p : puertos_) {
        if (p.puerto == puerto) return &p;
    }
    return nullptr;
}

// ---- FBB's configuration ------------------------------------------------

void Revision::revisa_fbb() {
    escucha.limpia();
    int r = lee_init(r_buf_);
    escucha.limpia();
    const std::string conf = ruta_fbb_conf();
    int leido = read_fbb_conf(ruta_fbb_conf());
    free_fbb_conf();
    if (r != 1) {
        if (leido == 0) {
            std::string faltan;
            if (infbbs.id[0] == '\0') faltan += "callsign";
            if (infbbs.locator[0] == '\0')
                faltan += std::string(faltan.empty() ? "" : ", ") + "qraloc";
            if (infbbs.qth[0] == '\0') faltan += std::string(faltan.empty() ? "" : ", ") + "city";
            if (!faltan.empty()) {
                inf_.error(conf, 0,
                           texto("%s not set: FBB's configuration counts as unread, so port names "
                                 "cannot be looked up and no mail reaches the sysops",
                                 faltan.c_str()));
            } else {
                inf_.error(conf, 0,
                           "a conf, data or import path is too long (100 characters; the "
                           "import's lock name 80): FBB's configuration counts as unread");
            }
        } else {
            inf_.error(conf, 0, kSinFbb);
        }
        return;
    }
    if (leido != 0) {
        inf_.aviso(conf, 0,
                   "cannot be read: FBB's data come from init.srv in the current directory, "
                   "which is FBB's filter directory when FBB runs talmir");
    }
    // The mail import: every mail to the sysops goes there, or to mail.prt
    // while FBB holds the lock.
    std::string correo = infbbs.fch_correo;
    std::size_t barra = correo.rfind('/');
    std::string dir = barra == std::string::npos ? "." : correo.substr(0, barra == 0 ? 1 : barra);
    struct stat st;
    if (stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        inf_.error(correo, 0,
                   texto("FBB's mail import: its directory %s does not exist, so no mail reaches "
                         "the sysops (error 2)",
                         dir.c_str()));
    } else if (access(dir.c_str(), W_OK | X_OK) != 0) {
        inf_.error(correo, 0,
                   texto("FBB's mail import: its directory %s is not writable, so no mail "
                         "reaches the sysops (error 2)",
                         dir.c_str()));
    }
}

// ---- "config.prt" -------------------------------------------------------

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

void Revision::opciones(unsigned num, const std::string& p, const char* letras, const char* que) {
    for (char c : p) {
        if (std::strchr(letras, c) == nullptr) {
            inf_.error(ruta_cfg_, num,
                       texto("\"%c\" means nothing in the options of %s (%s)", c, que,
                             lista_letras(letras).c_str()));
        }
    }
    if (p.size() > kOpcionMax) {
        inf_.aviso(ruta_cfg_, num,
                   texto("only the first %zu letters of \"%s\" count", kOpcionMax, p.c_str()));
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
    opciones(num, w1, kLetrasIntentos1, "the attempts line, first word");
    std::string w2 = palabra(&p);
    if (w2.empty()) return;
    opciones(num, w2, kLetrasIntentos2, "the attempts line, second word");
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
    char buffer[80];
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
        if (++tomados == 30 && linea_30 == 0) linea_30 = esta;
    }
    if (cuenta >= 30) {
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
            const char* letras = tipo == 8 ? kLetrasIntro : tipo == 9 ? kLetrasNuevo : kLetrasLog;
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

// ---- "users.prt" --------------------------------------------------------

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
        if (!primera.empty() && primera.size() <= kCabeceraMax) {
            primeras_.push_back({num, primera, compila_patron(primera)});
        }
        const bool cabecera = es_cabecera;
        es_cabecera = !primera.empty() && primera[0] == '-';
        if (cabecera) {
            if (es_cabecera) continue;  // an end line without a block
            bloques_.push_back({num, primera, {}});
            if (primera.size() > kCabeceraMax) {
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
        if (b.cabecera.empty() || b.cabecera.size() > kCabeceraMax) continue;
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

// ---- Texts and tables that the configuration needs ----------------------

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
                                h.compare(0, 6, "CONSOL") == 0 || h.size() > kCabeceraMax;
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

// ---- The working directory ----------------------------------------------

void Revision::revisa_trabajo() {
    const std::string dir = DIR_TRABAJO;
    struct stat st;
    if (stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        inf_.error(dir, 0,
                   "the working directory does not exist: challenges, logs and error reports "
                   "cannot be written (error 10)");
        return;
    }
    if (access(dir.c_str(), W_OK | X_OK) != 0) {
        inf_.error(dir, 0,
                   "the working directory is not writable: challenges, logs and error reports "
                   "cannot be written (error 10)");
    }
    std::vector<std::string> nombres;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d)) nombres.emplace_back(e->d_name);
        closedir(d);
    }
    std::sort(nombres.begin(), nombres.end());
    auto termina = [](const std::string& s, const char* fin) {
        std::size_t n = std::strlen(fin);
        return s.size() > n && s.compare(s.size() - n, n, fin) == 0;
    };
    for (const std::string& n : nombres) {
        std::string ruta = dir;
        ruta += '/';
        ruta += n;
        if (termina(n, ".TBL")) {
            revisa_tabla(ruta);
        } else if (termina(mayusculas(n), ".TBL")) {
            inf_.aviso(ruta, 0, "never read: a password table's name ends in .TBL, in capitals");
        } else if (termina(n, ".tmp")) {
            std::string raiz = n.substr(0, n.size() - 4);
            if (raiz.compare(0, 5, "error") == 0 && solo_digitos(raiz.substr(5))) {
                inf_.nota(ruta, 0,
                          texto("error %s has been reported: it is not mailed again while this "
                                "marker stands",
                                raiz.c_str() + 5));
            } else if (stat(ruta.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
                inf_.error(ruta, 0,
                           "not a plain file: the challenge file of that station cannot be "
                           "written (error 10)");
            }
        } else if (n == "talmir.sta") {
            inf_.nota(ruta, 0, "the filter is off: every station is let in (talmir -on)");
        } else if (termina(n, ".prt") && solo_digitos(n.substr(0, n.size() - 4))) {
            inf_.nota(ruta, 0,
                      texto("port %s is closed to all but BBSs and sysops (talmir -pnormal %s)",
                            n.substr(0, n.size() - 4).c_str(), n.substr(0, n.size() - 4).c_str()));
        }
    }
}

int Revision::ejecuta() {
    instala_escucha();
    // The program's own files come first in the report.
    char ruta[RUTA_MAX];
    if (ruta_config(ruta, sizeof ruta, "config.prt")) inf_.fichero(ruta);
    if (ruta_config(ruta, sizeof ruta, "users.prt")) inf_.fichero(ruta);
    revisa_fbb();
    const std::string fbb_inseguro = aviso_fbb_instalado();
    if (!fbb_inseguro.empty()) inf_.aviso(FBB_XFBBD, 0, fbb_inseguro);
    if (!lee_config()) {
        lee_usuarios();
        inalcanzables();
        revisa_trabajo();
        return REVISION_ILEGIBLE;
    }
    int r = lee_usuarios();
    inalcanzables();
    textos_necesarios();
    tablas_necesarias();
    revisa_idiomas_fbb();
    revisa_trabajo();
    if (r != REVISION_LIMPIA) return r;
    return inf_.errores() > 0 ? REVISION_ERRORES : REVISION_LIMPIA;
}

}  // namespace

int revisa(Informe& inf) {
    Revision r(inf);
    return r.ejecuta();
}

}  // namespace talmir
