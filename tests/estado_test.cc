// SPDX-License-Identifier: GPL-2.0-or-later
// State markers: the filter switch, closed ports, and markers that cannot be
// changed.
#include "driver/estado.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "driver/global.h"
#include "entorno.h"

namespace {

using prueba::Raiz;
using talmir::usuario;

// Runs f with standard error going to a file; returns what was written.
template <typename F>
std::string error_estandar(const Raiz& raiz, F f) {
    const std::string ruta = raiz.ruta("stderr.txt");
    int fd = open(ruta.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int guardado = dup(2);
    dup2(fd, 2);
    close(fd);
    f();
    dup2(guardado, 2);
    close(guardado);
    std::string s = raiz.lee("stderr.txt");
    raiz.borra("stderr.txt");
    return s;
}

using Estado = prueba::EnProceso;

TEST_F(Estado, FilterSwitch) {
    const std::string sta = Raiz::trabajo("talmir.sta");
    EXPECT_EQ(error_estandar(raiz, [] { talmir::estado_filtro(1); }), "");
    EXPECT_FALSE(raiz.existe(sta));
    EXPECT_EQ(error_estandar(raiz, [] { talmir::estado_filtro(0); }), "");
    EXPECT_TRUE(raiz.existe(sta));
    EXPECT_EQ(raiz.lee(sta), "");
    // An existing marker is left untouched.
    raiz.escribe(sta, "kept");
    EXPECT_EQ(error_estandar(raiz, [] { talmir::estado_filtro(0); }), "");
    EXPECT_EQ(raiz.lee(sta), "kept");
    EXPECT_EQ(error_estandar(raiz, [] { talmir::estado_filtro(1); }), "");
    EXPECT_FALSE(raiz.existe(sta));
}

TEST_F(Estado, PortMarkers) {
    talmir::estado_puerto(static_cast<std::uint8_t>(259), 0);
    EXPECT_TRUE(raiz.existe(Raiz::trabajo("3.prt")));
    talmir::estado_puerto(200, 0);
    EXPECT_TRUE(raiz.existe(Raiz::trabajo("200.prt")));
    talmir::estado_puerto(0, 0);
    EXPECT_TRUE(raiz.existe(Raiz::trabajo("0.prt")));

    struct Caso {
        std::int8_t puerto;
        std::uint8_t cerrado;
    } casos[] = {{3, 1}, {4, 0}, {0, 1}, {-56, 0}, {127, 0}};
    for (const auto& c : casos) {
        usuario.puerto = c.puerto;
        EXPECT_EQ(talmir::puerto_cerrado(), c.cerrado) << int(c.puerto);
    }
    // Port 200 reaches stations as -56: its marker closes nothing.
    raiz.escribe(Raiz::trabajo("-56.prt"), "");
    usuario.puerto = -56;
    EXPECT_EQ(talmir::puerto_cerrado(), 1);

    talmir::estado_puerto(3, 1);
    EXPECT_FALSE(raiz.existe(Raiz::trabajo("3.prt")));
    usuario.puerto = 3;
    EXPECT_EQ(talmir::puerto_cerrado(), 0);
    talmir::estado_puerto(3, 1);  // nothing to remove
    EXPECT_FALSE(raiz.existe(Raiz::trabajo("3.prt")));
}

TEST_F(Estado, MarkerThatCannotBeCreatedGetsOneLine) {
    // The working directory is a file: no marker can be made in it.
    raiz.borra(Raiz::trabajo(""));
    raiz.escribe("var/ax25/fbb/talmir", "not a directory");
    EXPECT_EQ(error_estandar(raiz, [] { talmir::estado_filtro(0); }),
              "talmir: cannot create ./var/ax25/fbb/talmir/talmir.sta: Not a directory\n");
    EXPECT_EQ(error_estandar(raiz, [] { talmir::estado_puerto(3, 0); }),
              "talmir: cannot create ./var/ax25/fbb/talmir/3.prt: Not a directory\n");
    // Removing a marker that cannot exist is no failure.
    EXPECT_EQ(error_estandar(raiz, [] { talmir::estado_filtro(1); }), "");
}

TEST_F(Estado, MarkerThatCannotBeRemovedGetsOneLine) {
    raiz.escribe(Raiz::trabajo("3.prt/inside"), "x");
    EXPECT_EQ(error_estandar(raiz, [] { talmir::estado_puerto(3, 1); }),
              "talmir: cannot remove ./var/ax25/fbb/talmir/3.prt: Is a directory\n");
    EXPECT_TRUE(raiz.existe(Raiz::trabajo("3.prt/inside")));
}

TEST_F(Estado, CommandsThroughTheProgram) {
    auto r = prueba::ejecuta(raiz, {"-PBBS", "259"});
    EXPECT_EQ(r.codigo, 0);
    EXPECT_EQ(r.errores, "");
    EXPECT_TRUE(raiz.existe(Raiz::trabajo("3.prt")));
    const std::string banner = r.salida;
    EXPECT_NE(banner.find("TALMIR v"), std::string::npos);

    r = prueba::ejecuta(raiz, {"-pnormal", "3"});
    EXPECT_EQ(r.salida, banner);
    EXPECT_FALSE(raiz.existe(Raiz::trabajo("3.prt")));

    r = prueba::ejecuta(raiz, {"-off"});
    EXPECT_TRUE(raiz.existe(Raiz::trabajo("talmir.sta")));
    r = prueba::ejecuta(raiz, {"-on"});
    EXPECT_FALSE(raiz.existe(Raiz::trabajo("talmir.sta")));
    EXPECT_EQ(r.salida, banner);

    // A marker that cannot be made: one line on standard error, banner, 0.
    raiz.escribe(Raiz::trabajo("talmir.sta/inside"), "x");
    r = prueba::ejecuta(raiz, {"-on"});
    EXPECT_EQ(r.codigo, 0);
    EXPECT_EQ(r.salida, banner);
    EXPECT_EQ(r.errores,
              "talmir: cannot remove ./var/ax25/fbb/talmir/talmir.sta: Is a directory\n");
}

}  // namespace
