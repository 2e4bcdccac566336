// SPDX-License-Identifier: GPL-2.0-or-later
// Text files read line by line: lee_linea for the small ones, LectorLineas
// for the ones that may be large (the user table), and lee_palabra for the
// words of a line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace talmir {

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
