// SPDX-License-Identifier: GPL-2.0-or-later
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

#include <cstring>

#include "config/config.h"
#include "driver/disco.h"
#include "driver/disco_simulado.h"
#include "driver/global.h"
#include "driver/rutas.h"
#include "driver/texto.h"

namespace talmir {

namespace {

// The pending mail, and the name it is moved to while it is being copied.
constexpr const char* kPendiente = "mail.prt";
constexpr const char* kApartado = "mail.prt.mov";
// Times a writer opens "mail.prt" again when it was moved under it.
constexpr int kReintentos = 10;

// How the pending file is appended to: created when missing, under its
// flock, reopened when the mover took it aside meanwhile.
Anexo anexo_pendiente() {
    Anexo a;
    a.crea = true;
    a.cerrojo = Anexo::Cerrojo::exclusivo;
    a.reintentos = kReintentos;
    a.corte = Anexo::Corte::propio;
    return a;
}

// How FBB's import file is appended to: created when missing; cut back
// fully on failure when this writer holds FBB's lock, else only when no one
// appended after it.
Anexo anexo_importacion(bool bloqueo_propio) {
    Anexo a;
    a.crea = true;
    a.corte = bloqueo_propio ? Anexo::Corte::propio : Anexo::Corte::compartido;
    return a;
}

}  // namespace

bool abre_mailin(MAILIN* fpmail) {
    fpmail->abierto = false;
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
        // The pending file named as FBB's import: writing it now would write
        // under the lock someone else holds. Neither can be had, and nothing
        // is left of the attempt.
        Anexo a = anexo_pendiente();
        a.cerrojo = Anexo::Cerrojo::ninguno;
        a.distinto_de = infbbs.fch_correo;
        if (anexa(ruta, {}, a) != Anexado::hecho) return false;
        fpmail->abierto = true;
        fpmail->pendiente = true;
        return true;
    }
    // Created (1), or the lock cannot be made at all (-1): then the message
    // still goes to the import file, without a lock to remove afterwards.
    if (anexa(infbbs.fch_correo, {}, anexo_importacion(bloqueo == 1)) != Anexado::hecho) {
        if (bloqueo == 1) borra(infbbs.fch_bloq_correo);
        return false;
    }
    ya_bloqueado = 0;
    fpmail->abierto = true;
    fpmail->bloqueo_propio = bloqueo == 1;
    return true;
}

void escribe_mensaje(MAILIN* fpmail, const char* linea_sp, const char* asunto,
                     const std::string& cuerpo) {
    if (!fpmail->abierto) return;
    if (simulacion != nullptr) simulacion->mensaje(linea_sp, asunto);
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

void escribe_a_sysops(MAILIN* fpmail, const char* asunto, const std::string& cuerpo) {
    const int num = cfg.num_sysop < 5 ? cfg.num_sysop : 5;
    for (int i = 0; i < num; ++i) {
        char sysop[sizeof cfg.sysop[i] + 1];
        copia(sysop, sizeof sysop,
              std::string_view(cfg.sysop[i], strnlen(cfg.sysop[i], sizeof cfg.sysop[i])));
        char linea_sp[sizeof sysop + 16];
        formatea(linea_sp, sizeof linea_sp, "SP %s < TALMIR", sysop);
        escribe_mensaje(fpmail, linea_sp, asunto, cuerpo);
    }
}

bool cierra_mailin(MAILIN* fpmail) {
    if (!fpmail->abierto) return false;
    bool ok;
    if (fpmail->pendiente) {
        char ruta[RUTA_MAX];
        ok = ruta_trabajo(ruta, kPendiente) &&
             anexa(ruta, fpmail->texto, anexo_pendiente()) == Anexado::hecho;
    } else {
        ok = anexa(infbbs.fch_correo, fpmail->texto, anexo_importacion(fpmail->bloqueo_propio)) ==
             Anexado::hecho;
        if (fpmail->bloqueo_propio) borra(infbbs.fch_bloq_correo);
    }
    fpmail->abierto = false;
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
    // FBB's import named as the pending file or its aside name: the mail
    // cannot be moved into itself (the copy would feed on its own output, or
    // the rename would put the pending file over the import). It stays.
    if (anexa(infbbs.fch_correo, {}, anexo_importacion(true)) != Anexado::hecho ||
        mismo_fichero(infbbs.fch_correo, pendiente) || mismo_fichero(infbbs.fch_correo, apartado)) {
        borra(infbbs.fch_bloq_correo);
        return;
    }
    // What an earlier run could not copy goes first, in its order. Only a
    // pending file that is a regular file this run can read is moved aside:
    // any other stays under its own name, where the sysop finds it.
    bool ok = true;
    if (existe(apartado)) ok = vacia_en(apartado, infbbs.fch_correo);
    if (ok && !existe(apartado) && es_regular_legible(pendiente) && renombra(pendiente, apartado))
        vacia_en(apartado, infbbs.fch_correo);
    borra(infbbs.fch_bloq_correo);
}

}  // namespace talmir
