// SPDX-License-Identifier: GPL-2.0-or-later
// The challenge file and the challenge schemes: FIXED, NORMAL, FLEXNET,
// TABLE and MD.
#include "auth/password.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "auth/md5c.h"
#include "config/config.h"
#include "driver/acceso.h"
#include "driver/azar.h"
#include "driver/disco.h"
#include "driver/global.h"
#include "driver/lineas.h"
#include "driver/respuesta.h"
#include "driver/texto.h"
#include "texts/error.h"
#include "texts/textos.h"

namespace talmir {

namespace {

// Room for the biggest challenge file: a whole pass phrase of 300 characters
// and "\n4 ", or five characters, two digests and the type.
constexpr std::size_t RETO_MAX = 512;
// The TABLE prompt and the MD challenge text are built in 80-byte fields.
constexpr std::size_t CAMPO_PROMPT = 80;

// Bounded views of the fixed fields of the records.
std::string_view campo(const char* c, std::size_t size) {
    return std::string_view(c, strnlen(c, size - 1));
}

std::string_view password() {
    return campo(usuario.password, sizeof usuario.password);
}

// The configured prompt as a terminated text.
const char* prompt(char (&buf)[sizeof cfg.prompt]) {
    copia(buf, sizeof buf, campo(cfg.prompt, sizeof cfg.prompt));
    return buf;
}

// Five independent positions into a password of n characters (n above 0),
// drawn after seeding the generator.
void sortea_posiciones(std::size_t n, std::uint16_t paswd[5]) {
    prt_randomize();
    for (int i = 0; i < 5; i++)
        paswd[i] = static_cast<std::uint16_t>(random_nb(static_cast<std::int32_t>(n)));
}

// Ten random decimal digits and a terminator.
void sortea_digitos(char md_str_rnd[11]) {
    for (int i = 0; i < 10; i++) md_str_rnd[i] = static_cast<char>('0' + random_nb(10));
    md_str_rnd[10] = '\0';
}

// A fresh challenge on a later run reads the station's password again.
bool relee_usuario(char* r_buf) {
    if (usuario.llamada == 0) return true;
    return lee_usr(r_buf) != -1;
}

// A password of which nothing can be drawn cannot be challenged: the station
// is refused.
bool hay_password(std::size_t n) {
    if (n > 0) return true;
    rechaza();
    return false;
}

// The challenge has been written and shown: wait for the answer.
void reto_hecho() {
    borra_marca_error(ERR_RETO);
    valor_salida = SALIDA_OTRA;
}

}  // namespace

// Refuses the station instead of challenging it. A refusal is a final
// outcome: no challenge of an earlier run stays (one that cannot be removed
// is overwritten by the next first call).
void rechaza() {
    char ruta[RUTA_MAX];
    if (usuario.llamada != 0 && ruta_reto(ruta, sizeof ruta)) borra(ruta);
    valor_salida = SALIDA_DESCONECTA;
}

// Writes the challenge file; on failure reports error 10 (exit code 2). A
// challenge drawn without the random source is never issued: the station is
// refused.
bool guarda_reto(const char* contenido, std::size_t n, char* r_buf) {
    if (azar_fallido()) {
        rechaza();
        return false;
    }
    if (escribe_reto(contenido, n)) return true;
    error(ERR_RETO, 0, r_buf);
    return false;
}

bool linea_tabla(const char* linea, long* dia, char* palabra, std::size_t size,
                 std::size_t* largo) {
    const char* p = linea;
    while (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\v' || *p == '\f') ++p;
    bool negativo = false;
    if (*p == '+' || *p == '-') {
        negativo = *p == '-';
        ++p;
    }
    if (!es_digito(*p)) return false;
    long v = 0;
    while (es_digito(*p)) {
        if (v < 100000) v = v * 10 + (*p - '0');
        ++p;
    }
    *dia = negativo ? -v : v;
    *largo = lee_palabra(&p, palabra, size);
    return true;
}

bool busca_dia(std::FILE* f, int hoy) {
    char linea[300];
    char palabra[sizeof linea];
    while (lee_linea(f, linea, sizeof linea)) {
        if (es_comentario(linea)) continue;
        long dia = 0;
        std::size_t largo = 0;
        if (!linea_tabla(linea, &dia, palabra, sizeof palabra, &largo)) continue;
        // A line of today without a password word is passed over.
        if (dia != hoy || largo == 0) continue;
        copia(usuario.password, sizeof usuario.password, palabra);
        return true;
    }
    return false;
}

namespace {

// "PASSWORD>" becomes "PASSWORD_6>" on the 6th: the prompt up to its first
// ">", then "_", the day and ">", cut to the 80-byte field.
void prompt_del_dia(int hoy, char prompt_tabla[CAMPO_PROMPT]) {
    std::string_view p = campo(cfg.prompt, sizeof cfg.prompt);
    std::size_t fin = p.find('>');
    if (fin != std::string_view::npos) p = p.substr(0, fin);
    // The day and ">" always show: a long prompt gives way to them.
    char dia[8];
    formatea(dia, sizeof dia, "_%d>", hoy);
    std::size_t cabe = CAMPO_PROMPT - 1 - std::strlen(dia);
    if (p.size() > cabe) p = p.substr(0, cabe);
    formatea(prompt_tabla, CAMPO_PROMPT, "%.*s%s", static_cast<int>(p.size()), p.data(), dia);
}

}  // namespace

bool ruta_reto(char* ruta, std::size_t size) {
    std::string_view id = campo(usuario.id, sizeof usuario.id);
    return ruta_trabajof(ruta, size, "%.*s%d.tmp", static_cast<int>(id.size()), id.data(),
                         usuario.ssid);
}

bool escribe_reto(const char* contenido, std::size_t n) {
    char ruta[RUTA_MAX];
    // Mode 0600, in one step: the file may hold a pass phrase in clear.
    return ruta_reto(ruta, sizeof ruta) && reemplaza(ruta, std::string_view(contenido, n));
}

void password_frase(char* r_buf) {
    char reto[RETO_MAX];
    char pr[sizeof cfg.prompt];
    std::string_view pw = password();
    if (!formatea(reto, sizeof reto, "%.*s\n%d ", static_cast<int>(pw.size()), pw.data(),
                  TIPO_FRASE))
        return;  // cannot happen: the room holds the longest pass phrase
    if (!guarda_reto(reto, std::strlen(reto), r_buf)) return;
    rbuf_addf(r_buf, "\n%s ", prompt(pr));
    reto_hecho();
}

void password_normal(char* r_buf) {
    if (!relee_usuario(r_buf)) return;
    std::string_view pw = password();
    if (!hay_password(pw.size())) return;

    std::uint16_t paswd[5];
    sortea_posiciones(pw.size(), paswd);

    char reto[RETO_MAX];
    formatea(reto, sizeof reto, "%c%c%c%c%c\n", pw[paswd[0]], pw[paswd[1]], pw[paswd[2]],
             pw[paswd[3]], pw[paswd[4]]);
    if (!guarda_reto(reto, std::strlen(reto), r_buf)) return;

    char pr[sizeof cfg.prompt];
    rbuf_addf(r_buf, "\n%s %d %d %d %d %d\n", prompt(pr), paswd[0] + 1, paswd[1] + 1, paswd[2] + 1,
              paswd[3] + 1, paswd[4] + 1);
    reto_hecho();
}

void password_flexnet(char* r_buf) {
    if (!relee_usuario(r_buf)) return;
    std::string_view pw = password();

    std::uint8_t paswd_gen[5];
    std::uint8_t paswd_usr[5];
    prt_randomize();
    for (int i = 0; i < 5; i++) paswd_gen[i] = static_cast<std::uint8_t>(random_nb(10));
    std::uint16_t resultado = 0;
    for (std::size_t i = 0; i < 5; i++) {
        // A place past the end of a short password, or not a digit, is 0.
        char c = i < pw.size() ? pw[i] : '\0';
        paswd_usr[i] = static_cast<std::uint8_t>(es_digito(c) ? c - '0' : 0);
        resultado = static_cast<std::uint16_t>(resultado + paswd_gen[i] * paswd_usr[i]);
    }

    char reto[RETO_MAX];
    formatea(reto, sizeof reto, "%d\n%d ", resultado, TIPO_FLEXNET);
    if (!guarda_reto(reto, std::strlen(reto), r_buf)) return;

    char pr[sizeof cfg.prompt];
    rbuf_addf(r_buf, "\n%s %d%d%d%d%d\n", prompt(pr), paswd_gen[0], paswd_gen[1], paswd_gen[2],
              paswd_gen[3], paswd_gen[4]);
    reto_hecho();
}

void password_tabla(char* r_buf) {
    int hoy = hor_fch != nullptr ? hor_fch->tm_mday : 0;
    char prompt_tabla[CAMPO_PROMPT];
    prompt_del_dia(hoy, prompt_tabla);

    char ruta[RUTA_MAX];
    Archivo f = busca_por_indicativo("TBL", ruta);
    if (!f) {
        error(ERR_TABLA, 0, r_buf);
        return;
    }
    bool hallado = busca_dia(f.get(), hoy);
    f.cierra();
    if (!hallado) {
        decision_respaldo(r_buf);
        return;
    }

    std::string_view pw = password();
    std::uint16_t paswd[5];
    sortea_posiciones(pw.size(), paswd);

    char reto[RETO_MAX];
    formatea(reto, sizeof reto, "%c%c%c%c%c\n%d", pw[paswd[0]], pw[paswd[1]], pw[paswd[2]],
             pw[paswd[3]], pw[paswd[4]], TIPO_TABLA);
    if (!guarda_reto(reto, std::strlen(reto), r_buf)) return;

    rbuf_addf(r_buf, "\n%s %d %d %d %d %d\n", prompt_tabla, paswd[0] + 1, paswd[1] + 1,
              paswd[2] + 1, paswd[3] + 1, paswd[4] + 1);
    borra_marca_error(ERR_TABLA);
    reto_hecho();
}

void password_md(char* r_buf) {
    char md_str_rnd[11] = {};
    if (!relee_usuario(r_buf)) return;
    std::string_view pw = password();
    if (!hay_password(pw.size())) return;

    std::uint16_t paswd[5];
    sortea_posiciones(pw.size(), paswd);
    sortea_digitos(md_str_rnd);

    // The hashed text: the ten digits followed by the password.
    unsigned char texto[10 + sizeof usuario.password];
    std::memcpy(texto, md_str_rnd, 10);
    std::memcpy(texto + 10, pw.data(), pw.size());
    char tmp_md2[33];
    char tmp_md5[33];
    md2_hex(texto, 10 + pw.size(), tmp_md2);
    md5_hex(texto, 10 + pw.size(), tmp_md5);
    std::memset(texto, 0, sizeof texto);

    char reto[RETO_MAX];
    formatea(reto, sizeof reto, "%c%c%c%c%c %s\n%d \n%s", pw[paswd[0]], pw[paswd[1]], pw[paswd[2]],
             pw[paswd[3]], pw[paswd[4]], tmp_md2, TIPO_MD, tmp_md5);
    if (!guarda_reto(reto, std::strlen(reto), r_buf)) return;

    // The challenge text lives in an 80-byte field. Positions and digits
    // always show: a prompt too long for the field gives way to them.
    char resto[CAMPO_PROMPT];
    formatea(resto, sizeof resto, " %d %d %d %d %d [%s]\n", paswd[0] + 1, paswd[1] + 1,
             paswd[2] + 1, paswd[3] + 1, paswd[4] + 1, md_str_rnd);
    char pr[sizeof cfg.prompt];
    int cabe = static_cast<int>(CAMPO_PROMPT - 2 - std::strlen(resto));
    char texto_reto[CAMPO_PROMPT];
    formatea(texto_reto, sizeof texto_reto, "\n%.*s%s", cabe, prompt(pr), resto);
    rbuf_add(r_buf, texto_reto);
    reto_hecho();
}

}  // namespace talmir
