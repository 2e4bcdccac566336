// SPDX-License-Identifier: GPL-2.0-or-later
// The file layer: every file the program opens, and every write, removal,
// rename, link and directory it makes, goes through here. In a dry run
// (simulacion set) nothing is written, removed or renamed: each change is
// recorded instead, and a later reading of a file the run would have
// changed sees it as the run would have left it.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace talmir {

// Room for every path the program builds (terminator included). A path that
// does not fit is never cut: the file counts as one that cannot be opened.
inline constexpr std::size_t RUTA_MAX = 256;

// The path of a file of the directory dir: dir, "/" and the name, in size
// bytes. False when it does not fit (ruta then holds what fit, as formatea
// leaves it).
bool junta_ruta(char* ruta, std::size_t size, const char* dir, const char* nombre);
// The path of a file of the working directory. False when it does not fit.
bool ruta_trabajo(char (&ruta)[RUTA_MAX], const char* nombre);
// The same in size bytes, for a name put together as printf does
// ("%s%d.prt"): the very text and answer of formatea on the whole path.
bool ruta_trabajof(char* ruta, std::size_t size, const char* fmt, ...)
    __attribute__((format(printf, 3, 4)));
// The name of a file's lock: the name cut at its last "." with ".lck"
// appended (".lck" added when there is no "."). The result lives in a static
// 256-byte buffer; a name that leaves no room for it gives the empty text.
char* lfile(const char* filename);

class Simulacion;
// The dry run in force, or null (the filter itself: every change is made).
extern Simulacion* simulacion;

// A FILE* that closes itself.
class Archivo {
   public:
    Archivo() = default;
    explicit Archivo(std::FILE* f) : f_(f) {}
    Archivo(const Archivo&) = delete;
    Archivo& operator=(const Archivo&) = delete;
    Archivo(Archivo&& o) noexcept : f_(o.f_) { o.f_ = nullptr; }
    Archivo& operator=(Archivo&& o) noexcept;
    ~Archivo() { cierra(); }

    // Every file of the program is opened for reading through here. A
    // directory does not open.
    static Archivo abre(const char* ruta, const char* modo);

    std::FILE* get() const { return f_; }
    explicit operator bool() const { return f_ != nullptr; }
    // Closes now; false when the close reported an error.
    bool cierra();

   private:
    std::FILE* f_ = nullptr;
};

// True when the path exists (a path that cannot be tested counts as absent).
bool existe(const char* ruta);
// True when the path is a regular file that this run can read.
bool es_regular_legible(const char* ruta);
// True when both paths name one file (both exist, same device and inode).
bool mismo_fichero(const char* a, const char* b);

// Creates an empty file exclusively with the given mode. Returns 1 when this
// call created it, 0 when it existed already, -1 on another failure.
int crea_exclusivo(const char* ruta, unsigned modo = 0666);
// Replaces the file with the given bytes in one step, mode 0600: written to
// a temporary file of the same directory and renamed over the old one.
bool reemplaza(const char* ruta, std::string_view datos);
// Rewrites the file in place under its flock (LOCK_EX), so that runs at the
// same moment take turns: whole, or left empty.
bool reescribe(const char* ruta, std::string_view datos);
// Removes the file: true when this call removed it.
bool borra(const char* ruta);
// mkdir with the given mode, one level: 0 made, -1 failure (errno EEXIST
// when something stands there already).
int prt_mkdir(const char* filename, unsigned modo = 0777);
// Renames the file: true on success.
bool renombra(const char* de, const char* a);

// How an append is made.
struct Anexo {
    enum class Cerrojo : unsigned char { ninguno, compartido, exclusivo };
    enum class Corte : unsigned char {
        // A write stopped part way is cut back to the file's former size:
        // the writer holds the file alone.
        propio,
        // Cut back only when no other writer appended after it meanwhile.
        compartido,
    };
    bool crea = false;  // create the file (mode 0666) when it is missing
    Cerrojo cerrojo = Cerrojo::ninguno;
    // With a flock: times the file is opened again when its name led
    // elsewhere by the time the lock was had (moved aside, or deleted).
    int reintentos = 0;
    Corte corte = Corte::compartido;
    // A file that turns out to be this one is not written (one this call
    // created is removed again).
    const char* distinto_de = nullptr;
};
enum class Anexado : unsigned char { hecho, sin_fichero, fallo };
// Appends all of the bytes to the file in one write, or none: a write that a
// full disk stops part way is cut back. Empty bytes only open (and create).
Anexado anexa(const char* ruta, std::string_view datos, const Anexo& como);
// Creates the file with the given bytes in one step: a temporary file of the
// same directory is linked to the name (where links cannot be made, the file
// is created exclusively and written). 1 created, 0 the name was taken, -1
// another failure.
int crea_con(const char* ruta, std::string_view datos);
// Appends what the file origen holds to the end of destino (created when
// missing) and removes origen. The origen is held alone (flock LOCK_EX) for
// the copy, so that a writer that opened it before it was moved there ends
// first. On failure the destino is cut back and origen stays. True when the
// whole was moved, also when there was no origen.
bool vacia_en(const char* origen, const char* destino);

// A file held alone (flock LOCK_EX) from its reading to its removal.
class Tomado {
   public:
    Tomado() = default;
    Tomado(const Tomado&) = delete;
    Tomado& operator=(const Tomado&) = delete;
    ~Tomado();
    // Reads the whole file under the lock, opening it again (up to intentos
    // times) when another run removed it meanwhile. 1 read, 0 no file, -1 a
    // reading error.
    int toma(const char* ruta, std::string* contenido, int intentos);
    // Removes the file while it is still held.
    bool borra();

   private:
    int fd_ = -1;
    std::string ruta_;
};

// Reads a whole small file: 1 read, 0 no file, -1 a reading error or a file
// of more than max bytes (*contenido then holds nothing).
int lee_pequeno(const char* ruta, std::string* contenido, std::size_t max);

// The names in a directory, "." and ".." left out, in no order. False when
// it cannot be read.
bool nombres_dir(const char* dir, std::vector<std::string>* nombres);

// A directory held alone (flock LOCK_EX on the directory itself) while the
// object lives: the runs that read, change and replace the files in it take
// turns, so that none is lost between a reading and a replacement. A
// directory that cannot be opened is not held (toma gives false). Nothing is
// held in a dry run, which has no other runs.
class Turno {
   public:
    Turno() = default;
    Turno(const Turno&) = delete;
    Turno& operator=(const Turno&) = delete;
    ~Turno();
    bool toma(const char* dir);

   private:
    int fd_ = -1;
};

// Writes all of the bytes to an open descriptor (standard output, standard
// error), retrying short writes and EINTR.
bool escribe_todo(int fd, const void* datos, std::size_t n);

}  // namespace talmir
