// SPDX-License-Identifier: GPL-2.0-or-later
#include "driver/testigo.h"

#include <utility>

namespace talmir {

Testigo* testigo = nullptr;

void testigo_modo(std::uint8_t modo, bool respaldo) {
    if (testigo != nullptr) testigo->decisiones.push_back({modo, respaldo});
}

void testigo_busca(const char* ruta, bool abierto) {
    if (testigo == nullptr) return;
    if (abierto) {
        testigo->leidos.emplace_back(ruta);
    } else {
        testigo->faltan.emplace_back(ruta);
    }
}

void testigo_envia(const char* ruta, std::size_t desde, std::size_t hasta) {
    if (testigo != nullptr) testigo->enviados.push_back({ruta, desde, hasta});
}

void testigo_marca(const char* ruta, const char* nota) {
    if (testigo == nullptr) return;
    testigo->marca = ruta;
    testigo->nota_marca = nota;
}

void testigo_bloqueo(std::uint16_t linea, int limite, int ventana, int minutos, std::time_t hasta,
                     std::size_t fallos) {
    if (testigo != nullptr) {
        testigo->bloqueos.push_back({linea, limite, ventana, minutos, hasta, fallos});
    }
}

void testigo_error(std::uint16_t num, std::uint16_t linea, const char* mensaje) {
    if (testigo == nullptr) return;
    testigo->fallos.push_back({num, linea, mensaje, std::move(testigo->faltan)});
    testigo->faltan.clear();
}

}  // namespace talmir
