// SPDX-License-Identifier: GPL-2.0-or-later
// The simulator itself: runs talmir as FBB runs its connection filter and
// carries the dialogue between it and the station.
#pragma once

#include "sim/opciones.h"

namespace talmir::sim {

// A station's dialogue with talmir: the lines typed (standard input or
// --script), answered by the simulator (--answer) or helped (--password).
// Returns talmir's last exit code, or 1, SALIDA_USO or SALIDA_FALLO.
int dialogo(const Opciones& o);
// --forward: BBS A challenges the partner BBS B, which answers, and A
// gives its verdict on B's answer.
int forward(const Opciones& o);
// --challenge: the station's answer to one challenge line, nothing run.
int calcula(const Opciones& o);

}  // namespace talmir::sim
