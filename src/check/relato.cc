// SPDX-License-Identifier: GPL-2.0-or-later
// The words in which talmir-check tells one run of the filter.
#include "check/relato.h"

#include <cstdint>

#include "check/informe.h"
#include "driver/global.h"

namespace talmir {

namespace {

// The words for the run's exit code.
struct Salida {
    std::uint8_t codigo;
    const char* que;
};
constexpr Salida kSalidas[] = {
    {SALIDA_ENTRA, "let in"},
    {SALIDA_OTRA, "challenge"},
    {SALIDA_DESCONECTA, "disconnected"},
    {SALIDA_SOLOLEER, "let in read-only"},
    {SALIDA_RETENIDOS, "let in with its messages held"},
    {SALIDA_GUEST, "let in as a guest"},
};

}  // namespace

std::string desenlace(int salida) {
    for (const Salida& s : kSalidas) {
        if (s.codigo == salida) return texto("%s, exit %d", s.que, salida);
    }
    return texto("exit %d", salida);
}

// The words for what the dry run recorded.
std::string accion(const Simulacion::Accion& a) {
    using Tipo = Simulacion::Accion::Tipo;
    const char* r = a.ruta.c_str();
    switch (a.tipo) {
        case Tipo::crea:
            return texto("creates %s", r);
        case Tipo::escribe:
            return texto("writes %s", r);
        case Tipo::reescribe:
            return texto("rewrites %s", r);
        case Tipo::anexa:
            return texto("appends to %s", r);
        case Tipo::crea_con:
            return texto("creates %s with its contents", r);
        case Tipo::borra:
            return texto("removes %s", r);
        case Tipo::crea_dir:
            return texto("makes the directory %s", r);
        case Tipo::renombra:
            return texto("renames %s to %s", r, a.destino.c_str());
        case Tipo::vacia_en:
            return texto("moves what %s holds to the end of %s", r, a.destino.c_str());
    }
    return r;
}

// A line of what the station sees, its control and 8-bit bytes escaped.
std::string visible(const std::string& s) {
    std::string v;
    for (char c : s) {
        auto u = static_cast<unsigned char>(c);
        if (u < ' ' || u >= 127) {
            v += texto("\\x%02X", u);
        } else {
            v += c;
        }
    }
    return v;
}

}  // namespace talmir
