// SPDX-License-Identifier: GPL-2.0-or-later
// How the station answers: the shell's split of a typed line, the answer to
// each challenge, and the typed lines themselves.
#include "sim/respuesta.h"

#include <algorithm>
#include <cstring>

#include "auth/md5c.h"
#include "driver/lineas.h"

namespace talmir::sim {

namespace {

bool es_digito(char c) {
    return c >= '0' && c <= '9';
}

// The blank-separated words of [ini, fin) from the end: up to max of them,
// last word first.
struct Trozos {
    int n = 0;
    const char* ini[7];
    std::size_t lon[7];
};

void ultimas_palabras(const char* ini, const char* fin, int max, Trozos* t) {
    t->n = 0;
    const char* p = fin;
    while (t->n < max) {
        while (p > ini && (p[-1] == ' ' || p[-1] == '\t' || p[-1] == '\r')) --p;
        if (p == ini) return;
        const char* e = p;
        while (p > ini && p[-1] != ' ' && p[-1] != '\t') --p;
        t->ini[t->n] = p;
        t->lon[t->n] = static_cast<std::size_t>(e - p);
        ++t->n;
    }
}

// A position as NORMAL prints it: 1 to 3 digits, 1 to 300.
int posicion(const char* s, std::size_t n) {
    if (n == 0 || n > 3) return 0;
    int v = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (!es_digito(s[i])) return 0;
        v = v * 10 + (s[i] - '0');
    }
    return v;
}

// "[dddddddddd]": the ten digits, or nullptr.
const char* codigo_md(const char* s, std::size_t n) {
    if (n != 12 || s[0] != '[' || s[11] != ']') return nullptr;
    for (int i = 1; i <= 10; ++i)
        if (!es_digito(s[i])) return nullptr;
    return s + 1;
}

// The digest of the ten characters followed by the password.
bool resumen_de(const char* diez, const char* password, Resumen md, char* resp, std::size_t tam) {
    unsigned char texto[10 + 301];
    std::size_t lp = std::strlen(password);
    if (lp > 300 || tam < 33 || md == nullptr) return false;
    std::memcpy(texto, diez, 10);
    std::copy(password, password + lp, texto + 10);  // the bytes, no terminator
    char hex[33];
    md(texto, 10 + lp, hex);
    hex[32] = '\0';
    std::memcpy(resp, hex, std::strlen(hex) + 1);
    return true;
}

// The characters at five positions counted from 1 (a position beyond the
// password gives "?": the password is not the one talmir holds).
bool caracteres(const Trozos& t, int primera, const char* password, char* resp, std::size_t tam) {
    if (tam < 6) return false;
    std::size_t lp = std::strlen(password);
    for (int k = 0; k < 5; ++k) {
        // t holds the words last first: the first position is the furthest.
        int idx = primera + 4 - k;
        int pos = posicion(t.ini[idx], t.lon[idx]);
        resp[k] = (pos >= 1 && static_cast<std::size_t>(pos) <= lp) ? password[pos - 1] : '?';
    }
    resp[5] = '\0';
    return true;
}

}  // namespace

int trocea_linea(const char* linea, Palabras* out) {
    char corte[LINEA_MAX + 1];
    std::size_t n = 0;
    while (n < LINEA_MAX && linea[n] != '\0' && linea[n] != ';') {
        corte[n] = linea[n];
        ++n;
    }
    corte[n] = '\0';
    out->n = 0;
    std::size_t i = 0;
    while (true) {
        while (corte[i] == ' ' || corte[i] == '\t') ++i;
        if (corte[i] == '\0') return out->n;
        // A word never holds more characters than the cut line, so it fits.
        char* w = out->p[out->n];
        std::size_t k = 0;
        while (corte[i] != '\0' && corte[i] != ' ' && corte[i] != '\t') {
            char c = corte[i];
            if (c == '\'') {
                ++i;
                while (corte[i] != '\0' && corte[i] != '\'') w[k++] = corte[i++];
                if (corte[i] == '\0') return -1;
                ++i;
            } else if (c == '"') {
                ++i;
                while (corte[i] != '\0' && corte[i] != '"') {
                    if (corte[i] == '\\' && corte[i + 1] != '\0' &&
                        std::strchr("$`\"\\", corte[i + 1]) != nullptr)
                        ++i;
                    w[k++] = corte[i++];
                }
                if (corte[i] == '\0') return -1;
                ++i;
            } else if (c == '\\' && corte[i + 1] != '\0') {
                w[k++] = corte[i + 1];
                i += 2;
            } else {
                w[k++] = c;
                ++i;
            }
        }
        w[k] = '\0';
        ++out->n;
    }
}

void resumen_md5(const unsigned char* datos, std::size_t n, char hex[33]) {
    talmir::md5_hex(datos, n, hex);
}

void resumen_md2(const unsigned char* datos, std::size_t n, char hex[33]) {
    talmir::md2_hex(datos, n, hex);
}

Reto responde(const char* salida, std::size_t n, const char* password, Resumen md, char* resp,
              std::size_t tam) {
    if (tam == 0) return RETO_NINGUNO;
    resp[0] = '\0';
    if (n == 0) return RETO_NINGUNO;
    // FIXED is the one challenge whose line has no newline after it.
    if (salida[n - 1] != '\n') {
        std::size_t lp = std::strlen(password);
        if (lp + 1 > tam) return RETO_NINGUNO;
        std::memcpy(resp, password, lp + 1);
        return RETO_FIJO;
    }
    const char* fin = salida + n - 1;  // the last line's newline
    const char* ini = fin;
    while (ini > salida && ini[-1] != '\n') --ini;
    if (ini < fin && ini[0] == '!') {
        // Forward: "![dddddddddd]"; the code is what lies between the brackets.
        const char* a = static_cast<const char*>(std::memchr(ini, '[', fin - ini));
        if (a == nullptr) return RETO_NINGUNO;
        const char* c = static_cast<const char*>(std::memchr(a, ']', fin - a));
        if (c == nullptr || c - a - 1 != 10) return RETO_NINGUNO;
        return resumen_de(a + 1, password, md, resp, tam) ? RETO_FORWARD : RETO_NINGUNO;
    }
    Trozos t;
    ultimas_palabras(ini, fin, 7, &t);
    if (t.n == 0) return RETO_NINGUNO;
    // FLEXNET: the last word is five digits (a position never has five).
    if (t.lon[0] == 5) {
        bool cinco = true;
        for (int i = 0; i < 5; ++i) cinco = cinco && es_digito(t.ini[0][i]);
        if (cinco) {
            unsigned suma = 0;
            std::size_t lp = std::strlen(password);
            for (int i = 0; i < 5; ++i) {
                char c = i < static_cast<int>(lp) ? password[i] : '\0';
                unsigned v = es_digito(c) ? static_cast<unsigned>(c - '0') : 0;
                suma += static_cast<unsigned>(t.ini[0][i] - '0') * v;
            }
            char num[8];
            int k = 0;
            char rev[8];
            do {
                rev[k++] = static_cast<char>('0' + suma % 10);
                suma /= 10;
            } while (suma > 0);
            for (int i = 0; i < k; ++i) num[i] = rev[k - 1 - i];
            num[k] = '\0';
            if (static_cast<std::size_t>(k) + 1 > tam) return RETO_NINGUNO;
            std::memcpy(resp, num, static_cast<std::size_t>(k) + 1);
            return RETO_FLEXNET;
        }
    }
    auto cinco_posiciones = [&t](int primera) {
        if (t.n < primera + 5) return false;
        for (int i = primera; i < primera + 5; ++i)
            if (posicion(t.ini[i], t.lon[i]) == 0) return false;
        return true;
    };
    // MD: five positions, then the ten digits in brackets.
    const char* diez = codigo_md(t.ini[0], t.lon[0]);
    if (diez != nullptr && cinco_posiciones(1)) {
        bool hecho = md != nullptr ? resumen_de(diez, password, md, resp, tam)
                                   : caracteres(t, 1, password, resp, tam);
        return hecho ? RETO_MD : RETO_NINGUNO;
    }
    // NORMAL and TABLE: five positions.
    if (cinco_posiciones(0))
        return caracteres(t, 0, password, resp, tam) ? RETO_NORMAL : RETO_NINGUNO;
    return RETO_NINGUNO;
}

bool lee_linea_estacion(std::FILE* f, char* buf, std::size_t tam) {
    if (!talmir::lee_linea(f, buf, tam)) return false;
    std::size_t n = std::strlen(buf);
    while (n > 0 && buf[n - 1] == '\r') buf[--n] = '\0';
    return true;
}

}  // namespace talmir::sim
