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

int es_comentario(const char* buffer);

int lee_cfg(char* r_buf);
int lee_usr(char* r_buf);

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
int transf_prt(const char* puerto_usr_s, std::uint16_t linea, char* r_buf, int tipo);
int transf_modo(const char* modo_s, std::uint16_t linea, char* r_buff, int tipo);

int lee_init(char* r_buf);
int lee_init_srv(char* r_buf);

// Builds the path of "config.prt" or "users.prt": the directory of the TALMIR
// variable or the working directory. False when it does not fit.
bool ruta_config(char* ruta, std::size_t size, const char* nombre);

}  // namespace talmir
