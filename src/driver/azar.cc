// SPDX-License-Identifier: GPL-2.0-or-later
#include "driver/azar.h"

#include <sys/random.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

#ifndef TALMIR_AZAR_RELOJ
#define TALMIR_AZAR_RELOJ 0
#endif

namespace talmir {

namespace {

constexpr bool kReloj = TALMIR_AZAR_RELOJ != 0;

// Bytes of the kernel's random source, taken in one call and used up draw by
// draw: a challenge needs at most fifteen draws.
struct Reserva {
    unsigned char bytes[128] = {};
    std::size_t usados = sizeof bytes;
    bool fallo = false;
};
constinit Reserva reserva;

bool llena() {
    std::size_t n = 0;
    while (n < sizeof reserva.bytes) {
        ssize_t r = getrandom(reserva.bytes + n, sizeof reserva.bytes - n, 0);
        if (r < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        n += static_cast<std::size_t>(r);
    }
    reserva.usados = 0;
    return true;
}

bool toma(std::uint32_t* v) {
    if (reserva.fallo) return false;
    if (reserva.usados + sizeof *v > sizeof reserva.bytes && !llena()) {
        reserva.fallo = true;
        return false;
    }
    std::memcpy(v, reserva.bytes + reserva.usados, sizeof *v);
    reserva.usados += sizeof *v;
    return true;
}

}  // namespace

std::int32_t random_nb(std::int32_t num) {
    if (num <= 0) return 0;
    if (kReloj) return static_cast<std::int32_t>(random() % num);
    // Uniform: the values below 2^32 mod n, which would favour the low
    // results, are drawn again.
    const auto n = static_cast<std::uint32_t>(num);
    const std::uint32_t umbral = (0U - n) % n;
    std::uint32_t v = 0;
    do {
        if (!toma(&v)) return 0;
    } while (v < umbral);
    return static_cast<std::int32_t>(v % n);
}

void prt_randomize() {
    if (kReloj) srandom(static_cast<unsigned>(std::time(nullptr)));
}

bool azar_fallido() {
    return !kReloj && reserva.fallo;
}

void azar_simula_fallo(bool falla) {
    reserva.fallo = falla;
    reserva.usados = sizeof reserva.bytes;
}

}  // namespace talmir
