// SPDX-License-Identifier: GPL-2.0-or-later
// Texts sent to stations, new-user notice and welcome mail.
#pragma once

#include <cstdint>

#include "driver/disco.h"

namespace talmir {

enum sf_intro { sf_genintro = 0, sf_newusr = 1, sf_guest = 2, sf_prespers = 3 };

// The file a text of the station is read from: by language and port, port,
// language, general (the language steps with txt_lang on and a known
// language). A closed Archivo when none opens. ruta (RUTA_MAX bytes) receives
// the path of the file that opened.
Archivo busca_texto(const char* fichp, const char* fich, char* ruta);
// The file of one intro type that envia_txtintro would send, or a closed
// Archivo when none applies or none opens; ruta as for busca_texto.
Archivo busca_txtintro(int introtype, char* ruta);

void envia_intro(char* r_buf);
void envia_txtintro(int introtype, char* r_buf);
void msg_informativo(char* r_buf);
std::int8_t nuevo_usr(char* r_buf);
void msg_newusr(char* r_buf);

}  // namespace talmir
