#include "driver/utils.h"

#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "driver/global.h"

namespace talmir {

namespace {

bool es_blanco(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

char* strupr(char* str) {
    for (char* p = str; *p != '\0'; ++p) {
        if (*p >= 'a' && *p <= 'z') *p = static_cast<char>(*p - 'a' + 'A');
    }
    return str;
}

char* lfile(const char* filename) {
    static char lockname[256];
    std::size_t n = std::strlen(filename);
    if (n > sizeof lockname - 5) {
        lockname[0] = '\0';
        return lockname;
    }
    std::memcpy(lockname, filename, n + 1);
    char* punto = std::strrchr(lockname, '.');
    if (punto != nullptr) n = static_cast<std::size_t>(punto - lockname);
    std::memcpy(lockname + n, ".lck", 5);  // the terminator too: n + 5 fits
    return lockname;
}

std::int32_t random_nb(std::int32_t num) {
    if (num <= 0) return 0;
    return static_cast<std::int32_t>(random() % num);
}

void prt_randomize() {
    srandom(static_cast<unsigned>(std::time(nullptr)));
}

std::int32_t a_numero(const char* texto) {
    const char* p = texto;
    while (es_blanco(*p)) ++p;
    bool negativo = false;
    if (*p == '+' || *p == '-') {
        negativo = *p == '-';
        ++p;
    }
    long long valor = 0;
    while (*p >= '0' && *p <= '9') {
        if (valor <= static_cast<long long>(INT32_MAX) + 1) valor = valor * 10 + (*p - '0');
        ++p;
    }
    if (negativo) valor = -valor;
    if (valor > INT32_MAX) return INT32_MAX;
    if (valor < INT32_MIN) return INT32_MIN;
    return static_cast<std::int32_t>(valor);
}

bool copia(char* dst, std::size_t size, std::string_view src) {
    if (size == 0) return src.empty();
    std::size_t n = src.size() < size ? src.size() : size - 1;
    std::memcpy(dst, src.data(), n);
    dst[n] = '\0';
    return n == src.size();
}

namespace {

// A format of plain text and "%s" conversions only, as most paths are built.
bool solo_textos(const char* fmt) {
    for (const char* p = fmt; *p != '\0'; ++p) {
        if (*p == '%') {
            if (p[1] != 's') return false;
            ++p;
        }
    }
    return true;
}

// Such a format put together by hand, as vsnprintf would (a null text as
// "(null)"): vsnprintf costs about a thousand instructions a call.
bool junta_textos(char* dst, std::size_t size, const char* fmt, va_list ap) {
    std::size_t n = 0;  // characters of the whole result
    auto pon = [&](const char* t, std::size_t largo) {
        if (n + 1 < size) {
            std::size_t cabe = size - 1 - n;
            std::memcpy(dst + n, t, largo < cabe ? largo : cabe);
        }
        n += largo;
    };
    for (const char* p = fmt; *p != '\0';) {
        if (*p == '%') {
            const char* t = va_arg(ap, const char*);
            if (t == nullptr) t = "(null)";
            pon(t, std::strlen(t));
            p += 2;
            continue;
        }
        const char* q = p;
        while (*q != '\0' && *q != '%') ++q;
        pon(p, static_cast<std::size_t>(q - p));
        p = q;
    }
    if (size > 0) dst[n < size ? n : size - 1] = '\0';
    return n < size;
}

}  // namespace

bool formatea(char* dst, std::size_t size, const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    if (solo_textos(fmt)) {
        bool ok = junta_textos(dst, size, fmt, ap);
        va_end(ap);
        return ok;
    }
    int n = std::vsnprintf(dst, size, fmt, ap);
    va_end(ap);
    if (n < 0) {
        if (size > 0) dst[0] = '\0';
        return false;
    }
    return static_cast<std::size_t>(n) < size;
}

void rbuf_add(char* r_buf, std::string_view texto) {
    std::size_t usado = strnlen(r_buf, RBUF_SIZE - 1);
    copia(r_buf + usado, RBUF_SIZE - usado, texto);
}

void rbuf_addf(char* r_buf, const char* fmt, ...) {
    std::size_t usado = strnlen(r_buf, RBUF_SIZE - 1);
    va_list ap;
    va_start(ap, fmt);
    int n = std::vsnprintf(r_buf + usado, RBUF_SIZE - usado, fmt, ap);
    va_end(ap);
    if (n < 0) r_buf[usado] = '\0';
}

void rbuf_add_fichero(char* r_buf, std::FILE* f) {
    char trozo[512];
    std::size_t n;
    while ((n = std::fread(trozo, 1, sizeof trozo, f)) > 0) {
        // A NUL in a text file would end the buffer early; it is sent no
        // further than FBB would send it.
        rbuf_add(r_buf, std::string_view(trozo, strnlen(trozo, n)));
        if (strnlen(r_buf, RBUF_SIZE) >= RBUF_SIZE - 1) break;
    }
}

bool lee_linea(std::FILE* f, char* buf, std::size_t size, bool* larga) {
    if (larga != nullptr) *larga = false;
    if (size < 2) {
        // No room for a character: the line is read and dropped.
        char nada[2];
        bool hay = lee_linea(f, nada, sizeof nada, larga);
        if (size == 1) buf[0] = '\0';
        return hay;
    }
    int tope = size > 1u << 30 ? 1 << 30 : static_cast<int>(size);
    // The line end is looked for in the bytes fgets stored, not up to the
    // first NUL: a NUL byte inside a line must not make it look unended
    // (which would drop the next line as its rest). The buffer is cleared
    // first so that no line end of an earlier line is found.
    std::memset(buf, 0, static_cast<std::size_t>(tope));
    if (std::fgets(buf, tope, f) == nullptr) {
        buf[0] = '\0';
        return false;
    }
    if (auto* nl = static_cast<char*>(std::memchr(buf, '\n', static_cast<std::size_t>(tope)))) {
        *nl = '\0';
        return true;
    }
    // No line end yet: the end of the file, or the rest of a longer line,
    // which is read and dropped.
    char resto[256];
    for (;;) {
        std::memset(resto, 0, sizeof resto);
        if (std::fgets(resto, sizeof resto, f) == nullptr) break;
        const auto* nl = static_cast<const char*>(std::memchr(resto, '\n', sizeof resto));
        bool fin = nl != nullptr;
        // Anything but a bare line end is a dropped rest.
        if (larga != nullptr && (!fin || nl != resto)) *larga = true;
        if (fin) break;
    }
    return true;
}

bool LectorLineas::vista_lenta(std::string_view* v, bool* larga) {
    // [ini_, fin_) holds no line end: it is the start of a line, or nothing.
    // The buffer is filled on; what was read before stays there as long as
    // there is room, for salta_a.
    std::size_t buscado = fin_;  // datos_ up to here holds no line end
    bool cortada = false;        // the line's start is in corte_
    const char* nl = nullptr;
    for (;;) {
        if (fin_ == sizeof datos_) {
            if (ini_ > 0) {
                // The line's start goes to the front, to make room.
                std::size_t resto = fin_ - ini_;
                std::memmove(datos_, datos_ + ini_, resto);
                base_ += ini_;
                ini_ = 0;
                fin_ = buscado = resto;
            } else {
                // A line longer than the buffer: its start is kept, the
                // rest is dropped up to its end.
                if (!cortada) std::memcpy(corte_, datos_, VISTA_MAX);
                cortada = true;
                base_ += fin_;
                fin_ = buscado = 0;
            }
        }
        std::size_t n = std::fread(datos_ + fin_, 1, sizeof datos_ - fin_, f_);
        if (n == 0) break;
        fin_ += n;
        nl = static_cast<const char*>(std::memchr(datos_ + buscado, '\n', fin_ - buscado));
        if (nl != nullptr) break;
        buscado = fin_;
    }
    const char* inicio = datos_ + ini_;
    std::size_t largo;
    if (nl != nullptr) {
        largo = static_cast<std::size_t>(nl - inicio);
        ini_ += largo + 1;
    } else {
        // The end of the file: a last line without a line end, or nothing.
        if (fin_ == ini_ && !cortada) return false;
        largo = fin_ - ini_;
        ini_ = fin_;
    }
    if (cortada) {
        if (larga != nullptr) *larga = true;
        *v = std::string_view(corte_, VISTA_MAX);
        return true;
    }
    if (larga != nullptr) *larga = largo > VISTA_MAX;
    *v = std::string_view(inicio, largo < VISTA_MAX ? largo : VISTA_MAX);
    return true;
}

bool LectorLineas::linea(char* buf, std::size_t size, bool* larga) {
    if (larga != nullptr) *larga = false;
    if (size == 0) return false;
    std::string_view v;
    bool cortada = false;
    if (!vista(&v, &cortada)) {
        buf[0] = '\0';
        return false;
    }
    if (!copia(buf, size, v)) cortada = true;
    if (larga != nullptr) *larga = cortada;
    return true;
}

bool LectorLineas::salta_a(std::uint64_t pos) {
    if (pos >= base_ && pos - base_ <= fin_) {
        ini_ = static_cast<std::size_t>(pos - base_);
        return true;
    }
    ini_ = fin_ = 0;
    if (pos > static_cast<std::uint64_t>(INT64_MAX) ||
        fseeko(f_, static_cast<off_t>(pos), SEEK_SET) != 0) {
        return false;
    }
    base_ = pos;
    return true;
}

std::size_t lee_palabra(const char** p, char* out, std::size_t size) {
    const char* s = *p;
    while (es_blanco(*s)) ++s;
    const char* inicio = s;
    while (*s != '\0' && !es_blanco(*s)) ++s;
    std::size_t n = static_cast<std::size_t>(s - inicio);
    if (size > 0) copia(out, size, std::string_view(inicio, n));
    *p = s;
    return n;
}

}  // namespace talmir
