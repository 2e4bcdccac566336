// "config.prt", "users.prt", the translation of port and mode words, and
// FBB's host configuration (fbb.conf or init.srv).
#include "config/config.h"

#include <cstdlib>
#include <cstring>
#include <string_view>

#include "config/fbb_conf.h"
#include "driver/disco.h"
#include "driver/global.h"
#include "driver/rutas.h"
#include "driver/utils.h"
#include "texts/error.h"
#include "texts/lenguaje.h"

namespace talmir {

const char* const ident_modo[14] = {
    "ABIERTO", "CERRADO", "EXCLUIDO", "FRASE",    "NORMAL",    "MD2",      "TABLA",
    "BBS",     "FLEXNET", "FORWARD",  "SOLOLEER", "RETENIDOS", "FORWARD5", "GUEST",
};
const char* const ident_modo2[14] = {
    "OPEN", "CLOSED",  "EXCLUDED", "FIXED",    "NORMAL", "MD5",      "TABLE",
    "BBS",  "FLEXNET", "FORWARD",  "READONLY", "HOLD",   "FORWARD5", "GUEST",
};

Oyente oyente_config = nullptr;
const char* dir_config = nullptr;

namespace {

void avisa(hallazgo que, std::uint16_t linea, const char* palabra) {
    if (oyente_config != nullptr) oyente_config(que, linea, palabra);
}

// A port or mode word holds at most 20 characters; a header's first word 9;
// an option word counts with its first 10 letters.
constexpr std::size_t PALABRA_MAX = 20;
constexpr std::size_t CABECERA_MAX = 9;
constexpr std::size_t OPCION_MAX = 10;

bool es_blanco(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool es_digito(char c) {
    return c >= '0' && c <= '9';
}

char mayuscula(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool es_alfanumerico(char c) {
    return es_digito(c) || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool empieza_por(const char* texto, const char* prefijo) {
    return std::strncmp(texto, prefijo, std::strlen(prefijo)) == 0;
}

// The leading digits of a port or mode word of one or two characters; 0 when
// there are none.
int numero_corto(const char* palabra) {
    int v = 0;
    for (int i = 0; i < 2 && es_digito(palabra[i]); ++i) v = v * 10 + (palabra[i] - '0');
    return v;
}

// A whole word read as a signed integer ("%hd" on a word of its own). False
// when it is not one.
bool entero_de_palabra(const char* palabra, long* valor) {
    const char* p = palabra;
    bool negativo = *p == '-';
    if (*p == '+' || *p == '-') ++p;
    if (!es_digito(*p)) return false;
    long v = 0;
    for (; es_digito(*p); ++p) {
        if (v < 1000000) v = v * 10 + (*p - '0');
    }
    if (*p != '\0') return false;
    *valor = negativo ? -v : v;
    return true;
}

// The next integer of a line, as "%hd" takes it; false when there is none.
bool lee_entero(const char** p, long* valor) {
    char palabra[16];
    std::size_t n = lee_palabra(p, palabra, sizeof palabra);
    if (n == 0 || n >= sizeof palabra) return false;
    return entero_de_palabra(palabra, valor);
}

// Keeps leyendo_cfg set while "config.prt" is being read.
class Leyendo {
   public:
    Leyendo() : previo_(leyendo_cfg) { leyendo_cfg = 1; }
    ~Leyendo() { leyendo_cfg = previo_; }
    Leyendo(const Leyendo&) = delete;
    Leyendo& operator=(const Leyendo&) = delete;

   private:
    std::uint8_t previo_;
};

// ---- "config.prt" -------------------------------------------------------

struct Opcion {
    char letra;
    std::uint16_t valor;
};

constexpr Opcion kOpcionesIntentos1[] = {{'C', 1}, {'R', 2}, {'H', 4}};
constexpr Opcion kOpcionesIntentos2[] = {{'R', 8}, {'H', 16}, {'D', 32}, {'N', 64}};
constexpr Opcion kOpcionesIntro[] = {{'X', 1}, {'S', 2}, {'N', 4}};
constexpr Opcion kOpcionesNuevo[] = {{'T', 1}, {'M', 2}};
constexpr Opcion kOpcionesLog[] = {{'C', 1}, {'D', 2}, {'W', 4}, {'M', 8}};

// Adds the value of every letter of the word, once for each time it is
// written; other characters add nothing.
template <std::size_t N>
std::uint16_t suma_opciones(const char* palabra, const Opcion (&tabla)[N]) {
    std::uint16_t mascara = 0;
    for (const char* p = palabra; *p != '\0'; ++p) {
        for (const Opcion& o : tabla) {
            if (*p == o.letra) mascara = static_cast<std::uint16_t>(mascara + o.valor);
        }
    }
    return mascara;
}

// The next option word, upper-cased: only its first 10 letters count, the
// rest of a longer word is dropped. False when the line holds none.
bool lee_opcion(const char** p, char (&palabra)[OPCION_MAX + 1]) {
    if (lee_palabra(p, palabra, sizeof palabra) == 0) return false;
    strupr(palabra);
    return true;
}

// The switch: the first word's first two characters, upper-cased, must be
// "OK" (1) or "NO" (0); anything else gives -1.
int lee_interruptor(const char** p) {
    char palabra[3];
    if (lee_palabra(p, palabra, sizeof palabra) == 0) return -1;
    strupr(palabra);
    if (std::strcmp(palabra, "OK") == 0) return 1;
    if (std::strcmp(palabra, "NO") == 0) return 0;
    return -1;
}

int linea_lenguaje(const char* linea, char* r_buf) {
    char palabra[sizeof cfg.lng_file];
    const char* p = linea;
    std::size_t n = lee_palabra(&p, palabra, sizeof palabra);
    if (n == 0 || n >= sizeof palabra) return DATOS_MAL;
    copia(cfg.lng_file, sizeof cfg.lng_file, palabra);
    if (cfg.lng_file[0] != '*' && cfg.lng_file[1] != '*') inic_textos(r_buf, cfg.lng_file);
    return 0;
}

// Up to five callsigns, taken in pieces of at most six characters as
// "%6s %6s %6s %6s %6s" takes them.
int linea_sysops(const char* linea) {
    const char* p = linea;
    std::uint8_t n = 0;
    while (n < 5) {
        while (es_blanco(*p)) ++p;
        if (*p == '\0') break;
        std::size_t largo = 0;
        while (largo < sizeof cfg.sysop[n] - 1 && p[largo] != '\0' && !es_blanco(p[largo])) {
            ++largo;
        }
        copia(cfg.sysop[n], sizeof cfg.sysop[n], std::string_view(p, largo));
        strupr(cfg.sysop[n]);
        p += largo;
        ++n;
    }
    if (n == 0) return DATOS_MAL;
    cfg.num_sysop = n;
    return 0;
}

// "%1hd %10s %10s": one digit 1 to 5, then up to two option words; the first
// word may follow the digit directly.
int linea_intentos(const char* linea) {
    const char* p = linea;
    while (es_blanco(*p)) ++p;
    if (*p < '1' || *p > '5') return DATOS_MAL;
    cfg.num_int = static_cast<std::uint8_t>(*p - '0');
    ++p;
    std::uint16_t mascara = 0;
    char palabra[OPCION_MAX + 1];
    if (lee_opcion(&p, palabra)) {
        mascara = suma_opciones(palabra, kOpcionesIntentos1);
        if (lee_opcion(&p, palabra)) {
            for (const char* c = palabra; *c != '\0'; ++c) {
                if (*c == 'C' && (mascara & SEC_CONSOLA) == 0) mascara |= SEC_CONSOLA;
            }
            mascara =
                static_cast<std::uint16_t>(mascara + suma_opciones(palabra, kOpcionesIntentos2));
        }
    }
    cfg.sec_ops = mascara;
    return 0;
}

int linea_interruptor(const char* linea, std::uint8_t* campo) {
    const char* p = linea;
    int v = lee_interruptor(&p);
    if (v < 0) return DATOS_MAL;
    *campo = static_cast<std::uint8_t>(v);
    return 0;
}

// A switch with an option word; the mask is rebuilt from zero.
template <std::size_t N>
int linea_interruptor_ops(const char* linea, std::uint8_t* campo, std::uint16_t* mascara,
                          const Opcion (&tabla)[N]) {
    const char* p = linea;
    int v = lee_interruptor(&p);
    if (v < 0) return DATOS_MAL;
    *campo = static_cast<std::uint8_t>(v);
    char palabra[OPCION_MAX + 1];
    *mascara = lee_opcion(&p, palabra) ? suma_opciones(palabra, tabla) : 0;
    return 0;
}

int linea_fija(tipo_linea tipo, const char* linea, char* r_buf) {
    switch (tipo) {
        case tipo_linea::lenguaje:
            return linea_lenguaje(linea, r_buf);
        case tipo_linea::sysops:
            return linea_sysops(linea);
        case tipo_linea::intentos:
            return linea_intentos(linea);
        case tipo_linea::prompt:
            copia(cfg.prompt, sizeof cfg.prompt, linea);
            return 0;
        case tipo_linea::txtlang:
            return linea_interruptor(linea, &cfg.txt_lang);
        case tipo_linea::txtusr:
            return linea_interruptor(linea, &cfg.txt_cnx);
        case tipo_linea::txtexcl:
            return linea_interruptor(linea, &cfg.txt_dcnx);
        case tipo_linea::txtguest:
            return linea_interruptor(linea, &cfg.txt_guest);
        case tipo_linea::txtintro:
            return linea_interruptor_ops(linea, &cfg.txt_intro, &cfg.txtintro_ops, kOpcionesIntro);
        case tipo_linea::txtnewusr:
            return linea_interruptor_ops(linea, &cfg.txt_nusr, &cfg.newusr_ops, kOpcionesNuevo);
        case tipo_linea::msgnewusr:
            return linea_interruptor(linea, &cfg.msj_nusr);
        case tipo_linea::logtotal:
            return linea_interruptor_ops(linea, &cfg.log_cnx, &cfg.logcnx_ops, kOpcionesLog);
        case tipo_linea::logexc:
            return linea_interruptor(linea, &cfg.log_dcnx);
        case tipo_linea::logfall:
            return linea_interruptor(linea, &cfg.log_nopas);
        case tipo_linea::puerto:
            break;
    }
    return DATOS_MAL;
}

bool es_modo_defecto(int modo) {
    return modo == MODO_ABIERTO || modo == MODO_CERRADO || modo == MODO_EXCLUIDO ||
           modo == MODO_BBS || modo == MODO_SOLOLEER || modo == MODO_RETENIDOS;
}

// A port line: 1 when it is the station's port, 0 when not, -1 after a
// translation error (reported), DATOS_MAL on faulty data.
int linea_puerto(const char* linea, std::uint16_t num, char* r_buf, int* puerto_leido) {
    char wpuerto[PALABRA_MAX + 1];
    char wmodo[PALABRA_MAX + 1];
    const char* p = linea;
    std::size_t np = lee_palabra(&p, wpuerto, sizeof wpuerto);
    std::size_t nm = lee_palabra(&p, wmodo, sizeof wmodo);
    if (np == 0 || nm == 0 || np > PALABRA_MAX || nm > PALABRA_MAX) {
        if (np == 0 || nm == 0) {
            avisa(hallazgo::pocas_palabras, num, nullptr);
        } else {
            avisa(hallazgo::palabra_larga, num, np > PALABRA_MAX ? wpuerto : wmodo);
        }
        return DATOS_MAL;
    }
    strupr(wpuerto);
    strupr(wmodo);
    int puerto = np <= 2 ? numero_corto(wpuerto) : transf_prt(wpuerto, num, r_buf, 0);
    if (puerto == -1) return -1;
    if (puerto_leido != nullptr) *puerto_leido = puerto;
    int modo = nm <= 2 ? numero_corto(wmodo) : transf_modo(wmodo, num, r_buf, 0);
    if (modo == -1) return -1;
    cfg.modo_def = static_cast<std::int8_t>(modo);
    if (!es_modo_defecto(modo)) {
        avisa(hallazgo::modo_no_defecto, num, wmodo);
        return DATOS_MAL;
    }
    if (puerto != usuario.puerto) return 0;
    avisa(hallazgo::puerto_elegido, num, wpuerto);
    return 1;
}

// ---- "users.prt" --------------------------------------------------------

// Reads the station's block, the header being the last line read (num).
int lee_bloque(LectorLineas& lector, std::uint32_t num, char* r_buf) {
    std::memset(usuario.password, 0, sizeof usuario.password);
    avisa(hallazgo::cabecera, static_cast<std::uint16_t>(num), nullptr);
    char linea[LINEA_USR];
    while (lector.linea(linea, sizeof linea)) {
        ++num;
        if (es_comentario(linea)) continue;
        const auto nlinea = static_cast<std::uint16_t>(num);
        LINEAUSRS l;
        int r = linea_usr(linea, nlinea, r_buf, &l);
        if (r <= 0) return r;
        usuario.modo = static_cast<std::int8_t>(l.modo);
        if (!l.todos && l.puerto != usuario.puerto) continue;
        if (password_usr(l, nlinea, r_buf) < 0) return -1;
        avisa(hallazgo::linea_elegida, nlinea, nullptr);
        return 1;
    }
    return 0;
}

// ---- FBB's port descriptions --------------------------------------------

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

// Reads FBB's port description file into desc_port. False when none of its
// names opens.
bool lee_portsys() {
    // LinFBB's own name first, then those of FBB's other builds.
    static constexpr const char* kNombres[] = {"port_l.sys", "prot_w.sys", "port_d.sys",
                                               "port.sys"};
    Archivo f;
    for (const char* nombre : kNombres) {
        char ruta[RUTA_MAX];
        if (!formatea(ruta, sizeof ruta, "%s/%s", infbbs.ruta_system, nombre)) continue;
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

// ---- FBB's host configuration -------------------------------------------

enum class Campo : std::uint8_t { ninguno, call, loca, city, conf, data, name, syso, impo };

struct Clave {
    const char* clave;
    Campo campo;
};

// The fbb.conf keys in the order they are looked up; only some set a field.
constexpr Clave inistr[] = {
    {"vers", Campo::ninguno},  {"call", Campo::call},    {"ssid", Campo::ninguno},
    {"loca", Campo::loca},     {"city", Campo::city},    {"conf", Campo::conf},
    {"data", Campo::data},     {"mess", Campo::ninguno}, {"comp", Campo::ninguno},
    {"fbbd", Campo::ninguno},  {"yapp", Campo::ninguno}, {"docs", Campo::ninguno},
    {"name", Campo::name},     {"syso", Campo::syso},    {"sysm", Campo::ninguno},
    {"impo", Campo::impo},     {"logs", Campo::ninguno}, {"test", Campo::ninguno},
    {"fbbf", Campo::ninguno},  {"fbbc", Campo::ninguno}, {"aski", Campo::ninguno},
    {"mask", Campo::ninguno},  {"secu", Campo::ninguno}, {"warn", Campo::ninguno},
    {"hous", Campo::ninguno},  {"time", Campo::ninguno}, {"maxd", Campo::ninguno},
    {"loca", Campo::ninguno},  {"beac", Campo::ninguno}, {"scro", Campo::ninguno},
    {"fwdh", Campo::ninguno},  {"maxb", Campo::ninguno}, {"life", Campo::ninguno},
    {"wpca", Campo::ninguno},  {"zipc", Campo::ninguno}, {"unpr", Campo::ninguno},
    {"upba", Campo::ninguno},  {"dwba", Campo::ninguno}, {"pg", Campo::ninguno},
    {nullptr, Campo::ninguno},
};

// "%[0-9A-Za-z]", cut to the field, upper-cased; unchanged when the text
// does not begin with a letter or digit.
template <std::size_t N>
void toma_alfanumerico(char (&campo)[N], const char* texto) {
    std::size_t n = 0;
    while (es_alfanumerico(texto[n])) ++n;
    if (n == 0) return;
    copia(campo, N, std::string_view(texto, n));
    strupr(campo);
}

// "%s" cut to the field (as "%6s" for callsigns), optionally upper-cased;
// unchanged when the text holds no word.
template <std::size_t N>
void toma_palabra(char (&campo)[N], const char* texto, bool mayusculas) {
    char palabra[N];
    const char* p = texto;
    if (lee_palabra(&p, palabra, N) == 0) return;
    copia(campo, N, palabra);
    if (mayusculas) strupr(campo);
}

// "%40[^\n]": the text cut to 40 characters; unchanged when it is empty.
template <std::size_t N>
void toma_linea(char (&campo)[N], const char* texto) {
    if (texto[0] == '\0') return;
    copia(campo, N, texto);
}

// A path word that must fit its field whole. 1 taken, 0 no word, -1 too long.
template <std::size_t N>
int toma_ruta(char (&campo)[N], const char* texto) {
    char palabra[N];
    const char* p = texto;
    std::size_t n = lee_palabra(&p, palabra, N);
    if (n == 0) return 0;
    if (n >= N) return -1;
    copia(campo, N, palabra);
    return 1;
}

void quita_barra_final(char* ruta) {
    std::size_t n = std::strlen(ruta);
    if (n > 0 && (ruta[n - 1] == '/' || ruta[n - 1] == '\\')) ruta[n - 1] = '\0';
}

// The mail import file and its lock; false when either does not fit.
bool toma_correo(const char* texto) {
    char fichero[sizeof infbbs.fch_correo];
    int r = toma_ruta(fichero, texto);
    if (r <= 0) return r == 0;
    const char* bloqueo = lfile(fichero);
    if (bloqueo[0] == '\0' ||
        !copia(infbbs.fch_bloq_correo, sizeof infbbs.fch_bloq_correo, bloqueo)) {
        return false;
    }
    copia(infbbs.fch_correo, sizeof infbbs.fch_correo, fichero);
    return true;
}

bool aplica_clave(Campo campo, const char* valor) {
    switch (campo) {
        case Campo::ninguno:
            return true;
        case Campo::call:
            toma_alfanumerico(infbbs.id, valor);
            return true;
        case Campo::loca:
            toma_palabra(infbbs.locator, valor, true);
            return true;
        case Campo::city:
            toma_linea(infbbs.qth, valor);
            return true;
        case Campo::conf:
            if (toma_ruta(infbbs.ruta_system, valor) < 0) return false;
            quita_barra_final(infbbs.ruta_system);
            return true;
        case Campo::data:
            if (toma_ruta(infbbs.ruta_datadir, valor) < 0) return false;
            quita_barra_final(infbbs.ruta_datadir);
            return true;
        case Campo::name:
            toma_linea(infbbs.nsysop, valor);
            return true;
        case Campo::syso:
            toma_palabra(infbbs.sysop, valor, true);
            return true;
        case Campo::impo:
            return toma_correo(valor);
    }
    return true;
}

// The fields of fbb.conf; false when a path did not fit.
bool lee_fbb_conf() {
    for (const Clave* c = inistr; c->clave != nullptr; ++c) {
        const char* valor = find_fbb_conf(c->clave, 0);
        // FBB names the locator "qraloc"; "loca" alone would meet only
        // "localtime" in FBB's own files. The locator's key comes first
        // when it holds a word: an empty qraloc leaves loca its say.
        if (c->campo == Campo::loca) {
            const char* qraloc = find_fbb_conf("qral", 0);
            char palabra[2];
            const char* p = qraloc;
            if (qraloc != nullptr && lee_palabra(&p, palabra, sizeof palabra) != 0) valor = qraloc;
        }
        if (valor != nullptr && !aplica_clave(c->campo, valor)) return false;
    }
    return true;
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

int es_comentario(const char* buffer) {
    return buffer[0] == '\0' || buffer[0] == '#' || buffer[0] == '\n' ? 1 : 0;
}

bool ruta_config(char* ruta, std::size_t size, const char* nombre) {
    if (dir_config != nullptr) return formatea(ruta, size, "%s/%s", dir_config, nombre);
    const char* var = std::getenv("TALMIR");
    if (var == nullptr) return formatea(ruta, size, "%s/%s", DIR_TRABAJO, nombre);
    // A longer value is never cut: the file then cannot be opened.
    char dir[81];
    if (!copia(dir, sizeof dir, var)) return false;
    strupr(dir);
    quita_barra_final(dir);
    return formatea(ruta, size, "%s/%s", dir, nombre);
}

int linea_cfg(tipo_linea tipo, const char* linea, std::uint16_t num, char* r_buf, int* puerto) {
    if (tipo == tipo_linea::puerto) return linea_puerto(linea, num, r_buf, puerto);
    return linea_fija(tipo, linea, r_buf);
}

int lee_cfg(char* r_buf) {
    Leyendo leyendo;
    char ruta[RUTA_MAX];
    Archivo f;
    if (ruta_config(ruta, sizeof ruta, "config.prt")) f = Archivo::abre(ruta, "r");
    if (!f) {
        error(ERR_CFG_ABRE, 0, r_buf);
        return -1;
    }
    borra_marca_error(ERR_CFG_ABRE);

    char linea[LINEA_CFG];
    std::uint16_t lineacfg = 0;
    auto tipo = static_cast<std::uint8_t>(tipo_linea::lenguaje);
    constexpr auto kPuerto = static_cast<std::uint8_t>(tipo_linea::puerto);
    int resultado = 0;
    while (lee_linea(f.get(), linea, sizeof linea)) {
        ++lineacfg;
        if (es_comentario(linea)) continue;
        int r = linea_cfg(static_cast<tipo_linea>(tipo), linea, lineacfg, r_buf);
        if (tipo < kPuerto) ++tipo;
        if (r == DATOS_MAL) {
            f.cierra();
            error(ERR_CFG_DATOS, lineacfg, r_buf);
            return -1;
        }
        if (r == -1) return -1;
        if (r == 1) {
            resultado = 1;
            break;
        }
    }
    f.cierra();
    leido_cfg = 1;
    borra_marca_error(ERR_CFG_DATOS);
    return resultado;
}

int compara_indicativos(const char* ind1, const char* ind2) {
    const char* p = ind1;
    const char* t = ind2;
    for (; *p != '\0' && *t != '\0'; ++p, ++t) {
        if (*p == '*' && p[1] == '\0' && p != ind1) return 0;
        if (*p != '*' && *p != '?' && *p != *t) return 1;
    }
    return (*p == '\0' && *t == '\0') ? 0 : 1;
}

namespace {

// The search of busca_cabecera, line by line.
class Busqueda {
   public:
    // What a line turned out to be.
    static constexpr unsigned DE_SSID = 1;    // the CALL-SSID header
    static constexpr unsigned DE_IND = 2;     // the first header of the bare callsign
    static constexpr unsigned DE_CONSOL = 4;  // the first CONSOL header

    Busqueda(const char* ind_ssid, const char* ind, bool consola) : ind_ssid_(ind_ssid), ind_(ind) {
        // What the first character of a line, read as the first character
        // of its first word, calls for. A pattern that matches a text begins
        // with "*", "?" or the text's first character (patterns are
        // upper-cased): every other line is passed over without taking its
        // first word. A line end there is an empty line's.
        std::memset(clase_, 0, sizeof clase_);
        clase_[0] = clase_[indice('#')] = clase_[indice('\n')] = COMENTARIO;
        for (char c : {' ', '\t', '\v', '\f', '\r'}) clase_[indice(c)] = BLANCO;
        for (char c : {'*', '?', ind_ssid[0], ind[0]}) {
            marca(c, INDICATIVO);
            if (c >= 'A' && c <= 'Z') marca(static_cast<char>(c - 'A' + 'a'), INDICATIVO);
        }
        if (consola) {
            marca('C', CONSOL);
            marca('c', CONSOL);
        }
    }

    // One line, from p to its line end *fin ('\n'); the DE_ marks of what
    // it is, or 0.
    unsigned linea(const char* p, const char* fin) {
        // The analyzer does not see fread fill the reader's buffer.
        // NOLINTNEXTLINE(clang-analyzer-core.CallAndMessage)
        std::uint8_t k = clase_[indice(*p)];
        if (k == 0) {
            // Most lines: a first word that can match nothing.
            es_cabecera_ = *p == '-';
            return 0;
        }
        if (k & COMENTARIO) return 0;
        // The line as a line buffer holds it: 298 characters, up to a NUL.
        if (fin - p > static_cast<std::ptrdiff_t>(LINEA_USR - 1)) fin = p + (LINEA_USR - 1);
        if (k & BLANCO) {
            while (p < fin && es_blanco(*p)) ++p;
            if (p == fin || *p == '\0') {
                es_cabecera_ = false;  // no first word
                return 0;
            }
            k = clase_[indice(*p)];
        }
        const bool cabecera = es_cabecera_;
        es_cabecera_ = *p == '-';
        const bool por_ind = (k & INDICATIVO) != 0;
        const bool por_consol = (k & CONSOL) != 0 && cabecera && !hay_consol_;
        if (!por_ind && !por_consol) return 0;

        // The first word, upper-cased; longer than 9 characters it matches
        // nothing.
        char palabra[CABECERA_MAX + 1];
        std::size_t n = 0;
        for (; p < fin && *p != '\0' && !es_blanco(*p); ++p) {
            if (n == CABECERA_MAX) return 0;
            palabra[n++] = mayuscula(*p);
        }
        palabra[n] = '\0';
        unsigned r = 0;
        if (por_ind) {
            if (compara_indicativos(palabra, ind_ssid_) == 0) return DE_SSID;
            if (!hay_ind_ && compara_indicativos(palabra, ind_) == 0) {
                hay_ind_ = true;
                r |= DE_IND;
            }
        }
        if (por_consol && empieza_por(palabra, "CONSOL")) {
            hay_consol_ = true;
            r |= DE_CONSOL;
        }
        return r;
    }

    // A line that is not followed by a line end in the reader's buffer.
    unsigned linea(std::string_view v) {
        if (v.empty()) return 0;
        return linea(v.data(), v.data() + v.size());
    }

   private:
    static constexpr std::uint8_t COMENTARIO = 1;
    static constexpr std::uint8_t BLANCO = 2;
    static constexpr std::uint8_t INDICATIVO = 4;
    static constexpr std::uint8_t CONSOL = 8;

    static unsigned char indice(char c) { return static_cast<unsigned char>(c); }
    void marca(char c, std::uint8_t k) {
        // A comment's or a blank's mark stays: those lines have no word there.
        if ((clase_[indice(c)] & (COMENTARIO | BLANCO)) == 0) clase_[indice(c)] |= k;
    }

    const char* ind_ssid_;
    const char* ind_;
    bool es_cabecera_ = true;  // the next non-comment line is a header
    bool hay_ind_ = false;
    bool hay_consol_ = false;
    std::uint8_t clase_[256];
};

}  // namespace

Cabecera busca_cabecera(LectorLineas& lector, const char* ind_ssid, const char* ind, bool consola) {
    Busqueda b(ind_ssid, ind, consola);
    Cabecera de_ind;
    Cabecera de_consol;
    std::uint32_t num = 0;
    auto anota = [&](unsigned r, std::uint64_t siguiente) {
        if (r & Busqueda::DE_IND) de_ind = {num, siguiente};
        if (r & Busqueda::DE_CONSOL) de_consol = {num, siguiente};
    };
    for (;;) {
        // The lines that lie whole in the buffer, straight from it.
        const char* p;
        const char* fin;
        lector.pendiente(&p, &fin);
        while (p < fin) {
            const auto* nl = static_cast<const char*>(std::memchr(p, '\n', fin - p));
            if (nl == nullptr) break;
            ++num;
            const unsigned r = b.linea(p, nl);
            p = nl + 1;
            if (r != 0) {
                lector.consume(p);
                if (r == Busqueda::DE_SSID) return {num, lector.posicion()};
                anota(r, lector.posicion());
            }
        }
        lector.consume(p);
        // A line that goes on past the buffer, or the last one without a
        // line end: through the reader, which reads on.
        std::string_view v;
        if (!lector.vista(&v)) break;
        ++num;
        const unsigned r = b.linea(v);
        if (r == Busqueda::DE_SSID) return {num, lector.posicion()};
        anota(r, lector.posicion());
    }
    return de_ind.linea != 0 ? de_ind : de_consol;
}

int lee_usr(char* r_buf) {
    char ruta[RUTA_MAX];
    if (!ruta_config(ruta, sizeof ruta, "users.prt")) return 0;
    Archivo f = Archivo::abre(ruta, "r");
    if (!f) return 0;

    std::string_view id(usuario.id, strnlen(usuario.id, sizeof usuario.id));
    char ind_ssid[16];
    formatea(ind_ssid, sizeof ind_ssid, "%.*s-%d", static_cast<int>(id.size()), id.data(),
             usuario.ssid);
    char ind[sizeof usuario.id];
    copia(ind, sizeof ind, id);

    LectorLineas lector(f.get());
    const Cabecera cabecera = busca_cabecera(lector, ind_ssid, ind, usuario.puerto == 0);
    if (cabecera.linea == 0) {
        f.cierra();
        borra_marca_error(ERR_USR_DATOS);
        return 0;
    }
    if (!lector.salta_a(cabecera.siguiente)) {
        // A file that cannot seek is read again up to the header.
        f = Archivo::abre(ruta, "r");
        if (!f) return 0;
        lector.reinicia(f.get());
        std::string_view v;
        for (std::uint32_t i = 0; i < cabecera.linea && lector.vista(&v);) ++i;
    }

    int resultado = lee_bloque(lector, cabecera.linea, r_buf);
    f.cierra();
    if (resultado >= 0) borra_marca_error(ERR_USR_DATOS);
    return resultado;
}

bool necesita_password(int modo) {
    return modo == MODO_FRASE || modo == MODO_NORMAL || modo == MODO_MD || modo == MODO_FLEXNET ||
           modo == MODO_FORWARD || modo == MODO_FORWARD5;
}

int linea_usr(const char* linea, std::uint16_t num, char* r_buf, LINEAUSRS* l) {
    char wpuerto[PALABRA_MAX + 1];
    char wmodo[PALABRA_MAX + 1];
    const char* p = linea;
    std::size_t np = lee_palabra(&p, wpuerto, sizeof wpuerto);
    if (np > 0 && wpuerto[0] == '-') return 0;
    std::size_t nm = lee_palabra(&p, wmodo, sizeof wmodo);
    if (np == 0 || nm == 0 || np > PALABRA_MAX || nm > PALABRA_MAX) {
        if (np == 0 || nm == 0) {
            avisa(hallazgo::pocas_palabras, num, nullptr);
        } else {
            avisa(hallazgo::palabra_larga, num, np > PALABRA_MAX ? wpuerto : wmodo);
        }
        error(ERR_USR_DATOS, num, r_buf);
        return -1;
    }
    strupr(wpuerto);
    strupr(wmodo);
    if (np <= 2) {
        l->puerto = numero_corto(wpuerto);
        l->todos = wpuerto[0] == '*';
    } else {
        l->puerto = transf_prt(wpuerto, num, r_buf, 1);
        if (l->puerto == -1) return -1;
        l->todos = l->puerto == TODOS_PUERTOS;
    }
    l->modo = nm <= 2 ? numero_corto(wmodo) : transf_modo(wmodo, num, r_buf, 1);
    if (l->modo == -1) return -1;
    l->resto = p;
    return 1;
}

int password_usr(const LINEAUSRS& l, std::uint16_t num, char* r_buf) {
    if (!necesita_password(l.modo)) return 0;
    // The line buffer is smaller than the store: a password always fits.
    char password[LINEA_USR];
    const char* p = l.resto;
    std::size_t n = lee_palabra(&p, password, sizeof password);
    if (n == 0 || (l.modo == MODO_FLEXNET && n != 5)) {
        avisa(n == 0 ? hallazgo::sin_password : hallazgo::flexnet_cinco, num, password);
        error(ERR_USR_DATOS, num, r_buf);
        return -1;
    }
    copia(usuario.password, sizeof usuario.password, password);
    return 1;
}

int transf_prt(const char* puerto_usr_s, std::uint16_t linea, char* r_buf, int tipo) {
    if (empieza_por(puerto_usr_s, "CONSOL")) return 0;
    if (tipo != 0 &&
        (std::strcmp(puerto_usr_s, "TODOS") == 0 || std::strcmp(puerto_usr_s, "ALL") == 0)) {
        return TODOS_PUERTOS;
    }
    const std::uint16_t num_error = tipo == 0 ? ERR_CFG_DATOS : ERR_USR_DATOS;
    if (leido_portsys == 0) {
        if (leido_init == 0 && lee_init(r_buf) != 1) {
            avisa(hallazgo::sin_fbb, linea, puerto_usr_s);
            return -1;
        }
        if (!lee_portsys()) {
            avisa(hallazgo::sin_portsys, linea, puerto_usr_s);
            error(num_error, linea, r_buf);
            return -1;
        }
        leido_portsys = 1;
    }
    for (int i = 0; i < 10; ++i) {
        if (desc_port[i][0] != '\0' && std::strcmp(desc_port[i], puerto_usr_s) == 0) return i;
    }
    avisa(hallazgo::puerto_desconocido, linea, puerto_usr_s);
    error(num_error, linea, r_buf);
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
