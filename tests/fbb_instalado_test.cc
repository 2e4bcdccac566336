// SPDX-License-Identifier: GPL-2.0-or-later
// The installed FBB that hands a station's line to its shell: warned of by
// the configuration checker, from the daemon's marker and dpkg's version.
#include "check/fbb_instalado.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "entorno.h"

namespace {

using prueba::Raiz;

// A package record of dpkg's status file.
std::string paquete(const std::string& nombre, const std::string& estado,
                    const std::string& version) {
    return "Package: " + nombre + "\nStatus: " + estado +
           "\nPriority: optional\nVersion: " + version + "\nDescription: x\n\n";
}

struct Caso {
    const char* nombre;
    bool xfbbd;
    std::string daemon;  // the daemon's bytes
    std::string status;  // dpkg's status file ("" none)
    std::string aviso;   // a piece of the warning, "" none
};

class FbbInstalado : public prueba::EnProceso {};

TEST_F(FbbInstalado, SegunLaMarcaYLaVersion) {
    const std::string sin_marca(200000, 'x');
    // The marker across the end of the first 64 KiB read.
    const std::string con_marca =
        std::string(65530, 'x') + talmir::FBB_MARCA_CITADO + std::string(100, 'y');
    const std::string stock = paquete("fbbx", "install ok installed", "1.0") +
                              paquete("fbb", "install ok installed", "7.011-2") +
                              paquete("zsh", "install ok installed", "5.9");
    const std::vector<Caso> casos = {
        {"no FBB", false, "", stock, ""},
        {"stock 7.011-2", true, sin_marca, stock, "FBB 7.011-2 (package fbb) hands every line"},
        {"older", true, sin_marca, paquete("fbb", "install ok installed", "7.0.8-1"),
         "FBB 7.0.8-1"},
        {"patched", true, con_marca, paquete("fbb", "install ok installed", "7.011-2+talmir1"), ""},
        {"patched, marker at the start", true, talmir::FBB_MARCA_CITADO + sin_marca, stock, ""},
        {"newer FBB", true, sin_marca, paquete("fbb", "install ok installed", "7.012-1"), ""},
        {"epoch, newer", true, sin_marca, paquete("fbb", "install ok installed", "1:8.0-1"), ""},
        {"built by hand", true, sin_marca, "", "this FBB (no package names it)"},
        {"package removed, daemon left", true, sin_marca,
         paquete("fbb", "deinstall ok config-files", "7.011-2"), "no package names it"},
    };
    for (const Caso& c : casos) {
        if (c.xfbbd) {
            raiz.escribe("usr/sbin/xfbbd", c.daemon);
        } else {
            raiz.borra("usr/sbin/xfbbd");
        }
        raiz.borra("var/lib/dpkg/status");
        if (!c.status.empty()) raiz.escribe("var/lib/dpkg/status", c.status);
        const std::string aviso = talmir::aviso_fbb_instalado();
        if (std::string(c.aviso).empty()) {
            EXPECT_EQ(aviso, "") << c.nombre;
        } else {
            EXPECT_NE(aviso.find(c.aviso), std::string::npos) << c.nombre << ": " << aviso;
            EXPECT_NE(aviso.find("x|true"), std::string::npos) << c.nombre;
        }
    }
}

TEST(FbbInstaladoCheck, ElCheckLoAvisa) {
    Raiz raiz;
    raiz.fbb_basico();
    raiz.config(prueba::config_basica("1 OPEN\n"));
    raiz.escribe("usr/sbin/xfbbd", std::string(1000, 'x'));
    raiz.escribe("var/lib/dpkg/status", paquete("fbb", "install ok installed", "7.011-2"));
    prueba::Resultado r = prueba::ejecuta_programa(TALMIR_CHECK_BIN, raiz, {});
    EXPECT_NE(r.salida.find("./usr/sbin/xfbbd: warning: FBB 7.011-2 (package fbb) hands"),
              std::string::npos)
        << r.salida;
    EXPECT_EQ(r.codigo, 0) << r.salida;  // a warning, not an error
    r = prueba::ejecuta_programa(TALMIR_CHECK_BIN, raiz, {"N0CALL-0", "1"});
    EXPECT_NE(r.salida.find("./usr/sbin/xfbbd: warning: FBB 7.011-2"), std::string::npos)
        << r.salida;
}

// GUEST (a mode of users.prt only) under an FBB without guest access:
// warned of at the line that gives it, and in the story of a station that
// meets it.
TEST(FbbInstaladoCheck, GuestSinAccesoDeInvitado) {
    struct CasoGuest {
        const char* nombre;
        std::string puertos;   // config.prt's port lines
        std::string usuarios;  // users.prt
        std::string version;   // fbb's package version, "" no xfbbd
        std::string aviso;     // where the warning is, "" none
    };
    const std::string aviso =
        ": warning: FBB 7.011-2 (package fbb) has no guest access: it takes "
        "GUEST's exit code 11 as a pending answer";
    const std::vector<CasoGuest> casos = {
        {"users.prt line", "1 OPEN\n", "N0GST\n1 GUEST\n-\n", "7.011-2",
         "./var/ax25/fbb/talmir/users.prt:2"},
        {"newer FBB", "1 OPEN\n", "N0GST\n1 GUEST\n-\n", "7.012-1", ""},
        {"no FBB here", "1 OPEN\n", "N0GST\n1 GUEST\n-\n", "", ""},
        {"no GUEST", "1 OPEN\n", "N0GST\n1 HOLD\n-\n", "7.011-2", ""},
    };
    for (const CasoGuest& c : casos) {
        Raiz raiz;
        raiz.fbb_basico();
        raiz.config(prueba::config_basica(c.puertos));
        raiz.escribe("var/ax25/fbb/talmir/users.prt", c.usuarios);
        if (!c.version.empty()) {
            // The quoting patch's marker: only the guest warning is due.
            raiz.escribe("usr/sbin/xfbbd", std::string(talmir::FBB_MARCA_CITADO));
            raiz.escribe("var/lib/dpkg/status", paquete("fbb", "install ok installed", c.version));
        }
        prueba::Resultado r = prueba::ejecuta_programa(TALMIR_CHECK_BIN, raiz, {});
        if (c.aviso.empty()) {
            EXPECT_EQ(r.salida.find("guest access"), std::string::npos) << c.nombre << r.salida;
        } else {
            EXPECT_NE(r.salida.find(c.aviso + aviso), std::string::npos) << c.nombre << r.salida;
        }
        EXPECT_EQ(r.codigo, 0) << c.nombre << r.salida;
    }
    // The station's story says what FBB will do.
    Raiz raiz;
    raiz.fbb_basico();
    raiz.config(prueba::config_basica("1 OPEN\n"));
    raiz.escribe("var/ax25/fbb/talmir/users.prt", "N0GST\n1 GUEST\n-\n");
    raiz.escribe("usr/sbin/xfbbd", std::string(talmir::FBB_MARCA_CITADO));
    raiz.escribe("var/lib/dpkg/status", paquete("fbb", "install ok installed", "7.011-2"));
    prueba::Resultado r = prueba::ejecuta_programa(TALMIR_CHECK_BIN, raiz, {"N0GST-0", "1"});
    EXPECT_NE(r.salida.find("./usr/sbin/xfbbd" + aviso), std::string::npos) << r.salida;
}

}  // namespace
