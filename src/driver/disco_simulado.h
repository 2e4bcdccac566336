// SPDX-License-Identifier: GPL-2.0-or-later
// The dry run of the file layer: what a run would have written, removed,
// renamed and mailed, recorded in place of doing it, with the files as the
// run would have left them for its own later readings.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "driver/disco.h"

namespace talmir {

class Simulacion {
   public:
    struct Accion {
        enum class Tipo : unsigned char {
            crea,       // created empty, exclusively (a marker, a lock)
            escribe,    // replaced in one step, mode 0600
            reescribe,  // rewritten in place
            anexa,      // bytes appended (created when missing)
            crea_con,   // created with its first bytes
            borra,
            crea_dir,
            renombra,  // to destino
            vacia_en,  // appended to destino, then removed
        };
        Tipo tipo;
        std::string ruta;
        std::string destino;
        std::string datos;  // the bytes written
    };
    struct Mensaje {
        std::string linea_sp;  // "SP N0SYS < TALMIR"
        std::string asunto;
    };

    // Puts this dry run in force until it is destroyed.
    Simulacion();
    ~Simulacion();
    Simulacion(const Simulacion&) = delete;
    Simulacion& operator=(const Simulacion&) = delete;

    const std::vector<Accion>& acciones() const { return acciones_; }
    const std::vector<Mensaje>& correos() const { return correos_; }
    // Forgets the actions and mail, keeping the files as changed: the next
    // run of the same dry run sees them.
    void olvida_acciones();

    // True when the run changed the path: the layer then asks the dry run
    // how the run sees it, and the file system otherwise.
    bool conoce(const char* ruta) const { return ficheros_.count(ruta) != 0; }
    bool existe(const char* ruta) const;
    bool es_regular_legible(const char* ruta) const;
    Archivo abre(const char* ruta) const;

    // What the layer does in a dry run.
    int crea_exclusivo(const char* ruta);
    bool reemplaza(const char* ruta, std::string_view datos);
    bool reescribe(const char* ruta, std::string_view datos);
    bool borra(const char* ruta);
    int prt_mkdir(const char* ruta);
    bool renombra(const char* de, const char* a);
    Anexado anexa(const char* ruta, std::string_view datos, const Anexo& como);
    int crea_con(const char* ruta, std::string_view datos);
    bool vacia_en(const char* origen, const char* destino);
    int toma(const char* ruta, std::string* contenido) const;
    void mensaje(std::string_view linea_sp, std::string_view asunto);

   private:
    struct Fichero {
        bool existe = false;
        bool dir = false;
        std::string contenido;
    };
    // The file as the run sees it: as changed, or as it stands on disk.
    Fichero visto(const std::string& ruta) const;
    void anota(Accion::Tipo tipo, const char* ruta, std::string_view datos = {},
               const char* destino = "");

    Simulacion* anterior_;
    std::map<std::string, Fichero> ficheros_;
    std::vector<Accion> acciones_;
    std::vector<Mensaje> correos_;
};

}  // namespace talmir
