#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Benchmark of talmir: what one run costs the BBS. FBB freezes every channel
# while its connection filter runs, once per line a station types, so the
# wall time of one run is what every user of the BBS pays.
#
# Builds the release binary (static, with the fixed paths under ".") into
# build-bench, lays out a scratch BBS for each size of users.prt (10, 1,000,
# 10,000 and 100,000 blocks) and measures every case of BENCHMARKS.md:
#   - the median wall time over many runs, paired run by run with /bin/true in
#     the same session (tools/cronometro.cc), and the ratio of the two;
#   - the user-space instructions of one run (valgrind --tool=callgrind);
#   - the peak resident set of the runs (wait4's rusage).
# It prints the table, with each figure against its target, and how time and
# instructions grow with the size of users.prt.
#
# Usage: bash tools/bench.sh [--runs N] [--keep] [--dynamic]
#        bash tools/bench.sh --budget PROGRAM
#   --runs N          timed pairs per case (default 200, or $RUNS)
#   --keep            keep the scratch BBSs and print where they are
#   --dynamic         the same release build linked dynamically (shared libc
#                     and libstdc++, in build-bench-dynamic): what the static
#                     link saves each run
#   --budget PROGRAM  no build and no timing: count the instructions of the
#                     given program (built with TALMIR_ROOT=.) in every case
#                     and fail when one exceeds its budget (the CTest test
#                     "instruction_budgets", label "budget")
# BENCH_BUILD_DIR overrides the build directory (default <repo>/build-bench).
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${BENCH_BUILD_DIR:-$repo/build-bench}
runs=${RUNS:-200}
keep=0
budget_bin=
enlace_opcion=ON

while [ $# -gt 0 ]; do
    case $1 in
        --runs) runs=${2:?--runs needs a number}; shift 2 ;;
        --keep) keep=1; shift ;;
        --dynamic) enlace_opcion=OFF; build=${BENCH_BUILD_DIR:-$repo/build-bench-dynamic}; shift ;;
        --budget) budget_bin=${2:?--budget needs a program}; shift 2 ;;
        -h|--help) awk 'NR > 2 && /^#/ { sub(/^# ?/, ""); print; next } NR > 2 { exit }' "$0"; exit 0 ;;
        *) echo "bench.sh: unknown argument: $1" >&2; exit 2 ;;
    esac
done
case $runs in
    ''|*[!0-9]*|0) echo "bench.sh: --runs needs a number above 0" >&2; exit 2 ;;
esac

# --- Cases and budgets -------------------------------------------------------
# id | blocks of users.prt | arguments | expected exit | instruction budget |
# wall-time ratio target | description. The budgets are the targets: peak
# resident set at most 1 MiB in every case.
casos=(
    "banner|10||0|150000|1.0|Banner (no arguments)"
    "libre|10|N0ABC-0 0 0 0 41 4|0|150000|1.0|First call on an unfiltered port"
    "normal|10|N9XYZ-0 0 0 0 1234 1|1|250000|1.1|First call of a NORMAL station, 10 blocks (challenge written)"
    "respuesta|10|N9XYZ-0 1 0 0 1234 1 @RESPUESTA@|0|300000|1.1|Its right answer (verification, introduction text, connection log)"
    "md|10|N8MD-0 0 0 0 1235 1|1|350000|1.1|MD challenge (MD2 + MD5)"
    "digest|10|N8MD-0 1 0 0 1235 1 @DIGEST@|0|350000|1.1|Digest answer"
    "fallo|10|N9XYZ-0 1 0 0 1234 1 nada|1|300000|1.1|A wrong answer on a guarded port (failure counted, challenged again)"
    "bloqueado|10|N7LCK-0 0 0 0 77 4|2|150000|1.0|First call of a station locked out of its port"
    "ausente10k|10000|EA8ZZZ-0 0 0 0 99 0|0|10000000|1.5|First call, 10,000 blocks, station absent (all passes)"
    "ausente100k|100000|EA8ZZZ-0 0 0 0 99 0|0|100000000|5|First call, 100,000 blocks, station absent"
)
tamanos_crecimiento=(10 1000 10000 100000)
rss_max_kib=1024

# --- Tools -------------------------------------------------------------------
instala() {  # package
    if [ "$(id -u)" -eq 0 ] && command -v apt-get >/dev/null 2>&1; then
        echo "bench.sh: installing $1" >&2
        DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "$1" >/dev/null 2>&1 ||
            { apt-get update >/dev/null 2>&1 &&
                DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "$1" >/dev/null 2>&1; } || true
    fi
}
if ! command -v valgrind >/dev/null 2>&1; then
    [ -n "$budget_bin" ] || instala valgrind
    command -v valgrind >/dev/null 2>&1 ||
        { echo "bench.sh: valgrind is needed (apt-get install valgrind)" >&2; exit 1; }
fi

# --- Build -------------------------------------------------------------------
if [ -n "$budget_bin" ]; then
    bin=$(cd "$(dirname "$budget_bin")" && pwd)/$(basename "$budget_bin")
    cronometro=
else
    echo "bench.sh: building $build (Release, TALMIR_STATIC=$enlace_opcion, TALMIR_ROOT=.)" >&2
    cmake -S "$repo" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTALMIR_ROOT=. \
        -DBUILD_TESTING=OFF -DTALMIR_STATIC=$enlace_opcion -DTALMIR_SANITIZE=OFF >/dev/null
    cmake --build "$build" -j2 --target talmir cronometro >/dev/null
    bin=$build/talmir
    cronometro=$build/cronometro
fi
[ -x "$bin" ] || { echo "bench.sh: $bin is not there" >&2; exit 1; }

# --- Scratch BBSs ------------------------------------------------------------
# The binary puts "." in front of /var/ax25/fbb/talmir, /etc/ax25/fbb.conf ...,
# so every run has its BBS's root as its current directory. Paths inside
# fbb.conf are used as written: absolute paths into the root.
base=$(mktemp -d "${TMPDIR:-/tmp}/talmir-bench.XXXXXX")
cleanup() {
    if [ "$keep" -eq 1 ]; then
        echo "bench.sh: scratch BBSs kept in $base" >&2
    else
        rm -rf -- "$base"
    fi
}
trap cleanup EXIT

# users.prt of N blocks of every kind (NORMAL, FIXED, MD5, FLEXNET, TABLE,
# READONLY, HOLD, CONSOL port lines, headers with and without SSID, comment
# sections, port names and numbers). N9XYZ (NORMAL on VHF) and N8MD (MD5 on
# VHF) are blocks near the end. No block is headed EA8ZZZ, EA8ZZZ-0 or
# CONSOL: that station, on the console, makes the reading go through all the
# table for each of the three headers it looks for.
usuarios() {  # blocks file
    awk -v n="$1" '
    BEGIN {
        split("EA EB EC F G DL ON PA", pfx, " ")
        print "# talmir user table (benchmark, generated)"
        for (i = 0; i < n; i++) {
            if (i % 250 == 0) printf("#\n# Section %d\n#\n", i / 250)
            if (i == n - 5) {
                print "N9XYZ"
                print "0      OPEN"
                print "VHF    NORMAL     Zq7Lm2Xp9"
                print "-"
                continue
            }
            if (i == n - 3) {
                print "N8MD"
                print "VHF    MD5        Wq4Rt8Kz1Ab"
                print "-"
                continue
            }
            j = int(i / 8)
            suf = sprintf("%c%c%c", 65 + int(j / 676) % 26, 65 + int(j / 26) % 26, 65 + j % 26)
            call = sprintf("%s%d%s", pfx[i % 8 + 1], i % 10, suf)
            if (i % 7 == 3) call = call "-" (i % 16)
            print call
            k = i % 5
            if (k == 0) { print "1      NORMAL     pw" (i * 7919 % 1000000) "x"; print "2      OPEN" }
            else if (k == 1) { print "VHF    FIXED      phrase" i; print "UHF    READONLY" }
            else if (k == 2) { print "ALL    MD5        sec" i "ret" }
            else if (k == 3) { print "1      FLEXNET    " sprintf("%05d", i * 31 % 100000); print "CONSOL OPEN" }
            else { print "UHF    TABLE"; print "HF     HOLD"; print "2      NORMAL     tbl" i }
            print "-"
        }
    }' >"$2"
}

mundo() {  # root blocks
    local root=$1
    local work=$root/var/ax25/fbb/talmir
    mkdir -p "$work" "$root/etc/ax25/fbb" "$root/var/ax25/fbb/mail" "$root/usr/lib/fbb/filter"
    cat >"$root/etc/ax25/fbb.conf" <<EOF
#
# FBB Set-up file
#
##############################################################
#
# The following lines are mandatory
#
version = FBB7.0.11
# Callsign of BBS including H-route (full hierarchical information)
callsign = N0BBS.#BEN.ESP.EU
# SSID of BBS
ssid = 1
# Qra Locator of BBS
qraloc = JN11CK
# Qth of BBS
city = "Benchville, Nowhere"
# First name of SYSOP
name = Sysop
# Callsign of SYSOP
sysop = N0SYS
#
# Directories
#
config = $root/etc/ax25/fbb/
data = $root/var/ax25/fbb/
messages = $root/var/ax25/fbb/mail
compressed = $root/var/ax25/fbb/binmail
fbbdos = $root/var/ax25/fbb/fbbdos
yapp = $root/var/ax25/fbb/fbbdos/yapp
docs = $root/var/ax25/fbb/fbbdos/docs
pg = $root/usr/lib/fbb/pg
fdir = $root/usr/lib/fbb/filter
sdir = $root/usr/lib/fbb/server
tdir = $root/usr/lib/fbb/tool
# Mail import
import = $root/var/ax25/fbb/mail/mail.in
#
# Options
#
localtime = 0
beacon = FBB Bench
scroll = 10000
fwdhold = 0
maxbulls = 10000
life = 30
wpcalls = N0BBS
zipcode = 28000
EOF
    cat >"$root/etc/ax25/fbb/port.sys" <<'EOF'
# FBB7.0.11
#
#Ports TNCs
1      4
#
#Com Interface Adress (Hex)   Baud
1    9         127.0.0.1      6300
#
#TNC NbCh Com MultCh Pacln Maxfr NbFwd MxBloc M/P-Fwd Mode  Freq
0    0    0   0      0     0     0     0      00/01   ----  File-fwd.
1    8    1   1      250   2     1     10     00/15   XUWY  VHF
2    8    1   2      250   2     1     10     00/15   XUWY  UHF
3    4    1   3      250   2     1     10     00/60   XUWY  HF
4    4    1   4      250   2     1     10     00/60   TU    Telnet
#
# End of file.
EOF
    cat >"$root/etc/ax25/fbb/langue.sys" <<'EOF'
# Languages
2 1 1
ENGLISH
FRANCAIS
EOF
    cat >"$work/config.prt" <<'EOF'
# talmir configuration (benchmark)
#
# Language file
**
# Sysops
N0SYS N1SYS
# Attempts and security options
3 CR R
# Prompt
PASSWORD>
# Texts: language, open, excluded, guest, intro, new user, new-user mail
NO
NO
NO
NO
OK XS
NO
NO
# Logs: connections, excluded, failed passwords
OK
OK
OK
# Ports and their default modes
CONSOLE   OPEN
VHF       EXCLUDED
UHF       READONLY
HF        CLOSED
EOF
    cat >"$work/intro.prt" <<'EOF'
Welcome to N0BBS, the benchmark BBS.
Type H for help, L to list the new messages, B to leave.
Please keep your messages short on the VHF port.
EOF
    printf 'Access to this port is restricted.\n' >"$work/info.prt"
    # The lockout guards the VHF and Telnet ports; N7LCK is locked out of
    # the Telnet port until 2100.
    printf '# Lockout (benchmark)\n1 5 15 60\n4 3 15 60\n' >"$work/bloqueo.prt"
    mkdir -m 0700 -p "$work/bloqueos"
    printf '4 4102444800\n' >"$work/bloqueos/N7LCK"
    printf 'This callsign is locked out of this port for a while.\n' >"$work/bloqueado.prt"
    usuarios "$2" "$work/users.prt"
}

declare -A raiz
tamanos=()
for c in "${casos[@]}"; do
    IFS='|' read -r _ b _ <<<"$c"
    tamanos+=("$b")
done
[ -n "$budget_bin" ] || tamanos+=("${tamanos_crecimiento[@]}")
for b in $(printf '%s\n' "${tamanos[@]}" | sort -nu); do
    raiz[$b]=$base/bbs-$b
    echo "bench.sh: laying out a BBS with $b blocks in users.prt" >&2
    mundo "${raiz[$b]}" "$b"
done

# --- Measurements ------------------------------------------------------------
# One run under callgrind, from the BBS's root, with the environment of the
# timed runs (PATH and a POSIX TZ that reads no zone file): sets ir (the
# instructions, callgrind's "Collected") and codigo (the exit code).
vglog=$base/callgrind.log
instrucciones() {  # root args...
    local root=$1
    shift
    set +e
    (cd "$root" && env -i PATH=/usr/bin:/bin TZ=GMT0 \
        valgrind --tool=callgrind --callgrind-out-file=/dev/null --log-file="$vglog" \
        "$bin" "$@" >/dev/null 2>&1 </dev/null)
    codigo=$?
    set -e
    ir=$(sed -n 's/.*Collected : *\([0-9][0-9]*\).*/\1/p' "$vglog" | tail -n 1)
    [ -n "$ir" ] || ir="?"
}

# The median wall times of the program and of /bin/true over $runs pairs:
# sets t_prog, t_ref (microseconds), ratio and pico (peak KiB), or leaves
# them "?" when a run failed.
tiempos() {  # root expected-exit copy-or-empty remove-or-empty args...
    local root=$1 esperado=$2 copia=$3 borra=$4
    shift 4
    local opciones=(-n "$runs" -w 10 -d "$root" -x "$esperado")
    [ -z "$copia" ] || opciones+=(-c "$copia")
    [ -z "$borra" ] || opciones+=(-b "$borra")
    local linea
    if linea=$("$cronometro" "${opciones[@]}" -- "$bin" "$@"); then
        read -r t_prog t_ref ratio pico _ <<<"$linea"
    else
        t_prog="?" t_ref="?" ratio="?" pico="?"
    fi
}

# Keeps a copy of the challenge file a run wrote beside the BBS: the answer
# is taken from it, and every timed answer run finds the same challenge.
reto_de() {  # root station-file
    local f=$1/var/ax25/fbb/talmir/$2
    [ -f "$f" ] || return 1
    cp -- "$f" "$1/$2.guardado"
}

miles() {  # 1234567 -> 1,234,567
    local n=$1 s=""
    [[ $n =~ ^[0-9]+$ ]] || { printf '%s' "$n"; return; }
    while [ ${#n} -gt 3 ]; do
        s=",${n: -3}$s"
        n=${n:0:${#n}-3}
    done
    printf '%s' "$n$s"
}

menor_igual() {  # a b: a <= b (decimals)
    awk -v a="$1" -v b="$2" 'BEGIN { exit !(a + 0 <= b + 0) }'
}

fallos=0
filas=()
for c in "${casos[@]}"; do
    IFS='|' read -r id b args esperado presupuesto objetivo nombre <<<"$c"
    root=${raiz[$b]}
    copia=
    borra=
    case $id in
        # A first call finds no challenge file as a rule (the right answer
        # removed the last one): each timed run begins without one.
        normal) borra=var/ax25/fbb/talmir/N9XYZ0.tmp ;;
        md) borra=var/ax25/fbb/talmir/N8MD0.tmp ;;
        # Each wrong answer meets the same state: one failure, no lock.
        fallo)
            copia=N9XYZ0.tmp.guardado:var/ax25/fbb/talmir/N9XYZ0.tmp
            borra=var/ax25/fbb/talmir/bloqueos/N9XYZ
            ;;
        respuesta)
            respuesta=$(head -n 1 "$root/N9XYZ0.tmp.guardado" 2>/dev/null | awk '{ print $1 }')
            args=${args/@RESPUESTA@/${respuesta:-XXXXX}}
            copia=N9XYZ0.tmp.guardado:var/ax25/fbb/talmir/N9XYZ0.tmp
            ;;
        digest)
            digest=$(sed -n 3p "$root/N8MD0.tmp.guardado" 2>/dev/null)
            args=${args/@DIGEST@/${digest:-0}}
            copia=N8MD0.tmp.guardado:var/ax25/fbb/talmir/N8MD0.tmp
            ;;
    esac
    read -r -a argv <<<"$args"
    # The answer runs consume their challenge: it is laid in place again.
    if [ -n "$copia" ]; then cp -- "$root/${copia%%:*}" "$root/${copia#*:}"; fi
    instrucciones "$root" "${argv[@]}"
    nota=""
    [ "$codigo" = "$esperado" ] || nota="exit $codigo, not $esperado"
    case $id in
        normal) reto_de "$root" N9XYZ0.tmp || nota="no challenge written" ;;
        md) reto_de "$root" N8MD0.tmp || nota="no challenge written" ;;
    esac
    veredicto=ok
    if [ -n "$nota" ] || ! [[ $ir =~ ^[0-9]+$ ]] || [ "$ir" -gt "$presupuesto" ]; then
        veredicto=OVER
        fallos=$((fallos + 1))
    fi
    if [ -n "$budget_bin" ]; then
        filas+=("$(printf '%-68s %13s %13s  %s%s' "$nombre" "$(miles "$ir")" \
            "$(miles "$presupuesto")" "$veredicto" "${nota:+ ($nota)}")")
        continue
    fi
    tiempos "$root" "$esperado" "$copia" "$borra" "${argv[@]}"
    if [ "$ratio" = "?" ] || ! menor_igual "$ratio" "$objetivo" ||
        ! menor_igual "$pico" "$rss_max_kib"; then
        veredicto=OVER
        fallos=$((fallos + 1))
    fi
    filas+=("$(printf '| %s | %s | %s | %s (<= %s) | %s (<= %s) | %s | %s%s |' "$nombre" \
        "$t_prog" "$t_ref" "$ratio" "$objetivo" "$(miles "$ir")" "$(miles "$presupuesto")" \
        "$pico" "$veredicto" "${nota:+ ($nota)}")")
done

if [ -n "$budget_bin" ]; then
    echo
    echo "Instruction budgets (valgrind callgrind), $bin"
    printf '%-68s %13s %13s  %s\n' "case" "instructions" "budget" ""
    for f in "${filas[@]}"; do echo "$f"; done
    if [ "$fallos" -gt 0 ]; then
        echo "bench.sh: $fallos case(s) over budget or not run as expected" >&2
        exit 1
    fi
    exit 0
fi

# --- Growth with the size of users.prt -------------------------------------
crecimiento=()
ir_antes=
for b in "${tamanos_crecimiento[@]}"; do
    root=${raiz[$b]}
    instrucciones "$root" EA8ZZZ-0 0 0 0 99 0
    tiempos "$root" 0 "" "" EA8ZZZ-0 0 0 0 99 0
    lineas=$(wc -l <"$root/var/ax25/fbb/talmir/users.prt" | tr -d ' ')
    bytes=$(wc -c <"$root/var/ax25/fbb/talmir/users.prt" | tr -d ' ')
    por_linea="-"
    if [ -n "$ir_antes" ] && [[ $ir =~ ^[0-9]+$ ]]; then
        por_linea=$(awk -v a="$ir_antes" -v b="$ir" -v la="$lineas_antes" -v lb="$lineas" \
            'BEGIN { printf("%.1f", (b - a) / (lb - la)) }')
    fi
    crecimiento+=("$(printf '| %s | %s | %s | %s | %s | %s | %s | %s |' "$(miles "$b")" \
        "$(miles "$lineas")" "$(miles "$bytes")" "$(miles "$ir")" "$por_linea" "$t_prog" \
        "$ratio" "$pico")")
    ir_antes=$ir
    lineas_antes=$lineas
done

# --- Report ------------------------------------------------------------------
tam=$(wc -c <"$bin" | tr -d ' ')
enlace="static"
if command -v ldd >/dev/null 2>&1 && ldd "$bin" >/dev/null 2>&1; then enlace="DYNAMIC"; fi
echo
echo "talmir benchmark: $runs timed pairs per case, each run of talmir paired with /bin/true"
echo "binary: $bin ($(miles "$tam") bytes, $enlace); $(nproc) cores; $(date -u '+%Y-%m-%d %H:%M UTC')"
echo "times: medians in microseconds; instructions: valgrind --tool=callgrind; peak: KiB (wait4)"
echo
echo "| Case | talmir (us) | /bin/true (us) | ratio (target) | instructions (budget) | peak RSS KiB (<= $rss_max_kib) | verdict |"
echo "|---|---|---|---|---|---|---|"
for f in "${filas[@]}"; do echo "$f"; done
echo
echo "Growth with users.prt (station absent, on the console: the whole table read):"
echo
echo "| blocks | lines | bytes | instructions | instructions per added line | talmir (us) | ratio to /bin/true | peak RSS KiB |"
echo "|---|---|---|---|---|---|---|---|"
for f in "${crecimiento[@]}"; do echo "$f"; done
echo
if [ "$fallos" -gt 0 ]; then
    echo "bench.sh: $fallos case(s) missed a target" >&2
    exit 1
fi
echo "Every target met."
