// SPDX-License-Identifier: GPL-2.0-or-later
// "users.prt": the search of the station's header and the reading of its
// block, line by line.
#include <cstring>
#include <string_view>

#include "config/config.h"
#include "config/lectura.h"
#include "driver/disco.h"
#include "driver/global.h"
#include "driver/lineas.h"
#include "driver/texto.h"
#include "texts/error.h"

namespace talmir {

namespace {

// Reads the station's block, the header being the last line read (num).
int lee_bloque(LectorLineas& lector, std::uint32_t num, char* r_buf) {
    std::memset(usuario.password, 0, sizeof usuario.password);
    avisa(hallazgo::cabecera, static_cast<std::uint16_t>(num), nullptr);
    char linea[LINEA_USR];
    while (lector.linea(linea, sizeof linea)) {
        ++num;
        if (es_comentario(linea)) continue;
        const auto nlinea = static_cast<std::uint16_t>(num);
        LINEAUSRS l;
        int r = linea_usr(linea, nlinea, r_buf, &l);
        if (r <= 0) return r;
        usuario.modo = static_cast<std::int8_t>(l.modo);
        if (!l.todos && l.puerto != usuario.puerto) continue;
        if (password_usr(l, nlinea, r_buf) < 0) return -1;
        avisa(hallazgo::linea_elegida, nlinea, nullptr);
        return 1;
    }
    return 0;
}

}  // namespace

int compara_indicativos(const char* ind1, const char* ind2) {
    const char* p = ind1;
    const char* t = ind2;
    for (; *p != '\0' && *t != '\0'; ++p, ++t) {
        if (*p == '*' && p[1] == '\0' && p != ind1) return 0;
        if (*p != '*' && *p != '?' && *p != *t) return 1;
    }
    return (*p == '\0' && *t == '\0') ? 0 : 1;
}

namespace {

// The search of busca_cabecera, line by line.
class Busqueda {
   public:
    // What a line turned out to be.
    static constexpr unsigned DE_SSID = 1;    // the CALL-SSID header
    static constexpr unsigned DE_IND = 2;     // the first header of the bare callsign
    static constexpr unsigned DE_CONSOL = 4;  // the first CONSOL header

    Busqueda(const char* ind_ssid, const char* ind, bool consola) : ind_ssid_(ind_ssid), ind_(ind) {
        // What the first character of a line, read as the first character
        // of its first word, calls for. A pattern that matches a text begins
        // with "*", "?" or the text's first character (patterns are
        // upper-cased): every other line is passed over without taking its
        // first word. A line end there is an empty line's.
        std::memset(clase_, 0, sizeof clase_);
        clase_[0] = clase_[indice('#')] = clase_[indice('\n')] = COMENTARIO;
        for (char c : {' ', '\t', '\v', '\f', '\r'}) clase_[indice(c)] = BLANCO;
        for (char c : {'*', '?', ind_ssid[0], ind[0]}) {
            marca(c, INDICATIVO);
            if (c >= 'A' && c <= 'Z') marca(static_cast<char>(c - 'A' + 'a'), INDICATIVO);
        }
        if (consola) {
            marca('C', CONSOL);
            marca('c', CONSOL);
        }
    }

    // One line, from p to its line end *fin ('\n'); the DE_ marks of what
    // it is, or 0.
    unsigned linea(const char* p, const char* fin) {
        // The analyzer does not see fread fill the reader's buffer.
        // NOLINTNEXTLINE(clang-analyzer-core.CallAndMessage)
        std::uint8_t k = clase_[indice(*p)];
        if (k == 0) {
            // Most lines: a first word that can match nothing.
            es_cabecera_ = *p == '-';
            return 0;
        }
        if (k & COMENTARIO) return 0;
        // The line as a line buffer holds it: 298 characters, up to a NUL.
        if (fin - p > static_cast<std::ptrdiff_t>(LINEA_USR - 1)) fin = p + (LINEA_USR - 1);
        if (k & BLANCO) {
            while (p < fin && es_blanco(*p)) ++p;
            if (p == fin || *p == '\0') {
                es_cabecera_ = false;  // no first word
                return 0;
            }
            k = clase_[indice(*p)];
        }
        const bool cabecera = es_cabecera_;
        es_cabecera_ = *p == '-';
        const bool por_ind = (k & INDICATIVO) != 0;
        const bool por_consol = (k & CONSOL) != 0 && cabecera && !hay_consol_;
        if (!por_ind && !por_consol) return 0;

        // The first word, upper-cased; longer than 9 characters it matches
        // nothing.
        char palabra[CABECERA_MAX + 1];
        std::size_t n = 0;
        for (; p < fin && *p != '\0' && !es_blanco(*p); ++p) {
            if (n == CABECERA_MAX) return 0;
            palabra[n++] = mayuscula(*p);
        }
        palabra[n] = '\0';
        unsigned r = 0;
        if (por_ind) {
            if (compara_indicativos(palabra, ind_ssid_) == 0) return DE_SSID;
            if (!hay_ind_ && compara_indicativos(palabra, ind_) == 0) {
                hay_ind_ = true;
                r |= DE_IND;
            }
        }
        if (por_consol && empieza_por(palabra, "CONSOL")) {
            hay_consol_ = true;
            r |= DE_CONSOL;
        }
        return r;
    }

    // A line that is not followed by a line end in the reader's buffer.
    unsigned linea(std::string_view v) {
        if (v.empty()) return 0;
        return linea(v.data(), v.data() + v.size());
    }

   private:
    static constexpr std::uint8_t COMENTARIO = 1;
    static constexpr std::uint8_t BLANCO = 2;
    static constexpr std::uint8_t INDICATIVO = 4;
    static constexpr std::uint8_t CONSOL = 8;

    static unsigned char indice(char c) { return static_cast<unsigned char>(c); }
    void marca(char c, std::uint8_t k) {
        // A comment's or a blank's mark stays: those lines have no word there.
        if ((clase_[indice(c)] & (COMENTARIO | BLANCO)) == 0) clase_[indice(c)] |= k;
    }

    const char* ind_ssid_;
    const char* ind_;
    bool es_cabecera_ = true;  // the next non-comment line is a header
    bool hay_ind_ = false;
    bool hay_consol_ = false;
    std::uint8_t clase_[256];
};

}  // namespace

Cabecera busca_cabecera(LectorLineas& lector, const char* ind_ssid, const char* ind, bool consola) {
    Busqueda b(ind_ssid, ind, consola);
    Cabecera de_ind;
    Cabecera de_consol;
    std::uint32_t num = 0;
    auto anota = [&](unsigned r, std::uint64_t siguiente) {
        if (r & Busqueda::DE_IND) de_ind = {num, siguiente};
        if (r & Busqueda::DE_CONSOL) de_consol = {num, siguiente};
    };
    for (;;) {
        // The lines that lie whole in the buffer, straight from it.
        const char* p;
        const char* fin;
        lector.pendiente(&p, &fin);
        while (p < fin) {
            const auto* nl = static_cast<const char*>(std::memchr(p, '\n', fin - p));
            if (nl == nullptr) break;
            ++num;
            const unsigned r = b.linea(p, nl);
            p = nl + 1;
            if (r != 0) {
                lector.consume(p);
                if (r == Busqueda::DE_SSID) return {num, lector.posicion()};
                anota(r, lector.posicion());
            }
        }
        lector.consume(p);
        // A line that goes on past the buffer, or the last one without a
        // line end: through the reader, which reads on.
        std::string_view v;
        if (!lector.vista(&v)) break;
        ++num;
        const unsigned r = b.linea(v);
        if (r == Busqueda::DE_SSID) return {num, lector.posicion()};
        anota(r, lector.posicion());
    }
    return de_ind.linea != 0 ? de_ind : de_consol;
}

int lee_usr(char* r_buf) {
    char ruta[RUTA_MAX];
    if (!ruta_config(ruta, sizeof ruta, "users.prt")) return 0;
    Archivo f = Archivo::abre(ruta, "r");
    if (!f) return 0;

    std::string_view id(usuario.id, strnlen(usuario.id, sizeof usuario.id));
    char ind_ssid[16];
    formatea(ind_ssid, sizeof ind_ssid, "%.*s-%d", static_cast<int>(id.size()), id.data(),
             usuario.ssid);
    char ind[sizeof usuario.id];
    copia(ind, sizeof ind, id);

    LectorLineas lector(f.get());
    const Cabecera cabecera = busca_cabecera(lector, ind_ssid, ind, usuario.puerto == 0);
    if (cabecera.linea == 0) {
        f.cierra();
        borra_marca_error(ERR_USR_DATOS);
        return 0;
    }
    if (!lector.salta_a(cabecera.siguiente)) {
        // A file that cannot seek is read again up to the header.
        f = Archivo::abre(ruta, "r");
        if (!f) return 0;
        lector.reinicia(f.get());
        std::string_view v;
        for (std::uint32_t i = 0; i < cabecera.linea && lector.vista(&v);) ++i;
    }

    int resultado = lee_bloque(lector, cabecera.linea, r_buf);
    f.cierra();
    if (resultado >= 0) borra_marca_error(ERR_USR_DATOS);
    return resultado;
}

bool necesita_password(int modo) {
    return modo == MODO_FRASE || modo == MODO_NORMAL || modo == MODO_MD || modo == MODO_FLEXNET ||
           modo == MODO_FORWARD || modo == MODO_FORWARD5;
}

int linea_usr(const char* linea, std::uint16_t num, char* r_buf, LINEAUSRS* l) {
    PalabrasPuerto w;
    const char* p = linea;
    const int leido = lee_puerto_modo(&p, &w, num, true);
    if (leido == 0) return 0;
    if (leido < 0) {
        error(ERR_USR_DATOS, num, r_buf);
        return -1;
    }
    if (w.np <= 2) {
        l->puerto = numero_corto(w.puerto);
        l->todos = w.puerto[0] == '*';
    } else {
        l->puerto = transf_prt(w.puerto, num, r_buf, 1);
        if (l->puerto == -1) return -1;
        l->todos = l->puerto == TODOS_PUERTOS;
    }
    l->modo = numero_modo(w, num, r_buf, 1);
    if (l->modo == -1) return -1;
    l->resto = p;
    return 1;
}

int password_usr(const LINEAUSRS& l, std::uint16_t num, char* r_buf) {
    if (!necesita_password(l.modo)) return 0;
    // The line buffer is smaller than the store: a password always fits.
    char password[LINEA_USR];
    const char* p = l.resto;
    std::size_t n = lee_palabra(&p, password, sizeof password);
    if (n == 0 || (l.modo == MODO_FLEXNET && n != 5)) {
        avisa(n == 0 ? hallazgo::sin_password : hallazgo::flexnet_cinco, num, password);
        error(ERR_USR_DATOS, num, r_buf);
        return -1;
    }
    copia(usuario.password, sizeof usuario.password, password);
    return 1;
}

}  // namespace talmir
