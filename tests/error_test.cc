// SPDX-License-Identifier: GPL-2.0-or-later
// Error reporting: "error.prt", the markers, the mail and the exit codes.
#include "texts/error.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "driver/disco.h"
#include "driver/global.h"
#include "driver/texto.h"
#include "entorno.h"

namespace {

using prueba::Raiz;

class Error : public prueba::EnProceso {
   protected:
    void SetUp() override {
        prueba::EnProceso::SetUp();
        std::strcpy(talmir::usuario.id, "N0CALL");
        talmir::usuario.ssid = 0;
        talmir::usuario.puerto = 3;
    }
    // FBB's data and the configuration as their readers would leave them.
    void datos_leidos(int sysops = 2) {
        talmir::leido_init = 1;
        talmir::copia(talmir::infbbs.fch_correo, sizeof talmir::infbbs.fch_correo,
                      raiz.ruta(Raiz::mail_in()));
        talmir::copia(talmir::infbbs.fch_bloq_correo, sizeof talmir::infbbs.fch_bloq_correo,
                      raiz.ruta(Raiz::mail_lck()));
        std::strcpy(talmir::infbbs.sysop, "N9FBB");
        talmir::leido_cfg = 1;
        talmir::cfg.num_sysop = static_cast<std::uint8_t>(sysops);
        std::strcpy(talmir::cfg.sysop[0], "N0SYS");
        std::strcpy(talmir::cfg.sysop[1], "N1SYS");
    }
    static std::string cabecera() {
        return std::string("[TALMIR v") + talmir::version + "] - " + talmir::hora;
    }
    static std::string informe(const std::string& estacion, const std::string& linea) {
        return "\n" + cabecera() + "\n" + estacion + "\n" + linea + "\n\n";
    }
    static std::string correo(const std::string& sysop, const std::string& estacion,
                              const std::string& linea) {
        return "#\nSP " + sysop + " < TALMIR\nERROR detected!\n" + cabecera() + "\n" + estacion +
               "\n" + linea + "\n\n/EX\n";
    }
    std::string error_prt() const { return raiz.lee(Raiz::trabajo("error.prt")); }
    std::string importado() const { return raiz.lee(Raiz::mail_in()); }
    bool marca(int n) const {
        return raiz.existe(Raiz::trabajo("error" + std::to_string(n) + ".tmp"));
    }
    const std::string estacion = "Connected callsign: N0CALL-0 / Port: 3";
};

TEST_F(Error, RutaDeLaMarca) {
    char ruta[talmir::RUTA_MAX];
    EXPECT_EQ(talmir::fch_err_tmp(ruta, 7), ruta);
    EXPECT_STREQ(ruta, "./var/ax25/fbb/talmir/error7.tmp");
    raiz.escribe(Raiz::trabajo("error7.tmp"), "");
    talmir::borra_marca_error(7);
    EXPECT_FALSE(marca(7));
    talmir::borra_marca_error(7);  // absent: nothing happens
}

TEST_F(Error, InformeExacto) {
    struct Caso {
        std::uint16_t num, linea;
        const char* linea_error;
    };
    const Caso casos[] = {
        {1, 0, "*** ERROR 0011: File init.srv not found."},
        {2, 0, "*** ERROR 0012: Unable to open mail file.\n    Check configuration in init.srv"},
        {3, 0, "*** ERROR 0013: Configuration file (config.prt) not found."},
        {4, 0, "*** ERROR 0014: File with table password for N0CALL not found."},
        {5, 15, "*** ERROR 0015: Incorrect data in line 15 (config.prt)"},
        {6, 28, "*** ERROR 0016: Incorrect number of lines in language file (28/29)."},
        {7, 65535, "*** ERROR 0017: Incorrect data in line 65535 (users.prt)"},
        {8, 0, "*** ERROR 0018: File open.prt not found.\n    Option activated in config.prt"},
        {9, 0, "*** ERROR 0019: File info.prt not found."},
        {10, 0, "*** ERROR 00110: Unable to open temporal user file"},
        {11, 0,
         "*** ERROR 00111: File excluded.prt not found.\n    Option activated in config.prt"},
        {12, 0, "*** ERROR 00112: Not identified"},
        {13, 0, "*** ERROR 00113: Insufficient memory"},
        {0, 0, "*** ERROR 0010: Not identified"},
        {400, 0, "*** ERROR 001400: Not identified"},
    };
    datos_leidos(0);
    talmir::usuario.nuevo = -1;  // 4 and 7 end the connection
    for (const auto& c : casos) {
        SCOPED_TRACE(c.num);
        talmir::error(c.num, c.linea, r_buf);
        EXPECT_EQ(error_prt(), informe(estacion, c.linea_error));
    }
    EXPECT_EQ(r_buf[0], '\0');
}

TEST_F(Error, EstacionConSsidYPuertoNegativo) {
    std::strcpy(talmir::usuario.id, "EA4XYZ");
    talmir::usuario.ssid = 15;
    talmir::usuario.puerto = -1;
    datos_leidos();
    talmir::error(13, 0, r_buf);
    EXPECT_EQ(error_prt(), informe("Connected callsign: EA4XYZ-15 / Port: -1",
                                   "*** ERROR 00113: Insufficient memory"));
}

TEST_F(Error, MensajeLargoEnteroSinCortar) {
    // Language texts of 80 characters give messages well over 80.
    std::memset(talmir::lenguaje[1], 'F', 80);
    std::memset(talmir::lenguaje[2], 'N', 80);
    std::memset(talmir::lenguaje[9], 'O', 80);
    datos_leidos();
    talmir::error(8, 0, r_buf);
    std::string esperado = "*** ERROR 0018: " + std::string(80, 'F') + " open.prt " +
                           std::string(80, 'N') + ".\n    " + std::string(80, 'O') + " config.prt";
    EXPECT_EQ(error_prt(), informe(estacion, esperado));
}

TEST_F(Error, CorreoUnaVezHastaQueSeBorraLaMarca) {
    datos_leidos();
    const std::string linea = "*** ERROR 0019: File info.prt not found.";
    talmir::error(9, 0, r_buf);
    EXPECT_EQ(talmir::valor_salida, 2);
    EXPECT_TRUE(marca(9));
    const std::string dos = correo("N0SYS", estacion, linea) + correo("N1SYS", estacion, linea);
    EXPECT_EQ(importado(), dos);
    EXPECT_FALSE(raiz.existe(Raiz::mail_lck()));

    // Again: error.prt rewritten, exit code set, no mail.
    raiz.borra(Raiz::trabajo("error.prt"));
    talmir::valor_salida = 0;
    talmir::error(9, 0, r_buf);
    EXPECT_EQ(error_prt(), informe(estacion, linea));
    EXPECT_EQ(talmir::valor_salida, 2);
    EXPECT_EQ(importado(), dos);

    // Mended, then the fault again: mailed again.
    talmir::borra_marca_error(9);
    talmir::error(9, 0, r_buf);
    EXPECT_EQ(importado(), dos + dos);
}

TEST_F(Error, MarcaExistenteNoEnviaCorreo) {
    datos_leidos();
    raiz.escribe(Raiz::trabajo("error10.tmp"), "");
    talmir::error(10, 0, r_buf);
    EXPECT_FALSE(raiz.existe(Raiz::mail_in()));
    EXPECT_EQ(talmir::valor_salida, 2);
}

TEST_F(Error, ConBloqueoVaAlPendiente) {
    datos_leidos(1);
    raiz.escribe(Raiz::mail_lck(), "");
    talmir::error(11, 0, r_buf);
    EXPECT_FALSE(raiz.existe(Raiz::mail_in()));
    EXPECT_EQ(raiz.lee(Raiz::trabajo("mail.prt")),
              correo("N0SYS", estacion,
                     "*** ERROR 00111: File excluded.prt not found.\n    Option activated in "
                     "config.prt"));
}

// Runs that meet the same fault at once: the marker is made by one of them
// only, and only that one mails.
TEST_F(Error, MarcaExclusivaEntreEjecuciones) {
    datos_leidos(1);
    std::vector<pid_t> hijos;
    for (int i = 0; i < 12; ++i) {
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            char rb[talmir::RBUF_SIZE] = {};
            talmir::error(10, 0, rb);
            _exit(talmir::valor_salida);
        }
        hijos.push_back(pid);
    }
    for (pid_t pid : hijos) {
        int estado = 0;
        ASSERT_EQ(waitpid(pid, &estado, 0), pid);
        EXPECT_TRUE(WIFEXITED(estado) && WEXITSTATUS(estado) == 2);
    }
    // Mail that met the lock of another run waits in the pending file.
    std::string todo = importado() + raiz.lee(Raiz::trabajo("mail.prt"));
    EXPECT_EQ(todo,
              correo("N0SYS", estacion, "*** ERROR 00110: Unable to open temporal user file"));
}

TEST_F(Error, ErroresSinMarca) {
    datos_leidos();
    for (std::uint16_t n : {0, 1, 2}) {
        SCOPED_TRACE(n);
        raiz.borra(Raiz::trabajo("error.prt"));
        talmir::valor_salida = 7;
        talmir::error(n, 0, r_buf);
        EXPECT_FALSE(error_prt().empty());
        EXPECT_FALSE(marca(n));
        EXPECT_EQ(talmir::valor_salida, 0);
    }
    EXPECT_FALSE(raiz.existe(Raiz::mail_in()));
    EXPECT_FALSE(raiz.existe(Raiz::trabajo("mail.prt")));
}

TEST_F(Error, ConfiguracionNoLeidaMarcaSinCorreo) {
    datos_leidos();
    talmir::leido_cfg = 0;  // the reader is a placeholder here: it stays unread
    for (std::uint16_t n : {3, 5, 9}) {
        SCOPED_TRACE(n);
        talmir::error(n, 1, r_buf);
        EXPECT_TRUE(marca(n));
    }
    EXPECT_FALSE(raiz.existe(Raiz::mail_in()));
}

TEST_F(Error, Error6DuranteLaLecturaNoSeEnvia) {
    // A second reading of the configuration in the same run: error 6 from the
    // language file is met while the reading is under way.
    datos_leidos();
    talmir::leyendo_cfg = 1;
    talmir::cfg.num_sysop = 0;
    talmir::error(6, 31, r_buf);
    EXPECT_EQ(talmir::valor_salida, 0);
    EXPECT_TRUE(marca(6));
    EXPECT_FALSE(raiz.existe(Raiz::mail_in()));
    // The sysop list is completed as for every report; the reader's own
    // sysop line, when it comes, replaces it.
    EXPECT_EQ(talmir::cfg.num_sysop, 1);
}

TEST_F(Error, SysopDeRespaldo) {
    datos_leidos(0);
    talmir::error(9, 0, r_buf);
    EXPECT_EQ(talmir::cfg.num_sysop, 1);
    EXPECT_STREQ(talmir::cfg.sysop[0], "N9FBB");
    EXPECT_EQ(importado(), correo("N9FBB", estacion, "*** ERROR 0019: File info.prt not found."));
}

TEST_F(Error, SysopPorDefectoSinDatosDeFbb) {
    talmir::leido_cfg = 1;
    talmir::cfg.num_sysop = 0;
    talmir::error(9, 0, r_buf);  // FBB's data cannot be read here: no mail can go
    EXPECT_EQ(talmir::cfg.num_sysop, 1);
    EXPECT_STREQ(talmir::cfg.sysop[0], "SYSOP");
    EXPECT_TRUE(marca(9));
}

TEST_F(Error, NumerosSinTextoPropio) {
    datos_leidos(1);
    for (std::uint16_t n : {12, 99}) {
        talmir::valor_salida = 2;
        talmir::error(n, 0, r_buf);
        EXPECT_EQ(talmir::valor_salida, 0);
    }
    talmir::error(0, 0, r_buf);
    EXPECT_EQ(importado(), correo("N0SYS", estacion, "*** ERROR 00112: Not identified") +
                               correo("N0SYS", estacion, "*** ERROR 00199: Not identified"));
    EXPECT_FALSE(marca(0));
}

struct Salida {
    std::uint16_t num;
    std::int16_t nuevo;
    int esperado;
};

// The exit codes, with "error.prt" writable and not: the station is served as
// the error calls for in both cases.
void comprueba_salidas(char* r_buf) {
    const Salida casos[] = {
        {1, 0, 0},  {2, 0, 0},  {3, 0, 0},  {5, 0, 0},  {6, 0, 0},  {8, 0, 0},
        {9, 0, 2},  {10, 0, 2}, {11, 0, 2}, {12, 0, 0}, {13, 0, 0}, {14, 0, 2},
        {99, 0, 0}, {4, -1, 2}, {7, -1, 2}, {4, 0, 3},  {7, 1, 3},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(std::to_string(c.num) + " new " + std::to_string(c.nuevo));
        talmir::usuario.nuevo = c.nuevo;
        talmir::cfg.modo_def = 11;  // read-only
        talmir::en_respaldo = 0;
        talmir::valor_salida = 77;
        talmir::error(c.num, 0, r_buf);
        EXPECT_EQ(talmir::valor_salida, c.esperado);
    }
}

TEST_F(Error, CodigosDeSalida) {
    comprueba_salidas(r_buf);
    // A hand-over that leads back to a hand-over ends the connection.
    talmir::usuario.nuevo = 0;
    talmir::en_respaldo = 1;
    talmir::error(7, 3, r_buf);
    EXPECT_EQ(talmir::valor_salida, 2);
}

TEST_F(Error, SinErrorPrtMismaSalidaSinMarcaNiCorreo) {
    datos_leidos();
    raiz.crea_dir(Raiz::trabajo("error.prt"));
    comprueba_salidas(r_buf);
    for (int n : {3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13}) EXPECT_FALSE(marca(n)) << n;
    EXPECT_FALSE(raiz.existe(Raiz::mail_in()));
}

}  // namespace
