// SPDX-License-Identifier: GPL-2.0-or-later
// What happens to one station on one port. The filter's own runs are made
// in a dry run of the file layer and watched: the first call and, for a
// challenge, a right answer and the last wrong one, each against the
// challenge that the first call would have written. Every outcome, text,
// file and mail told here is the filter's, by construction; this file only
// tells them.
#include <cstring>
#include <ctime>
#include <string>
#include <utility>
#include <vector>

#include "auth/password.h"
#include "auth/resp.h"
#include "check/escucha.h"
#include "check/fbb_instalado.h"
#include "check/relato.h"
#include "check/revisa.h"
#include "config/bloqueo.h"
#include "config/config.h"
#include "driver/disco.h"
#include "driver/disco_simulado.h"
#include "driver/global.h"
#include "driver/lineas.h"
#include "driver/rutas.h"
#include "driver/talmir.h"
#include "driver/testigo.h"
#include "driver/texto.h"
#include "texts/error.h"
#include "texts/lenguaje.h"

namespace talmir {

namespace {

// The station as FBB passes it.
struct Estacion {
    std::string indicativo;
    std::string puerto;
    unsigned mascara;
    bool nuevo;
};

// One run of the filter and what it left.
struct Corrida {
    int salida = 0;
    std::string respuesta;  // what the station is sent
    Testigo testigo;
    std::vector<Simulacion::Accion> acciones;
    std::vector<Simulacion::Mensaje> correos;
    Escucha oido;        // the lines that served the station, the last reason
    bool leida = false;  // config.prt was read
    int modo_def = 0;
    int intentos = 0;
    int modo = 0;              // the user line's mode
    std::size_t largo_pw = 0;  // and the length of its password
    char ruta_reto[RUTA_MAX] = {};
};

// More wrong answers than the attempts line allows.
constexpr int kRespuestasMax = 9;

class Camino {
   public:
    Camino(const Estacion& e, std::FILE* out)
        : estacion_(e), out_(out), ahora_(std::time(nullptr)) {}
    int ejecuta();

   private:
    Corrida corre(Simulacion& sim, int llamada, const char* respuesta, bool nuevo);
    void linea(const std::string& s) { (void)std::fprintf(out_, "%s\n", s.c_str()); }
    void en(const std::string& fichero, unsigned num, const std::string& s);
    void fallo(const std::string& fichero, unsigned num, const std::string& s);
    void camino(const Corrida& c);
    void fallos(const Corrida& c);
    void cuenta(const std::string& que, const Corrida& c);
    std::string motivo_cfg(unsigned num);
    int estado() const;

    Estacion estacion_;
    std::FILE* out_;
    std::time_t ahora_;
    std::string ruta_cfg_;
    std::string ruta_usr_;
    std::string ruta_blq_;
    bool errores_ = false;
    bool ilegible_ = false;
    int puerto_ = 0;  // the port as the filter takes it
    std::string id_;  // CALL-SSID as the filter takes it
};

int Camino::estado() const {
    if (ilegible_) return REVISION_ILEGIBLE;
    return errores_ ? REVISION_ERRORES : REVISION_LIMPIA;
}

Corrida Camino::corre(Simulacion& sim, int llamada, const char* respuesta, bool nuevo) {
    sim.olvida_acciones();
    reinicia_globales();
    inicia_globales(ahora_);
    textos_defecto();
    escucha.limpia();
    escucha.linea_puerto = escucha.linea_cabecera = escucha.linea_usuario = 0;

    std::vector<std::string> args = {"talmir",
                                     estacion_.indicativo,
                                     std::to_string(llamada),
                                     std::to_string(estacion_.mascara),
                                     nuevo ? "1" : "0",
                                     "0",
                                     estacion_.puerto};
    if (respuesta != nullptr) args.emplace_back(respuesta);
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    Corrida c;
    char r_buf[RBUF_SIZE] = {};
    testigo = &c.testigo;
    c.salida = corre_estacion(static_cast<int>(args.size()), argv.data(), r_buf);
    testigo = nullptr;
    c.respuesta = r_buf;
    c.acciones = sim.acciones();
    c.correos = sim.correos();
    c.oido = escucha;
    c.leida = leido_cfg != 0;
    c.modo_def = cfg.modo_def;
    c.intentos = cfg.num_int;
    c.modo = usuario.modo;
    c.largo_pw = strnlen(usuario.password, sizeof usuario.password);
    if (!ruta_reto(c.ruta_reto, sizeof c.ruta_reto)) c.ruta_reto[0] = '\0';
    return c;
}

void Camino::en(const std::string& fichero, unsigned num, const std::string& s) {
    if (num != 0) {
        linea(texto("%s:%u: %s", fichero.c_str(), num, s.c_str()));
    } else {
        linea(texto("%s: %s", fichero.c_str(), s.c_str()));
    }
}

void Camino::fallo(const std::string& fichero, unsigned num, const std::string& s) {
    errores_ = true;
    en(fichero, num, "error: " + s);
}

// Why a line of config.prt is faulty: the whole check tells it. It runs
// after the run it explains, and leaves the error routine as it found it.
std::string Camino::motivo_cfg(unsigned num) {
    const OyenteError antes = oyente_error;
    Informe inf;
    revisa(inf);
    oyente_error = antes;
    for (const Diagnostico& d : inf.diagnosticos()) {
        if (d.fichero == ruta_cfg_ && d.linea == num && d.grado == gravedad::error) {
            return d.mensaje;
        }
    }
    return texto("a faulty line (error %u)", ERR_CFG_DATOS);
}

// The faults the run reported, each where it lies.
void Camino::fallos(const Corrida& c) {
    const Escucha& o = c.oido;
    for (const Testigo::Fallo& f : c.testigo.fallos) {
        const std::string n = texto(" (error %u)", f.num);
        if (f.num == ERR_CFG_ABRE) {
            ilegible_ = true;
            fallo(ruta_cfg_, 0, "cannot be read" + n);
        } else if (f.num == ERR_CFG_DATOS) {
            // The whole check's reason already carries the error's number.
            if (o.hay_motivo) {
                fallo(ruta_cfg_, f.linea, explica(o.motivo, o.palabra, false) + n);
            } else {
                fallo(ruta_cfg_, f.linea, motivo_cfg(f.linea));
            }
        } else if (f.num == ERR_LENGUAJE) {
            fallo(en_trabajo(cfg.lng_file), 0,
                  texto("%u text lines instead of 29: the built-in English texts are used%s",
                        f.linea, n.c_str()));
        } else if (f.num == ERR_BLOQUEO) {
            // The report's words without the file and line it names.
            const std::string m = f.mensaje;
            const std::size_t de = m.find(": ");
            fallo(ruta_blq_, f.linea, (de == std::string::npos ? m : m.substr(de + 2)) + n);
        } else if (f.num == ERR_USR_DATOS) {
            const std::string motivo =
                o.hay_motivo ? explica(o.motivo, o.palabra, true) : std::string("a faulty line");
            fallo(ruta_usr_, f.linea, motivo + n);
        } else {
            // The report's own words, on one line, and the files looked for.
            std::string m;
            for (const char* p = f.mensaje.c_str(); *p != '\0'; ++p) {
                if (*p == '\n') {
                    while (p[1] == ' ') ++p;
                    m += ' ';
                } else {
                    m += *p;
                }
            }
            std::string buscados;
            for (const std::string& r : f.faltan) buscados += (buscados.empty() ? "" : ", ") + r;
            if (!buscados.empty()) m += " (looked for " + buscados + ")";
            fallo(DIR_TRABAJO, 0, m + n);
        }
    }
}

// The road of a first call: the lines that served the station and the
// modes carried out.
void Camino::camino(const Corrida& c) {
    const Testigo& t = c.testigo;
    const Escucha& o = c.oido;
    if (!t.marca.empty()) {
        en(t.marca, 0, t.nota_marca);
        return;
    }
    for (const Testigo::Bloqueo& b : t.bloqueos) {
        en(ruta_blq_, b.linea,
           texto("port %d is guarded: %d failed answers within %d minutes lock a callsign out "
                 "for %d minutes",
                 puerto_, b.limite, b.ventana, b.minutos));
        const Indicativo id;
        if (b.hasta != 0) {
            char fin[32];
            fecha_hora(b.hasta, fin, sizeof fin);
            linea(texto("%s is locked out of port %d until %s (talmir -unlock %s)", id.t, puerto_,
                        fin, id.t));
        } else {
            linea(texto("%s is not locked out of port %d: %zu failed answers within the window",
                        id.t, puerto_, b.fallos));
        }
    }
    if (o.linea_puerto != 0) {
        en(ruta_cfg_, o.linea_puerto,
           texto("port %d is filtered; its default mode is %s", puerto_,
                 nombre_modo(c.modo_def).c_str()));
    } else if (c.leida) {
        en(ruta_cfg_, 0, texto("no port line for port %d: the port is not filtered", puerto_));
    }
    if (o.linea_cabecera != 0) {
        Archivo f = Archivo::abre(ruta_usr_.c_str(), "r");
        char buf[LINEA_USR];
        std::string cabecera;
        for (unsigned n = 1; f && lee_linea(f.get(), buf, sizeof buf); ++n) {
            if (n != o.linea_cabecera) continue;
            const char* p = buf;
            char palabra[LINEA_USR];
            if (lee_palabra(&p, palabra, sizeof palabra) != 0) cabecera = strupr(palabra);
            break;
        }
        en(ruta_usr_, o.linea_cabecera, "block " + cabecera);
    }
    if (o.linea_usuario != 0) {
        std::string pw;
        if (necesita_password(c.modo)) {
            pw = texto(", with a password of %zu characters", c.largo_pw);
        }
        en(ruta_usr_, o.linea_usuario,
           texto("mode %s for port %d%s", nombre_modo(c.modo).c_str(), puerto_, pw.c_str()));
    } else if (o.linea_puerto != 0 && !t.decisiones.empty() && !t.decisiones[0].respaldo) {
        if (o.linea_cabecera != 0) {
            linea(texto("the block has no line for port %d: the default mode applies", puerto_));
        } else if (ruta_usr_.empty() || !existe(ruta_usr_.c_str())) {
            en(ruta_usr_, 0, "does not exist: the default mode applies");
        } else {
            en(ruta_usr_, 0, texto("no block for %s: the default mode applies", id_.c_str()));
        }
    }
}

// What one run ended with: its outcome, the texts sent, what the station
// was told besides, the texts read, the files changed and the mail.
void Camino::cuenta(const std::string& que, const Corrida& c) {
    fallos(c);
    const Testigo& t = c.testigo;
    for (const Testigo::Decision& d : t.decisiones) {
        if (d.respaldo) {
            linea(texto("the port's default mode %s applies", nombre_modo(d.modo).c_str()));
        }
    }
    linea(que + ": " + desenlace(c.salida));
    std::string enviados;
    for (const Testigo::Texto& e : t.enviados) enviados += " " + e.ruta;
    linea("  sent:" + (enviados.empty() ? std::string(" nothing") : enviados));

    // The station's output outside the texts: the filter's own words.
    std::string propio;
    std::size_t desde = 0;
    for (const Testigo::Texto& e : t.enviados) {
        if (e.desde > desde && e.desde <= c.respuesta.size()) {
            propio += c.respuesta.substr(desde, e.desde - desde);
        }
        if (e.hasta > desde) desde = e.hasta;
    }
    if (desde < c.respuesta.size()) propio += c.respuesta.substr(desde);
    std::size_t ini = 0;
    while (ini < propio.size()) {
        std::size_t fin = propio.find('\n', ini);
        if (fin == std::string::npos) fin = propio.size();
        if (fin > ini) linea("  says: " + visible(propio.substr(ini, fin - ini)));
        ini = fin + 1;
    }

    std::string leidos;
    for (const std::string& r : t.leidos) {
        bool enviado = false;
        for (const Testigo::Texto& e : t.enviados) enviado = enviado || e.ruta == r;
        if (!enviado) leidos += " " + r;
    }
    if (!leidos.empty()) linea("  read:" + leidos);
    for (const Simulacion::Accion& a : c.acciones) linea("  " + accion(a));
    for (const Simulacion::Mensaje& m : c.correos) {
        linea(texto("  mails \"%s\": %s", m.linea_sp.c_str(), m.asunto.c_str()));
    }
}

int Camino::ejecuta() {
    char ruta[RUTA_MAX];
    if (ruta_config(ruta, sizeof ruta, "config.prt")) ruta_cfg_ = ruta;
    if (ruta_config(ruta, sizeof ruta, "users.prt")) ruta_usr_ = ruta;
    if (ruta_bloqueo(ruta, sizeof ruta)) ruta_blq_ = ruta;

    puerto_ = usuario.puerto;
    const Indicativo id;
    id_ = texto("%s-%d", id.t, usuario.ssid);
    linea(texto("%s on port %d, FBB flags %u%s", id_.c_str(), puerto_, estacion_.mascara,
                estacion_.nuevo ? ", new user" : ""));
    const std::string fbb_inseguro = aviso_fbb_instalado();
    if (!fbb_inseguro.empty()) en(FBB_XFBBD, 0, "warning: " + fbb_inseguro);

    Reto reto = {};
    {
        Simulacion sim;
        const Corrida primera = corre(sim, 0, nullptr, estacion_.nuevo);
        camino(primera);
        cuenta("first call", primera);
        if (primera.salida == SALIDA_GUEST) {
            const std::string guest = aviso_guest_fbb();
            if (!guest.empty()) en(FBB_XFBBD, 0, "warning: " + guest);
        }
        if (primera.salida != SALIDA_OTRA) return estado();

        // The challenge as the first call left it, and the answer it calls for.
        char r_buf[RBUF_SIZE] = {};
        if (primera.ruta_reto[0] == '\0' || !lee_reto(primera.ruta_reto, &reto, r_buf)) {
            return estado();
        }
        const bool digest = reto.tipo == TIPO_MD || reto.tipo == TIPO_FORWARD;
        const std::string acierto = digest ? reto.pas_md2 : reto.pas_tmp;
        cuenta("after a right answer", corre(sim, 1, acierto.c_str(), false));
    }
    if (reto.tipo == TIPO_MD) {
        // The five characters in place of the digest.
        Simulacion sim;
        const Corrida otra = corre(sim, 0, nullptr, estacion_.nuevo);
        Reto suyo = {};
        char r_buf[RBUF_SIZE] = {};
        if (otra.ruta_reto[0] != '\0' && lee_reto(otra.ruta_reto, &suyo, r_buf)) {
            cuenta("after a right answer of five characters instead of a digest",
                   corre(sim, 1, suyo.pas_tmp, false));
        }
        std::memset(&suyo, 0, sizeof suyo);
    }
    {
        // Wrong answers, one after the other, until the filter stops asking.
        Simulacion sim;
        (void)corre(sim, 0, nullptr, estacion_.nuevo);
        for (int n = 1; n <= kRespuestasMax; ++n) {
            const Corrida mal = corre(sim, n, "", false);
            if (mal.salida == SALIDA_OTRA && n < kRespuestasMax) {
                if (n == 1) cuenta("after a wrong answer", mal);
                continue;
            }
            cuenta(texto("after the last wrong answer (answer %d)", n), mal);
            break;
        }
    }
    std::memset(&reto, 0, sizeof reto);
    return estado();
}

}  // namespace

int que_pasa(const char* indicativo, const char* puerto, unsigned mascara, bool nuevo,
             std::FILE* out) {
    // Only the readers' findings are heard: the error routine runs, into the
    // dry run.
    instala_escucha();
    oyente_error = nullptr;
    std::vector<std::string> args = {"talmir",          indicativo, "0",   texto("%u", mascara),
                                     nuevo ? "1" : "0", "0",        puerto};
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (almacena_arg(static_cast<int>(args.size()), argv.data()) != 1) return -1;
    Camino c({indicativo, puerto, mascara, nuevo}, out);
    return c.ejecuta();
}

}  // namespace talmir
