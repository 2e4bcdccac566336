// SPDX-License-Identifier: GPL-2.0-or-later
// talmir-sim: plays FBB's part in one connection, so that a sysop, a person
// or a test can see what a station sees and answer as it would. Each run of talmir gets the
// arguments FBB gives its connection filter (CALL-SSID, call counter, user
// flags, new-user flag, record, port and the typed line split into words by
// the shell), in the directory FBB's filter directory stands for; its output
// is shown as FBB sends it, and its exit code decides the next step.
//
// Lines of the simulator's own begin with "[talmir-sim]"; everything else is
// the station's screen. The exit status is talmir's last exit code (0, 2, 3,
// 4, 11: the verdict), 1 when the dialogue stopped while talmir still waited
// for an answer, 64 on a usage error and 70 when talmir could not run or died.
// With --challenge it only works out a station's answer: 0 printed, 1 none.

#include <cstdio>

#include "sim/opciones.h"
#include "sim/sim.h"

int main(int argc, char** argv) {
    static talmir::sim::Opciones o;
    int r = talmir::sim::opciones(argc, argv, &o);
    if (r != 0) return r < 0 ? 0 : r;
    if (o.reto != nullptr) return talmir::sim::calcula(o);
    r = o.forward ? talmir::sim::forward(o) : talmir::sim::dialogo(o);
    (void)std::fflush(stdout);
    return r;
}
