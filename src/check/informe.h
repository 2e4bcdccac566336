// SPDX-License-Identifier: GPL-2.0-or-later
// The checker's report: diagnostics in the style of compilers, "file:line:
// error: message", collected from every reading and written sorted by file
// and line.
#pragma once

#include <cstdio>
#include <string>
#include <unordered_set>
#include <vector>

namespace talmir {

enum class gravedad : unsigned char { error, aviso, nota };

struct Diagnostico {
    std::string fichero;  // the path as read
    unsigned linea;       // 0: the file as a whole
    gravedad grado;
    std::string mensaje;
};

class Informe {
   public:
    // Files are written in the order in which they are first named here or
    // in a diagnostic; within a file, by line.
    void fichero(const std::string& ruta);
    void error(const std::string& ruta, unsigned linea, const std::string& mensaje);
    void aviso(const std::string& ruta, unsigned linea, const std::string& mensaje);
    void nota(const std::string& ruta, unsigned linea, const std::string& mensaje);

    int errores() const { return errores_; }
    int avisos() const { return avisos_; }
    const std::vector<Diagnostico>& diagnosticos() const { return lista_; }
    // Every diagnostic, one a line, sorted.
    void escribe(std::FILE* f) const;

   private:
    void anade(const std::string& ruta, unsigned linea, gravedad g, const std::string& mensaje);
    std::vector<std::string> ficheros_;
    std::vector<Diagnostico> lista_;
    std::unordered_set<std::string> vistos_;
    int errores_ = 0;
    int avisos_ = 0;
};

// printf into a std::string.
std::string texto(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

}  // namespace talmir
