// SPDX-License-Identifier: GPL-2.0-or-later
// Where the texts of a station are found, and how one is sent: every text,
// table and presentation is looked for and sent through here.
#pragma once

#include "driver/disco.h"

namespace talmir {

// The port's own text of the working directory ("open3.prt" for raiz "open"
// on port 3), else the general one ("open.prt"). With a language, each is
// taken from the language's folder when it is there. A closed Archivo when
// neither opens; ruta (RUTA_MAX bytes) receives the path of the one that
// opened.
Archivo busca_texto_puerto(const char* lang, const char* raiz, const char* general, char* ruta);
// The station's own file of the working directory: callsign and SSID
// ("N0CALL7.TBL" for ext "TBL"), else the callsign alone ("N0CALL.TBL").
Archivo busca_por_indicativo(const char* ext, char* ruta);
// Sends the whole of an open text, bytes unchanged, after one newline.
void envia_texto(char* r_buf, const Archivo& f, const char* ruta);

}  // namespace talmir
