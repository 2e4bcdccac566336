// SPDX-License-Identifier: GPL-2.0-or-later
// A whole run as FBB makes it: the input lays files into a scratch root and
// names the arguments, then the program's entry runs there.
//
// Input: the first line holds the arguments after the program's name,
// separated by single blanks. Then sections, each introduced by a line
//   "@@ NAME"   a file: NAME is a number (one of kNombres) or a path relative
//               to the root; the lines up to the next section are its content
//               (the line end before the next section belongs to it)
//   "@@/NAME"   a directory
//   "@@=VALUE"  the environment variable TALMIR
//   "@@+VALUE"  the environment variable FBBCONF
//
// The program writes only under the root: an input whose FBB configuration
// could name a path outside it (an absolute path, or "../" anywhere) is
// passed over.
//
// After the run: the exit code is one FBB acts on, standard output holds at
// most 1023 bytes, every fixed field is within its size; no lock file of the
// run is left, nor a temporary file; FBB's import file was not touched while
// its lock was held by someone else; the files the input laid keep their
// content (the program only appends to them), except those the program
// rewrites or removes by design; and pending mail is never lost.
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "comun.h"
#include "driver/disco.h"
#include "driver/global.h"
#include "driver/rutas.h"
#include "driver/texto.h"

namespace {

std::string sin_punto(const char* ruta) {
    std::string s = ruta;
    while (s.compare(0, 2, "./") == 0) s.erase(0, 2);
    while (s.size() > 1 && s.back() == '/') s.pop_back();
    return s;
}

const std::vector<std::string>& nombres() {
    static const std::vector<std::string> v = {
        fuzz::trabajo("config.prt"),                    // 0
        fuzz::trabajo("users.prt"),                     // 1
        sin_punto(talmir::FBB_CONF),                    // 2
        "init.srv",                                     // 3
        sin_punto(talmir::FBB_SYSTEM) + "/port.sys",    // 4
        sin_punto(talmir::FBB_SYSTEM) + "/langue.sys",  // 5
        sin_punto(talmir::FBB_DATADIR) + "/inf.sys",    // 6
        fuzz::trabajo("espanol.lng"),                   // 7
        fuzz::trabajo("N0CALL.TBL"),                    // 8
        fuzz::trabajo("N0CALL0.tmp"),                   // 9
        fuzz::trabajo("logusr.prt"),                    // 10
        fuzz::trabajo("intro.prt"),                     // 11
        fuzz::trabajo("open.prt"),                      // 12
        fuzz::trabajo("info.prt"),                      // 13
        fuzz::trabajo("excluded.prt"),                  // 14
        fuzz::trabajo("newtxt.prt"),                    // 15
        fuzz::trabajo("newmsg.prt"),                    // 16
        fuzz::trabajo("guest.prt"),                     // 17
        fuzz::trabajo("mail.prt"),                      // 18
        sin_punto(talmir::FBB_MAIL_IN),                 // 19
        sin_punto(talmir::FBB_LOCK_IN),                 // 20
        fuzz::trabajo("talmir.sta"),                    // 21
        fuzz::trabajo("1.prt"),                         // 22
        fuzz::trabajo("N0CALL.ent"),                    // 23
        fuzz::trabajo("lognopas.prt"),                  // 24
        fuzz::trabajo("logexcld.prt"),                  // 25
        fuzz::trabajo("error7.tmp"),                    // 26
        fuzz::trabajo("mail.prt.mov"),                  // 27
    };
    return v;
}

struct Fichero {
    std::string ruta;  // relative to the root
    std::string contenido;
    bool dir = false;
};

// A path the program could take from FBB's files: none may begin with "/".
bool sin_rutas_absolutas(const std::string& s) {
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '/') continue;
        char antes = i == 0 ? '\n' : s[i - 1];
        if (talmir::es_blanco(antes) || antes == '=' || antes == '"') return false;
    }
    return true;
}

// A ".." that could climb out of a directory.
bool sube(const std::string& s) {
    return s.find("../") != std::string::npos || s.find("/..") != std::string::npos;
}

bool ruta_segura(const std::string& r) {
    return !r.empty() && r[0] != '/' && r != ".." && !sube(r) && r.find('\0') == std::string::npos;
}

bool termina_en(const std::string& s, const std::string& fin) {
    return s.size() >= fin.size() && s.compare(s.size() - fin.size(), fin.size(), fin) == 0;
}

std::string base(const std::string& ruta) {
    std::size_t b = ruta.rfind('/');
    return b == std::string::npos ? ruta : ruta.substr(b + 1);
}

// Files the program rewrites or removes by design: challenge files and error
// markers (".tmp"), the error report, the pending mail (moved into FBB's
// import), the refusal logs (deleted once mailed), the filter and port
// markers.
bool reescrito_a_proposito(const std::string& ruta) {
    const std::string b = base(ruta);
    if (termina_en(b, ".tmp") || b == "error.prt" || b == "mail.prt" || b == "mail.prt.mov" ||
        b == "lognopas.prt" || b == "logexcld.prt" || b == "talmir.sta") {
        return true;
    }
    // A closed-port marker "N.prt".
    std::size_t i = 0;
    while (i < b.size() && b[i] >= '0' && b[i] <= '9') ++i;
    return i > 0 && b.compare(i, std::string::npos, ".prt") == 0;
}

// A temporary file of the program: "NAME.tmp.XXXXXX" or "NAME.PID.N.tmp".
bool es_temporal(const std::string& ruta) {
    const std::string b = base(ruta);
    if (b.find(".tmp.") != std::string::npos) return true;
    if (!termina_en(b, ".tmp")) return false;
    std::size_t p = b.size() - 4;
    int grupos = 0;
    while (grupos < 2) {
        std::size_t q = p;
        while (q > 0 && b[q - 1] >= '0' && b[q - 1] <= '9') --q;
        if (q == p || q == 0 || b[q - 1] != '.') return false;
        p = q - 1;
        ++grupos;
    }
    return true;
}

std::string normaliza(std::string r) {
    while (r.compare(0, 2, "./") == 0) r.erase(0, 2);
    std::string s;
    for (char c : r) {
        if (c == '/' && !s.empty() && s.back() == '/') continue;
        s += c;
    }
    return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* datos, std::size_t n) {
    std::string_view texto(reinterpret_cast<const char*>(datos), n);
    std::size_t fin = texto.find('\n');
    std::string linea_args(texto.substr(0, fin));
    if (linea_args.find('\0') != std::string::npos) return -1;

    std::vector<Fichero> ficheros;
    std::string talmir_env, fbbconf_env;
    bool con_env = false, con_fbbconf = false;
    std::size_t p = fin == std::string_view::npos ? texto.size() : fin + 1;
    while (p < texto.size()) {
        // A section header, or content before any: the latter is dropped.
        std::size_t fin_linea = texto.find('\n', p);
        std::string cab(texto.substr(
            p, fin_linea == std::string_view::npos ? std::string::npos : fin_linea - p));
        std::size_t inicio = fin_linea == std::string_view::npos ? texto.size() : fin_linea + 1;
        std::size_t siguiente = texto.find("\n@@", inicio == 0 ? 0 : inicio - 1);
        std::size_t fin_contenido =
            siguiente == std::string_view::npos ? texto.size() : siguiente + 1;
        if (fin_contenido < inicio) fin_contenido = inicio;
        std::string contenido(texto.substr(inicio, fin_contenido - inicio));
        p = fin_contenido;
        if (cab.compare(0, 2, "@@") != 0 || cab.size() < 3) continue;
        const char tipo = cab[2];
        std::string nombre = cab.substr(3);
        while (!nombre.empty() && nombre[0] == ' ') nombre.erase(0, 1);
        if (tipo == '=' || tipo == '+') {
            if (!nombre.empty() && !ruta_segura(nombre)) return -1;
            (tipo == '=' ? talmir_env : fbbconf_env) = nombre;
            (tipo == '=' ? con_env : con_fbbconf) = true;
            continue;
        }
        bool numero = !nombre.empty() && nombre.size() <= 3 &&
                      nombre.find_first_not_of("0123456789") == std::string::npos;
        if (numero)
            nombre = nombres()[std::strtoul(nombre.c_str(), nullptr, 10) % nombres().size()];
        if (!ruta_segura(nombre)) return -1;
        Fichero f;
        f.ruta = normaliza(nombre);
        f.dir = tipo == '/';
        if (!f.dir) f.contenido = contenido;
        if (f.ruta.empty()) return -1;
        ficheros.push_back(f);
    }
    // Nothing the program reads may lead it outside the root.
    for (const Fichero& f : ficheros) {
        if (sube(f.contenido)) return -1;
        const std::string b = base(f.ruta);
        // FBBCONF may name any of the files as FBB's configuration.
        const bool conf = b == "init.srv" || b == base(talmir::FBB_CONF) || con_fbbconf;
        if (conf && !sin_rutas_absolutas(f.contenido)) return -1;
    }

    std::vector<std::string> args = {"c_filter"};
    if (!linea_args.empty()) {
        for (auto& a : fuzz::parte(linea_args, ' ')) args.push_back(a);
    }
    if (args.size() > 40) return -1;

    fuzz::Raiz& raiz = fuzz::Raiz::una();
    raiz.entra();
    for (const Fichero& f : ficheros) {
        if (f.dir) {
            mkdir((raiz.dir() + "/" + f.ruta).c_str(), 0777);
        } else {
            raiz.escribe(f.ruta, f.contenido);
        }
    }
    // What is there before the run (a later section may have replaced an
    // earlier one).
    std::vector<Fichero> antes;
    for (const std::string& r : raiz.lista()) {
        struct stat st;
        if (lstat((raiz.dir() + "/" + r).c_str(), &st) != 0) continue;
        const bool dir = !S_ISREG(st.st_mode);
        antes.push_back(Fichero{r, dir ? std::string() : raiz.lee(r), dir});
    }

    fuzz::globales_iniciales();
    if (con_env) setenv("TALMIR", talmir_env.c_str(), 1);
    if (con_fbbconf) setenv("FBBCONF", fbbconf_env.c_str(), 1);
    std::string salida;
    int codigo = fuzz::ejecuta(args, &salida);
    unsetenv("TALMIR");
    unsetenv("FBBCONF");

    fuzz::verifica_codigo(codigo);
    VERIFICA(salida.size() <= 1023);
    fuzz::verifica_campos();

    const std::string bloqueo = normaliza(talmir::infbbs.fch_bloq_correo);
    const std::string import = normaliza(talmir::infbbs.fch_correo);
    const std::vector<std::string> despues = raiz.lista();
    auto estaba = [&](const std::string& r) -> const Fichero* {
        for (const Fichero& f : antes)
            if (f.ruta == r) return &f;
        return nullptr;
    };
    for (const std::string& r : despues) {
        VERIFICA(estaba(r) != nullptr || !es_temporal(r));
        // The run's own lock is gone.
        if (r == bloqueo || r == sin_punto(talmir::FBB_LOCK_IN)) VERIFICA(estaba(r) != nullptr);
    }
    for (const Fichero& f : antes) {
        if (f.dir || reescrito_a_proposito(f.ruta)) continue;
        VERIFICA(raiz.existe(f.ruta));
        const std::string ahora = raiz.lee(f.ruta);
        VERIFICA(ahora.compare(0, f.contenido.size(), f.contenido) == 0);
    }
    // FBB's import file is not touched while someone else holds its lock.
    if (estaba(bloqueo) != nullptr) {
        const Fichero* f = estaba(import);
        if (f == nullptr) {
            VERIFICA(!raiz.existe(import));
        } else if (!f->dir) {
            VERIFICA(raiz.lee(import) == f->contenido);
        }
    }
    // Pending mail is moved whole into FBB's import file, or stays.
    for (const Fichero& f : antes) {
        const std::string b = base(f.ruta);
        if (f.dir || f.contenido.empty() || f.ruta != fuzz::trabajo(b) ||
            (b != "mail.prt" && b != "mail.prt.mov")) {
            continue;
        }
        bool hallado = false;
        for (const std::string& r :
             {fuzz::trabajo("mail.prt"), fuzz::trabajo("mail.prt.mov"), import}) {
            if (raiz.lee(r).find(f.contenido) != std::string::npos) hallado = true;
        }
        VERIFICA(hallado);
    }
    raiz.sale();
    return 0;
}
