// SPDX-License-Identifier: GPL-2.0-or-later
// The random numbers of the challenges: their range, the failure of the
// random source, and challenges of the same second through the program.
#include "driver/azar.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <set>
#include <string>
#include <vector>

#include "entorno.h"

namespace {

using prueba::Raiz;

TEST(Azar, RandomNb) {
    srandom(1);
    std::set<std::int32_t> vistos;
    for (int i = 0; i < 2000; ++i) {
        std::int32_t n = talmir::random_nb(10);
        EXPECT_GE(n, 0);
        EXPECT_LT(n, 10);
        vistos.insert(n);
        EXPECT_EQ(talmir::random_nb(1), 0);
    }
    EXPECT_EQ(vistos.size(), 10u);
    EXPECT_EQ(talmir::random_nb(0), 0);
    EXPECT_FALSE(talmir::azar_fallido());
}

#if !TALMIR_AZAR_RELOJ
TEST(Azar, UnaFuenteQueFallaSeRecuerda) {
    talmir::azar_simula_fallo(true);
    EXPECT_EQ(talmir::random_nb(1000), 0);
    EXPECT_TRUE(talmir::azar_fallido());
    talmir::azar_simula_fallo(false);
    EXPECT_FALSE(talmir::azar_fallido());
}
#endif

// Pairs of first calls of one station within one second, its challenge file
// removed in between: the challenges the station is shown.
TEST(Azar, RetosDelMismoSegundo) {
    struct Caso {
        const char* modo;
        std::string linea;
        int mascara;
    };
    const std::vector<Caso> casos = {
        {"NORMAL", "1 NORMAL Secreto77", 0},
        {"MD", "1 MD5 Clave2024x", 0},
        {"FORWARD", "1 FORWARD Reenvio22", 16},
    };
    for (const Caso& c : casos) {
        Raiz raiz;
        raiz.fbb_basico();
        raiz.config(prueba::config_basica("1 OPEN\n"));
        raiz.usuarios("N0CALL\n" + c.linea + "\n-\n");
        int pares = 0;
        int distintos = 0;
        for (int intento = 0; pares < 40 && intento < 200; ++intento) {
            const std::time_t antes = std::time(nullptr);
            prueba::Resultado a = prueba::estacion(raiz, "N0CALL-0", 0, c.mascara, 0, 1);
            raiz.borra(Raiz::trabajo("N0CALL0.tmp"));
            prueba::Resultado b = prueba::estacion(raiz, "N0CALL-0", 0, c.mascara, 0, 1);
            raiz.borra(Raiz::trabajo("N0CALL0.tmp"));
            ASSERT_EQ(a.codigo, 1) << c.modo << "\n" << a.salida;
            ASSERT_EQ(b.codigo, 1) << c.modo << "\n" << b.salida;
            if (std::time(nullptr) != antes) continue;  // not within one second
            ++pares;
            if (a.salida != b.salida) ++distintos;
        }
        ASSERT_EQ(pares, 40) << c.modo;
#if TALMIR_AZAR_RELOJ
        EXPECT_EQ(distintos, 0) << c.modo << ": the clock build draws from the second";
#else
        EXPECT_GE(distintos, 39) << c.modo;
#endif
    }
}

}  // namespace
