// SPDX-License-Identifier: GPL-2.0-or-later
// "bloqueo.prt": the lockout across connections, port by port. Each line
// that is not a comment reads "PORT FAILURES WINDOW LOCK": on that port, a
// callsign that fails FAILURES times within WINDOW minutes is locked out for
// LOCK minutes. PORT is a number, a name of FBB's port descriptions, or "*"
// for every port without a line of its own; the console (port 0) only ever
// by a line of its own. Without the file nothing is locked anywhere.
#pragma once

#include <cstddef>
#include <cstdint>

namespace talmir {

inline constexpr char BLOQUEO_PRT[] = "bloqueo.prt";

// The bounds of the three numbers.
inline constexpr int BLOQUEO_FALLOS_MAX = 99;
inline constexpr int BLOQUEO_MINUTOS_MAX = 10080;  // a week
// Port numbers, as "config.prt" writes them: one or two digits.
inline constexpr int BLOQUEO_PUERTO_MAX = 99;

// One line as read.
struct LINEABLQ {
    int puerto;  // the port's number; -1 for "*"
    std::uint8_t fallos;
    std::uint16_t ventana;  // minutes
    std::uint16_t minutos;  // of the lock
};

// The rule of one port.
struct REGLA_BLOQUEO {
    bool hay = false;  // the port is guarded
    std::uint16_t linea = 0;
    std::uint8_t fallos = 0;
    std::uint16_t ventana = 0;
    std::uint16_t minutos = 0;
};

// Room for a faulty line's message (terminator included).
inline constexpr std::size_t FALTA_BLOQUEO_MAX = 96;

// One line that is not a comment: true when read into *l; false with the
// reason in falta (FALTA_BLOQUEO_MAX bytes). Port names are looked up in
// FBB's port descriptions.
bool linea_bloqueo(const char* linea, LINEABLQ* l, char* falta, char* r_buf);

// Told each line that is not a comment: what it says (l), or why it is
// faulty (motivo); the other one is null.
using VistaBloqueo = void (*)(std::uint16_t linea, const LINEABLQ* l, const char* motivo,
                              void* dato);

// Reads the file (path in ruta) for the rule of the port: every line is
// read and told to vista; a port named twice keeps its first line (the
// second is faulty). False when there is no file to read.
bool lee_bloqueo(const char* ruta, int puerto, REGLA_BLOQUEO* regla, VistaBloqueo vista, void* dato,
                 char* r_buf);

// The path of "bloqueo.prt": beside "config.prt". False when it does not fit.
bool ruta_bloqueo(char* ruta, std::size_t size);

}  // namespace talmir
