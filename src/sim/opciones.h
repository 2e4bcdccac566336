// SPDX-License-Identifier: GPL-2.0-or-later
// talmir-sim's command line: what each run of it is asked to do.
#pragma once

#include <limits.h>

#include "sim/respuesta.h"

namespace talmir::sim {

constexpr int RUNS_DEF = 20;
constexpr int SALIDA_USO = 64;    // a usage error
constexpr int SALIDA_FALLO = 70;  // talmir could not run, or died

struct Opciones {
    char talmir[PATH_MAX] = {};
    const char* dir = ".";
    const char* dir_socio = nullptr;
    char indicativo[16] = {};  // the station, or in --forward the partner BBS
    char propio[16] = {};      // --forward: this BBS's callsign
    long puerto = 1;
    long flags = 0;
    long registro = 0;
    bool nuevo = false;
    const char* guion = nullptr;
    const char* clave = nullptr;     // --answer: the station answers by itself
    const char* password = nullptr;  // --password: a person answers, helped
    Resumen resumen = resumen_md5;   // --digest: MD5, MD2, or none (plain)
    const char* reto = nullptr;      // --challenge: only work out the answer
    bool forward = false;
    bool crlf = false;
    long max = RUNS_DEF;
};

// Parses the command line: 0 when fine, -1 when the help was asked for and
// printed (the exit status is then 0), else the exit status to end with.
int opciones(int argc, char** argv, Opciones* o);

}  // namespace talmir::sim
