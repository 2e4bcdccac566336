// SPDX-License-Identifier: GPL-2.0-or-later
// The file layer on the real file system, and the hand-over to the dry run.
#include "driver/disco.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <cstring>

#include "driver/disco_simulado.h"
#include "driver/rutas.h"
#include "driver/texto.h"

namespace talmir {

Simulacion* simulacion = nullptr;

namespace {

// flock, retried when a signal interrupts it: 0 or -1.
int bloquea(int fd, int operacion) {
    int r;
    while ((r = flock(fd, operacion)) != 0 && errno == EINTR) {
    }
    return r;
}

// True when the open file is still the one that the path names (it has been
// neither renamed nor deleted since it was opened).
bool es_el_mismo(int fd, const char* ruta) {
    struct stat abierto, nombrado;
    if (fstat(fd, &abierto) != 0 || stat(ruta, &nombrado) != 0) return false;
    return abierto.st_dev == nombrado.st_dev && abierto.st_ino == nombrado.st_ino;
}

void cierra_fd(int* fd) {
    if (*fd >= 0) close(*fd);
    *fd = -1;
}

// Writes the bytes; a write stopped part way is cut back as the append says.
bool escribe_entero(int fd, std::string_view datos, Anexo::Corte corte) {
    struct stat antes;
    if (fstat(fd, &antes) != 0) return escribe_todo(fd, datos.data(), datos.size());
    std::size_t escrito = 0;
    while (escrito < datos.size()) {
        ssize_t w = write(fd, datos.data() + escrito, datos.size() - escrito);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) break;
        escrito += static_cast<std::size_t>(w);
    }
    if (escrito == datos.size()) return true;
    bool cortar = corte == Anexo::Corte::propio;
    if (!cortar && escrito > 0) {
        // The file ends with this writer's bytes only if it grew by them alone.
        struct stat despues;
        cortar = fstat(fd, &despues) == 0 &&
                 despues.st_size == antes.st_size + static_cast<off_t>(escrito);
    }
    if (cortar && ftruncate(fd, antes.st_size) != 0) {
        // Nothing more can be done: the write is reported as failed.
    }
    return false;
}

// Opens for appending. *creado tells that this call created the file.
int abre_anexo(const char* ruta, bool crea, bool* creado) {
    *creado = false;
    int fd = open(ruta, O_WRONLY | O_APPEND | O_CLOEXEC | O_NOCTTY);
    if (fd >= 0 || errno != ENOENT || !crea) return fd;
    fd = open(ruta, O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd >= 0) {
        *creado = true;
        return fd;
    }
    // Made meanwhile by another run.
    return open(ruta, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY, 0666);
}

// Creates the file exclusively and writes it: for file systems without hard
// links. Results as crea_con.
int crea_con_exclusivo(const char* ruta, std::string_view datos) {
    int fd = open(ruta, O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd < 0) return errno == EEXIST ? 0 : -1;
    const bool escrito = escribe_todo(fd, datos.data(), datos.size());
    const bool cerrado = close(fd) == 0;
    if (escrito && cerrado) return 1;
    // Never a torn file under the name: the next run makes it again.
    unlink(ruta);
    return -1;
}

}  // namespace

bool junta_ruta(char* ruta, std::size_t size, const char* dir, const char* nombre) {
    return formatea(ruta, size, "%s/%s", dir, nombre);
}

bool ruta_trabajo(char (&ruta)[RUTA_MAX], const char* nombre) {
    return junta_ruta(ruta, sizeof ruta, DIR_TRABAJO, nombre);
}

bool ruta_trabajof(char* ruta, std::size_t size, const char* fmt, ...) {
    // The directory and its "/" first, cut as the whole path would be; the
    // name then goes into the rest of the room.
    if (!junta_ruta(ruta, size, DIR_TRABAJO, "")) return false;
    const std::size_t n = std::strlen(DIR_TRABAJO) + 1;
    va_list ap;
    va_start(ap, fmt);
    const bool ok = vformatea(ruta + n, size - n, fmt, ap);
    va_end(ap);
    return ok;
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

Archivo& Archivo::operator=(Archivo&& o) noexcept {
    if (this != &o) {
        cierra();
        f_ = o.f_;
        o.f_ = nullptr;
    }
    return *this;
}

Archivo Archivo::abre(const char* ruta, const char* modo) {
    if (simulacion != nullptr && simulacion->conoce(ruta)) return simulacion->abre(ruta);
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
        (void)std::fclose(f);
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

bool existe(const char* ruta) {
    if (simulacion != nullptr && simulacion->conoce(ruta)) return simulacion->existe(ruta);
    return access(ruta, F_OK) == 0;
}

bool es_regular_legible(const char* ruta) {
    if (simulacion != nullptr && simulacion->conoce(ruta)) {
        return simulacion->es_regular_legible(ruta);
    }
    int fd = open(ruta, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return false;
    struct stat st;
    bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    close(fd);
    return ok;
}

bool mismo_fichero(const char* a, const char* b) {
    // A file the run changed is one with its own name only.
    if (simulacion != nullptr && (simulacion->conoce(a) || simulacion->conoce(b))) {
        return std::string_view(a) == b && simulacion->existe(a);
    }
    struct stat sa, sb;
    if (stat(a, &sa) != 0 || stat(b, &sb) != 0) return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

int crea_exclusivo(const char* ruta, unsigned modo) {
    if (simulacion != nullptr) return simulacion->crea_exclusivo(ruta);
    int fd = open(ruta, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, static_cast<mode_t>(modo));
    if (fd < 0) return errno == EEXIST ? 0 : -1;
    close(fd);
    return 1;
}

bool reemplaza(const char* ruta, std::string_view datos) {
    if (simulacion != nullptr) return simulacion->reemplaza(ruta, datos);
    char temporal[RUTA_MAX];
    if (!formatea(temporal, sizeof temporal, "%s.XXXXXX", ruta)) return false;
    // mkstemp creates the file with mode 0600: it may hold a secret in clear.
    int fd = mkostemp(temporal, O_CLOEXEC);
    if (fd < 0) return false;
    bool ok = escribe_todo(fd, datos.data(), datos.size());
    if (close(fd) != 0) ok = false;
    if (ok && std::rename(temporal, ruta) != 0) ok = false;
    if (!ok) unlink(temporal);
    return ok;
}

bool reescribe(const char* ruta, std::string_view datos) {
    if (simulacion != nullptr) return simulacion->reescribe(ruta, datos);
    int fd = open(ruta, O_WRONLY | O_CREAT | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd < 0) return false;
    bool ok = bloquea(fd, LOCK_EX) == 0 && ftruncate(fd, 0) == 0 &&
              escribe_todo(fd, datos.data(), datos.size());
    if (!ok && ftruncate(fd, 0) != 0) {
        // Nothing more can be done: the file counts as not written.
    }
    if (close(fd) != 0) ok = false;
    return ok;
}

bool borra(const char* ruta) {
    if (simulacion != nullptr) return simulacion->borra(ruta);
    return unlink(ruta) == 0;
}

int prt_mkdir(const char* filename, unsigned modo) {
    if (simulacion != nullptr) return simulacion->prt_mkdir(filename);
    return mkdir(filename, static_cast<mode_t>(modo)) == 0 ? 0 : -1;
}

bool renombra(const char* de, const char* a) {
    if (simulacion != nullptr) return simulacion->renombra(de, a);
    return std::rename(de, a) == 0;
}

Anexado anexa(const char* ruta, std::string_view datos, const Anexo& como) {
    if (simulacion != nullptr) return simulacion->anexa(ruta, datos, como);
    for (int intento = 0; intento <= como.reintentos; ++intento) {
        bool creado = false;
        int fd = abre_anexo(ruta, como.crea, &creado);
        if (fd < 0) return errno == ENOENT ? Anexado::sin_fichero : Anexado::fallo;
        if (como.distinto_de != nullptr && es_el_mismo(fd, como.distinto_de)) {
            close(fd);
            if (creado) unlink(ruta);
            return Anexado::fallo;
        }
        if (como.cerrojo != Anexo::Cerrojo::ninguno) {
            const int op = como.cerrojo == Anexo::Cerrojo::compartido ? LOCK_SH : LOCK_EX;
            // Moved aside or deleted by a run that took it alone: the bytes
            // go to the file that bears the name now. A lock that cannot be
            // had at all does not stop the write.
            if (bloquea(fd, op) == 0 && !es_el_mismo(fd, ruta) && intento < como.reintentos) {
                cierra_fd(&fd);
                continue;
            }
        }
        bool ok = datos.empty() || escribe_entero(fd, datos, como.corte);
        if (close(fd) != 0) ok = false;
        return ok ? Anexado::hecho : Anexado::fallo;
    }
    return Anexado::fallo;
}

int crea_con(const char* ruta, std::string_view datos) {
    if (simulacion != nullptr) return simulacion->crea_con(ruta, datos);
    static unsigned contador = 0;
    char tmp[RUTA_MAX];
    int fd = -1;
    for (int i = 0; i < 4 && fd < 0; ++i) {
        if (!formatea(tmp, sizeof tmp, "%s.%ld.%u.tmp", ruta, static_cast<long>(getpid()),
                      contador++)) {
            return -1;
        }
        fd = open(tmp, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
        if (fd < 0 && errno != EEXIST) return -1;
    }
    if (fd < 0) return -1;
    const bool escrito = escribe_todo(fd, datos.data(), datos.size());
    const bool cerrado = close(fd) == 0;
    int resultado = -1;
    bool sin_enlaces = false;
    if (escrito && cerrado) {
        if (link(tmp, ruta) == 0) {
            resultado = 1;
        } else if (errno == EEXIST) {
            resultado = 0;
        } else {
            sin_enlaces = errno == EPERM || errno == EOPNOTSUPP || errno == EMLINK;
        }
    }
    unlink(tmp);
    return sin_enlaces ? crea_con_exclusivo(ruta, datos) : resultado;
}

bool vacia_en(const char* origen, const char* destino) {
    if (simulacion != nullptr) return simulacion->vacia_en(origen, destino);
    int fd = open(origen, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT;
    bool creado = false;
    int fd_destino = -1;
    struct stat st;
    bool ok = bloquea(fd, LOCK_EX) == 0 && (fd_destino = abre_anexo(destino, true, &creado)) >= 0 &&
              fstat(fd_destino, &st) == 0;
    // In pieces, so that a file of any size needs no more memory than one.
    char trozo[4096];
    while (ok) {
        ssize_t n = read(fd, trozo, sizeof trozo);
        if (n < 0 && errno == EINTR) continue;
        if (n == 0) break;
        if (n < 0 || !escribe_todo(fd_destino, trozo, static_cast<std::size_t>(n))) {
            // Nothing is copied twice when a later run tries again.
            if (ftruncate(fd_destino, st.st_size) != 0) {
                // Nothing more can be done: the copy is reported as failed.
            }
            ok = false;
        }
    }
    if (fd_destino >= 0 && close(fd_destino) != 0) ok = false;
    if (ok) unlink(origen);
    close(fd);
    return ok;
}

Tomado::~Tomado() {
    cierra_fd(&fd_);
}

int Tomado::toma(const char* ruta, std::string* contenido, int intentos) {
    ruta_ = ruta;
    if (simulacion != nullptr) return simulacion->toma(ruta, contenido);
    for (int i = 0; i < intentos; ++i) {
        cierra_fd(&fd_);
        fd_ = open(ruta, O_RDONLY | O_CLOEXEC | O_NOCTTY);
        if (fd_ < 0) return errno == ENOENT ? 0 : -1;
        // One that another run mailed and deleted meanwhile is not taken.
        if (bloquea(fd_, LOCK_EX) == 0 && !es_el_mismo(fd_, ruta)) continue;
        contenido->clear();
        char trozo[4096];
        for (;;) {
            ssize_t n = read(fd_, trozo, sizeof trozo);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) return -1;
            if (n == 0) return 1;
            contenido->append(trozo, static_cast<std::size_t>(n));
        }
    }
    cierra_fd(&fd_);
    return 0;
}

bool Tomado::borra() {
    if (simulacion != nullptr) return simulacion->borra(ruta_.c_str());
    return fd_ >= 0 && unlink(ruta_.c_str()) == 0;
}

int lee_pequeno(const char* ruta, std::string* contenido, std::size_t max) {
    contenido->clear();
    Archivo f = Archivo::abre(ruta, "r");
    if (!f) return existe(ruta) ? -1 : 0;
    char trozo[1024];
    for (;;) {
        std::size_t n = std::fread(trozo, 1, sizeof trozo, f.get());
        if (n > 0 && contenido->size() + n > max) {
            contenido->clear();
            return -1;
        }
        contenido->append(trozo, n);
        if (n < sizeof trozo) break;
    }
    if (std::ferror(f.get()) != 0) {
        contenido->clear();
        return -1;
    }
    return 1;
}

bool nombres_dir(const char* dir, std::vector<std::string>* nombres) {
    nombres->clear();
    DIR* d = opendir(dir);
    if (d == nullptr) return false;
    while (const struct dirent* e = readdir(d)) {
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
        nombres->emplace_back(e->d_name);
    }
    closedir(d);
    return true;
}

Turno::~Turno() {
    cierra_fd(&fd_);
}

bool Turno::toma(const char* dir) {
    cierra_fd(&fd_);
    if (simulacion != nullptr) return true;
    fd_ = open(dir, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd_ < 0) return false;
    if (bloquea(fd_, LOCK_EX) != 0) {
        cierra_fd(&fd_);
        return false;
    }
    return true;
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

}  // namespace talmir
