// SPDX-License-Identifier: GPL-2.0-or-later
#include "check/informe.h"

#include <algorithm>
#include <cstdarg>

namespace talmir {

std::string texto(const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    va_list copia_ap;
    va_copy(copia_ap, ap);
    int n = std::vsnprintf(nullptr, 0, fmt, ap);
    va_end(ap);
    std::string s;
    if (n > 0) {
        s.resize(static_cast<std::size_t>(n) + 1);
        (void)std::vsnprintf(s.data(), s.size(), fmt, copia_ap);
        s.resize(static_cast<std::size_t>(n));
    }
    va_end(copia_ap);
    return s;
}

void Informe::fichero(const std::string& ruta) {
    if (std::find(ficheros_.begin(), ficheros_.end(), ruta) == ficheros_.end()) {
        ficheros_.push_back(ruta);
    }
}

void Informe::anade(const std::string& ruta, unsigned linea, gravedad g,
                    const std::string& mensaje) {
    // The same fault met twice (a port name looked up from two lines after
    // FBB's configuration failed, for instance) is told once.
    std::string clave = ruta;
    clave += '\0';
    clave += std::to_string(linea);
    clave += static_cast<char>('0' + static_cast<int>(g));
    clave += mensaje;
    if (!vistos_.insert(clave).second) return;
    fichero(ruta);
    lista_.push_back({ruta, linea, g, mensaje});
    if (g == gravedad::error) ++errores_;
    if (g == gravedad::aviso) ++avisos_;
}

void Informe::error(const std::string& ruta, unsigned linea, const std::string& mensaje) {
    anade(ruta, linea, gravedad::error, mensaje);
}

void Informe::aviso(const std::string& ruta, unsigned linea, const std::string& mensaje) {
    anade(ruta, linea, gravedad::aviso, mensaje);
}

void Informe::nota(const std::string& ruta, unsigned linea, const std::string& mensaje) {
    anade(ruta, linea, gravedad::nota, mensaje);
}

void Informe::escribe(std::FILE* f) const {
    std::vector<const Diagnostico*> orden;
    for (const Diagnostico& d : lista_) orden.push_back(&d);
    auto rango = [this](const std::string& ruta) {
        return std::find(ficheros_.begin(), ficheros_.end(), ruta) - ficheros_.begin();
    };
    std::stable_sort(orden.begin(), orden.end(), [&](const Diagnostico* a, const Diagnostico* b) {
        auto ra = rango(a->fichero);
        auto rb = rango(b->fichero);
        if (ra != rb) return ra < rb;
        if (a->linea != b->linea) return a->linea < b->linea;
        return a->grado < b->grado;  // errors first
    });
    for (const Diagnostico* d : orden) {
        const char* g = d->grado == gravedad::error   ? "error"
                        : d->grado == gravedad::aviso ? "warning"
                                                      : "note";
        if (d->linea != 0) {
            (void)std::fprintf(f, "%s:%u: %s: %s\n", d->fichero.c_str(), d->linea, g,
                               d->mensaje.c_str());
        } else {
            (void)std::fprintf(f, "%s: %s: %s\n", d->fichero.c_str(), g, d->mensaje.c_str());
        }
    }
}

}  // namespace talmir
