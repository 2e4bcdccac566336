#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Builds talmir and runs every test: the normal build (warnings are errors,
# the Debian package built and inspected among its tests), the same suite
# under AddressSanitizer and UndefinedBehaviorSanitizer, the clang-format
# check of the sources, clang-tidy and cppcheck on src/, the libFuzzer
# harnesses for a bounded time (tools/fuzz.sh --ci) and the rendering of the
# manual pages; as root also the package's installation with apt-get, in an
# overlay of the system, and the Raspberry Pi builds (armhf and arm64 with
# Debian's cross compilers, tested under qemu-user: tools/cross.sh). As root
# it first builds the patched FBB of platform/fbb (fbb 7.011-2+talmir1, once:
# build-fbb keeps it), extracted into build-fbb/raiz, so that the end-to-end
# tests run under it too.
#
# Usage: bash tools/test.sh   (as root on a fresh Debian machine: it installs
# what is missing with apt-get; as another user everything must be there).
set -euo pipefail

cd "$(dirname "$0")/.."

# --- What a fresh Debian machine lacks --------------------------------------
# fbb: the real BBS (xfbbd) for the end-to-end tests (ctest label e2e);
# dpkg-dev, debhelper and lintian: the Debian package built and checked
# (ctest label deb), and autopkgtest to run its debian/tests; the cross compilers of i386, armhf and arm64, against
# which InfsysNativo.* check the native inf.sys layout of each; clang and
# its runtime for the fuzzers; clang-tidy and cppcheck; valgrind for the
# instruction budgets (ctest label budget).
paquetes=(cmake make g++ libgtest-dev googletest clang-format man-db groff-base fbb
          dpkg-dev debhelper lintian autopkgtest
          g++-i686-linux-gnu g++-arm-linux-gnueabihf g++-aarch64-linux-gnu
          clang libclang-rt-dev clang-tidy cppcheck valgrind)
source tools/faltan.sh
instala_faltan test "${paquetes[@]}"

fallos=()
resumen=()
total_pasados=0
total_fallidos=0

# --- The patched FBB for the end-to-end tests ---------------------------------
# Every e2e scenario runs under the installed xfbbd and under FBB built with
# platform/fbb's patch, found through TALMIR_FBB_PARCHEADO (the directory the
# package is extracted into). build-deb.sh installs FBB's build dependencies
# (as root) and skips the build when build-fbb already holds the package.
if [ -n "${TALMIR_FBB_PARCHEADO:-}" ]; then
    resumen+=("patched FBB: $TALMIR_FBB_PARCHEADO (given)")
elif [ "$(id -u)" = 0 ] && [ -f /etc/debian_version ]; then
    echo "== The patched FBB: bash platform/fbb/build-deb.sh build-fbb"
    if deb=$(bash platform/fbb/build-deb.sh build-fbb | tail -n 1) && [ -f "$deb" ]; then
        rm -rf build-fbb/raiz
        dpkg-deb -x "$deb" build-fbb/raiz
        export TALMIR_FBB_PARCHEADO=$PWD/build-fbb/raiz
        resumen+=("patched FBB: $(basename "$deb") extracted into build-fbb/raiz")
    else
        fallos+=("patched FBB: platform/fbb/build-deb.sh")
    fi
else
    resumen+=("patched FBB: not built (needs root): its e2e scenarios are skipped")
fi

# Configures, builds and runs ctest in one build directory.
suite() {  # name build-dir cmake-options...
    local nombre=$1 dir=$2
    shift 2
    echo
    echo "== $nombre: configuring and building in $dir"
    if ! cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS=-Werror "$@" >/dev/null; then
        fallos+=("$nombre: configure")
        return
    fi
    if ! cmake --build "$dir" -j2; then
        fallos+=("$nombre: build")
        return
    fi
    echo "== $nombre: ctest"
    local registro=$dir/ctest-salida.txt
    set +e
    (cd "$dir" && ctest --output-on-failure -j2 --timeout 300) 2>&1 | tee "$registro"
    local codigo=${PIPESTATUS[0]}
    set -e
    local linea
    linea=$(grep -E 'tests passed|tests failed' "$registro" | tail -1 || true)
    resumen+=("$nombre: ${linea:-no ctest summary}")
    # "N% tests passed, F tests failed out of T"
    if [[ $linea =~ ([0-9]+)\ tests\ failed\ out\ of\ ([0-9]+) ]]; then
        total_fallidos=$((total_fallidos + BASH_REMATCH[1]))
        total_pasados=$((total_pasados + BASH_REMATCH[2] - BASH_REMATCH[1]))
    fi
    if [ "$codigo" != 0 ]; then fallos+=("$nombre: ctest"); fi
}

suite "Normal build" build-test -DCMAKE_EXPORT_COMPILE_COMMANDS=ON
suite "ASan+UBSan build" build-asan -DTALMIR_SANITIZE=ON

# The clock build of the challenges' random numbers (TALMIR_RANDOM=clock):
# the tests of the draws and the dialogues, against the same sources.
echo
echo "== Clock build: configuring and building in build-reloj"
if cmake -S . -B build-reloj -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS=-Werror \
    -DTALMIR_RANDOM=clock >/dev/null && cmake --build build-reloj -j2 --target talmir_tests; then
    if (cd build-reloj && ctest --output-on-failure -j2 --timeout 300 \
        -R '^(Azar|Password|Dialogo|Revision\.LoQuePasa)'); then
        resumen+=("clock build: the draws' and dialogues' tests pass")
    else
        fallos+=("clock build: ctest")
    fi
else
    fallos+=("clock build: build")
fi

echo
echo "== clang-format check of src/ tests/ tools/ fuzz/"
mapfile -t fuentes < <(find src tests tools fuzz -name '*.cc' -o -name '*.h' | sort)
if clang-format --dry-run -Werror "${fuentes[@]}"; then
    resumen+=("clang-format: ${#fuentes[@]} files clean")
else
    fallos+=("clang-format")
fi

echo
echo "== Static analysis of src/: clang-tidy (.clang-tidy) and cppcheck"
if [ -f build-test/compile_commands.json ]; then
    mapfile -t programa < <(find src -name '*.cc' | sort)
    if printf '%s\n' "${programa[@]}" |
        xargs -P 2 -n 1 clang-tidy -p build-test --quiet 2>/dev/null; then
        resumen+=("clang-tidy: ${#programa[@]} files of src/ clean")
    else
        fallos+=("clang-tidy")
    fi
    if cppcheck --project=build-test/compile_commands.json -i tests -i tools \
        --enable=warning,style,performance,portability --std=c++20 --inline-suppr \
        --suppressions-list=tools/cppcheck-suppressions.txt --error-exitcode=1 --quiet; then
        resumen+=("cppcheck: src/ clean")
    else
        fallos+=("cppcheck")
    fi
else
    fallos+=("static analysis: no compile_commands.json")
fi

echo
set +e
mkdir -p build-fuzz
bash tools/fuzz.sh --ci 2>&1 | tee build-fuzz/salida-ci.txt
codigo=${PIPESTATUS[0]}
set -e
linea=$(grep -E 'tests passed|tests failed' build-fuzz/salida-ci.txt | tail -1 || true)
resumen+=("Fuzzers (${TALMIR_FUZZ_SECONDS:-15} s each): ${linea:-no ctest summary}")
if [[ $linea =~ ([0-9]+)\ tests\ failed\ out\ of\ ([0-9]+) ]]; then
    total_fallidos=$((total_fallidos + BASH_REMATCH[1]))
    total_pasados=$((total_pasados + BASH_REMATCH[2] - BASH_REMATCH[1]))
fi
if [ "$codigo" != 0 ]; then fallos+=("fuzzers"); fi

echo
echo "== Rendering the manual pages with man --warnings -l"
paginas=(doc/*.[1-8])
malas=0
for pagina in "${paginas[@]}"; do
    avisos=$(MANWIDTH=80 man --warnings -l "$pagina" 2>&1 >/dev/null) || avisos="man failed: $avisos"
    if [ -n "$avisos" ]; then
        echo "$pagina:"
        echo "$avisos"
        malas=$((malas + 1))
    fi
done
if ((malas)); then
    fallos+=("man pages: $malas with warnings")
else
    resumen+=("man pages: ${#paginas[@]} render without warnings (${paginas[*]})")
fi

# --- The package installed the way a sysop does, with apt-get, as root on
# Debian: inside a private mount namespace whose /usr, /var and /etc are
# overlays, so that this machine is left as it was. ctest has installed it
# into a scratch root already (label deb).
if [ "$(id -u)" = 0 ] && [ -f /etc/debian_version ]; then
    echo
    echo "== apt-get install ./talmir_*.deb (in an overlay of this system)"
    if bash tools/apt_deb.sh --overlay build-test/paquete-deb; then
        resumen+=("apt-get: the package installs, man talmir works, purged again")
    else
        fallos+=("apt-get install of the package")
    fi
    # The same package under Debian's installed FBB, set up as a sysop does,
    # stations logging in over telnet.
    echo
    echo "== talmir's package under Debian's FBB: tests/fbb_paquete.sh (in an overlay)"
    shopt -s nullglob
    paquete=(build-test/paquete-deb/talmir_*.deb)
    shopt -u nullglob
    set +e
    ((${#paquete[@]} == 1)) && bash tests/fbb_paquete.sh "${paquete[0]}"
    codigo=$?
    set -e
    case $codigo in
    0) resumen+=("FBB: the package's talmir challenges, refuses and mails under the installed xfbbd") ;;
    77) resumen+=("FBB: tests/fbb_paquete.sh skipped") ;;
    *) fallos+=("talmir's package under Debian's FBB") ;;
    esac
    # The same test as a distribution runs it: the autopkgtest of debian/tests
    # on the built package and the source tree it was built from (tools/deb.sh's
    # copy), with autopkgtest's null runner (this machine is the testbed)
    # inside an overlay; the test makes its own namespaces.
    echo
    echo "== autopkgtest of debian/tests (null runner, in an overlay)"
    set +e
    ((${#paquete[@]} == 1)) && bash tools/capas.sh autopkgtest \
        --ignore-restrictions=isolation-container "$(realpath "${paquete[0]}")" "$PWD/build-test/paquete-deb/talmir/" -- null \
        >build-test/autopkgtest.log 2>&1
    codigo=$?
    set -e
    if [ "$codigo" = 0 ]; then
        resumen+=("autopkgtest: $(grep -E '^fbb-login +[A-Z]+' build-test/autopkgtest.log | tail -1)")
    else
        tail -n 30 build-test/autopkgtest.log
        fallos+=("autopkgtest (build-test/autopkgtest.log)")
    fi
    # The package for the Raspberry Pi: cross-built for armhf and arm64,
    # checked like the native one (lintian, contents, a scratch root), its
    # programs run under qemu-user.
    for arq in armhf arm64; do
        echo
        echo "== The package for $arq: tests/paquete_deb.sh --arch $arq"
        if bash tests/paquete_deb.sh --arch "$arq" "build-test/paquete-deb-$arq"; then
            resumen+=("package for $arq: cross-built, lintian clean, installed, runs under qemu")
        else
            fallos+=("package for $arq")
        fi
    done
    # The patched FBB the same way: installed over the stock one, marked,
    # running, and no longer warned of by talmir-check.
    shopt -s nullglob
    fbb_parcheado=(build-fbb/fbb_*+talmir*.deb)
    shopt -u nullglob
    if ((${#fbb_parcheado[@]} == 1)); then
        echo
        echo "== apt-get install ./${fbb_parcheado[0]} (in an overlay of this system)"
        if bash tools/capas.sh bash platform/fbb/install-check.sh "${fbb_parcheado[0]}" \
            build-test/talmir-check; then
            resumen+=("apt-get: the patched FBB installs, carries its marker and runs")
        else
            fallos+=("apt-get install of the patched FBB")
        fi
    fi
fi

# --- The Raspberry Pi builds (tools/cross.sh), as root on Debian: armhf and
# arm64 cross-compiled, their unit and process-level tests under qemu-user.
if [ "$(id -u)" = 0 ] && [ -f /etc/debian_version ]; then
    for arq in armhf arm64; do
        echo
        echo "== Cross build for $arq: bash tools/cross.sh $arq"
        mkdir -p "build-cross-$arq"
        set +e
        bash tools/cross.sh "$arq" 2>&1 | tee "build-cross-$arq/cross-salida.txt"
        codigo=${PIPESTATUS[0]}
        set -e
        linea=$(grep -E 'tests passed|tests failed' "build-cross-$arq/cross-salida.txt" | tail -1 | sed 's/^ *//' || true)
        tiempo=$(grep -oE 'total [0-9]+ s' "build-cross-$arq/cross-salida.txt" | tail -1 || true)
        resumen+=("cross $arq (qemu-user): ${linea:-no ctest summary}${tiempo:+, $tiempo}")
        if [[ $linea =~ ([0-9]+)\ tests\ failed\ out\ of\ ([0-9]+) ]]; then
            total_fallidos=$((total_fallidos + BASH_REMATCH[1]))
            total_pasados=$((total_pasados + BASH_REMATCH[2] - BASH_REMATCH[1]))
        fi
        if [ "$codigo" != 0 ]; then fallos+=("cross $arq"); fi
    done
fi

echo
echo "== Summary"
for r in "${resumen[@]}"; do echo "   $r"; done
if ((${#fallos[@]})); then
    echo "   FAILED: ${fallos[*]}"
else
    echo "   All checks passed."
fi
echo "ctest: $total_pasados passed, $total_fallidos failed"
((${#fallos[@]} == 0))
