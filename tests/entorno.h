// SPDX-License-Identifier: GPL-2.0-or-later
// Scratch roots and runs of the program as FBB makes them.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "raiz.h"

namespace prueba {

// The tests' scratch root (raiz.h), in /tmp: a fresh one for each test,
// removed with everything in it at the end.
class Raiz : public RaizTemporal {
   public:
    Raiz() : RaizTemporal("/tmp", "talmir-prueba") {}

    // Writes a file (its directories are made); one that cannot be made
    // fails the test.
    void escribe(const std::string& rel, const std::string& contenido) const;

    // FBB as tests expect it: fbb.conf naming BBS N0BBS, sysop N0SYS, the
    // system and data directories of the root, and the mail import
    // var/ax25/fbb/mail/mail.in (lock mail.lck), all as absolute paths.
    void fbb_basico() const;
    // config.prt with the given text.
    void config(const std::string& texto) const { escribe(trabajo("config.prt"), texto); }
    void usuarios(const std::string& texto) const { escribe(trabajo("users.prt"), texto); }
    // The mail import and its lock, relative to the root, as fbb_basico sets them.
    static std::string mail_in() { return "var/ax25/fbb/mail/mail.in"; }
    static std::string mail_lck() { return "var/ax25/fbb/mail/mail.lck"; }
};

struct Resultado {
    std::string salida;   // standard output, byte for byte
    std::string errores;  // standard error
    int codigo = -1;      // exit code, or -1 when killed by a signal
};

// The command line that starts a program with the arguments. In a cross
// build (TALMIR_EMULADOR, the emulator's command: tests/CMakeLists.txt) a
// program built for the target, such as the tests' own programs or a copy of
// one, gets the emulator in front of it; any other program (/bin/sh), and
// every program of a native build, starts as it is. Every run the tests
// start themselves is made from it. A program that another one starts (the
// talmir that talmir-sim runs, FBB's c_filter link that a shell runs) is
// named by TALMIR_BIN_LANZABLE: the tests' build, or in a cross build a
// script that starts it under the emulator.
std::vector<std::string> orden(const std::string& programa, const std::vector<std::string>& args);

// Runs the program (the tests' build) with the arguments, the root as its
// current directory and standard input /dev/null. Environment: PATH only,
// plus the given NAME=value entries.
Resultado ejecuta(const Raiz& raiz, const std::vector<std::string>& args,
                  const std::vector<std::string>& entorno = {});
// The same with another build of the program.
Resultado ejecuta_programa(const std::string& programa, const Raiz& raiz,
                           const std::vector<std::string>& args,
                           const std::vector<std::string>& entorno = {});
// How a run starts beyond its arguments: more NAME=value entries, a program
// other than the tests' build (empty: the build), and what the child does
// just before it becomes the program (resource limits, another user).
struct Arranque {
    std::vector<std::string> entorno;
    std::string programa;
    std::function<void()> antes;
};
Resultado ejecuta(const Raiz& raiz, const std::vector<std::string>& args, const Arranque& arranque);
// The arguments of a station's line as FBB passes them: CALL-SSID, counter,
// flags, new-user flag, record, port and (after a first call) the typed words.
std::vector<std::string> args_estacion(const std::string& indicativo, int llamada, int mascara,
                                       int nuevo, int puerto, const std::string& respuesta = "");
// A station's line as FBB passes it (args_estacion).
Resultado estacion(const Raiz& raiz, const std::string& indicativo, int llamada, int mascara,
                   int nuevo, int puerto, const std::string& respuesta = "",
                   const std::vector<std::string>& entorno = {});

// The identification line a first call begins with.
std::string id_linea();
// The banner, byte for byte.
extern const char kBanner[];

// How many times the piece stands in the text.
std::size_t cuenta(const std::string& texto, const std::string& trozo);
// MD2 and MD5 of a text as 32 lowercase hexadecimal digits.
std::string hex2(const std::string& texto);
std::string hex5(const std::string& texto);
// a to z in capitals.
std::string mayusculas(std::string s);

// For tests that call the library in this process: a fresh root made the
// current directory, the globals at their start-of-run values, the built-in
// texts loaded and the clock read.
class EnProceso : public ::testing::Test {
   protected:
    void SetUp() override;
    void TearDown() override;
    Raiz raiz;
    char r_buf[1024] = {};

   private:
    std::string anterior_;
};

// A 14-line config.prt: built-in texts, sysops N0SYS N1SYS, the given
// attempts line, the default prompt, the ten switch lines (txtlang to
// logfall; all "NO" unless given), then the port lines.
std::string config_basica(const std::string& puertos, const std::string& intentos = "3",
                          const std::vector<std::string>& interruptores = {});

}  // namespace prueba
