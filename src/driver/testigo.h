// SPDX-License-Identifier: GPL-2.0-or-later
// What one run did, for whoever watches it (talmir-check): the modes it
// carried out, the texts it looked for and sent, the errors it reported.
// Nobody watches the filter itself: then each hook costs one test.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace talmir {

struct Testigo {
    struct Texto {
        std::string ruta;
        std::size_t desde;  // where its bytes begin in the response
        std::size_t hasta;  // and where they end
    };
    struct Fallo {
        std::uint16_t num;
        std::uint16_t linea;
        std::string mensaje;              // as the report says it
        std::vector<std::string> faltan;  // the texts looked for in vain before it
    };
    struct Decision {
        std::uint8_t modo;
        bool respaldo;  // the port's default mode, after a fault
    };
    // The lockout of the station's port, as the run found it.
    struct Bloqueo {
        std::uint16_t linea;  // of "bloqueo.prt"
        int limite;           // failures within
        int ventana;          // these minutes lock out for
        int minutos;          // these
        std::time_t hasta;    // the lock in force ends then; 0: none
        std::size_t fallos;   // the failures within the window
    };
    std::vector<Decision> decisiones;  // each mode carried out, in order
    std::vector<std::string> leidos;   // the texts and tables that opened, in order
    std::vector<std::string> faltan;   // looked for in vain since the last error
    std::vector<Texto> enviados;
    std::vector<Fallo> fallos;
    std::vector<Bloqueo> bloqueos;
    // The marker that ended the run before any reading, and what it means.
    std::string marca;
    std::string nota_marca;
};

// The watcher of the run, or null.
extern Testigo* testigo;

// The hooks: each does nothing without a watcher.
void testigo_modo(std::uint8_t modo, bool respaldo);
void testigo_busca(const char* ruta, bool abierto);
void testigo_envia(const char* ruta, std::size_t desde, std::size_t hasta);
void testigo_marca(const char* ruta, const char* nota);
void testigo_bloqueo(std::uint16_t linea, int limite, int ventana, int minutos, std::time_t hasta,
                     std::size_t fallos);
void testigo_error(std::uint16_t num, std::uint16_t linea, const char* mensaje);

}  // namespace talmir
