// What happens to one station on one port at its first call. The lookups
// are the filter's own (lee_cfg, lee_usr, the text and table searches),
// heard through the listeners, so that nothing is written; the outcome of
// each mode is told as the filter's handlers carry it out.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "auth/password.h"
#include "check/escucha.h"
#include "check/fbb_instalado.h"
#include "check/revisa.h"
#include "config/config.h"
#include "driver/acceso.h"
#include "driver/disco.h"
#include "driver/global.h"
#include "driver/lineas.h"
#include "driver/rutas.h"
#include "driver/talmir.h"
#include "driver/texto.h"
#include "texts/intro.h"

namespace talmir {

namespace {

class Camino {
   public:
    explicit Camino(std::FILE* out) : out_(out) {}
    int ejecuta(bool nuevo);

   private:
    void linea(const std::string& s) { (void)std::fprintf(out_, "%s\n", s.c_str()); }
    void en(const std::string& fichero, unsigned num, const std::string& s);
    void fallo(const std::string& fichero, unsigned num, const std::string& s);
    void desenlace(const std::string& que, const std::vector<std::string>& textos);
    void modo(int modo);
    void respaldo(const std::string& por_que);
    void libre();
    void excluido();
    void reto(int m, int tipo, const std::string& como, int respuestas);
    std::vector<std::string> intros(std::vector<std::string> textos = {});
    void config_fallida();
    std::string motivo_cfg(unsigned num);
    std::string linea_de(const std::string& ruta, unsigned num);

    std::FILE* out_;
    char r_buf_[RBUF_SIZE] = {};
    std::string ruta_cfg_;
    std::string ruta_usr_;
    bool en_respaldo_ = false;
    bool fallos_ = false;
    std::string correo_;
};

void Camino::en(const std::string& fichero, unsigned num, const std::string& s) {
    if (num != 0) {
        linea(texto("%s:%u: %s", fichero.c_str(), num, s.c_str()));
    } else {
        linea(texto("%s: %s", fichero.c_str(), s.c_str()));
    }
}

void Camino::fallo(const std::string& fichero, unsigned num, const std::string& s) {
    fallos_ = true;
    en(fichero, num, "error: " + s);
}

void Camino::desenlace(const std::string& que, const std::vector<std::string>& textos) {
    linea(que);
    std::string s;
    for (const std::string& t : textos) s += " " + t;
    linea("  sent:" + (s.empty() ? std::string(" nothing") : s));
}

std::string Camino::linea_de(const std::string& ruta, unsigned num) {
    Archivo f = Archivo::abre(ruta.c_str(), "r");
    if (!f) return std::string();
    LectorLineas lector(f.get());
    char buf[LINEA_USR];
    for (unsigned n = 1; lector.linea(buf, sizeof buf); ++n) {
        if (n == num) {
            const char* p = buf;
            char palabra[LINEA_USR];
            if (lee_palabra(&p, palabra, sizeof palabra) == 0) return std::string();
            return strupr(palabra);
        }
    }
    return std::string();
}

// The texts a station let in receives after the given ones, as envia_intro
// chooses them.
std::vector<std::string> Camino::intros(std::vector<std::string> textos) {
    char ruta[RUTA_MAX];
    auto toma = [&](int tipo) {
        Archivo f = busca_txtintro(tipo, ruta);
        if (f) textos.emplace_back(ruta);
    };
    if ((usuario.mascara & FLAG_BBS) == 0) {
        if (cfg.txt_guest && (usuario.mascara & FLAG_GUEST) != 0) toma(sf_guest);
        if (cfg.txt_intro) toma(sf_genintro);
        if (cfg.txt_nusr && usuario.nuevo == 1) {
            if ((cfg.newusr_ops & 1) != 0) toma(sf_newusr);
            if ((cfg.newusr_ops & 2) != 0) {
                // The welcome mail, by mail and not on the link.
                Archivo f;
                if (formatea(ruta, sizeof ruta, "%s/newmsg%d.prt", DIR_TRABAJO, usuario.puerto)) {
                    f = Archivo::abre(ruta, "r");
                }
                if (!f && formatea(ruta, sizeof ruta, "%s/newmsg.prt", DIR_TRABAJO)) {
                    f = Archivo::abre(ruta, "r");
                }
                if (f) correo_ = ruta;
            }
        }
    }
    toma(sf_prespers);
    return textos;
}

void Camino::respaldo(const std::string& por_que) {
    if (en_respaldo_) {
        linea(por_que + ", and the default mode led back here");
        desenlace("first call: disconnected, exit 2", {});
        return;
    }
    en_respaldo_ = true;
    linea(texto("%s: the port's default mode %s applies", por_que.c_str(),
                nombre_modo(cfg.modo_def).c_str()));
    modo(static_cast<std::uint8_t>(cfg.modo_def));
}

void Camino::libre() {
    std::vector<std::string> textos;
    if (cfg.txt_cnx) {
        char ruta[RUTA_MAX];
        Archivo f = abre_texto_puerto("open", "open.prt", ruta);
        if (!f) {
            fallo(DIR_TRABAJO, 0,
                  texto("neither open%d.prt nor open.prt exists, and txtusr is OK (error 8)",
                        usuario.puerto));
            desenlace("first call: let in without any text, exit 0", {});
            return;
        }
        textos.emplace_back(ruta);
    }
    desenlace("first call: let in, exit 0", intros(textos));
}

void Camino::excluido() {
    std::vector<std::string> textos;
    if (cfg.txt_dcnx) {
        char ruta[RUTA_MAX];
        Archivo f = abre_texto_puerto("exclud", "excluded.prt", ruta);
        if (!f) {
            fallo(DIR_TRABAJO, 0,
                  texto("neither exclud%d.prt nor excluded.prt exists, and txtexcl is OK "
                        "(error 11)",
                        usuario.puerto));
            desenlace("first call: excluded, exit 2 (not logged)", {});
            return;
        }
        textos.emplace_back(ruta);
    }
    desenlace(cfg.log_dcnx ? "first call: excluded, exit 2 (logged in logexcld.prt)"
                           : "first call: excluded, exit 2",
              textos);
}

// A challenge, and what its answers lead to (resp_usr).
void Camino::reto(int m, int tipo, const std::string& como, int respuestas) {
    desenlace(texto("first call: challenge %s, exit 1: %s; %d answer%s", nombre_modo(m).c_str(),
                    como.c_str(), respuestas, respuestas == 1 ? "" : "s"),
              {});
    desenlace("after a right answer: let in, exit 0", intros());
    const bool restringe = usuario.puerto != 0 || (cfg.sec_ops & SEC_CONSOLA) != 0;
    if (tipo == 6) {
        const char* plano = "let in, exit 0";
        if ((cfg.sec_ops & SEC_MD_SOLO) != 0) {
            plano = "a wrong answer";
        } else if (restringe && (cfg.sec_ops & SEC_MD_SOLOLEER) != 0) {
            plano = "let in read-only, exit 3";
        } else if (restringe && (cfg.sec_ops & SEC_MD_RETENIDOS) != 0) {
            plano = "let in with its messages held, exit 4";
        } else if (restringe && (cfg.sec_ops & SEC_MD_DENEGADO) != 0) {
            plano = "refused, exit 2";
        }
        linea(texto("a right answer of five characters instead of a digest: %s", plano));
    }
    std::string final = "refused, exit 2";
    if (tipo != 10 && restringe && (cfg.sec_ops & SEC_FALLO_SOLOLEER) != 0) {
        final = "let in read-only, exit 3";
    } else if (tipo != 10 && restringe && (cfg.sec_ops & SEC_FALLO_RETENIDOS) != 0) {
        final = "let in with its messages held, exit 4";
    }
    if (cfg.log_nopas) final += " (logged in lognopas.prt)";
    linea(texto("after the last wrong answer: %s", final.c_str()));
}

void Camino::modo(int m) {
    const std::size_t n = strnlen(usuario.password, sizeof usuario.password);
    char prompt[sizeof cfg.prompt];
    copia(prompt, sizeof prompt, std::string_view(cfg.prompt, strnlen(cfg.prompt, 80)));
    const int intentos = cfg.num_int;
    switch (m) {
        case 2: {
            char ruta[RUTA_MAX];
            Archivo f = busca_texto("info", "info.prt", ruta);
            if (!f) {
                fallo(DIR_TRABAJO, 0,
                      texto("neither info%d.prt nor info.prt exists (error 9)", usuario.puerto));
                desenlace("first call: disconnected, exit 2", {});
                return;
            }
            desenlace("first call: shown the information text and disconnected, exit 2", {ruta});
            return;
        }
        case 3:
            excluido();
            return;
        case 4:
            reto(4, 4, texto("\"%s\", and the station types its whole pass phrase", prompt), 1);
            return;
        case 5:
        case 6:
            if (n == 0) {
                desenlace("first call: refused (no password to draw from), exit 2", {});
                return;
            }
            reto(m, m,
                 texto("\"%s\" and five positions in the %zu-character password%s", prompt, n,
                       m == 6 ? ", with ten digits for the digest answer" : ""),
                 intentos);
            return;
        case 7: {
            char ruta[RUTA_MAX];
            Archivo f = abre_tabla(ruta);
            if (!f) {
                fallo(DIR_TRABAJO, 0,
                      texto("no table %s%d.TBL or %s.TBL (error 4)", usuario.id, usuario.ssid,
                            usuario.id));
                respaldo("no table");
                return;
            }
            const int hoy = hor_fch != nullptr ? hor_fch->tm_mday : 0;
            if (!busca_dia(f.get(), hoy)) {
                en(ruta, 0, texto("no line for today, day %d", hoy));
                respaldo("no line for today");
                return;
            }
            en(ruta, 0, texto("today's password, day %d", hoy));
            const std::size_t nt = strnlen(usuario.password, sizeof usuario.password);
            std::string p(prompt);
            const std::size_t fin = p.find('>');
            if (fin != std::string::npos) p.resize(fin);
            reto(7, 7,
                 texto("\"%s_%d>\" and five positions in today's %zu-character password", p.c_str(),
                       hoy, nt),
                 intentos);
            return;
        }
        case 8:
            if ((usuario.mascara & FLAG_BBS) != 0) {
                desenlace("first call: let in as a BBS, exit 0", {});
                return;
            }
            linea("not a BBS (FBB flag 16): excluded");
            excluido();
            return;
        case 9:
            reto(9, 9,
                 texto("\"%s\" and five digits, answered by the sum of their products with the "
                       "password's digits",
                       prompt),
                 1);
            return;
        case 10:
        case 13:
            if (n == 0) {
                desenlace("first call: refused (no password), exit 2", {});
                return;
            }
            reto(m, 10, "\"![ten digits]\", answered by the partner's MD2 or MD5 digest", 1);
            return;
        case 11:
            desenlace("first call: let in read-only, exit 3", {});
            return;
        case 12:
            desenlace("first call: let in with its messages held, exit 4", {});
            return;
        case 14:
            desenlace("first call: let in as a guest, exit 11", {});
            return;
        default:
            libre();
            return;
    }
}

// Why a fixed line of config.prt is faulty: the whole check tells it. The
// reading ends the road, so the check may change the records.
std::string Camino::motivo_cfg(unsigned num) {
    Informe inf;
    revisa(inf);
    for (const Diagnostico& d : inf.diagnosticos()) {
        if (d.fichero == ruta_cfg_ && d.linea == num && d.grado == gravedad::error) {
            return d.mensaje;
        }
    }
    return "faulty line (error 5)";
}

void Camino::config_fallida() {
    // motivo_cfg runs the whole check, which the listeners hear too: what
    // they heard so far is taken first.
    const std::vector<ErrorOido> errores = escucha.errores;
    const bool hay_motivo = escucha.hay_motivo;
    const std::string motivo =
        hay_motivo ? explica(escucha.motivo, escucha.palabra, false) : std::string();
    const std::string idioma = en_trabajo(cfg.lng_file);
    bool dicho = false;
    for (const ErrorOido& e : errores) {
        if (e.num == 3) {
            fallo(ruta_cfg_, 0, "cannot be read (error 3)");
        } else if (e.num == 5) {
            fallo(ruta_cfg_, e.linea, hay_motivo ? motivo + " (error 5)" : motivo_cfg(e.linea));
        } else if (e.num == 6) {
            fallo(idioma, 0,
                  texto("%d text lines instead of 29: the built-in English texts are used "
                        "(error 6)",
                        e.linea));
            continue;
        } else {
            fallo(ruta_cfg_, e.linea, texto("error %d", e.num));
        }
        dicho = true;
    }
    if (!dicho && hay_motivo) fallo(ruta_cfg_, 0, motivo);
}

int Camino::ejecuta(bool nuevo) {
    char ruta[RUTA_MAX];
    if (ruta_config(ruta, sizeof ruta, "config.prt")) ruta_cfg_ = ruta;
    if (ruta_config(ruta, sizeof ruta, "users.prt")) ruta_usr_ = ruta;

    linea(texto("%s-%d on port %d, FBB flags %u%s", usuario.id, usuario.ssid, usuario.puerto,
                usuario.mascara, nuevo ? ", new user" : ""));
    const std::string fbb_inseguro = aviso_fbb_instalado();
    if (!fbb_inseguro.empty()) en(FBB_XFBBD, 0, "warning: " + fbb_inseguro);

    if (nuevo) {
        escucha.limpia();
        if (lee_cfg(r_buf_) >= 0 && cfg.msj_nusr) {
            linea("new user: the sysops are mailed about the station (msgnewusr is OK)");
        }
    }
    const std::string apagado = en_trabajo("talmir.sta");
    if (existe(apagado.c_str())) {
        en(apagado, 0, "the filter is off");
        desenlace("first call: let in, exit 0", {});
        return REVISION_LIMPIA;
    }
    const std::string cerrado = en_trabajo(texto("%d.prt", usuario.puerto));
    if ((usuario.mascara & (FLAG_SYSOP | FLAG_BBS)) == 0 && existe(cerrado.c_str())) {
        en(cerrado, 0, "the port is closed to all but BBSs and sysops");
        desenlace("first call: disconnected, exit 2", {});
        return REVISION_LIMPIA;
    }

    escucha.limpia();
    escucha.linea_puerto = 0;
    const int leido = lee_cfg(r_buf_);
    if (leido < 0) {
        const bool ilegible = std::any_of(escucha.errores.begin(), escucha.errores.end(),
                                          [](const ErrorOido& e) { return e.num == 3; });
        config_fallida();
        desenlace("first call: let in, exit 0", {});
        return ilegible ? REVISION_ILEGIBLE : REVISION_ERRORES;
    }
    if (!escucha.errores.empty()) config_fallida();
    if (leido == 0) {
        en(ruta_cfg_, 0,
           texto("no port line for port %d: the port is not filtered", usuario.puerto));
        desenlace("first call: let in, exit 0", intros());
        return fallos_ ? REVISION_ERRORES : REVISION_LIMPIA;
    }
    const int modo_def = cfg.modo_def;
    en(ruta_cfg_, escucha.linea_puerto,
       texto("port %d is filtered; its default mode is %s", usuario.puerto,
             nombre_modo(modo_def).c_str()));

    escucha.limpia();
    escucha.linea_cabecera = 0;
    escucha.linea_usuario = 0;
    const int usr = lee_usr(r_buf_);
    if (escucha.linea_cabecera != 0) {
        en(ruta_usr_, escucha.linea_cabecera,
           texto("block %s", linea_de(ruta_usr_, escucha.linea_cabecera).c_str()));
    }
    if (usr < 0) {
        bool error7 = false;
        for (const ErrorOido& e : escucha.errores) {
            if (e.num != 7) continue;
            error7 = true;
            std::string por_que = escucha.hay_motivo
                                      ? explica(escucha.motivo, escucha.palabra, true)
                                      : std::string("faulty line");
            fallo(ruta_usr_, e.linea, por_que + " (error 7)");
        }
        if (!error7) {
            if (escucha.hay_motivo)
                fallo(ruta_usr_, 0, explica(escucha.motivo, escucha.palabra, true));
            desenlace("first call: let in, exit 0", {});
            return REVISION_ERRORES;
        }
        respaldo("a fault in the user table");
        return REVISION_ERRORES;
    }
    int m = modo_def;
    if (usr == 1) {
        m = usuario.modo;
        std::string pw;
        if (necesita_password(m)) {
            pw = texto(", with a password of %zu characters",
                       strnlen(usuario.password, sizeof usuario.password));
        }
        en(ruta_usr_, escucha.linea_usuario,
           texto("mode %s for port %d%s", nombre_modo(m).c_str(), usuario.puerto, pw.c_str()));
    } else if (escucha.linea_cabecera != 0) {
        linea(texto("the block has no line for port %d: the default mode applies", usuario.puerto));
    } else if (ruta_usr_.empty() || !existe(ruta_usr_.c_str())) {
        en(ruta_usr_, 0, "does not exist: the default mode applies");
    } else {
        en(ruta_usr_, 0,
           texto("no block for %s-%d: the default mode applies", usuario.id, usuario.ssid));
    }
    modo(static_cast<std::uint8_t>(m));
    if (!correo_.empty()) linea(texto("welcome mail: %s", correo_.c_str()));
    return fallos_ ? REVISION_ERRORES : REVISION_LIMPIA;
}

}  // namespace

int que_pasa(const char* indicativo, const char* puerto, unsigned mascara, bool nuevo,
             std::FILE* out) {
    instala_escucha();
    std::vector<std::string> args = {"talmir",          indicativo, "0",   texto("%u", mascara),
                                     nuevo ? "1" : "0", "0",        puerto};
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (almacena_arg(static_cast<int>(args.size()), argv.data()) != 1) return -1;
    Camino c(out);
    return c.ejecuta(nuevo);
}

}  // namespace talmir
