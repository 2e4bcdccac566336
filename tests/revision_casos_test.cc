// SPDX-License-Identifier: GPL-2.0-or-later
// talmir-check against the worlds of tests/check: each folder holds the files
// of a scratch root and the report the checker must write there
// (tests/check/README).
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "entorno.h"

namespace {

using prueba::Raiz;

const std::string kCasos = std::string(TALMIR_SOURCE_DIR) + "/tests/check";

std::string lee_fichero(const std::string& ruta) {
    std::string s;
    FILE* f = std::fopen(ruta.c_str(), "rb");
    if (f == nullptr) return s;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
    std::fclose(f);
    return s;
}

std::vector<std::string> entradas(const std::string& dir) {
    std::vector<std::string> v;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d)) {
            std::string n = e->d_name;
            if (n != "." && n != "..") v.push_back(n);
        }
        closedir(d);
    }
    std::sort(v.begin(), v.end());
    return v;
}

bool es_dir(const std::string& ruta) {
    struct stat st;
    return stat(ruta.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string sustituye(std::string s, const std::string& que, const std::string& por) {
    for (std::size_t i = s.find(que); i != std::string::npos; i = s.find(que, i + por.size())) {
        s.replace(i, que.size(), por);
    }
    return s;
}

// Copies the folder's world (all but "esperado") into the root, "@RAIZ@"
// standing for the root's absolute path.
void copia_mundo(const Raiz& raiz, const std::string& dir, const std::string& rel) {
    for (const std::string& n : entradas(dir)) {
        if (rel.empty() && n == "esperado") continue;
        const std::string ruta = dir + "/" + n;
        const std::string destino = rel.empty() ? n : rel + "/" + n;
        if (es_dir(ruta)) {
            copia_mundo(raiz, ruta, destino);
        } else {
            const std::string base = raiz.ruta("");
            raiz.escribe(destino,
                         sustituye(lee_fichero(ruta), "@RAIZ@", base.substr(0, base.size() - 1)));
        }
    }
}

TEST(RevisionCasos, CadaCarpetaDaSuInforme) {
    const std::vector<std::string> casos = entradas(kCasos);
    int vistos = 0;
    for (const std::string& caso : casos) {
        const std::string dir = kCasos + "/" + caso;
        if (!es_dir(dir)) continue;
        const std::string esperado = lee_fichero(dir + "/esperado");
        const std::size_t fin = esperado.find('\n');
        ASSERT_NE(fin, std::string::npos) << caso << ": no exit status in esperado";
        const int codigo = std::stoi(esperado.substr(0, fin));
        Raiz raiz;
        copia_mundo(raiz, dir, "");
        const prueba::Resultado r = prueba::ejecuta_programa(TALMIR_CHECK_BIN, raiz, {}, {});
        EXPECT_EQ(r.salida, esperado.substr(fin + 1)) << caso << "\n" << r.errores;
        EXPECT_EQ(r.codigo, codigo) << caso;
        ++vistos;
    }
    EXPECT_GT(vistos, 0) << "no folders in " << kCasos;
}

}  // namespace
