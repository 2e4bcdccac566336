// SPDX-License-Identifier: GPL-2.0-or-later
// Mail into FBB through its mail import file.
#pragma once

#include <cstddef>
#include <string>

namespace talmir {

// A writer's messages, gathered in memory and handed to FBB in one append
// when the mail import is closed.
struct MAILIN {
    bool abierto = false;         // a file to write to was had
    bool pendiente = false;       // it is the pending file "mail.prt"
    bool bloqueo_propio = false;  // this writer created FBB's lock file
    std::string texto;
};

// Opens the mail import: the import file under FBB's lock, or the pending
// file while someone else holds the lock. False when neither can be had.
bool abre_mailin(MAILIN* fpmail);
// Appends one message in FBB's import format: "#", the send line, the
// subject, the body as given (its lines end with "\n"), "/EX".
void escribe_mensaje(MAILIN* fpmail, const char* linea_sp, const char* asunto,
                     const std::string& cuerpo);
// Appends the message once for each sysop of config.prt (at most five), each
// sent "SP CALL < TALMIR".
void escribe_a_sysops(MAILIN* fpmail, const char* asunto, const std::string& cuerpo);
// Writes what was gathered in one append, closes, releases the lock.
// False when the messages could not be written.
bool cierra_mailin(MAILIN* fpmail);
// Moves pending mail into FBB's import file.
void correo_pendiente(char* r_buf);

}  // namespace talmir
