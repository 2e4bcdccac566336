#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# The Raspberry Pi builds: talmir cross-compiled for armhf (32-bit Raspberry
# Pi OS) or arm64 with Debian's cross compilers, and its unit and
# process-level tests run under qemu-user. GoogleTest is built from the
# sources of the googletest package with the same compiler, so no package
# of the foreign architecture is needed.
#
# Usage: bash tools/cross.sh armhf|arm64   (as root on Debian it installs what
# is missing with apt-get). Build directory: build-cross-ARCH.
#
# The built programs run other built programs (the tests run talmir,
# talmir-sim runs talmir, a shell runs FBB's c_filter link). Without qemu
# registered with binfmt_misc the kernel cannot start a foreign program, so
# the tests put the emulator in front of every built program they start
# (tests/entorno.cc, prueba::orden), and hand the others a script that does
# the same (tests/CMakeLists.txt): no registration is needed.
set -euo pipefail

cd "$(dirname "$0")/.."
inicio=$(date +%s)

arq=${1:-}
case $arq in
    armhf) qemu=arm ;;
    arm64) qemu=aarch64 ;;
    *)
        echo "usage: bash tools/cross.sh armhf|arm64" >&2
        exit 64
        ;;
esac
dir=build-cross-$arq

# --- What a fresh Debian machine lacks --------------------------------------
paquetes=(cmake make "crossbuild-essential-$arq" qemu-user-static googletest)
source tools/faltan.sh
instala_faltan cross "${paquetes[@]}"

# --- How the foreign programs run ---------------------------------------------
# ctest puts the emulator (cmake/cross.cmake) in front of each test, and the
# tests in front of each built program they start, so binfmt_misc is not
# needed; it is only told.
if [ -f "/proc/sys/fs/binfmt_misc/qemu-$qemu" ] &&
    grep -qx enabled "/proc/sys/fs/binfmt_misc/qemu-$qemu"; then
    modo="qemu-$qemu, also registered with binfmt_misc"
else
    modo="qemu-$qemu, not registered with binfmt_misc"
fi
echo "== cross $arq: $modo"

fallo() {
    echo "cross $arq: $1 failed" >&2
    echo "cross $arq: FAILED ($1) after $(($(date +%s) - inicio)) s"
    exit 1
}

# --- GoogleTest for the target, once ------------------------------------------
cadena=$PWD/cmake/cross.cmake
gtest=$PWD/$dir/gtest
if [ ! -f "$gtest/lib/cmake/GTest/GTestConfig.cmake" ]; then
    echo "== GoogleTest from /usr/src/googletest for $arq"
    cmake -S /usr/src/googletest -B "$dir/gtest-build" -DCMAKE_TOOLCHAIN_FILE="$cadena" \
        -DTALMIR_CROSS_ARCH="$arq" -DCMAKE_BUILD_TYPE=Release -DBUILD_GMOCK=OFF \
        -DCMAKE_INSTALL_PREFIX="$gtest" >/dev/null || fallo "GoogleTest configure"
    cmake --build "$dir/gtest-build" -j2 >/dev/null || fallo "GoogleTest build"
    cmake --install "$dir/gtest-build" >/dev/null || fallo "GoogleTest install"
fi

# --- talmir ------------------------------------------------------------------
echo "== cross $arq: configuring and building in $dir"
cmake -S . -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$cadena" -DTALMIR_CROSS_ARCH="$arq" \
    -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS=-Werror \
    -DGTest_DIR="$gtest/lib/cmake/GTest" >/dev/null || fallo "configure"
cmake --build "$dir" -j2 || fallo "build"
compilado=$(date +%s)

# Not here: the real FBB (e2e, the build machine's xfbbd), the Debian
# package (deb), the instruction budgets (budget, valgrind) and the stress test.
echo "== cross $arq: ctest"
registro_ctest=$dir/ctest-salida.txt
set +e
(cd "$dir" && ctest --output-on-failure -j2 --timeout 600 \
    -LE 'e2e|deb|budget|stress') 2>&1 | tee "$registro_ctest"
codigo=${PIPESTATUS[0]}
set -e
fin=$(date +%s)
linea=$(grep -E 'tests passed|tests failed' "$registro_ctest" | tail -1 || true)
echo
echo "== cross $arq summary ($modo)"
echo "   ${linea:-no ctest summary}"
echo "   configure and build $((compilado - inicio)) s, tests $((fin - compilado)) s, total $((fin - inicio)) s"
if [ "$codigo" != 0 ]; then
    echo "cross $arq: FAILED (ctest)"
    exit 1
fi
echo "cross $arq: passed"
