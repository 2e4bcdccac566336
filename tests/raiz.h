// SPDX-License-Identifier: GPL-2.0-or-later
// The scratch root of the tests and of the fuzzing harnesses: a fresh
// directory standing for "/". Both build the program with "." in front of
// every fixed path, so a run whose current directory is the root finds its
// working directory in var/ax25/fbb/talmir, FBB's configuration in
// etc/ax25/fbb.conf, and so on. No test framework in here: the harnesses
// link it too.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace prueba {

class RaizTemporal {
   public:
    // A new directory padre/nombre.XXXXXX with the program's directories
    // laid in it (the process aborts when it cannot be made).
    RaizTemporal(const std::string& padre, const char* nombre);
    // Removes the root with everything in it.
    ~RaizTemporal();
    RaizTemporal(const RaizTemporal&) = delete;
    RaizTemporal& operator=(const RaizTemporal&) = delete;

    // Absolute path of a path relative to the root.
    std::string ruta(const std::string& rel) const;
    // A file of the working directory, relative to the root.
    static std::string trabajo(const std::string& nombre);

    // Writes a file (relative to the root; its directories are made). False
    // when the file cannot be made (a directory in the way, say).
    bool escribe(const std::string& rel, std::string_view contenido) const;
    // The whole file, or the empty text when there is none.
    std::string lee(const std::string& rel) const;
    bool existe(const std::string& rel) const;
    void borra(const std::string& rel) const;
    void crea_dir(const std::string& rel) const;
    // Removes everything in the root and lays the program's directories
    // anew: the root as it was made.
    void vacia() const;
    // Every path under the root, relative to it, files and directories.
    std::vector<std::string> lista() const;

    const std::string& dir() const { return dir_; }

   private:
    // The working directory, FBB's mail and FBB's system directory.
    void prepara() const;

    std::string dir_;
};

}  // namespace prueba
