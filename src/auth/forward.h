// Challenge-response between partner BBSs.
#pragma once

namespace talmir {

void password_forward(char* r_buf);
void resp_fwd(char* r_buf);

}  // namespace talmir
