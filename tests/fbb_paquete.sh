#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# The Debian package of talmir at work under Debian's installed FBB (package
# fbb, LinFBB 7.0.11), set up the way a sysop sets it up: FBB's configuration
# in /etc/ax25/fbb (fbb.conf, port.sys with one telnet port on 127.0.0.1,
# passwd.sys), its data in /var/ax25/fbb, talmir's configuration in
# /etc/ax25/fbb/talmir (reached through the links of the working directory
# /var/ax25/fbb/talmir), FBB started with the package's own start script
# /usr/sbin/fbb, and the package's link c_filter -> /usr/sbin/talmir in
# FBB's filter directory. Stations then log in over telnet (a client made
# of bash's /dev/tcp): a NORMAL station that answers its challenge gets
# FBB's prompt, one that answers wrong three times is refused and
# disconnected, and a new user's first connection makes talmir mail the
# sysop, which FBB imports and the sysop reads at FBB's prompt.
#
# Usage: tests/fbb_paquete.sh DEB          (root) installs Debian's fbb and
#            the given talmir_*.deb with apt-get inside tools/capas.sh (an
#            overlay over /usr, /etc and /var: the system is left as it was),
#            then runs the checks;
#        tests/fbb_paquete.sh --installed  (root) talmir and fbb are
#            installed already (an autopkgtest): the FBB and talmir
#            configuration it overwrites is saved first and put back after.
# Either way the BBS runs in a network namespace of its own (loopback only)
# and a PID namespace of its own, and xfbbd is stopped at the end whatever
# happens. Exit 0: every check passed; 1: a check failed; 77: skipped (not
# root, no xfbbd, no overlays or namespaces).
set -euo pipefail

export LC_ALL=C
FUENTES=$(cd "$(dirname "$0")/.." && pwd)
YO=$FUENTES/tests/fbb_paquete.sh

salta() {
    echo "fbb_paquete: $*: skipped"
    exit 77
}

# Network and PID namespaces of its own, with /proc for the latter.
espacios() { unshare -n -p -f --mount-proc "$@"; }

# --- The stages: who runs where ------------------------------------------------
# DEB:          as root on the machine -> tools/capas.sh -> --capa DEB
# --capa DEB:   in the overlay: apt-get install, then the namespaces -> --red
# --installed:  the configuration saved -> the namespaces -> --red, then put back
# --red:        in the namespaces: the BBS and the checks
# The inner stages refuse to run anywhere else: --capa installs packages and
# --red overwrites FBB's configuration.
etapa=${1:-}
case $etapa in
--red)
    if [ "$$" != 1 ] || [ -z "${FBB_PAQUETE_DESDE:-}" ]; then
        echo "fbb_paquete: --red runs only in the namespaces the other stages make" >&2
        exit 2
    fi
    ;;
--capa)
    DEB=${2:?}
    if [ "$(grep -cE '^[^ ]+ [^ ]+ [^ ]+ [^ ]+ /(usr|var|etc) .* - overlay ' /proc/self/mountinfo)" != 3 ]; then
        echo "fbb_paquete: --capa runs only in the overlay of tools/capas.sh" >&2
        exit 2
    fi
    export DEBIAN_FRONTEND=noninteractive
    echo "== apt-get install fbb $(basename "$DEB") (in an overlay of this system)"
    # fbb is there on a machine that runs talmir's tests: then nothing to fetch.
    if ! dpkg-query -W -f='${Status}' fbb 2>/dev/null | grep -q 'install ok installed'; then
        apt-get update >/dev/null || true
    fi
    # The overlay's /var: the log goes with it.
    apt_log=$(mktemp /var/tmp/fbb_paquete-apt.XXXXXX)
    if ! apt-get install -y fbb "$DEB" >"$apt_log" 2>&1; then
        tail -n 20 "$apt_log" >&2
        echo "FAIL: apt-get install fbb $DEB" >&2
        exit 1
    fi
    echo "   installed in $SECONDS s"
    set +e
    FBB_PAQUETE_DESDE=capa espacios bash "$YO" --red
    exit $?
    ;;
--installed)
    [ "$(id -u)" = 0 ] || salta "not root"
    if [ ! -x /usr/sbin/xfbbd ] || [ ! -x /usr/sbin/fbb ]; then salta "no /usr/sbin/xfbbd (package fbb)"; fi
    [ -x /usr/sbin/talmir ] || salta "talmir is not installed"
    espacios true 2>/dev/null || salta "no network or PID namespaces here"
    # A BBS at work here on FBB's real files would share them with the one
    # of this test: an xfbbd working in /var/ax25/fbb, or one of this mount
    # namespace that reads /etc/ax25/fbb/fbb.conf. (Scratch BBSs, as the
    # end-to-end tests make them, and BBSs in overlays do not count.)
    datos=$(stat -L -c %d:%i /var/ax25/fbb 2>/dev/null || echo none)
    for d in /proc/[0-9]*; do
        [ "$(cat "$d/comm" 2>/dev/null)" = xfbbd ] || continue
        if [ "$(stat -L -c %d:%i "$d/cwd" 2>/dev/null)" = "$datos" ]; then
            salta "an xfbbd is running here in /var/ax25/fbb (${d#/proc/})"
        fi
        conf=$(tr '\0' '\n' <"$d/environ" 2>/dev/null | sed -n 's/^FBBCONF=//p')
        if [ "$(readlink "$d/ns/mnt")" = "$(readlink /proc/self/ns/mnt)" ] &&
            { [ -z "$conf" ] || [ "$conf" = /etc/ax25/fbb/fbb.conf ]; }; then
            salta "an xfbbd is running here on /etc/ax25/fbb/fbb.conf (${d#/proc/})"
        fi
    done
    # What this test overwrites: FBB's and talmir's configuration in
    # /etc/ax25/fbb, FBB's data and talmir's working directory under
    # /var/ax25. Both trees are copied aside and put back as they were.
    respaldo=$(mktemp -d /var/tmp/fbb_paquete.XXXXXX)
    for d in /etc/ax25/fbb /var/ax25; do
        if [ -e "$d" ]; then cp -a "$d" "$respaldo/${d//\//_}"; fi
        # The times of the directory above it too.
        if [ -d "${d%/*}" ]; then touch -r "${d%/*}" "$respaldo/${d//\//_}.padre"; fi
    done
    restaura() {
        local bien=1 d
        for d in /etc/ax25/fbb /var/ax25; do
            rm -rf "$d"
            if [ -e "$respaldo/${d//\//_}" ]; then
                cp -a "$respaldo/${d//\//_}" "$d" || bien=0
            fi
            if [ -e "$respaldo/${d//\//_}.padre" ]; then
                touch -r "$respaldo/${d//\//_}.padre" "${d%/*}" || bien=0
            fi
        done
        if ((bien)); then
            rm -rf "$respaldo"
        else
            echo "fbb_paquete: could not put everything back: the copies are in $respaldo" >&2
        fi
    }
    trap restaura EXIT
    trap 'exit 1' INT TERM HUP
    set +e
    FBB_PAQUETE_DESDE=instalado espacios bash "$YO" --red
    codigo=$?
    set -e
    exit "$codigo"
    ;;
-h | --help | "")
    sed -n '16,26p' "$0" | sed 's/^# \{0,1\}//'
    exit 2
    ;;
*)
    [ "$(id -u)" = 0 ] || salta "not root"
    [ -f "$etapa" ] || {
        echo "fbb_paquete: no package $etapa" >&2
        exit 2
    }
    command -v apt-get >/dev/null || salta "no apt-get"
    espacios true 2>/dev/null || salta "no network or PID namespaces here"
    set +e
    bash "$FUENTES/tools/capas.sh" bash "$YO" --capa "$(realpath "$etapa")"
    codigo=$?
    set -e
    # capas.sh: 70 when this kernel does not let root mount the overlays.
    if [ "$codigo" = 70 ]; then salta "no overlays here (tools/capas.sh)"; fi
    exit "$codigo"
    ;;
esac

# --- In the namespaces: the BBS and the checks -----------------------------------
# Only the stage --red goes on here; every other one has ended above.
[ "$etapa" = --red ] || exit 2
inicio=$SECONDS
ip link set lo up || salta "no loopback in the network namespace"

# FBB's filter directory, /usr/lib/<multiarch>/fbb/filter, as the fbb
# package has it.
FILTRO=$(dpkg -L fbb 2>/dev/null | grep -m1 '^/usr/lib/[^/]*/fbb/filter$' || true)
[ -n "$FILTRO" ] || salta "no FBB filter directory in the fbb package's files"
CONF=/etc/ax25/fbb
DATOS=/var/ax25/fbb
TRABAJO=$DATOS/talmir
PUERTO=6300          # FBB's telnet port: in this namespace, on 127.0.0.1 only
CLAVE=Secreto7       # N0NRM's password
ESCRATCH=$(mktemp -d)
REGISTRO=$ESCRATCH/fbb.log

fallos=0
falla() {
    echo "FAIL: $*" >&2
    fallos=$((fallos + 1))
}
igual() { # what got expected
    if [ "$2" != "$3" ]; then falla "$1: got $(printf %q "$2"), expected $(printf %q "$3")"; fi
}

[ -x /usr/sbin/xfbbd ] || salta "no /usr/sbin/xfbbd"
# The package's layout, as this test relies on it: links (absolute or
# relative) to the program and to the configuration in /etc.
enlace() { # link target
    if [ -L "$1" ]; then
        igual "$1" "$(readlink -f "$1")" "$2"
    else
        falla "$1 is no symbolic link: $(ls -ld "$1" 2>&1)"
    fi
}
enlace "$FILTRO/c_filter" /usr/sbin/talmir
enlace "$TRABAJO/config.prt" "$CONF/talmir/config.prt"
enlace "$TRABAJO/users.prt" "$CONF/talmir/users.prt"
# Neither FBB nor talmir is to read another configuration than the real one.
unset FBBCONF TALMIR

# --- FBB set up by its sysop ----------------------------------------------------
echo "== FBB's configuration in $CONF, its data in $DATOS"
# fbb.conf as /usr/sbin/fbb writes it on a first start (the mandatory keys,
# then the package's fbbopt.conf with every path), and the sysop's choices
# after it (FBB: the last line of a key wins): new users straight to the
# prompt without FBB's questions, FBB's nightly housekeeping (which cuts
# every link) twelve hours away from this run.
{
    cat <<EOF
# FBB's configuration of the test BBS of tests/fbb_paquete.sh.
version = FBB7.0.11
callsign = N0BBS.FRA.EU
ssid = 0
qraloc = JN18DU
city = Testville
name = Pat
sysop = N0SYS
localtime = 0
EOF
    cat "$CONF/fbbopt.conf"
    echo "askinfo = NO"
    echo "housekeeping = $((($(date -u +%-H) + 12) % 24))"
} >"$CONF/fbb.conf"
# One telnet port: TNC 1 "Telnet" on 127.0.0.1 (the address in the address
# field, the TCP port in the baud field; a hexadecimal address, as in
# port.sys.sample, would listen on every address).
cat >"$CONF/port.sys" <<EOF
# FBB's ports of the test BBS: one telnet port on the loopback address.
#Ports TNCs
  1     1
#Com Interface Address    Baud
  1   9         127.0.0.1  $PUERTO
#TNC NbCh Com MultCh Pacln Maxfr NbFwd MxBloc M/P-Fwd Mode  Freq
  0   0    0   0      0     0     0     0      00/01   ----  File-fwd.
  1   4    1   0      250   2     1     10     00/60   TU    Telnet
EOF
# FBB's own telnet login: every valid callsign from 127.0.0.1 without FBB's
# password (talmir asks for it).
printf '# The test BBS: any callsign from the loopback address.\n127.0.0.1 +\n' >"$CONF/passwd.sys"
# The data tree /usr/sbin/fbb checks before it starts xfbbd. Debian's fbb
# ships it as /var/lib/ax25/fbb, but xfbbd's built-in paths, fbbopt.conf and
# /usr/sbin/fbb all name /var/ax25/fbb: the sysop makes it.
# A BBS of its own from scratch: FBB's data and talmir's state of an earlier
# run go (with --installed they are put back afterwards), and so does a
# port_l.sys, which FBB and talmir would read instead of port.sys.
find "$DATOS" -mindepth 1 -maxdepth 1 ! -name talmir -exec rm -rf {} +
find "$TRABAJO" -mindepth 1 -maxdepth 1 ! -name config.prt ! -name users.prt -exec rm -rf {} +
rm -f "$CONF/port_l.sys"
for d in mail binmail; do
    for n in 0 1 2 3 4 5 6 7 8 9; do mkdir -p "$DATOS/$d/mail$n"; done
done
mkdir -p "$DATOS"/{oldmail,log,sat,wp,fbbdos/yapp}

echo "== talmir's configuration in $CONF/talmir"
# Sysop N0SYS, three answers, the introduction text and the new-user mail
# switched on (msgnewusr), failed answers logged; FBB's port 1, named by its
# description in port.sys, filtered with the default mode OPEN.
cat >"$CONF/talmir/config.prt" <<'EOF'
# talmir's configuration of the test BBS of tests/fbb_paquete.sh.
**
N0SYS
3
PASSWORD>
# txtlang txtusr txtexcl txtguest
NO
NO
NO
NO
# txtintro txtnewusr msgnewusr
OK
NO
OK
# logtotal logexc logfall
NO
NO
OK
Telnet  OPEN
EOF
cat >"$CONF/talmir/users.prt" <<EOF
# talmir's stations of the test BBS of tests/fbb_paquete.sh.
N0NRM
Telnet  NORMAL  $CLAVE
-
EOF
INTRO="Welcome to N0BBS, behind talmir."
echo "$INTRO" >"$TRABAJO/intro.prt"

# --- FBB started ------------------------------------------------------------------
# The fbb package has no init script and no systemd unit. Its start script
# is /usr/sbin/fbb ("Script to start the daemon"): it checks the data tree,
# runs xfbbd -i once (which asks "Creating file X (Y/N) ?" for each data
# file a first start lacks: the sysop answers Y), then runs xfbbd in a loop
# that starts it again after /L, /K, a crash ... The package's sample init
# script /usr/share/doc/fbb/fbb.sh runs `fbb -s -l /var/log/fbb.log`, which
# puts that loop in the background out of reach (and -s, passed on to
# xfbbd without a service name, does nothing); here it runs in the
# foreground (-f), as under a service manager, so that its process is this
# test's child and xfbbd its child. -v goes on to xfbbd: its log then shows
# every command of the filter; -l puts the log in the scratch directory.
pid_fbb=""
pid_xfbbd=""
vivo() { [ -n "$1" ] && [ -e "/proc/$1" ] && ! grep -q '^State:.*Z' "/proc/$1/status" 2>/dev/null; }
# xfbbd as the child of the fbb script, from /proc.
busca_xfbbd() {
    local d stat
    for d in /proc/[0-9]*; do
        [ "$(cat "$d/comm" 2>/dev/null)" = xfbbd ] || continue
        stat=$(cat "$d/stat" 2>/dev/null) || continue
        stat=${stat##*) }
        set -- $stat
        if [ "$2" = "$pid_fbb" ]; then
            pid_xfbbd=${d#/proc/}
            return 0
        fi
    done
    return 1
}
# SIGTERM to xfbbd is FBB's end of session: xfbbd ends with status 1 and the
# loop of /usr/sbin/fbb ends with it. Whatever is left after 10 s is killed.
para_fbb() {
    local i
    if vivo "$pid_fbb" && [ -z "$pid_xfbbd" ]; then busca_xfbbd || true; fi
    if vivo "$pid_xfbbd"; then kill -TERM "$pid_xfbbd" 2>/dev/null || true; fi
    for ((i = 0; i < 100; i++)); do
        vivo "$pid_fbb" || vivo "$pid_xfbbd" || break
        sleep 0.1
    done
    if vivo "$pid_fbb"; then kill -KILL "$pid_fbb" 2>/dev/null || true; fi
    if vivo "$pid_xfbbd"; then kill -KILL "$pid_xfbbd" 2>/dev/null || true; fi
    if [ -n "$pid_fbb" ]; then wait "$pid_fbb" 2>/dev/null || true; fi
    pid_fbb=""
}
final() {
    para_fbb
    rm -rf "$ESCRATCH"
}
trap final EXIT
trap 'exit 1' INT TERM HUP

echo "== FBB started: /usr/sbin/fbb -f -l LOG -v"
/usr/sbin/fbb -f -l "$REGISTRO" -v < <(yes Y) >"$ESCRATCH/fbb.salida" 2>&1 &
pid_fbb=$!
# Listening on 127.0.0.1:PUERTO, from the kernel's table of this namespace
# (a connection to try would be a session for FBB). The script waits 5 s
# before it starts xfbbd, xfbbd about 1 s more.
escucha() { grep -q ":$(printf %04X "$PUERTO") 00000000:0000 0A" /proc/net/tcp; }
listo=0
for ((i = 0; i < 600; i++)); do
    if escucha; then
        listo=1
        break
    fi
    vivo "$pid_fbb" || break
    sleep 0.1
done
if ((!listo)); then
    falla "FBB not listening on 127.0.0.1:$PUERTO after $((i / 10)) s"
    echo "--- /usr/sbin/fbb said:" >&2
    tail -n 30 "$ESCRATCH/fbb.salida" >&2 || true
    echo "--- its log:" >&2
    tail -n 30 "$REGISTRO" >&2 || true
    exit 1
fi
busca_xfbbd || falla "no xfbbd under /usr/sbin/fbb"
echo "   listening after $((SECONDS - inicio)) s (fbb $pid_fbb, xfbbd $pid_xfbbd)"

# --- A station over telnet ----------------------------------------------------
# Everything received is in $recibido; $pos marks what the checks have taken.
con=""
recibido=""
pos=0
cerrada=0
tomado=""
ahora() { echo $((${EPOCHREALTIME/./} / 1000)); }  # milliseconds
# Reads what arrives within $1 seconds (up to 4096 bytes).
lee() {
    local trozo="" estado=0
    IFS= read -r -d '' -n 4096 -t "$1" -u "$con" trozo || estado=$?
    recibido+=$trozo
    if ((estado == 1)); then cerrada=1; fi
    # FBB's pager stops long texts for users with the paging flag (new
    # users by default): switch it off.
    if [[ $recibido == *"C = remove paging -->" ]]; then envia C; fi
}
# A line as a station types it: ended by CR.
envia() { printf '%s\r' "$1" >&"$con"; }
# Reads until the untaken text matches the regular expression $1 (at most $2
# seconds, default 20): $tomado is then the untaken text up to the end of
# the first match, taken.
hasta_re() {
    local fin resto
    fin=$(($(ahora) + ${2:-20} * 1000))
    while :; do
        resto=${recibido:pos}
        if [[ $resto =~ $1 ]]; then
            tomado=${resto%%"${BASH_REMATCH[0]}"*}${BASH_REMATCH[0]}
            pos=$((pos + ${#tomado}))
            return 0
        fi
        if ((cerrada)) || (($(ahora) >= fin)); then
            tomado=""
            return 1
        fi
        lee 0.2
    done
}
# Reads until FBB closes the connection (at most 20 s); $tomado is then the
# untaken text.
cierre() {
    local fin
    fin=$(($(ahora) + 20000))
    while ((!cerrada)) && (($(ahora) < fin)); do lee 0.2; done
    tomado=${recibido:pos}
    pos=${#recibido}
    ((cerrada))
}
# Connects and answers FBB's "Callsign : " with the callsign $1.
entra() {
    recibido=""
    pos=0
    cerrada=0
    exec {con}<>"/dev/tcp/127.0.0.1/$PUERTO" || return 1
    hasta_re "Callsign : " || return 1
    envia "$1"
}
sale() {
    if [ -n "$con" ]; then exec {con}>&-; fi
    con=""
}
visto() { printf '%q' "${recibido:0:3000}"; }

CR=$'\r'
NL=$'\r\n'
# FBB's prompt: "(1) N0BBS BBS (H for help) >" for a new user, "(1) N0BBS
# BBS>" for a known one.
PROMPT='\(1\) N0BBS BBS( \(H for help\) )?>'
# After the login, FBB's SID ("[FBB-7.0.11-AB1FHMRX$]"), then talmir's first
# output: its identification line.
SID="\[FBB-[^]]*\]$NL"
ID="\{TALMIR-[^}]*\}$NL"
# A NORMAL challenge as the station reads it: five positions.
RETO="${NL}PASSWORD> ([1-9]) ([1-9]) ([1-9]) ([1-9]) ([1-9])$NL"
respuesta=""
# Reads a challenge; $respuesta is then the right answer to it.
lee_reto() {
    hasta_re "$RETO" || return 1
    local p
    respuesta=""
    for p in "${BASH_REMATCH[@]:1:5}"; do respuesta+=${CLAVE:p-1:1}; done
}

echo "== A NORMAL station that answers right gets FBB's prompt"
if entra N0NRM && lee_reto; then
    [[ $tomado =~ ^$SID$ID$RETO$ ]] ||
        falla "first call: not FBB's SID, talmir's identification line and the challenge: $(printf %q "$tomado")"
    envia "$respuesta"
    if hasta_re "$PROMPT"; then
        # talmir's introduction text, then FBB's greeting.
        [[ $tomado == "$NL$INTRO${NL}N0BBS BBS"* ]] ||
            falla "after the answer: not the introduction, then FBB's greeting: $(printf %q "$tomado")"
        envia B
        cierre || falla "B: FBB did not close the connection"
    else
        falla "no FBB prompt after the right answer: $(visto)"
    fi
else
    falla "no NORMAL challenge: $(visto)"
fi
sale

echo "== Three wrong answers: refused and disconnected"
if entra N0NRM && lee_reto; then
    for intento in 1 2; do
        envia zzzzz
        if lee_reto; then
            [[ $tomado =~ ^$RETO$ ]] || falla "wrong answer $intento: more than a fresh challenge: $(printf %q "$tomado")"
        else
            falla "wrong answer $intento: no fresh challenge: $(visto)"
        fi
    done
    envia zzzzz
    if cierre; then
        igual "the refusal" "$tomado" "$NL*** MISTAKEN IDENTITY - DENIED ACCESS!$NL$NL"
    else
        falla "FBB did not close the connection after the third wrong answer: $(visto)"
    fi
else
    falla "no NORMAL challenge on the second call: $(visto)"
fi
sale
# logfall: the failed answers in talmir's working directory.
fallidos=$(grep -c 'N0NRM *-0 *1 ' "$TRABAJO/lognopas.prt" 2>/dev/null || true)
igual "failed answers logged in lognopas.prt" "${fallidos:-0}" 1

echo "== A new user gets in, and talmir mails the sysop"
if entra N0NEW && hasta_re "$PROMPT"; then
    [[ $tomado =~ ^$SID$ID$NL$INTRO${NL}N0BBS\ BBS ]] ||
        falla "new user: not the identification line, the introduction, then FBB's greeting: $(printf %q "$tomado")"
    envia B
    cierre || falla "B: FBB did not close the connection"
else
    falla "new user: no FBB prompt: $(visto)"
fi
sale

echo "== FBB imports the mail (at the next change of the minute)"
# Until the import file is gone (at most 90 s).
importa() {
    local i
    for ((i = 0; i < 900; i++)); do
        [ -e "$DATOS/mail/mail.in" ] || return 0
        sleep 0.1
    done
    return 1
}
importado=0
if importa; then importado=1; fi
# Mail that talmir wrote while FBB held its lock waits in mail.prt for the
# next station run: a connection takes it into the import file.
if ((importado)) && [ -e "$TRABAJO/mail.prt" ]; then
    echo "   pending mail in $TRABAJO/mail.prt: one more connection"
    if entra N0SYS && hasta_re "$PROMPT"; then
        envia B
        cierre || true
    fi
    sale
    importado=0
    if importa; then importado=1; fi
fi
if ((importado)); then
    echo "   imported after $((SECONDS - inicio)) s"
else
    falla "FBB did not import $DATOS/mail/mail.in in 90 s: $(cat "$DATOS/mail/mail.in" 2>&1)"
fi
[ ! -e "$TRABAJO/mail.prt" ] || falla "mail left pending: $(cat "$TRABAJO/mail.prt")"
[ ! -e "$DATOS/mail/mail.lck" ] || falla "FBB's mail lock left: $DATOS/mail/mail.lck"

echo "== The sysop reads it at FBB's prompt"
if entra N0SYS && hasta_re "$PROMPT"; then
    envia L
    if hasta_re "$PROMPT"; then
        lista=$tomado
        # "101    PNL    102 N0SYS         TALMIR 1209/1905 NEW USER"
        numeros=()
        while [[ $lista =~ ([0-9]+)\ +P[^\ ]*\ +[0-9]+\ N0SYS\ +TALMIR\ +[^\ ]+\ NEW\ USER$CR(.*) ]]; do
            numeros+=("${BASH_REMATCH[1]}")
            lista=${BASH_REMATCH[2]}
        done
        ((${#numeros[@]})) || falla "L lists no NEW USER message from TALMIR to N0SYS: $(printf %q "$tomado")"
        cuerpos=()
        for n in "${numeros[@]}"; do
            envia "R $n"
            if hasta_re "$PROMPT"; then
                # The body between talmir's header line and FBB's end line.
                if [[ $tomado =~ \[TALMIR\ v[^]]*\]\ -\ [0-9:]+\ [0-9-]+$NL(.*)$NL\ +---\ End\ of\ message ]]; then
                    cuerpos+=("${BASH_REMATCH[1]}")
                else
                    falla "R $n: no message of talmir's: $(printf %q "$tomado")"
                fi
            else
                falla "R $n: no prompt: $(visto)"
            fi
        done
        # One message for the new user's connection, the same bytes as
        # talmir wrote them.
        nuevos=0
        normales=0
        for c in "${cuerpos[@]}"; do
            case $c in
            "Callsign N0NEW connected to the system at first time (Port 1).$NL") nuevos=$((nuevos + 1)) ;;
            "Callsign N0NRM connected"*) normales=$((normales + 1)) ;;
            esac
        done
        ((nuevos == 1)) || falla "$nuevos new-user messages for N0NEW among: $(printf '%q ' "${cuerpos[@]}")"
        # N0NRM was new too at its first connection; FBB passes the new-user
        # flag to each run of that connection (the challenge, the answer).
        echo "   new-user messages: N0NEW $nuevos, N0NRM $normales (a challenge and its answer)"
    else
        falla "L: no prompt: $(visto)"
    fi
    envia B
    cierre || falla "B: FBB did not close the connection"
else
    falla "the sysop: no FBB prompt: $(visto)"
fi
sale

echo "== FBB stopped; what it ran"
para_fbb
# -v: "Debug: command = {cd FDIR/ ; ./c_filter ARGS </dev/null >...}", then
# "Debug: exit code = N": the package's link in FBB's filter directory.
# Each run with its exit code, as "CALL-SSID LEVEL FLAGS NEW => CODE,".
llamadas=""
orden=""
[ -f "$REGISTRO" ] || falla "no log of FBB's: $REGISTRO"
touch "$REGISTRO"
while IFS= read -r linea; do
    case $linea in
    "Debug: command = {cd "*" ; ./c_filter "*)
        read -r indicativo nivel banderas nuevo _ <<<"${linea#*./c_filter }"
        orden="$indicativo $nivel $banderas $nuevo"
        ;;
    "Debug: exit code = "*)
        # The sysop's own connections are not counted.
        if [ -n "$orden" ] && [[ $orden != N0SYS* ]]; then llamadas+="$orden => ${linea##* },"; fi
        orden=""
        ;;
    "Debug: command = "*) orden="" ;;
    esac
done <"$REGISTRO"
igual "FBB's runs of c_filter, from its log" "$llamadas" \
    "N0NRM-0 0 3616 1 => 1,N0NRM-0 1 3616 1 => 0,N0NRM-0 0 3616 0 => 1,N0NRM-0 1 3616 0 => 1,N0NRM-0 2 3616 0 => 1,N0NRM-0 3 3616 0 => 2,N0NEW-0 0 3616 1 => 0,"
grep -q "^Debug: command = {cd $FILTRO/ ; ./c_filter N0NRM-0 0 " "$REGISTRO" ||
    falla "FBB did not run $FILTRO/c_filter: $(grep -m1 'c_filter' "$REGISTRO")"
[ ! -e "$TRABAJO/error.prt" ] || falla "talmir reported: $(cat "$TRABAJO/error.prt")"
for d in /proc/[0-9]*; do
    if [ "$(cat "$d/comm" 2>/dev/null)" = xfbbd ]; then falla "an xfbbd is left: ${d#/proc/}"; fi
done

echo "   $((SECONDS - inicio)) s in all"
if ((fallos)); then
    echo "--- FBB's log ends:" >&2
    tail -n 40 "$REGISTRO" >&2 || true
    echo "fbb_paquete: $fallos failures" >&2
    exit 1
fi
echo "fbb_paquete: talmir's package works under Debian's FBB"
