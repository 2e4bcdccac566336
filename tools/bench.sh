#!/usr/bin/env bash
# Benchmark of talmir by instruction counts (valgrind's callgrind), never by
# wall time: FBB freezes every channel while its connection filter runs, so
# what matters is the work of one run, and instruction counts stay the same
# from one machine load to the next.
#
# Builds a Release static talmir whose fixed paths all begin with "." into
# build-bench, lays out a scratch root with a realistic config.prt, a large
# generated users.prt, FBB's fbb.conf and port.sys, and measures the runs of
# a station's dialogue as FBB makes them.
#
# Usage: tools/bench.sh [--blocks N] [--keep]
#   --blocks N  blocks in the generated users.prt (default 3000, or $BLOCKS)
#   --keep      keep the scratch root and print its path
# BENCH_BUILD_DIR overrides the build directory (default <repo>/build-bench).
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${BENCH_BUILD_DIR:-$repo/build-bench}
blocks=${BLOCKS:-3000}
keep=0

while [ $# -gt 0 ]; do
    case $1 in
        --blocks) blocks=${2:?--blocks needs a number}; shift 2 ;;
        --keep) keep=1; shift ;;
        -h|--help) sed -n '2,17p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
        *) echo "bench.sh: unknown argument: $1" >&2; exit 2 ;;
    esac
done
case $blocks in
    ''|*[!0-9]*) echo "bench.sh: --blocks needs a number" >&2; exit 2 ;;
esac
if [ "$blocks" -lt 10 ]; then
    echo "bench.sh: at least 10 blocks" >&2
    exit 2
fi

# --- Tools -----------------------------------------------------------------
if ! command -v valgrind >/dev/null 2>&1; then
    if [ "$(id -u)" -eq 0 ] && command -v apt-get >/dev/null 2>&1; then
        echo "bench.sh: installing valgrind" >&2
        apt-get install -y valgrind >/dev/null 2>&1 ||
            { apt-get update >/dev/null 2>&1 && apt-get install -y valgrind >/dev/null 2>&1; }
    fi
    command -v valgrind >/dev/null 2>&1 ||
        { echo "bench.sh: valgrind is needed (apt-get install valgrind)" >&2; exit 1; }
fi

# --- Build -------------------------------------------------------------------
echo "bench.sh: building $build (Release, static, TALMIR_ROOT=.)" >&2
cmake -S "$repo" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTALMIR_ROOT=. \
    -DBUILD_TESTING=OFF -DTALMIR_STATIC=ON -DTALMIR_SANITIZE=OFF >/dev/null
cmake --build "$build" -j2 --target talmir >/dev/null
bin=$build/talmir
[ -x "$bin" ] || { echo "bench.sh: $bin was not built" >&2; exit 1; }

# --- Scratch root --------------------------------------------------------------
# The binary puts "." in front of /var/ax25/fbb/talmir, /etc/ax25/fbb.conf ...,
# so every run has the scratch root as its current directory. Paths inside
# fbb.conf are used as written: they are absolute paths into the root.
root=$(mktemp -d "${TMPDIR:-/tmp}/talmir-bench.XXXXXX")
cleanup() {
    if [ "$keep" -eq 1 ]; then
        echo "bench.sh: scratch root kept in $root" >&2
    else
        rm -rf -- "$root"
    fi
}
trap cleanup EXIT

work=$root/var/ax25/fbb/talmir
mkdir -p "$work" "$root/etc/ax25/fbb" "$root/var/ax25/fbb/mail" \
    "$root/usr/lib/fbb/filter"

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

# users.prt: $blocks blocks of several kinds; the measured station N9XYZ is
# a bare callsign near the end, so the first pass (CALL-SSID) reads the whole
# table and the second one stops near its end.
target=$((blocks - 5))
awk -v n="$blocks" -v target="$target" '
BEGIN {
    split("EA EB EC F G DL ON PA", pfx, " ")
    print "# talmir user table (benchmark, generated)"
    for (i = 0; i < n; i++) {
        if (i % 250 == 0) printf("#\n# Section %d\n#\n", i / 250)
        if (i == target) {
            print "N9XYZ"
            print "0      OPEN"
            print "VHF    NORMAL     Zq7Lm2Xp9"
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
}' >"$work/users.prt"

# --- Measurements ------------------------------------------------------------
# One run under callgrind: the program's instructions ("Collected"), its exit
# code and its output. The environment is the same for every run, as small as
# FBB's: PATH and a POSIX TZ (no time zone file read).
vglog=$root/callgrind.log
salida=$root/salida.txt
mide() {
    local rc
    set +e
    (cd "$root" && env -i PATH=/usr/bin:/bin TZ=GMT0 \
        valgrind --tool=callgrind --callgrind-out-file=/dev/null --log-file="$vglog" \
        "$bin" "$@" >"$salida" 2>/dev/null </dev/null)
    rc=$?
    set -e
    ir=$(sed -n 's/.*Collected : *\([0-9][0-9]*\).*/\1/p' "$vglog" | tail -n 1)
    [ -n "$ir" ] || ir=$(sed -n 's/.*refs: *\([0-9,][0-9,]*\).*/\1/p' "$vglog" | tr -d , | tail -n 1)
    [ -n "$ir" ] || ir="?"
    codigo=$rc
}

filas=()
fila() {  # name, expected exit code
    local nota=""
    [ "$codigo" = "$2" ] || nota="  (expected exit $2)"
    filas+=("$(printf '%-54s %4s %14s%s' "$1" "$codigo" "$ir" "$nota")")
}

mide
fila "banner (no arguments)" 0

mide N0ABC-0 0 0 0 41 5
fila "first call, port 5 not filtered" 0

reto=$work/N9XYZ0.tmp
rm -f -- "$reto"
mide N9XYZ-0 0 0 0 1234 1
fila "first call, $blocks-block users.prt, NORMAL challenge" 1

nota_respuesta=""
if [ -f "$reto" ]; then
    respuesta=$(head -n 1 "$reto" | awk '{ print $1 }')
else
    respuesta=XXXXX
    nota_respuesta="no challenge file was written: the answer run judged a made-up answer"
fi
mide N9XYZ-0 1 0 0 1234 1 "$respuesta"
fila "answer run (right answer)" 0

mide Q9QQQ-0 0 0 0 77 1
fila "first call, station not listed (VHF default)" 2

# --- Report ------------------------------------------------------------------
tam=$(wc -c <"$bin" | tr -d ' ')
secciones=""
if command -v size >/dev/null 2>&1; then
    secciones=$(size "$bin" | awk 'NR == 2 { printf("text %s, data %s, bss %s", $1, $2, $3) }')
fi
enlace="static"
if command -v ldd >/dev/null 2>&1 && ldd "$bin" >/dev/null 2>&1; then enlace="DYNAMIC"; fi
lineas=$(wc -l <"$work/users.prt" | tr -d ' ')
bytes=$(wc -c <"$work/users.prt" | tr -d ' ')

echo
echo "talmir benchmark: instructions per run (valgrind callgrind, Ir)"
echo "binary:    $bin"
echo "           $tam bytes, $enlace${secciones:+ ($secciones)}"
echo "users.prt: $blocks blocks, $lineas lines, $bytes bytes; N9XYZ is block $((target + 1))"
echo
printf '%-54s %4s %14s\n' "run" "exit" "instructions"
printf '%-54s %4s %14s\n' "------------------------------------------------------" "----" "--------------"
for f in "${filas[@]}"; do echo "$f"; done
if [ -n "$nota_respuesta" ]; then
    echo
    echo "note: $nota_respuesta"
fi
