// SPDX-License-Identifier: GPL-2.0-or-later
// The run-wide records and values. Everything here is plain data with static
// storage: nothing runs before main, and every run starts from these values.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>

namespace talmir {

// Size of the response buffer owned by the entry routine: 1023 characters and
// the terminator. Every handler appends to it through rbuf_add/rbuf_addf.
inline constexpr std::size_t RBUF_SIZE = 1024;

// Exit codes that FBB acts on.
inline constexpr std::uint8_t SALIDA_ENTRA = 0;       // let in
inline constexpr std::uint8_t SALIDA_OTRA = 1;        // run again with the next line
inline constexpr std::uint8_t SALIDA_DESCONECTA = 2;  // send the text and disconnect
inline constexpr std::uint8_t SALIDA_SOLOLEER = 3;    // read-only
inline constexpr std::uint8_t SALIDA_RETENIDOS = 4;   // messages held
inline constexpr std::uint8_t SALIDA_GUEST = 11;      // guest

// Access modes, by their number in "users.prt" and "config.prt" (keywords
// in config.h: ident_modo, ident_modo2). Any other number is OPEN.
inline constexpr std::int8_t MODO_ABIERTO = 1;     // OPEN
inline constexpr std::int8_t MODO_CERRADO = 2;     // CLOSED: the information text
inline constexpr std::int8_t MODO_EXCLUIDO = 3;    // EXCLUDED
inline constexpr std::int8_t MODO_FRASE = 4;       // FIXED: the whole pass phrase
inline constexpr std::int8_t MODO_NORMAL = 5;      // five characters of the password
inline constexpr std::int8_t MODO_MD = 6;          // MD2/MD5 challenge-response
inline constexpr std::int8_t MODO_TABLA = 7;       // TABLE: the day's password
inline constexpr std::int8_t MODO_BBS = 8;         // BBSs only
inline constexpr std::int8_t MODO_FLEXNET = 9;     // a sum of five digits
inline constexpr std::int8_t MODO_FORWARD = 10;    // partner BBS, MD2
inline constexpr std::int8_t MODO_SOLOLEER = 11;   // READONLY
inline constexpr std::int8_t MODO_RETENIDOS = 12;  // HOLD
inline constexpr std::int8_t MODO_FORWARD5 = 13;   // partner BBS, MD5
inline constexpr std::int8_t MODO_GUEST = 14;      // GUEST
inline constexpr int NUM_MODOS = 14;

// FBB's user flag bits that the program tests.
inline constexpr std::uint16_t FLAG_EXCLUIDO_INTRO = 4;  // "X" of txtintro
inline constexpr std::uint16_t FLAG_SYSOP = 8;
inline constexpr std::uint16_t FLAG_BBS = 16;
inline constexpr std::uint16_t FLAG_GUEST = 64;

// Station record: filled from FBB's arguments by almacena_arg.
struct USRS {
    char id[7];             // callsign without SSID
    std::uint8_t ssid;      // SSID as a number
    std::uint8_t llamada;   // call counter
    std::uint16_t mascara;  // FBB's user flags
    std::int16_t nuevo;     // 1 new user, -1 forward run
    std::int32_t registro;  // FBB's record number (stored only)
    std::int8_t puerto;     // FBB port, 0 = console
    char respuesta[81];     // typed line
    std::int8_t modo;       // access mode from users.prt
    char password[301];     // password from users.prt or a table
};

// Configuration record: "config.prt".
struct CFGS {
    char lng_file[101];
    std::uint8_t num_sysop;
    char sysop[5][7];
    std::uint8_t num_int;
    std::uint16_t sec_ops;
    char prompt[81];
    std::uint8_t txt_lang;
    std::uint8_t txt_cnx;
    std::uint8_t txt_dcnx;
    std::uint8_t txt_guest;
    std::uint8_t txt_intro;
    std::uint16_t txtintro_ops;
    std::uint8_t txt_nusr;
    std::uint16_t newusr_ops;
    std::uint8_t msj_nusr;
    std::uint8_t log_cnx;
    std::uint16_t logcnx_ops;
    std::uint8_t log_dcnx;
    std::uint8_t log_nopas;
    std::int8_t modo_def;
};

// FBB host record: fbb.conf or init.srv.
struct INFBBSS {
    char id[7];
    char locator[7];
    char qth[41];
    char nsysop[41];
    char sysop[7];
    char fch_correo[101];
    char fch_bloq_correo[81];
    char ruta_system[101];
    char ruta_datadir[101];
};

// Security option bits of cfg.sec_ops.
inline constexpr std::uint16_t SEC_CONSOLA = 0x01;
inline constexpr std::uint16_t SEC_FALLO_SOLOLEER = 0x02;
inline constexpr std::uint16_t SEC_FALLO_RETENIDOS = 0x04;
inline constexpr std::uint16_t SEC_MD_SOLOLEER = 0x08;
inline constexpr std::uint16_t SEC_MD_RETENIDOS = 0x10;
inline constexpr std::uint16_t SEC_MD_DENEGADO = 0x20;
inline constexpr std::uint16_t SEC_MD_SOLO = 0x40;

extern USRS usuario;

// The station's callsign as a terminated text, whatever the record holds.
struct Indicativo {
    char t[sizeof usuario.id + 1];
    Indicativo();
};
extern CFGS cfg;
extern INFBBSS infbbs;

extern char version[6];
extern char hor[26];
extern char* const hora;
extern struct tm* hor_fch;
// The run's one reading of the clock, from which hor and hor_fch are made.
extern std::time_t instante;
extern char cabprt[47];
extern std::uint8_t valor_salida;

extern std::uint8_t leido_cfg;
extern std::uint8_t leido_init;
extern std::uint8_t leido_portsys;
extern char desc_port[10][11];
extern char lenguaje[30][81];
extern std::uint8_t ya_bloqueado;

// Set while lee_cfg is reading "config.prt", so that the error routine never
// starts a nested reading (a faulty language file is met during the reading).
extern std::uint8_t leyendo_cfg;
// Set while a station has been handed to the default mode after a fault, so
// that a default mode leading back to a fall-back ends instead of looping.
extern std::uint8_t en_respaldo;

// A moment as the program writes it: "hh:mm:ss dd-mm-yyyy" in local time
// (empty when it cannot be told).
void fecha_hora(std::time_t t, char* buf, std::size_t size);
// Composes instante, version, hor, hor_fch and cabprt from one reading of
// the clock.
void inicia_globales(std::time_t ahora);
// Puts every global back to its start-of-run value (used by the tests, which
// run many "runs" in one process).
void reinicia_globales();

}  // namespace talmir
