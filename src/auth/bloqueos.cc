// SPDX-License-Identifier: GPL-2.0-or-later
// The lockout's state: "bloqueos/CALL" holds one line per port on which the
// callsign has failed or is locked out,
//   PORT UNTIL TIME...
// the end of its lock (0: none) and the times of its failures, in seconds of
// the clock. Only what the rules need is kept: failures older than the
// port's window, or than a week on the ports of other rules, and locks that
// have ended are dropped. Runs that change a file take turns on the
// directory, and each change replaces the file in one step (mode 0600): no
// failure is lost or counted twice, and no torn file stays in place.
#include "auth/bloqueos.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "auth/password.h"
#include "config/config.h"
#include "driver/disco.h"
#include "driver/global.h"
#include "driver/respuesta.h"
#include "driver/testigo.h"
#include "driver/texto.h"
#include "texts/correo.h"
#include "texts/error.h"
#include "texts/log.h"
#include "texts/textos.h"

namespace talmir {

char falta_bloqueo[FALTA_BLOQUEO_MAX];

namespace {

constexpr char DIR_BLOQUEOS[] = "bloqueos";
// Bounds of a state file as written: a line per port, at most 99 failures
// on each.
constexpr std::size_t PUERTOS_MAX = 128;
constexpr std::size_t ESTADO_MAX = std::size_t{128} * 1024;
constexpr long long SEMANA = BLOQUEO_MINUTOS_MAX * 60LL;

struct Puerto {
    int puerto = 0;
    long long hasta = 0;            // the end of the lock; 0 when there is none
    std::vector<long long> fallos;  // the times of the failures, oldest first
};

using Estado = std::vector<Puerto>;

// A number of the state file: at most 18 digits, then a blank or the line's
// end.
bool numero(std::string_view s, std::size_t* i, long long* v) {
    std::size_t j = *i;
    long long n = 0;
    while (j < s.size() && es_digito(s[j]) && j - *i < 18) n = n * 10 + (s[j++] - '0');
    if (j == *i || (j < s.size() && s[j] != ' ' && s[j] != '\n')) return false;
    *v = n;
    *i = j;
    return true;
}

// The file as written, or false: then it counts as empty.
bool analiza(std::string_view s, Estado* e) {
    e->clear();
    std::size_t i = 0;
    while (i < s.size()) {
        Puerto p;
        long long v = 0;
        if (!numero(s, &i, &v) || v > 127) return false;
        p.puerto = static_cast<int>(v);
        if (i >= s.size() || s[i] != ' ' || !numero(s, &++i, &p.hasta)) return false;
        while (i < s.size() && s[i] == ' ') {
            if (!numero(s, &++i, &v) || p.fallos.size() >= BLOQUEO_FALLOS_MAX) return false;
            p.fallos.push_back(v);
        }
        // Every line ends: a file cut short is not as written.
        if (i >= s.size() || s[i] != '\n') return false;
        ++i;
        for (const Puerto& q : *e) {
            if (q.puerto == p.puerto) return false;
        }
        if (e->size() >= PUERTOS_MAX) return false;
        e->push_back(std::move(p));
    }
    return true;
}

std::string compone(const Estado& e) {
    std::string s;
    char n[24];
    for (const Puerto& p : e) {
        formatea(n, sizeof n, "%d %lld", p.puerto, p.hasta);
        s += n;
        for (long long t : p.fallos) {
            formatea(n, sizeof n, " %lld", t);
            s += n;
        }
        s += '\n';
    }
    return s;
}

// A callsign as FBB gives it: letters and digits, at most six.
bool es_indicativo(std::string_view id) {
    if (id.empty() || id.size() > 6) return false;
    return std::all_of(id.begin(), id.end(), [](char c) { return es_alfanumerico(c); });
}

bool ruta_estado(char (&ruta)[RUTA_MAX], const char* id) {
    return ruta_trabajof(ruta, sizeof ruta, "%s/%s", DIR_BLOQUEOS, id);
}

// The state of the callsign; a file that is not as written counts as empty.
Estado lee_estado(const char* ruta) {
    std::string s;
    Estado e;
    if (lee_pequeno(ruta, &s, ESTADO_MAX) != 1 || !analiza(s, &e)) e.clear();
    return e;
}

// Drops what no rule needs any more: failures older than a week (the
// longest window), ended locks without failures.
void poda(Estado* e, long long ahora) {
    for (Puerto& p : *e) {
        if (p.hasta <= ahora) p.hasta = 0;
        std::erase_if(p.fallos, [ahora](long long t) { return t <= ahora - SEMANA; });
    }
    std::erase_if(*e, [](const Puerto& p) { return p.hasta == 0 && p.fallos.empty(); });
}

// Replaces the file (or removes it when nothing is left). False when the
// state could not be kept.
bool guarda(const char* ruta, const Estado& e) {
    if (e.empty()) return borra(ruta) || !existe(ruta);
    return reemplaza(ruta, compone(e));
}

Puerto* del_puerto(Estado* e, int puerto) {
    for (Puerto& p : *e) {
        if (p.puerto == puerto) return &p;
    }
    return nullptr;
}

// The failures of the port that fall within the rule's window.
void ventana(Puerto* p, const REGLA_BLOQUEO& regla, long long ahora) {
    const long long desde = ahora - regla.ventana * 60LL;
    std::erase_if(p->fallos, [desde](long long t) { return t <= desde; });
}

void fecha(long long t, char (&buf)[32]) {
    fecha_hora(static_cast<std::time_t>(t), buf, sizeof buf);
}

void avisa_sysops(const REGLA_BLOQUEO& regla, long long hasta, int cuantos, bool inyectada,
                  char* r_buf) {
    if (leido_init == 0) lee_init(r_buf);
    if (leido_cfg == 0) lee_cfg(r_buf);
    MAILIN correo;
    if (!abre_mailin(&correo)) return;
    const Indicativo id;
    char linea[320];
    char fin[32];
    fecha(hasta, fin);
    std::string cuerpo(cabprt, strnlen(cabprt, sizeof cabprt));
    cuerpo += '\n';
    formatea(linea, sizeof linea, "%s is locked out of port %d until %s", id.t, usuario.puerto,
             fin);
    cuerpo += linea;
    if (inyectada) {
        formatea(linea, sizeof linea,
                 ":\nits typed line was run by FBB's shell, which counts as %d failures.\n",
                 cuantos);
    } else {
        formatea(linea, sizeof linea, ":\n%d failed answers within %d minutes (%s).\n",
                 static_cast<int>(regla.fallos), static_cast<int>(regla.ventana), "bloqueo.prt");
    }
    cuerpo += linea;
    formatea(linea, sizeof linea, "The lock is lifted with: talmir -unlock %s\n", id.t);
    cuerpo += linea;
    formatea(linea, sizeof linea, "Lockout: %s on port %d", id.t, usuario.puerto);
    escribe_a_sysops(&correo, linea, cuerpo);
    cierra_mailin(&correo);
}

void informa_falta(std::uint16_t linea, const LINEABLQ* /*l*/, const char* motivo, void* dato) {
    if (motivo == nullptr) return;
    copia(falta_bloqueo, sizeof falta_bloqueo, motivo);
    error(ERR_BLOQUEO, linea, static_cast<char*>(dato));
}

}  // namespace

REGLA_BLOQUEO regla_estacion(char* r_buf) {
    REGLA_BLOQUEO regla;
    char ruta[RUTA_MAX];
    if (!ruta_bloqueo(ruta, sizeof ruta)) return regla;
    const std::uint8_t salida = valor_salida;
    falta_bloqueo[0] = '\0';
    if (!lee_bloqueo(ruta, usuario.puerto, &regla, informa_falta, r_buf, r_buf)) {
        // Without the file nothing is guarded; one that is there but cannot
        // be read is a fault.
        if (errno != ENOENT) informa_falta(0, nullptr, "cannot be read: no port is guarded", r_buf);
        valor_salida = salida;
        return regla;
    }
    // The reports leave the station's outcome as it was.
    valor_salida = salida;
    if (falta_bloqueo[0] == '\0') borra_marca_error(ERR_BLOQUEO);
    return regla;
}

std::time_t bloqueado_hasta(const REGLA_BLOQUEO& regla) {
    if (!regla.hay) return 0;
    const Indicativo id;
    char ruta[RUTA_MAX];
    if (!es_indicativo(id.t) || !ruta_estado(ruta, id.t)) return 0;
    Estado e = lee_estado(ruta);
    Puerto* p = del_puerto(&e, usuario.puerto);
    const long long ahora = instante;
    long long hasta = 0;
    std::size_t fallos = 0;
    if (p != nullptr) {
        if (p->hasta > ahora) hasta = p->hasta;
        ventana(p, regla, ahora);
        fallos = p->fallos.size();
    }
    testigo_bloqueo(regla.linea, regla.fallos, regla.ventana, regla.minutos,
                    static_cast<std::time_t>(hasta), fallos);
    return static_cast<std::time_t>(hasta);
}

std::time_t cuenta_fallos(const REGLA_BLOQUEO& regla, int cuantos, bool inyectada, char* r_buf) {
    if (!regla.hay || cuantos <= 0) return 0;
    const Indicativo id;
    char dir[RUTA_MAX];
    char ruta[RUTA_MAX];
    if (!es_indicativo(id.t) || !ruta_trabajo(dir, DIR_BLOQUEOS) || !ruta_estado(ruta, id.t)) {
        return 0;
    }
    // Only this program's user reads which callsigns have failed where.
    if (!existe(dir)) (void)prt_mkdir(dir, 0700);
    Turno turno;
    (void)turno.toma(dir);

    const long long ahora = instante;
    Estado e = lee_estado(ruta);
    poda(&e, ahora);
    Puerto* p = del_puerto(&e, usuario.puerto);
    if (p == nullptr) {
        e.push_back(Puerto{usuario.puerto, 0, {}});
        p = &e.back();
    }
    // Locked out meanwhile by another connection: nothing more counts.
    if (p->hasta > ahora) return static_cast<std::time_t>(p->hasta);
    ventana(p, regla, ahora);
    for (int i = 0; i < cuantos && p->fallos.size() < regla.fallos; ++i) p->fallos.push_back(ahora);
    long long hasta = 0;
    if (p->fallos.size() >= regla.fallos) {
        hasta = ahora + regla.minutos * 60LL;
        p->hasta = hasta;
        p->fallos.clear();
    }
    const bool guardado = guarda(ruta, e);
    if (hasta != 0 && guardado) avisa_sysops(regla, hasta, cuantos, inyectada, r_buf);
    return static_cast<std::time_t>(hasta);
}

void acierto(const REGLA_BLOQUEO& regla) {
    if (!regla.hay) return;
    const Indicativo id;
    char dir[RUTA_MAX];
    char ruta[RUTA_MAX];
    if (!es_indicativo(id.t) || !ruta_trabajo(dir, DIR_BLOQUEOS) || !ruta_estado(ruta, id.t)) {
        return;
    }
    // Most right answers find nothing to forget, and write nothing.
    {
        Estado e = lee_estado(ruta);
        const Puerto* p = del_puerto(&e, usuario.puerto);
        if (p == nullptr || p->fallos.empty()) return;
    }
    Turno turno;
    (void)turno.toma(dir);
    Estado e = lee_estado(ruta);
    poda(&e, instante);
    Puerto* p = del_puerto(&e, usuario.puerto);
    if (p == nullptr) return;
    p->fallos.clear();
    std::erase_if(e, [](const Puerto& q) { return q.hasta == 0 && q.fallos.empty(); });
    (void)guarda(ruta, e);
}

void rechaza_bloqueado(char* r_buf) {
    if (leido_cfg == 0) lee_cfg(r_buf);
    char ruta[RUTA_MAX];
    Archivo f = busca_texto_puerto(nullptr, "bloqueado", "bloqueado.prt", ruta);
    if (f) envia_texto(r_buf, f, ruta);
    f.cierra();
    if (cfg.log_nopas) lognopas();
    rechaza();
}

void desbloquea(const char* indicativo, std::string* out) {
    char id[8] = {};
    std::string_view v(indicativo);
    v = v.substr(0, v.find('-'));
    char ruta[RUTA_MAX];
    char dir[RUTA_MAX];
    if (!es_indicativo(v) || !copia(id, sizeof id, v)) {
        *out += "talmir: not a callsign: ";
        *out += indicativo;
        *out += '\n';
        return;
    }
    strupr(id);
    if (!ruta_trabajo(dir, DIR_BLOQUEOS) || !ruta_estado(ruta, id)) return;
    Turno turno;
    (void)turno.toma(dir);
    const char* que = !existe(ruta) ? "no failures and no locks"
                      : borra(ruta) ? "unlocked on every port, its failures forgotten"
                                    : "its state cannot be removed";
    char linea[96];
    formatea(linea, sizeof linea, "%s: %s\n", id, que);
    *out += linea;
}

void lista_bloqueos(std::string* out) {
    char dir[RUTA_MAX];
    std::vector<std::string> nombres;
    if (!ruta_trabajo(dir, DIR_BLOQUEOS) || !nombres_dir(dir, &nombres)) nombres.clear();
    std::sort(nombres.begin(), nombres.end());
    std::size_t n = 0;
    for (const std::string& nombre : nombres) {
        // Replacements under way have a "." in their names.
        char ruta[RUTA_MAX];
        if (!es_indicativo(nombre) || !ruta_estado(ruta, nombre.c_str())) continue;
        for (const Puerto& p : lee_estado(ruta)) {
            if (p.hasta <= instante) continue;
            char fin[32];
            fecha(p.hasta, fin);
            char linea[96];
            formatea(linea, sizeof linea, "%-6s  port %-2d  until %s\n", nombre.c_str(), p.puerto,
                     fin);
            *out += linea;
            ++n;
        }
    }
    if (n == 0) *out += "no locks in force\n";
}

}  // namespace talmir
