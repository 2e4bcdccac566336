// SPDX-License-Identifier: GPL-2.0-or-later
// The working directory: writable, and what its files tell (password
// tables, error markers, the filter switched off, closed ports).
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "check/revision.h"
#include "driver/rutas.h"

namespace talmir::revision {

void Revision::revisa_trabajo() {
    const std::string dir = DIR_TRABAJO;
    struct stat st;
    if (stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        inf_.error(dir, 0,
                   "the working directory does not exist: challenges, logs and error reports "
                   "cannot be written (error 10)");
        return;
    }
    if (access(dir.c_str(), W_OK | X_OK) != 0) {
        inf_.error(dir, 0,
                   "the working directory is not writable: challenges, logs and error reports "
                   "cannot be written (error 10)");
    }
    std::vector<std::string> nombres;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d)) nombres.emplace_back(e->d_name);
        closedir(d);
    }
    std::sort(nombres.begin(), nombres.end());
    auto termina = [](const std::string& s, const char* fin) {
        std::size_t n = std::strlen(fin);
        return s.size() > n && s.compare(s.size() - n, n, fin) == 0;
    };
    for (const std::string& n : nombres) {
        std::string ruta = dir;
        ruta += '/';
        ruta += n;
        if (termina(n, ".TBL")) {
            revisa_tabla(ruta);
        } else if (termina(mayusculas(n), ".TBL")) {
            inf_.aviso(ruta, 0, "never read: a password table's name ends in .TBL, in capitals");
        } else if (termina(n, ".tmp")) {
            std::string raiz = n.substr(0, n.size() - 4);
            if (raiz.compare(0, 5, "error") == 0 && solo_digitos(raiz.substr(5))) {
                inf_.nota(ruta, 0,
                          texto("error %s has been reported: it is not mailed again while this "
                                "marker stands",
                                raiz.c_str() + 5));
            } else if (stat(ruta.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
                inf_.error(ruta, 0,
                           "not a plain file: the challenge file of that station cannot be "
                           "written (error 10)");
            }
        } else if (n == "talmir.sta") {
            inf_.nota(ruta, 0, "the filter is off: every station is let in (talmir -on)");
        } else if (termina(n, ".prt") && solo_digitos(n.substr(0, n.size() - 4))) {
            inf_.nota(ruta, 0,
                      texto("port %s is closed to all but BBSs and sysops (talmir -pnormal %s)",
                            n.substr(0, n.size() - 4).c_str(), n.substr(0, n.size() - 4).c_str()));
        }
    }
}

}  // namespace talmir::revision
