// Judges a station's answer to a challenge.
#pragma once

namespace talmir {

void resp_usr(char* r_buf);

}  // namespace talmir
