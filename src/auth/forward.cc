// SPDX-License-Identifier: GPL-2.0-or-later
// Challenge-response between partner BBSs: the challenging side and the
// answering side.
#include "auth/forward.h"

#include <cstring>
#include <string_view>

#include "auth/md5c.h"
#include "auth/password.h"
#include "config/config.h"
#include "driver/azar.h"
#include "driver/global.h"
#include "driver/respuesta.h"
#include "driver/texto.h"
#include "texts/error.h"

namespace talmir {

namespace {

// The hashed text: the ten characters of the challenge and the password.
std::size_t texto_hash(const char codigo[10], std::string_view pw,
                       unsigned char (&texto)[10 + 300]) {
    if (pw.size() > 300) pw = pw.substr(0, 300);
    std::memcpy(texto, codigo, 10);
    std::memcpy(texto + 10, pw.data(), pw.size());
    return 10 + pw.size();
}

}  // namespace

void password_forward(char* r_buf) {
    char md_str_rnd[11] = {};
    std::string_view pw(usuario.password, strnlen(usuario.password, sizeof usuario.password - 1));
    // Without a password anyone could compute the digest of the digits alone.
    if (pw.empty()) {
        valor_salida = SALIDA_DESCONECTA;
        return;
    }

    prt_randomize();
    for (int i = 0; i < 10; i++) md_str_rnd[i] = static_cast<char>('0' + random_nb(10));
    md_str_rnd[10] = '\0';

    unsigned char texto[10 + 300];
    std::size_t n = texto_hash(md_str_rnd, pw, texto);
    char tmp_md2[33];
    char tmp_md5[33];
    md2_hex(texto, n, tmp_md2);
    md5_hex(texto, n, tmp_md5);
    std::memset(texto, 0, sizeof texto);

    char reto[128];
    formatea(reto, sizeof reto, "XXXXX %s\n%d\n%s ", tmp_md2, TIPO_FORWARD, tmp_md5);
    if (!guarda_reto(reto, std::strlen(reto), r_buf)) return;
    rbuf_addf(r_buf, "\n![%s]\n", md_str_rnd);
    borra_marca_error(ERR_RETO);
    valor_salida = SALIDA_OTRA;
}

bool respuesta_fwd(const char* linea, const char* password, std::int8_t modo, char hex[33]) {
    if (modo != MODO_FORWARD && modo != MODO_FORWARD5) return false;

    // The code: from after the first "[" up to the next "]" or the end.
    char codigo[81] = {};
    std::string_view l(linea, strnlen(linea, 80));
    std::size_t inicio = l.find('[');
    if (inicio != std::string_view::npos) {
        std::string_view resto = l.substr(inicio + 1);
        copia(codigo, sizeof codigo, resto.substr(0, resto.find(']')));
    }
    if (std::strlen(codigo) != 10) return false;

    unsigned char texto[10 + 300];
    std::size_t n = texto_hash(codigo, std::string_view(password, strnlen(password, 300)), texto);
    if (modo == MODO_FORWARD)
        md2_hex(texto, n, hex);
    else
        md5_hex(texto, n, hex);
    std::memset(texto, 0, sizeof texto);
    return true;
}

void resp_fwd(char* r_buf) {
    valor_salida = SALIDA_DESCONECTA;
    // The readers' error paths may set another exit code: every way out
    // before the answer ends with 2.
    if (lee_cfg(r_buf) == -1) {
        valor_salida = SALIDA_DESCONECTA;
        return;
    }
    int usr = lee_usr(r_buf);
    valor_salida = SALIDA_DESCONECTA;
    if (usr != 1) return;

    char hex[33];
    if (!respuesta_fwd(usuario.respuesta, usuario.password, usuario.modo, hex)) return;
    r_buf[0] = '\0';
    rbuf_add(r_buf, hex);
    rbuf_add(r_buf, "\n");
    valor_salida = SALIDA_ENTRA;
}

}  // namespace talmir
