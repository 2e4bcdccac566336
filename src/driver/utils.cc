#include "driver/utils.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

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

int prt_mkdir(const char* filename) {
    return mkdir(filename, 0777) == 0 ? 0 : -1;
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

bool formatea(char* dst, std::size_t size, const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
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

bool existe(const char* ruta) {
    return access(ruta, F_OK) == 0;
}

int crea_exclusivo(const char* ruta, unsigned modo) {
    int fd = open(ruta, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, static_cast<mode_t>(modo));
    if (fd < 0) return errno == EEXIST ? 0 : -1;
    close(fd);
    return 1;
}

bool escribe_todo(int fd, const void* datos, std::size_t n) {
    const char* p = static_cast<const char*>(datos);
    while (n > 0) {
        ssize_t w = write(fd, p, n);
        if (w < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (w == 0) return false;
        p += w;
        n -= static_cast<std::size_t>(w);
    }
    return true;
}

bool anexa_entero(int fd, const void* datos, std::size_t n) {
    struct stat antes;
    if (fstat(fd, &antes) != 0) return escribe_todo(fd, datos, n);
    const char* p = static_cast<const char*>(datos);
    std::size_t escrito = 0;
    while (escrito < n) {
        ssize_t w = write(fd, p + escrito, n - escrito);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) break;
        escrito += static_cast<std::size_t>(w);
    }
    if (escrito == n) return true;
    // The file ends with this writer's bytes only if it grew by them alone.
    struct stat despues;
    if (escrito > 0 && fstat(fd, &despues) == 0 &&
        despues.st_size == antes.st_size + static_cast<off_t>(escrito) &&
        ftruncate(fd, antes.st_size) != 0) {
        // Nothing more can be done: the write is reported as failed.
    }
    return false;
}

int bloquea(int fd, int operacion) {
    int r;
    while ((r = flock(fd, operacion)) != 0 && errno == EINTR) {
    }
    return r;
}

bool es_el_mismo(int fd, const char* ruta) {
    struct stat abierto, nombrado;
    if (fstat(fd, &abierto) != 0 || stat(ruta, &nombrado) != 0) return false;
    return abierto.st_dev == nombrado.st_dev && abierto.st_ino == nombrado.st_ino;
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
    if (std::fgets(buf, tope, f) == nullptr) {
        buf[0] = '\0';
        return false;
    }
    std::size_t n = std::strlen(buf);
    if (n > 0 && buf[n - 1] == '\n') {
        buf[n - 1] = '\0';
        return true;
    }
    // No line end yet: the end of the file, or the rest of a longer line,
    // which is read and dropped.
    char resto[256];
    while (std::fgets(resto, sizeof resto, f) != nullptr) {
        std::size_t m = std::strlen(resto);
        bool fin = m > 0 && resto[m - 1] == '\n';
        if (larga != nullptr && (m > 1 || !fin)) *larga = true;
        if (fin) break;
    }
    return true;
}

bool LectorLineas::linea(char* buf, std::size_t size, bool* larga) {
    if (larga != nullptr) *larga = false;
    if (size == 0) return false;
    std::size_t n = 0;
    bool alguno = false;
    for (;;) {
        if (ini_ == fin_) {
            ini_ = 0;
            fin_ = std::fread(datos_, 1, sizeof datos_, f_);
            if (fin_ == 0) break;
        }
        alguno = true;
        const char* inicio = datos_ + ini_;
        std::size_t disponible = fin_ - ini_;
        const char* nl = static_cast<const char*>(std::memchr(inicio, '\n', disponible));
        std::size_t trozo = nl != nullptr ? static_cast<std::size_t>(nl - inicio) : disponible;
        std::size_t cabe = size - 1 - n;
        std::size_t copiar = trozo < cabe ? trozo : cabe;
        std::memcpy(buf + n, inicio, copiar);
        n += copiar;
        // True when the line is longer than the room (cppcheck 2.10 takes it
        // for always false).
        // cppcheck-suppress knownConditionTrueFalse
        if (copiar < trozo && larga != nullptr) *larga = true;
        ini_ += trozo;
        if (nl != nullptr) {
            ++ini_;
            break;
        }
    }
    buf[n] = '\0';
    return alguno;
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

Archivo& Archivo::operator=(Archivo&& o) noexcept {
    if (this != &o) {
        cierra();
        f_ = o.f_;
        o.f_ = nullptr;
    }
    return *this;
}

Archivo Archivo::abre(const char* ruta, const char* modo) {
    // "t" is a DOS-ism that some callers keep for clarity; POSIX ignores it.
    char m[8];
    std::size_t j = 0;
    for (const char* p = modo; *p != '\0' && j + 2 < sizeof m; ++p) {
        if (*p != 't') m[j++] = *p;
    }
    m[j++] = 'e';  // close on exec
    m[j] = '\0';
    std::FILE* f = std::fopen(ruta, m);
    // A directory opens for reading but reads nothing: it is no file of the
    // program, and counts as one that cannot be opened.
    struct stat st;
    if (f != nullptr && fstat(fileno(f), &st) == 0 && S_ISDIR(st.st_mode)) {
        std::fclose(f);
        errno = EISDIR;
        return Archivo();
    }
    return Archivo(f);
}

bool Archivo::cierra() {
    if (f_ == nullptr) return true;
    bool ok = std::fclose(f_) == 0;
    f_ = nullptr;
    return ok;
}

}  // namespace talmir
