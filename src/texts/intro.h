// Texts sent to stations, new-user notice and welcome mail.
#pragma once

#include <cstdint>

namespace talmir {

enum sf_intro { sf_genintro = 0, sf_newusr = 1, sf_guest = 2, sf_prespers = 3 };

void envia_intro(char* r_buf);
void envia_txtintro(int introtype, char* r_buf);
void msg_informativo(char* r_buf);
std::int8_t nuevo_usr(char* r_buf);
void msg_newusr(char* r_buf);

}  // namespace talmir
