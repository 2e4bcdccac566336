// SPDX-License-Identifier: GPL-2.0-or-later
// What the checker hears from the filter's own readers: the reason of a
// fault, the errors the filter would report, and the lines that serve a
// station. Installing it silences the error routine: nothing is written.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "config/config.h"

namespace talmir {

struct ErrorOido {
    std::uint16_t num;
    std::uint16_t linea;  // the line, or the count for error 6
};

struct Escucha {
    // The reason of the latest fault, told before its error.
    bool hay_motivo = false;
    hallazgo motivo = hallazgo::pocas_palabras;
    std::string palabra;
    // Errors the filter would have reported, in order.
    std::vector<ErrorOido> errores;
    // The road of a station: 0 while not met.
    std::uint16_t linea_puerto = 0;
    std::uint16_t linea_cabecera = 0;
    std::uint16_t linea_usuario = 0;

    // Forgets the reason and the errors.
    void limpia();
};

extern Escucha escucha;

// Puts the listeners in place of the error routine and of nobody.
void instala_escucha();

// Mode 6 is named by both its keywords; numbers outside 1 to 14 as numbers.
std::string nombre_modo(int modo);
// Why a line is faulty, for a reason heard from the readers; en_usuarios
// tells which table the line belongs to.
std::string explica(hallazgo motivo, const std::string& palabra, bool en_usuarios);
// A file of the working directory.
std::string en_trabajo(const std::string& nombre);
// True when the file opens for reading, as the filter opens its texts.
bool legible(const std::string& ruta);

}  // namespace talmir
