// SPDX-License-Identifier: GPL-2.0-or-later
// The dry run of the file layer.
#include "driver/disco_simulado.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace talmir {

Simulacion::Simulacion() : anterior_(simulacion) {
    simulacion = this;
}

Simulacion::~Simulacion() {
    simulacion = anterior_;
}

void Simulacion::olvida_acciones() {
    acciones_.clear();
    correos_.clear();
}

Simulacion::Fichero Simulacion::visto(const std::string& ruta) const {
    auto i = ficheros_.find(ruta);
    if (i != ficheros_.end()) return i->second;
    Fichero f;
    struct stat st;
    if (stat(ruta.c_str(), &st) != 0) return f;
    f.existe = true;
    f.dir = S_ISDIR(st.st_mode);
    if (f.dir) return f;
    // The bytes as they stand, for a later append or reading.
    std::FILE* real = std::fopen(ruta.c_str(), "rbe");
    if (real == nullptr) return f;
    char trozo[4096];
    std::size_t n;
    while ((n = std::fread(trozo, 1, sizeof trozo, real)) > 0) f.contenido.append(trozo, n);
    (void)std::fclose(real);
    return f;
}

void Simulacion::anota(Accion::Tipo tipo, const char* ruta, std::string_view datos,
                       const char* destino) {
    acciones_.push_back({tipo, ruta, destino, std::string(datos)});
}

bool Simulacion::existe(const char* ruta) const {
    auto i = ficheros_.find(ruta);
    return i != ficheros_.end() && i->second.existe;
}

bool Simulacion::es_regular_legible(const char* ruta) const {
    auto i = ficheros_.find(ruta);
    return i != ficheros_.end() && i->second.existe && !i->second.dir;
}

Archivo Simulacion::abre(const char* ruta) const {
    auto i = ficheros_.find(ruta);
    if (i == ficheros_.end() || !i->second.existe || i->second.dir) {
        errno = i != ficheros_.end() && i->second.dir ? EISDIR : ENOENT;
        return Archivo();
    }
    const std::string& c = i->second.contenido;
    // The bytes stay in the map, unchanged while the reading lasts.
    if (c.empty()) return Archivo(std::fopen("/dev/null", "re"));
    return Archivo(fmemopen(const_cast<char*>(c.data()), c.size(), "r"));
}

int Simulacion::crea_exclusivo(const char* ruta) {
    if (visto(ruta).existe) return 0;
    ficheros_[ruta] = Fichero{true, false, {}};
    anota(Accion::Tipo::crea, ruta);
    return 1;
}

bool Simulacion::reemplaza(const char* ruta, std::string_view datos) {
    ficheros_[ruta] = Fichero{true, false, std::string(datos)};
    anota(Accion::Tipo::escribe, ruta, datos);
    return true;
}

bool Simulacion::reescribe(const char* ruta, std::string_view datos) {
    ficheros_[ruta] = Fichero{true, false, std::string(datos)};
    anota(Accion::Tipo::reescribe, ruta, datos);
    return true;
}

bool Simulacion::borra(const char* ruta) {
    Fichero f = visto(ruta);
    if (!f.existe || f.dir) {
        errno = f.dir ? EISDIR : ENOENT;
        return false;
    }
    ficheros_[ruta] = Fichero{};
    anota(Accion::Tipo::borra, ruta);
    return true;
}

int Simulacion::prt_mkdir(const char* ruta) {
    if (visto(ruta).existe) {
        errno = EEXIST;
        return -1;
    }
    ficheros_[ruta] = Fichero{true, true, {}};
    anota(Accion::Tipo::crea_dir, ruta);
    return 0;
}

bool Simulacion::renombra(const char* de, const char* a) {
    Fichero f = visto(de);
    if (!f.existe) return false;
    ficheros_[a] = f;
    ficheros_[de] = Fichero{};
    anota(Accion::Tipo::renombra, de, {}, a);
    return true;
}

Anexado Simulacion::anexa(const char* ruta, std::string_view datos, const Anexo& como) {
    Fichero f = visto(ruta);
    if (f.dir) return Anexado::fallo;
    if (!f.existe && !como.crea) return Anexado::sin_fichero;
    if (como.distinto_de != nullptr && f.existe && talmir::mismo_fichero(ruta, como.distinto_de)) {
        return Anexado::fallo;
    }
    if (!f.existe || !datos.empty()) anota(Accion::Tipo::anexa, ruta, datos);
    f.existe = true;
    f.contenido.append(datos);
    ficheros_[ruta] = f;
    return Anexado::hecho;
}

int Simulacion::crea_con(const char* ruta, std::string_view datos) {
    if (visto(ruta).existe) return 0;
    ficheros_[ruta] = Fichero{true, false, std::string(datos)};
    anota(Accion::Tipo::crea_con, ruta, datos);
    return 1;
}

bool Simulacion::vacia_en(const char* origen, const char* destino) {
    Fichero o = visto(origen);
    if (!o.existe) return true;
    Fichero d = visto(destino);
    d.existe = true;
    d.contenido += o.contenido;
    ficheros_[destino] = d;
    ficheros_[origen] = Fichero{};
    anota(Accion::Tipo::vacia_en, origen, o.contenido, destino);
    return true;
}

int Simulacion::toma(const char* ruta, std::string* contenido) const {
    Fichero f = visto(ruta);
    if (!f.existe || f.dir) return 0;
    *contenido = f.contenido;
    return 1;
}

void Simulacion::mensaje(std::string_view linea_sp, std::string_view asunto) {
    correos_.push_back({std::string(linea_sp), std::string(asunto)});
}

}  // namespace talmir
