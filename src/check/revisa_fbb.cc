// SPDX-License-Identifier: GPL-2.0-or-later
// FBB's configuration as the filter reads it (fbb.conf, else init.srv), and
// the directory of its mail import.
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "check/escucha.h"
#include "check/revision.h"
#include "config/fbb_conf.h"
#include "driver/rutas.h"

namespace talmir::revision {

void Revision::revisa_fbb() {
    escucha.limpia();
    int r = lee_init(r_buf_);
    escucha.limpia();
    const std::string conf = ruta_fbb_conf();
    int leido = read_fbb_conf(ruta_fbb_conf());
    free_fbb_conf();
    if (r != 1) {
        if (leido == 0) {
            std::string faltan;
            if (infbbs.id[0] == '\0') faltan += "callsign";
            if (infbbs.locator[0] == '\0')
                faltan += std::string(faltan.empty() ? "" : ", ") + "qraloc";
            if (infbbs.qth[0] == '\0') faltan += std::string(faltan.empty() ? "" : ", ") + "city";
            if (!faltan.empty()) {
                inf_.error(conf, 0,
                           texto("%s not set: FBB's configuration counts as unread, so port names "
                                 "cannot be looked up and no mail reaches the sysops",
                                 faltan.c_str()));
            } else {
                inf_.error(conf, 0,
                           "a conf, data or import path is too long (100 characters; the "
                           "import's lock name 80): FBB's configuration counts as unread");
            }
        } else {
            inf_.error(conf, 0, kSinFbb);
        }
        return;
    }
    if (leido != 0) {
        inf_.aviso(conf, 0,
                   "cannot be read: FBB's data come from init.srv in the current directory, "
                   "which is FBB's filter directory when FBB runs talmir");
    }
    // The mail import: every mail to the sysops goes there, or to mail.prt
    // while FBB holds the lock.
    std::string correo = infbbs.fch_correo;
    std::size_t barra = correo.rfind('/');
    std::string dir = barra == std::string::npos ? "." : correo.substr(0, barra == 0 ? 1 : barra);
    struct stat st;
    if (stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        inf_.error(correo, 0,
                   texto("FBB's mail import: its directory %s does not exist, so no mail reaches "
                         "the sysops (error 2)",
                         dir.c_str()));
    } else if (access(dir.c_str(), W_OK | X_OK) != 0) {
        inf_.error(correo, 0,
                   texto("FBB's mail import: its directory %s is not writable, so no mail "
                         "reaches the sysops (error 2)",
                         dir.c_str()));
    }
}

}  // namespace talmir::revision
