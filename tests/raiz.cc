// SPDX-License-Identifier: GPL-2.0-or-later
#include "raiz.h"

#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace prueba {

namespace {

int borra_entrada(const char* ruta, const struct stat*, int, struct FTW*) {
    return std::remove(ruta);
}

int borra_dentro(const char* ruta, const struct stat*, int, struct FTW* ftw) {
    if (ftw->level > 0) std::remove(ruta);
    return 0;
}

void crea_dirs(const std::string& ruta) {
    for (std::size_t i = 1; i <= ruta.size(); ++i) {
        if (i == ruta.size() || ruta[i] == '/') mkdir(ruta.substr(0, i).c_str(), 0777);
    }
}

// nftw takes no context: the listing under way.
std::vector<std::string>* lista_actual = nullptr;
std::size_t largo_raiz = 0;

int anade_a_lista(const char* ruta, const struct stat*, int, struct FTW* ftw) {
    if (ftw->level > 0 && lista_actual != nullptr) lista_actual->push_back(ruta + largo_raiz + 1);
    return 0;
}

}  // namespace

RaizTemporal::RaizTemporal(const std::string& padre, const char* nombre) {
    std::string plantilla = padre + "/" + nombre + ".XXXXXX";
    std::vector<char> buf(plantilla.begin(), plantilla.end());
    buf.push_back('\0');
    if (mkdtemp(buf.data()) == nullptr) {
        std::perror("mkdtemp");
        std::abort();
    }
    dir_ = buf.data();
    prepara();
}

RaizTemporal::~RaizTemporal() {
    nftw(dir_.c_str(), borra_entrada, 16, FTW_DEPTH | FTW_PHYS);
}

std::string RaizTemporal::ruta(const std::string& rel) const {
    return dir_ + "/" + rel;
}

std::string RaizTemporal::trabajo(const std::string& nombre) {
    return "var/ax25/fbb/talmir/" + nombre;
}

bool RaizTemporal::escribe(const std::string& rel, std::string_view contenido) const {
    std::string r = ruta(rel);
    crea_dirs(r.substr(0, r.rfind('/')));
    std::FILE* f = std::fopen(r.c_str(), "wb");
    if (f == nullptr) return false;
    std::fwrite(contenido.data(), 1, contenido.size(), f);
    std::fclose(f);
    return true;
}

std::string RaizTemporal::lee(const std::string& rel) const {
    std::FILE* f = std::fopen(ruta(rel).c_str(), "rb");
    if (f == nullptr) return std::string();
    std::string s;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
    std::fclose(f);
    return s;
}

bool RaizTemporal::existe(const std::string& rel) const {
    return access(ruta(rel).c_str(), F_OK) == 0;
}

void RaizTemporal::borra(const std::string& rel) const {
    std::remove(ruta(rel).c_str());
}

void RaizTemporal::crea_dir(const std::string& rel) const {
    crea_dirs(ruta(rel));
}

void RaizTemporal::vacia() const {
    nftw(dir_.c_str(), borra_dentro, 16, FTW_DEPTH | FTW_PHYS);
    prepara();
}

std::vector<std::string> RaizTemporal::lista() const {
    std::vector<std::string> v;
    lista_actual = &v;
    largo_raiz = dir_.size();
    nftw(dir_.c_str(), anade_a_lista, 16, FTW_PHYS);
    lista_actual = nullptr;
    return v;
}

void RaizTemporal::prepara() const {
    crea_dir("var/ax25/fbb/talmir");
    crea_dir("var/ax25/fbb/mail");
    crea_dir("etc/ax25/fbb");
}

}  // namespace prueba
