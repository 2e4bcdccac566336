// SPDX-License-Identifier: GPL-2.0-or-later
// The parts of talmir-sim, the FBB dialogue simulator, that need no process: how FBB's
// shell turns a typed line into arguments, how a station that knows its
// password answers the challenge that talmir printed, and how the station's
// typed lines are read.
#pragma once

#include <cstddef>
#include <cstdio>

namespace talmir::sim {

// FBB cuts a typed line at 80 characters (and at its first ";") before the
// shell splits it, so no line has more than 40 words of at most 80 characters.
inline constexpr std::size_t LINEA_MAX = 80;
inline constexpr int PALABRAS_MAX = 40;

struct Palabras {
    int n = 0;
    char p[PALABRAS_MAX][LINEA_MAX + 1] = {};
};

// Splits a typed line as FBB's "/bin/sh" does with the line FBB puts after
// the filter's six arguments: the line is cut at 80 characters and at the
// first ";", blanks (spaces and tabs) separate words and collapse, single
// quotes keep everything literally, double quotes keep blanks (a backslash
// inside them escapes only $ ` " and \), and outside quotes a backslash keeps
// the next character. An empty line gives no word. Returns the number of
// words, or -1 when a quote is left open: the shell then fails and FBB
// disconnects the station before the filter runs. Globbing and "$" expansion
// are not reproduced.
int trocea_linea(const char* linea, Palabras* out);

// The challenges a station can meet, by the shape of talmir's last line.
enum Reto {
    RETO_NINGUNO = 0,   // nothing this station can answer
    RETO_FIJO = 4,      // "\nPROMPT " without a newline: the whole pass phrase
    RETO_NORMAL = 5,    // "PROMPT p1 p2 p3 p4 p5" (also TABLE, "PROMPT_D> ...")
    RETO_MD = 6,        // "PROMPT p1 p2 p3 p4 p5 [dddddddddd]"
    RETO_FLEXNET = 9,   // "PROMPT ddddd"
    RETO_FORWARD = 10,  // "![dddddddddd]"
};

// A digest of a text as 32 lowercase hexadecimal digits and a terminator.
using Resumen = void (*)(const unsigned char* datos, std::size_t n, char hex[33]);

// MD5 and MD2 from the program's own digest code.
void resumen_md5(const unsigned char* datos, std::size_t n, char hex[33]);
void resumen_md2(const unsigned char* datos, std::size_t n, char hex[33]);

// Reads the challenge at the end of talmir's output (n bytes; the first call's
// identification line and any texts may come before it) and writes into resp
// (tam bytes of room) what a station knowing its password types. The digest
// challenges (MD and the forward line) are answered with md, MD5 or MD2;
// without md an MD challenge gets the five characters, as a person types
// them, and a forward line, which has no plain answer, gets nothing.
// Returns the kind of challenge; RETO_NINGUNO leaves resp empty.
Reto responde(const char* salida, std::size_t n, const char* password, Resumen md, char* resp,
              std::size_t tam);

// One line the station types, read from f with the program's line reader
// (at most tam-1 characters, the rest of a longer line dropped), without its
// line end: every CR before it goes too. False at the end.
bool lee_linea_estacion(std::FILE* f, char* buf, std::size_t tam);

}  // namespace talmir::sim
