// SPDX-License-Identifier: GPL-2.0-or-later
#include "driver/talmir.h"

int main(int argc, char** argv) {
    return talmir::talmir_main(argc, argv);
}
