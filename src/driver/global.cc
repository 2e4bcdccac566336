// SPDX-License-Identifier: GPL-2.0-or-later
#include "driver/global.h"

#include <cstring>
#include <string_view>

#include "driver/texto.h"

namespace talmir {

namespace {

constexpr CFGS kCfgInicial = {
    "**", 0, {}, 3, 0, "PASSWORD>", 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1,
};

constexpr INFBBSS kInfbbsInicial = {
    "", "", "", "", "SYSOP", "mail.in", "mail.lck", "system", "system",
};

struct tm hor_tm;

constexpr char kFormatoHora[] = "%X %d-%m-%Y";

}  // namespace

USRS usuario;
CFGS cfg = kCfgInicial;
INFBBSS infbbs = kInfbbsInicial;

char version[6];
char hor[26];
char* const hora = hor;
struct tm* hor_fch = &hor_tm;
std::time_t instante;
char cabprt[47];
std::uint8_t valor_salida;

std::uint8_t leido_cfg;
std::uint8_t leido_init;
std::uint8_t leido_portsys;
char desc_port[10][11];
char lenguaje[30][81];
std::uint8_t ya_bloqueado;
std::uint8_t leyendo_cfg;
std::uint8_t en_respaldo;

void fecha_hora(std::time_t t, char* buf, std::size_t size) {
    struct tm tm;
    if (size == 0) return;
    if (localtime_r(&t, &tm) == nullptr || std::strftime(buf, size, kFormatoHora, &tm) == 0) {
        buf[0] = '\0';
    }
}

void inicia_globales(std::time_t ahora) {
    instante = ahora;
    // "4.1", the beta sign of code page 437, "2".
    version[0] = '4';
    version[1] = '.';
    version[2] = '1';
    version[3] = static_cast<char>(0xE1);
    version[4] = '2';
    version[5] = '\0';

    if (localtime_r(&ahora, &hor_tm) == nullptr) std::memset(&hor_tm, 0, sizeof hor_tm);
    hor_fch = &hor_tm;
    if (std::strftime(hor, 25, kFormatoHora, hor_fch) == 0) hor[0] = '\0';
    formatea(cabprt, sizeof cabprt, "[TALMIR v%s] - %s", version, hora);
}

void reinicia_globales() {
    std::memset(&usuario, 0, sizeof usuario);
    cfg = kCfgInicial;
    infbbs = kInfbbsInicial;
    valor_salida = 0;
    leido_cfg = 0;
    leido_init = 0;
    leido_portsys = 0;
    std::memset(desc_port, 0, sizeof desc_port);
    std::memset(lenguaje, 0, sizeof lenguaje);
    ya_bloqueado = 0;
    leyendo_cfg = 0;
    en_respaldo = 0;
}

Indicativo::Indicativo() {
    copia(t, sizeof t, std::string_view(usuario.id, strnlen(usuario.id, sizeof usuario.id)));
}

}  // namespace talmir
