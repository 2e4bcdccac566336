// SPDX-License-Identifier: GPL-2.0-or-later
// The checker's reading of the whole configuration, one reader for each
// file: revisa_fbb.cc (FBB's configuration), revisa_config.cc ("config.prt"
// and the language file), revisa_usuarios.cc ("users.prt" and the headers no
// station reaches), revisa_textos.cc (the texts and password tables the
// configuration needs) and revisa_trabajo.cc (the working directory).
// revisa.cc runs them in order. Private to src/check.
#pragma once

#include <cstddef>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "check/informe.h"
#include "check/patron.h"
#include "check/revisa.h"
#include "config/config.h"
#include "driver/global.h"

namespace talmir::revision {

inline constexpr char kSinFbb[] =
    "cannot be read, and init.srv in the current directory cannot stand in for it: port names "
    "cannot be looked up and no mail reaches the sysops (error 1)";

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

std::string mayusculas(std::string s);
// The next word of a line, whole.
std::string palabra(const char** p);
bool solo_digitos(const std::string& s);
// Modes outside 1 to 14 let the station in as OPEN does.
bool es_abierto(int modo);

class Revision {
   public:
    explicit Revision(Informe& inf) : inf_(inf) {}
    int ejecuta();

   private:
    void revisa_fbb();
    bool lee_config();
    void revisa_fija(int tipo, const char* linea, unsigned num, int r);
    void revisa_puerto(unsigned num, int r, int puerto);
    void opciones(unsigned num, const std::string& palabra, const std::string& letras,
                  const char* que);
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
    void revisa_bloqueo();
    void revisa_idiomas_fbb();
    const PuertoCfg* puerto_cfg(int puerto) const;
    void aviso_guest(const std::string& fichero, unsigned num);

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
    // The installed FBB's answer to GUEST, asked once.
    bool guest_mirado_ = false;
    std::string guest_fbb_;
};

}  // namespace talmir::revision
