// SPDX-License-Identifier: GPL-2.0-or-later
// What every fuzzing harness shares: a scratch root entered for each input,
// the splitting of an input into parameters and file contents, and the
// invariants that must hold after any reading or run, whatever the input.
//
// A harness that finds an invariant broken prints what and aborts: libFuzzer
// then keeps the input as a crash.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "driver/disco.h"
#include "driver/global.h"
#include "raiz.h"

namespace fuzz {

[[noreturn]] void falla(const char* que, const char* donde);

#define FUZZ_TEXTO2(x) #x
#define FUZZ_TEXTO(x) FUZZ_TEXTO2(x)
// Checks an invariant: a failure aborts the input with the condition's text.
#define VERIFICA(c) ((c) ? (void)0 : ::fuzz::falla(#c, __FILE__ ":" FUZZ_TEXTO(__LINE__)))

// The scratch root standing for "/" (tests/raiz.h, shared with the tests):
// the harnesses are built with "." in front of every fixed path, so the
// program finds its working directory in var/ax25/fbb/talmir under the root
// while the root is the current directory. One per process, made at the
// first use (in memory where there is /dev/shm) and removed at exit.
class Raiz : public prueba::RaizTemporal {
   public:
    static Raiz& una();
    // Empties the root, lays the working directory, FBB's mail and system
    // directories, and makes the root the current directory.
    void entra();
    // Back to the current directory of before (libFuzzer's corpus paths may
    // be relative).
    void sale();

   private:
    Raiz();
    int anterior_ = -1;
};

// A file of the working directory, relative to the root.
std::string trabajo(const std::string& nombre);

// An input split at its first line end: the line of parameters and the rest.
struct Entrada {
    std::string parametros;
    std::string_view resto;
    Entrada(const std::uint8_t* datos, std::size_t n);
    // The i-th blank-separated word of the parameters, or the default.
    std::string palabra(std::size_t i, const std::string& defecto) const;
    // The i-th word as a number (a_numero), or the default.
    long numero(std::size_t i, long defecto) const;
};

// The words of a text split at one separator, empty words kept.
std::vector<std::string> parte(std::string_view texto, char separador);

// Globals at their start-of-run values, the built-in texts, a fixed clock
// (a day and time that never change between two readings).
void globales_iniciales();

// A callsign the program can hold: letters and digits, 1 to 6 of them
// (anything else in the word is dropped; an empty result gives N0CALL).
std::string indicativo(const std::string& palabra);

// Runs the program's entry (argv[0] included in args) with standard output
// caught: returns the exit code, *salida gets what was printed.
int ejecuta(std::vector<std::string>& args, std::string* salida);

// The invariants.
// Every fixed text field of the run-wide records ends within its size.
void verifica_campos();
// The response holds at most 1023 characters.
void verifica_respuesta(const char* r_buf);
// An exit code FBB acts on: 0, 1, 2, 3, 4 or 11.
void verifica_codigo(int codigo);

// Equality of the records, field by field (texts up to their terminator).
bool cfg_igual(const talmir::CFGS& a, const talmir::CFGS& b);
bool infbbs_igual(const talmir::INFBBSS& a, const talmir::INFBBSS& b);
bool usuario_igual(const talmir::USRS& a, const talmir::USRS& b);
bool lenguaje_igual(const char (&a)[30][81], const char (&b)[30][81]);

// A file of the examples directory of the sources, read once.
const std::string& ejemplo(const std::string& nombre);

// FBB's minimal host configuration: fbb.conf with the callsign, locator and
// city FBB's reader requires, its other paths left at their defaults.
void fbb_minimo(const Raiz& raiz);
// FBB's port descriptions of the examples: TNC 1 VHF, 2 UHF, 3 HF, 4 LINK.
void port_sys_ejemplo(const Raiz& raiz);

}  // namespace fuzz
