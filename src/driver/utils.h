// Small helpers shared by every part of the program: upper-casing, the lock
// file name, the random generator, directories, and the bounded text and file
// primitives through which every copy and every write goes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace talmir {

// Upper-cases a to z in place (no locale: bytes above 127 stay); returns str.
char* strupr(char* str);
// The name cut at its last "." with ".lck" appended (".lck" added when there
// is no "."). The result lives in a static 256-byte buffer; a name that
// leaves no room for it gives the empty text.
char* lfile(const char* filename);
// random() modulo num (num above 0).
std::int32_t random_nb(std::int32_t num);
// Seeds random() with the time in whole seconds.
void prt_randomize();

// Converts a decimal text: leading white space, one sign, digits up to the
// first other character (none gives 0), clamped to the signed 32-bit range.
std::int32_t a_numero(const char* texto);

// Bounded copy of src into dst (size bytes of room, terminator included).
// Returns false, with dst holding what fits, when src had to be cut.
bool copia(char* dst, std::size_t size, std::string_view src);
// Bounded snprintf: false when the result did not fit (dst then holds the
// cut text) or on an encoding error (dst then empty).
bool formatea(char* dst, std::size_t size, const char* fmt, ...)
    __attribute__((format(printf, 3, 4)));

// Appends to the response buffer, never past its 1023 characters: what does
// not fit is dropped from the end.
void rbuf_add(char* r_buf, std::string_view texto);
void rbuf_addf(char* r_buf, const char* fmt, ...) __attribute__((format(printf, 2, 3)));
// Appends the whole rest of an open file to the response buffer, as read.
void rbuf_add_fichero(char* r_buf, std::FILE* f);

// Reads one line of a text file into buf (at most size-1 characters, without
// the line end). The rest of a longer line is read and dropped; *larga tells
// that it happened. False at the end of the file.
bool lee_linea(std::FILE* f, char* buf, std::size_t size, bool* larga = nullptr);
// Takes the next blank-separated word from *p (as scanf's "%s" does): at most
// size-1 characters go to out. Returns the word's full length (0 when the text
// holds no further word); a length of size or more means it was cut.
std::size_t lee_palabra(const char** p, char* out, std::size_t size);

// Reads the lines of a text file that may be large (the user table) in large
// chunks through a buffer of its own, of fixed size whatever the size of the
// file: the same lines as lee_linea gives, at a fraction of the cost per line.
// It must be the only reader of the stream, which is at its start.
class LectorLineas {
   public:
    // A line is seen through at most this many of its first characters.
    static constexpr std::size_t VISTA_MAX = 512;

    explicit LectorLineas(std::FILE* f) : f_(f) {}
    LectorLineas(const LectorLineas&) = delete;
    LectorLineas& operator=(const LectorLineas&) = delete;

    // The next line without its line end, as a view into the reader's buffer
    // that holds until the next call: its first VISTA_MAX characters at most
    // (*larga tells that more followed, which is dropped). False at the end of
    // the file.
    bool vista(std::string_view* v, bool* larga = nullptr) {
        if (ini_ < fin_) {
            const char* inicio = datos_ + ini_;
            const void* nl = std::memchr(inicio, '\n', fin_ - ini_);
            if (nl != nullptr) {
                auto largo = static_cast<std::size_t>(static_cast<const char*>(nl) - inicio);
                ini_ += largo + 1;
                if (larga != nullptr) *larga = largo > VISTA_MAX;
                *v = std::string_view(inicio, largo < VISTA_MAX ? largo : VISTA_MAX);
                return true;
            }
        }
        return vista_lenta(v, larga);
    }
    // The unread bytes in the buffer, [*inicio, *fin): the lines that end in
    // there can be read straight from the buffer, and consume() then tells
    // where the reading stopped (the start of a line).
    void pendiente(const char** inicio, const char** fin) const {
        *inicio = datos_ + ini_;
        *fin = datos_ + fin_;
    }
    void consume(const char* hasta) { ini_ = static_cast<std::size_t>(hasta - datos_); }
    // The next line copied into buf (at most size-1 characters, and never more
    // than VISTA_MAX), as lee_linea reads it.
    bool linea(char* buf, std::size_t size, bool* larga = nullptr);
    // The offset in the file of the next line.
    std::uint64_t posicion() const { return base_ + ini_; }
    // Goes to an offset that posicion() gave, without a read when it lies in
    // the buffer. False when the stream cannot seek there.
    bool salta_a(std::uint64_t pos);
    // Starts over on another stream (the file opened anew).
    void reinicia(std::FILE* f) {
        f_ = f;
        ini_ = fin_ = 0;
        base_ = 0;
    }

   private:
    bool vista_lenta(std::string_view* v, bool* larga);

    std::FILE* f_;
    std::size_t ini_ = 0;     // next unread byte of datos_
    std::size_t fin_ = 0;     // end of the bytes read into datos_
    std::uint64_t base_ = 0;  // offset in the file of datos_[0]
    char corte_[VISTA_MAX];   // the start of a line longer than the buffer
    char datos_[32768];
};

}  // namespace talmir
