#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Builds the libFuzzer harnesses of fuzz/ (clang, ASan, UBSan) in build-fuzz/
# and runs them.
#
#   bash tools/fuzz.sh --ci                 every harness for TALMIR_FUZZ_SECONDS
#                                           (15) through ctest -L fuzz, two at a
#                                           time; what tools/test.sh runs
#   bash tools/fuzz.sh [-t SECONDS] [-j N] [HARNESS...]
#                                           by hand: each named harness (all by
#                                           default) for SECONDS (3600), N at a
#                                           time (1)
#
# New inputs are kept in build-fuzz/fuzz/corpus/HARNESS (the checked-in seeds
# and regression inputs in fuzz/corpus/HARNESS are read first), findings in
# build-fuzz/fuzz/hallazgos/HARNESS-crash-*, logs in build-fuzz/fuzz/logs/.
# The summary gives the executions of each harness and its findings.
set -euo pipefail

cd "$(dirname "$0")/.."
raiz=$(pwd)
build=build-fuzz

todos=(argumentos config_prt users_prt fbb_conf init_srv port_sys langue_sys inf_sys lenguaje
       tabla reto logusr_prt ejecucion)

ci=0
segundos=3600
trabajos=1
elegidos=()
while (($#)); do
    case $1 in
        --ci) ci=1 ;;
        -t) segundos=$2; shift ;;
        -j) trabajos=$2; shift ;;
        -h|--help) sed -n '3,17p' "$0"; exit 0 ;;
        *) elegidos+=("$1") ;;
    esac
    shift
done
((${#elegidos[@]})) || elegidos=("${todos[@]}")

ci_segundos=${TALMIR_FUZZ_SECONDS:-15}
echo "== Fuzzers: configuring and building in $build"
cmake -S . -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_FLAGS=-Werror -DTALMIR_FUZZ=ON -DBUILD_TESTING=OFF -DTALMIR_STATIC=OFF \
    -DTALMIR_FUZZ_SECONDS="$ci_segundos" >/dev/null
cmake --build "$build" --target fuzzers -j2

logs=$build/fuzz/logs
mkdir -p "$logs"

# One line per harness: executions, and the findings kept for it.
resumen() {  # harness log
    local h=$1 log=$2 corridas hallazgos
    corridas=$(grep -Eo 'Done [0-9]+ runs in [0-9]+ second' "$log" | tail -1 |
               awk '{print $2 " runs in " $5 " s"}' || true)
    hallazgos=$(find "$build/fuzz/hallazgos" -name "$h-*" 2>/dev/null | wc -l)
    printf '   %-11s %-22s findings: %s\n' "$h" "${corridas:-did not finish}" "$hallazgos"
}

if ((ci)); then
    echo "== Fuzzers: ctest -L fuzz, ${ci_segundos} s each"
    set +e
    (cd "$build/fuzz" && ctest -L fuzz -j2 --output-on-failure --no-tests=error)
    codigo=$?
    set -e
    # ctest keeps every test's output in LastTest.log: split it per harness.
    ultimo=$build/fuzz/Testing/Temporary/LastTest.log
    for h in "${todos[@]}"; do
        awk -v t="fuzz_$h" '$0 ~ "^[0-9]+/[0-9]+ Test: " t "$" {on=1} on && /^"fuzz_.*" end time/ {on=0} on' \
            "$ultimo" >"$logs/$h.log" 2>/dev/null || true
    done
    echo "== Fuzzers: executions"
    for h in "${todos[@]}"; do resumen "$h" "$logs/$h.log"; done
    exit $codigo
fi

correr() {  # harness
    local h=$1
    mkdir -p "$build/fuzz/corpus/$h" "$build/fuzz/hallazgos"
    local opciones=(-max_total_time="$segundos" -timeout=20 -rss_limit_mb=2048 -print_final_stats=1
                    -artifact_prefix="$raiz/$build/fuzz/hallazgos/$h-")
    [ -f "fuzz/$h.dict" ] && opciones+=(-dict="fuzz/$h.dict")
    echo "   $h: ${segundos} s, log in $logs/$h.log"
    "$build/fuzz/fuzz_$h" "${opciones[@]}" "$build/fuzz/corpus/$h" "fuzz/corpus/$h" \
        >"$logs/$h.log" 2>&1 || true
}
export -f correr
export build segundos raiz logs

echo "== Fuzzers: ${elegidos[*]}, ${segundos} s each, $trabajos at a time"
printf '%s\n' "${elegidos[@]}" | xargs -P "$trabajos" -I{} bash -c 'correr {}'
echo "== Fuzzers: executions"
for h in "${elegidos[@]}"; do resumen "$h" "$logs/$h.log"; done
