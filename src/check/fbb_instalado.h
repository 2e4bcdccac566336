// SPDX-License-Identifier: GPL-2.0-or-later
// The FBB installed on the machine, as far as talmir's safety depends on it.
#pragma once

#include <string>

namespace talmir {

// The bytes that FBB built with the quoting of the typed line carries in its
// daemon (platform/fbb/ in talmir's source).
inline constexpr const char FBB_MARCA_CITADO[] = "fbb-shell-quote-1";

// The warning due for the installed FBB, or the empty text: an xfbbd without
// the quoting whose package is LinFBB 7.0.11 or older (or that no package
// names) hands every line a station types to its shell.
std::string aviso_fbb_instalado();

// The warning due for a station in the GUEST mode under the installed FBB,
// or the empty text: LinFBB 7.0.11 and older (and an FBB that no package
// names) have no guest access.
std::string aviso_guest_fbb();

}  // namespace talmir
