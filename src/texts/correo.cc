// Mail into FBB: messages are gathered in memory and appended in one write to
// FBB's import file under FBB's lock, or to the pending file "mail.prt" while
// someone else holds the lock. A later run moves the pending mail.
//
// The pending file is guarded by flock: every writer appends under LOCK_EX,
// and the mover renames "mail.prt" aside before it takes the same lock on the
// aside file, so a writer that opened the file before the rename either
// finishes first or finds that the name now leads elsewhere and opens it
// again. Nothing is lost and nothing is moved twice.
#include "texts/correo.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "config/config.h"
#include "driver/global.h"
#include "driver/rutas.h"
#include "driver/utils.h"

namespace talmir {

namespace {

// The pending mail, and the name it is moved to while it is being copied.
constexpr const char* kPendiente = "mail.prt";
constexpr const char* kApartado = "mail.prt.mov";
// Times a writer opens "mail.prt" again when it was moved under it.
constexpr int kReintentos = 10;

bool ruta_trabajo(char* ruta, const char* nombre) {
    return formatea(ruta, RUTA_MAX, "%s/%s", DIR_TRABAJO, nombre);
}

int abre_anexo(const char* ruta) {
    return open(ruta, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
}

void cierra_fd(int* fd) {
    if (*fd >= 0) close(*fd);
    *fd = -1;
}

// Appends the text in one write; on failure the file is cut back to its
// former size so that no half message stays behind.
bool anexa(int fd, const std::string& texto) {
    if (texto.empty()) return true;
    struct stat st;
    bool medido = fstat(fd, &st) == 0;
    if (escribe_todo(fd, texto.data(), texto.size())) return true;
    if (medido && ftruncate(fd, st.st_size) != 0) {
        // Nothing more can be done: the write has been reported as failed.
    }
    return false;
}

// Appends the text to "mail.prt" under its flock. *fd may hold the file as
// opened earlier; it is closed on return.
bool escribe_pendiente(int* fd, const std::string& texto) {
    char ruta[RUTA_MAX];
    if (!ruta_trabajo(ruta, kPendiente)) {
        cierra_fd(fd);
        return false;
    }
    for (int intento = 0; intento <= kReintentos; ++intento) {
        if (*fd < 0) *fd = abre_anexo(ruta);
        if (*fd < 0) return false;
        if (bloquea(*fd, LOCK_EX) == 0 && es_el_mismo(*fd, ruta)) {
            bool ok = anexa(*fd, texto);
            if (close(*fd) != 0) ok = false;
            *fd = -1;
            return ok;
        }
        // Moved aside by a run that is copying it: take the new one.
        cierra_fd(fd);
    }
    return false;
}

// Copies what is left of one open file to the end of another, in pieces, so
// that a pending file of any size needs no more memory than one piece. On
// failure the import file is cut back to its former size: nothing is copied
// twice when a later run tries again.
bool copia_fichero(int origen, int destino) {
    struct stat st;
    if (fstat(destino, &st) != 0) return false;
    char trozo[4096];
    for (;;) {
        ssize_t n = read(origen, trozo, sizeof trozo);
        if (n < 0 && errno == EINTR) continue;
        if (n == 0) return true;
        if (n < 0 || !escribe_todo(destino, trozo, static_cast<std::size_t>(n))) {
            if (ftruncate(destino, st.st_size) != 0) {
                // Nothing more can be done: the copy is reported as failed.
            }
            return false;
        }
    }
}

// Copies the aside file to the end of the import file and deletes it. False
// (the aside file kept) when it could not be copied whole.
bool copia_apartado(int fd_import, const char* apartado) {
    int fd = open(apartado, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT;
    // Waits for a writer that opened "mail.prt" before it was moved.
    bool ok = bloquea(fd, LOCK_EX) == 0 && copia_fichero(fd, fd_import);
    if (ok) unlink(apartado);
    close(fd);
    return ok;
}

// True when the path is a regular file that this run can read: only such a
// pending file is moved aside. Any other (a directory, a file the run may
// not read) stays under its own name, where the sysop finds it.
bool se_puede_mover(const char* ruta) {
    int fd = open(ruta, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return false;
    struct stat st;
    bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    close(fd);
    return ok;
}

}  // namespace

bool abre_mailin(MAILIN* fpmail) {
    fpmail->fd = -1;
    fpmail->pendiente = false;
    fpmail->bloqueo_propio = false;
    fpmail->texto.clear();
    if (leido_init == 0) {
        char descarte[RBUF_SIZE] = {};
        if (lee_init(descarte) != 1) return false;
    }
    int bloqueo = crea_exclusivo(infbbs.fch_bloq_correo);
    if (bloqueo == 0) {
        // FBB or another run holds the import file: the pending file.
        ya_bloqueado = 1;
        char ruta[RUTA_MAX];
        if (!ruta_trabajo(ruta, kPendiente)) return false;
        bool creado = false;
        int fd = open(ruta, O_WRONLY | O_APPEND | O_CLOEXEC);
        if (fd < 0 && errno == ENOENT) {
            fd = open(ruta, O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            creado = fd >= 0;
        }
        if (fd < 0) fd = abre_anexo(ruta);  // made meanwhile by another run
        if (fd < 0) return false;
        // The pending file named as FBB's import: writing it now would write
        // under the lock someone else holds. Neither can be had, and nothing
        // is left of the attempt.
        if (es_el_mismo(fd, infbbs.fch_correo)) {
            close(fd);
            if (creado) unlink(ruta);
            return false;
        }
        fpmail->fd = fd;
        fpmail->pendiente = true;
        return true;
    }
    // Created (1), or the lock cannot be made at all (-1): then the message
    // still goes to the import file, without a lock to remove afterwards.
    int fd = abre_anexo(infbbs.fch_correo);
    if (fd < 0) {
        if (bloqueo == 1) unlink(infbbs.fch_bloq_correo);
        return false;
    }
    ya_bloqueado = 0;
    fpmail->fd = fd;
    fpmail->bloqueo_propio = bloqueo == 1;
    return true;
}

void escribe_mensaje(MAILIN* fpmail, const char* linea_sp, const char* asunto,
                     const std::string& cuerpo) {
    if (fpmail->fd < 0) return;
    std::string& t = fpmail->texto;
    t += "#\n";
    t += linea_sp;
    t += "\n";
    t += asunto;
    t += "\n";
    t += cuerpo;
    // "/EX" must begin a line of its own or FBB never sees the message end.
    if (!cuerpo.empty() && cuerpo.back() != '\n') t += "\n";
    t += "/EX\n";
}

bool cierra_mailin(MAILIN* fpmail) {
    if (fpmail->fd < 0) return false;
    bool ok;
    if (fpmail->pendiente) {
        ok = escribe_pendiente(&fpmail->fd, fpmail->texto);
    } else {
        ok = fpmail->bloqueo_propio
                 ? anexa(fpmail->fd, fpmail->texto)
                 : anexa_entero(fpmail->fd, fpmail->texto.data(), fpmail->texto.size());
        if (close(fpmail->fd) != 0) ok = false;
        fpmail->fd = -1;
        if (fpmail->bloqueo_propio) unlink(infbbs.fch_bloq_correo);
    }
    fpmail->pendiente = false;
    fpmail->bloqueo_propio = false;
    fpmail->texto.clear();
    return ok;
}

void correo_pendiente(char* r_buf) {
    char pendiente[RUTA_MAX];
    char apartado[RUTA_MAX];
    if (!ruta_trabajo(pendiente, kPendiente) || !ruta_trabajo(apartado, kApartado)) return;
    if (!existe(pendiente) && !existe(apartado)) return;
    if (leido_init == 0 && lee_init(r_buf) != 1) return;
    // Held by FBB or another run (or not to be had): the mail waits.
    if (crea_exclusivo(infbbs.fch_bloq_correo) != 1) return;
    int fd = abre_anexo(infbbs.fch_correo);
    if (fd < 0) {
        unlink(infbbs.fch_bloq_correo);
        return;
    }
    // FBB's import named as the pending file or its aside name: the mail
    // cannot be moved into itself (the copy would feed on its own output, or
    // the rename would put the pending file over the import). It stays.
    if (es_el_mismo(fd, pendiente) || es_el_mismo(fd, apartado)) {
        close(fd);
        unlink(infbbs.fch_bloq_correo);
        return;
    }
    // What an earlier run could not copy goes first, in its order.
    bool ok = true;
    if (existe(apartado)) ok = copia_apartado(fd, apartado);
    if (ok && !existe(apartado) && se_puede_mover(pendiente) && rename(pendiente, apartado) == 0)
        copia_apartado(fd, apartado);
    close(fd);
    unlink(infbbs.fch_bloq_correo);
}

}  // namespace talmir
