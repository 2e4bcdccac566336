# SPDX-License-Identifier: GPL-2.0-or-later
# Toolchain file for the Raspberry Pi builds with Debian's cross compilers
# (crossbuild-essential-armhf or -arm64), the programs and tests run under
# qemu-user (qemu-user-static). The architecture comes from TALMIR_CROSS_ARCH
# (armhf or arm64), given on cmake's command line or in the environment;
# tools/cross.sh sets it. The programs are linked statically, so qemu needs
# the target's C library (-L) only for the dynamic test programs.
if(NOT TALMIR_CROSS_ARCH AND DEFINED ENV{TALMIR_CROSS_ARCH})
  set(TALMIR_CROSS_ARCH "$ENV{TALMIR_CROSS_ARCH}")
endif()
# Try-compiles read this file again: hand them the architecture too.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TALMIR_CROSS_ARCH)

if(TALMIR_CROSS_ARCH STREQUAL "armhf")
  set(CMAKE_SYSTEM_PROCESSOR arm)
  set(talmir_triplete arm-linux-gnueabihf)
  set(talmir_qemu arm)
elseif(TALMIR_CROSS_ARCH STREQUAL "arm64")
  set(CMAKE_SYSTEM_PROCESSOR aarch64)
  set(talmir_triplete aarch64-linux-gnu)
  set(talmir_qemu aarch64)
else()
  message(FATAL_ERROR "TALMIR_CROSS_ARCH must be armhf or arm64, not '${TALMIR_CROSS_ARCH}'")
endif()

set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_C_COMPILER ${talmir_triplete}-gcc)
set(CMAKE_CXX_COMPILER ${talmir_triplete}-g++)
set(CMAKE_LIBRARY_ARCHITECTURE ${talmir_triplete})

# The target's files live in /usr/<triplet>; programs are the build machine's.
set(CMAKE_FIND_ROOT_PATH /usr/${talmir_triplete})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# GoogleTest is built for the target by tools/cross.sh and named by GTest_DIR.
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)

find_program(TALMIR_QEMU NAMES qemu-${talmir_qemu}-static qemu-${talmir_qemu})
if(TALMIR_QEMU)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TALMIR_QEMU} -L /usr/${talmir_triplete})
endif()
