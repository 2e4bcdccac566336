// SPDX-License-Identifier: GPL-2.0-or-later
// "config.prt", "users.prt", port and mode words, FBB's host configuration.
#pragma once

#include <cstddef>
#include <cstdint>

namespace talmir {

// Line kinds of the fixed part of "config.prt", in file order; every line
// after them is a port line.
enum class tipo_linea : std::uint8_t {
    lenguaje = 0,
    sysops = 1,
    intentos = 2,
    prompt = 3,
    txtlang = 4,
    txtusr = 5,
    txtexcl = 6,
    txtguest = 7,
    txtintro = 8,
    txtnewusr = 9,
    msgnewusr = 10,
    logtotal = 11,
    logexc = 12,
    logfall = 13,
    puerto = 14,
};

extern const char* const ident_modo[14];
extern const char* const ident_modo2[14];

// Line buffers, line end and terminator included: "config.prt" and FBB's text
// files hold at most 98 characters a line, "users.prt" 298. The rest of a
// longer line is dropped, never read as a line of its own.
inline constexpr std::size_t LINEA_CFG = 99;
inline constexpr std::size_t LINEA_USR = 299;

// An option word of "config.prt" counts with its first 10 letters.
inline constexpr std::size_t OPCION_MAX = 10;
// A header's first word in "users.prt" holds at most 9 characters: a longer
// one matches no station.
inline constexpr std::size_t CABECERA_MAX = 9;

// A letter of an option word and the value it adds to the line's mask.
struct Opcion {
    char letra;
    std::uint16_t valor;
};
inline constexpr Opcion OPCIONES_INTENTOS1[] = {{'C', 1}, {'R', 2}, {'H', 4}};
// The attempts line's second word: its "C" sets the console bit (1) when the
// first word left it clear, then these add their values.
inline constexpr char LETRA_CONSOLA = 'C';
inline constexpr Opcion OPCIONES_INTENTOS2[] = {{'R', 8}, {'H', 16}, {'D', 32}, {'N', 64}};
inline constexpr Opcion OPCIONES_INTRO[] = {{'X', 1}, {'S', 2}, {'N', 4}};
inline constexpr Opcion OPCIONES_NUEVO[] = {{'T', 1}, {'M', 2}};
inline constexpr Opcion OPCIONES_LOG[] = {{'C', 1}, {'D', 2}, {'W', 4}, {'M', 8}};

// Result of linea_cfg: faulty data, not yet reported (lee_cfg reports error 5).
inline constexpr int DATOS_MAL = -2;
// Port value of "TODOS" and "ALL" in the user table.
inline constexpr int TODOS_PUERTOS = -5;

// What the readers of "config.prt" and "users.prt" meet, told to a listener
// when one is set: the configuration checker explains each fault with it and
// follows a station's road. The filter sets none, and nothing changes then.
enum class hallazgo : std::uint8_t {
    pocas_palabras,      // a port line without both a port and a mode
    palabra_larga,       // a port or mode word of more than 20 characters
    modo_no_defecto,     // a port line's mode that cannot be a default
    sin_fbb,             // a port name, and FBB's configuration unreadable
    sin_portsys,         // a port name, and no port description file
    puerto_desconocido,  // a port name not among FBB's port descriptions
    modo_desconocido,    // a mode keyword in neither table
    sin_password,        // a line whose mode needs a password has none
    flexnet_cinco,       // a FLEXNET password not of five characters
    puerto_elegido,      // "config.prt": the line of the station's port
    cabecera,            // "users.prt": the header of the station's block
    linea_elegida,       // "users.prt": the block's line for the station's port
};
// The word is the one concerned (upper-cased), or null.
using Oyente = void (*)(hallazgo que, std::uint16_t linea, const char* palabra);
extern Oyente oyente_config;
// When set, the directory of "config.prt" and "users.prt", taken as written,
// in place of the TALMIR variable and the working directory.
extern const char* dir_config;

// A port line of "users.prt" as read.
struct LINEAUSRS {
    int puerto;         // port number, TODOS_PUERTOS for "TODOS" and "ALL"
    bool todos;         // the line serves every port ("TODOS", "ALL", "*")
    int modo;           // mode number, without range test
    const char* resto;  // the line after the mode word: the password
};

int es_comentario(const char* buffer);

int lee_cfg(char* r_buf);
// One non-comment line of "config.prt" of the given kind, handled exactly as
// lee_cfg handles it: 1 the port line of the station's port, 0 done, -1 a
// fault already reported, DATOS_MAL faulty data. A port line puts its mode in
// cfg.modo_def and, when translated, its port in *puerto.
int linea_cfg(tipo_linea tipo, const char* linea, std::uint16_t num, char* r_buf,
              int* puerto = nullptr);
int lee_usr(char* r_buf);
// A line of a block of "users.prt", as lee_usr reads it: 0 an end line, 1 a
// port line read into *l, -1 a fault already reported (error 7).
int linea_usr(const char* linea, std::uint16_t num, char* r_buf, LINEAUSRS* l);
// Modes that need a password in the user table.
bool necesita_password(int modo);
// The password of a line whose mode needs one, into usuario.password: 1 taken,
// 0 none needed, -1 missing or (FLEXNET) not five characters, error 7 reported.
int password_usr(const LINEAUSRS& l, std::uint16_t num, char* r_buf);

class LectorLineas;

// Where the station's block of "users.prt" begins: the line number of its
// header (0 when there is none) and the offset of the line after it.
struct Cabecera {
    std::uint32_t linea = 0;
    std::uint64_t siguiente = 0;
};

// Reads "users.prt" once from its start and gives the header that three
// passes would give: the first line whose first word matches CALL-SSID
// (ind_ssid; the reading stops there), else the first one that matches the
// bare callsign (ind), else, for a station on the console (consola), the
// first header whose first word begins with "CONSOL". First words of more
// than 9 characters match nothing.
Cabecera busca_cabecera(LectorLineas& lector, const char* ind_ssid, const char* ind, bool consola);
int compara_indicativos(const char* ind1, const char* ind2);
// A port name (upper-cased) among FBB's port descriptions: its number, 0 for
// one that begins with "CONSOL", or why it has none. Nothing is reported.
inline constexpr int PUERTO_SIN_FBB = -1;      // FBB's configuration unreadable
inline constexpr int PUERTO_SIN_PORTSYS = -2;  // no port description file
inline constexpr int PUERTO_DESCONOCIDO = -3;  // not among the descriptions
int busca_puerto(const char* nombre, char* r_buf);
int transf_prt(const char* puerto_usr_s, std::uint16_t linea, char* r_buf, int tipo);
int transf_modo(const char* modo_s, std::uint16_t linea, char* r_buff, int tipo);

int lee_init(char* r_buf);
int lee_init_srv(char* r_buf);

// Builds the path of "config.prt" or "users.prt": the directory of the TALMIR
// variable or the working directory. False when it does not fit.
bool ruta_config(char* ruta, std::size_t size, const char* nombre);

}  // namespace talmir
