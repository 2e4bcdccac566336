#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# The Debian package: builds it with tools/deb.sh (dpkg-buildpackage) in a
# build directory of its own, runs lintian on it, and inspects it with
# dpkg-deb (control fields, contents, the c_filter link, the conffiles, the
# maintainer scripts, the weekly job, the manual pages, FBB's paths in the
# program). As root it also installs it into a scratch root with
# `dpkg --root` (the maintainer scripts run without chroot, with DPKG_ROOT
# set), over a filter of the sysop's own, upgrades it over an edited
# configuration, removes and purges it. The real system is never touched.
#
# Usage: tests/paquete_deb.sh [--arch ARCH] BUILD-DIR   (run by CTest, label
# deb). --arch ARCH: the package cross-built for ARCH (tools/deb.sh --arch),
# its programs run under qemu-user (qemu-user-static, installed as root when
# missing).
set -euo pipefail

FUENTES=$(cd "$(dirname "$0")/.." && pwd)
ARQ=$(dpkg --print-architecture 2>/dev/null || echo desconocida)
NATIVA=$ARQ
if [ "${1:-}" = --arch ]; then
    ARQ=${2:?--arch needs an architecture}
    shift 2
fi
CONSTRUCCION=${1:?build directory}
command -v dpkg-deb >/dev/null || {
    echo "no dpkg-deb: skipped"
    exit 77
}
# Not root: tools/deb.sh cannot install what dpkg-buildpackage needs.
if [ "$(id -u)" != 0 ] && ! command -v dh >/dev/null; then
    echo "no debhelper (and not root to install it): skipped"
    exit 77
fi

TMP=$(mktemp -d)
trap 'rm -rf "$TMP"' EXIT
fallos=0
falla() {
    echo "FAIL: $*" >&2
    fallos=$((fallos + 1))
}
igual() {  # what got expected
    if [ "$2" != "$3" ]; then falla "$1: got '$2', expected '$3'"; fi
}

echo "== Building the package in $CONSTRUCCION"
if [ "$ARQ" = "$NATIVA" ]; then
    DEB=$(bash "$FUENTES/tools/deb.sh" "$CONSTRUCCION" | tail -1)
else
    DEB=$(bash "$FUENTES/tools/deb.sh" --arch "$ARQ" "$CONSTRUCCION" | tail -1)
fi
[ -f "$DEB" ] || {
    echo "FAIL: no package built" >&2
    exit 1
}
echo "   $DEB"
case $(basename "$DEB") in
talmir_4.1~beta2-1_*.deb) ;;
*) falla "package file name $(basename "$DEB")" ;;
esac

echo "== Control fields"
igual Package "$(dpkg-deb -f "$DEB" Package)" talmir
igual Version "$(dpkg-deb -f "$DEB" Version)" 4.1~beta2-1
igual Section "$(dpkg-deb -f "$DEB" Section)" hamradio
igual Priority "$(dpkg-deb -f "$DEB" Priority)" optional
igual Recommends "$(dpkg-deb -f "$DEB" Recommends)" fbb
igual Architecture "$(dpkg-deb -f "$DEB" Architecture)" "$ARQ"
# The filter is static; the sysop's tools need the C and C++ libraries.
depende=$(dpkg-deb -f "$DEB" Depends)
[[ $depende == *"libc6 ("* && $depende == *"libstdc++6"* ]] || falla "Depends: $depende"
[ -n "$(dpkg-deb -f "$DEB" Maintainer)" ] || falla "no Maintainer"
descripcion=$(dpkg-deb -f "$DEB" Description)
[[ $descripcion == *"connection filter for the FBB"* ]] || falla "Description: $descripcion"

echo "== lintian"
if command -v lintian >/dev/null; then
    cambios=$(dirname "$DEB")/$(basename "$DEB" .deb).changes
    # No error and no warning; every override carries its reason.
    if ! lintian --display-info --fail-on error,warning "$cambios" >"$TMP/lintian" 2>&1; then
        falla "lintian: $(grep -v 'root privileges' "$TMP/lintian")"
    fi
    grep -v 'root privileges' "$TMP/lintian" || true
else
    echo "   no lintian: not run"
fi

echo "== Contents"
dpkg-deb -c "$DEB" >"$TMP/lista"
awk '{ print $1, $6, $7, $8 }' "$TMP/lista" | sed -e 's#^\([^ ]*\) \./#\1 /#' -e 's/ *$//' >"$TMP/contenido"
contiene() {  # mode path
    grep -qx -- "$1 $2" "$TMP/contenido" || falla "not in the package: $1 $2"
}
TRIPLETE=$(dpkg-architecture -a"$ARQ" -qDEB_HOST_MULTIARCH 2>/dev/null)
FILTRO=/usr/lib/$TRIPLETE/fbb/filter
contiene -rwxr-xr-x /usr/sbin/talmir
contiene -rwxr-xr-x /usr/bin/talmir-sim
contiene lrwxrwxrwx "$FILTRO/c_filter -> ../../../../sbin/talmir"
contiene -rw-r--r-- /usr/share/man/man8/talmir.8.gz
contiene -rw-r--r-- /usr/share/man/man1/talmir-sim.1.gz
contiene -rw-r--r-- /usr/share/man/man5/config.prt.5.gz
contiene -rw-r--r-- /usr/share/man/man5/users.prt.5.gz
contiene -rw-r--r-- /usr/share/man/man5/bloqueo.prt.5.gz
contiene -rw-r--r-- /usr/share/doc/talmir/examples/config.prt
contiene -rw-r--r-- /usr/share/doc/talmir/examples/users.prt
contiene -rw-r--r-- /etc/ax25/fbb/talmir/config.prt
contiene -rw-r----- /etc/ax25/fbb/talmir/users.prt
contiene -rwxr-xr-x /etc/cron.weekly/talmir
contiene -rw-r--r-- /lib/systemd/system/talmir-log.service
contiene -rw-r--r-- /lib/systemd/system/talmir-log.timer
contiene -rw-r--r-- /usr/share/doc/talmir/copyright
contiene -rw-r--r-- /usr/share/man/man8/talmir-check.8.gz
contiene -rwxr-xr-x /usr/bin/talmir-check
# Nothing in the working directory: the postinst makes it.
if grep -q ' /var/' "$TMP/contenido"; then falla "files under /var in the package"; fi

echo "== Conffiles and maintainer scripts"
mkdir "$TMP/control" "$TMP/datos"
dpkg-deb -e "$DEB" "$TMP/control"
dpkg-deb -x "$DEB" "$TMP/datos"
igual conffiles "$(cat "$TMP/control/conffiles")" \
    "$(printf '/etc/ax25/fbb/talmir/config.prt\n/etc/ax25/fbb/talmir/users.prt\n/etc/cron.weekly/talmir')"
# The weekly job, with its two paths moved into a scratch directory and a
# program that notes how it was called: it runs "-log" only when a refusal
# log holds something, and does nothing once the program is gone.
semana=$TMP/semana
mkdir -p "$semana/trabajo"
printf '#!/bin/sh\necho "$*" >>%s/llamadas\n' "$semana" >"$semana/talmir"
chmod +x "$semana/talmir"
sed -e "s#^programa=.*#programa=$semana/talmir#" -e "s#^trabajo=.*#trabajo=$semana/trabajo#" \
    -e "s#^systemd=.*#systemd=$semana/systemd#" "$TMP/datos/etc/cron.weekly/talmir" >"$semana/job"
grep -q "^programa=/usr/sbin/talmir$" "$TMP/datos/etc/cron.weekly/talmir" || falla "cron job: program path"
grep -q "^trabajo=/var/ax25/fbb/talmir$" "$TMP/datos/etc/cron.weekly/talmir" || falla "cron job: working directory"
sh "$semana/job" || falla "cron job without logs: exit $?"
[ ! -e "$semana/llamadas" ] || falla "cron job ran talmir without logs"
: >"$semana/trabajo/logexcld.prt"
sh "$semana/job" || falla "cron job with an empty log: exit $?"
[ ! -e "$semana/llamadas" ] || falla "cron job ran talmir for an empty log"
echo "N0CALL-0" >"$semana/trabajo/lognopas.prt"
sh "$semana/job" || falla "cron job with a log: exit $?"
igual "cron job call" "$(cat "$semana/llamadas" 2>&1)" "-log"
# Where systemd runs, its timer does the job instead.
mkdir "$semana/systemd"
sh "$semana/job" || falla "cron job under systemd: exit $?"
igual "cron job under systemd" "$(cat "$semana/llamadas" 2>&1)" "-log"
rmdir "$semana/systemd"
unidad=$TMP/datos/lib/systemd/system/talmir-log.service
grep -qx 'ExecStart=/usr/sbin/talmir -log' "$unidad" || falla "service: ExecStart"
grep -qx 'ConditionFileNotEmpty=|/var/ax25/fbb/talmir/lognopas.prt' "$unidad" || falla "service: lognopas.prt"
grep -qx 'ConditionFileNotEmpty=|/var/ax25/fbb/talmir/logexcld.prt' "$unidad" || falla "service: logexcld.prt"
grep -qx 'OnCalendar=weekly' "$TMP/datos/lib/systemd/system/talmir-log.timer" || falla "timer: weekly"
if command -v systemd-analyze >/dev/null; then
    # Against this system, where the program itself need not be installed.
    systemd-analyze --man=no verify "$unidad" "$TMP/datos/lib/systemd/system/talmir-log.timer" 2>&1 |
        grep -v 'Command /usr/sbin/talmir is not executable' >"$TMP/verify" || true
    [ ! -s "$TMP/verify" ] || falla "systemd-analyze verify: $(cat "$TMP/verify")"
fi
rm "$semana/talmir"
sh "$semana/job" || falla "cron job without the program: exit $?"

for s in preinst postinst postrm; do
    [ -x "$TMP/control/$s" ] || falla "$s missing or not executable"
    sh -n "$TMP/control/$s" || falla "$s: shell syntax"
    if grep -n '@[A-Z_]*@\|#DEBHELPER#' "$TMP/control/$s"; then falla "$s: unconfigured variable"; fi
done
grep -q 'chmod 0750 "$DPKG_ROOT$trabajo"' "$TMP/control/postinst" || falla "postinst: mode 0750"
grep -q 'chown root:root "$DPKG_ROOT$trabajo"' "$TMP/control/postinst" || falla "postinst: owner"
grep -qx 'trabajo=/var/ax25/fbb/talmir' "$TMP/control/postinst" || falla "postinst: working directory"
grep -q "dpkg-divert --package talmir --rename --divert" "$TMP/control/preinst" ||
    falla "preinst: diversion of a filter of one's own"
# The starter configuration filters nothing: no port line.
datos=$(grep -v '^#' "$TMP/datos/etc/ax25/fbb/talmir/config.prt" | sed -n '15,$p')
if [ -n "$datos" ]; then
    falla "the starter config.prt has port lines"
fi

echo "== The program reads Debian's FBB configuration"
grep -aq '/etc/ax25/fbb/fbb.conf' "$TMP/datos/usr/sbin/talmir" || falla "FBB_CONF not Debian's"
if grep -aq '/etc/ax25/fbb.conf' "$TMP/datos/usr/sbin/talmir"; then falla "FBB_CONF default in the program"; fi
# Static: no program interpreter, whatever the architecture.
if readelf -l "$TMP/datos/usr/sbin/talmir" | grep -q 'program interpreter'; then
    falla "talmir not static"
fi
[ "$(readelf -h "$TMP/datos/usr/sbin/talmir" | awk '/Machine:/ { $1 = ""; print }')" != "" ] ||
    falla "talmir: no ELF header"

# The installed programs run natively, or under qemu-user for another
# architecture (the tools with the cross toolchain's libraries).
corre() {  # program args...
    if [ "$ARQ" = "$NATIVA" ]; then
        "$@"
    else
        "$EMULADOR" -L "/usr/$TRIPLETE" "$@"
    fi
}
if [ "$ARQ" != "$NATIVA" ]; then
    case $ARQ in
    armhf | armel) EMULADOR=qemu-arm-static ;;
    arm64) EMULADOR=qemu-aarch64-static ;;
    i386) EMULADOR=qemu-i386-static ;;
    *) EMULADOR=qemu-$ARQ-static ;;
    esac
    source "$FUENTES/tools/faltan.sh"
    instala_faltan paquete_deb qemu-user-static
    command -v "$EMULADOR" >/dev/null || falla "no $EMULADOR to run the $ARQ programs"
fi

echo "== Manual pages render"
for m in "$TMP"/datos/usr/share/man/man*/*.gz; do
    avisos=$(MANWIDTH=80 man --warnings -l "$m" 2>&1 >/dev/null) || avisos="man failed: $avisos"
    [ -z "$avisos" ] || falla "$(basename "$m"): $avisos"
done

if [ "$(id -u)" != 0 ]; then
    echo "== Not root: the installation into a scratch root is skipped"
    exit $((fallos > 0))
fi

echo "== Installed with dpkg --root into a scratch root"
R=$TMP/raiz
mkdir -p "$R/var/lib/dpkg/info" "$R/var/lib/dpkg/updates" "$R/var/lib/dpkg/triggers" "$R$FILTRO"
touch "$R/var/lib/dpkg/status" "$R/var/lib/dpkg/available"
# A filter of the sysop's own stands where the package puts its link.
printf '#!/bin/sh\nexit 0\n' >"$R$FILTRO/c_filter"
chmod 0755 "$R$FILTRO/c_filter"
instala() {  # dpkg options...
    # The scratch root holds no C library: the tools' dependencies cannot be
    # met there.
    dpkg --root="$R" --force-script-chrootless --force-depends "$@" >>"$TMP/dpkg.log" 2>&1 ||
        falla "dpkg $*: $(tail -5 "$TMP/dpkg.log")"
}
# A package of another architecture goes in as it would on a machine of its
# own: the scratch root's dpkg takes that architecture.
if [ "$ARQ" != "$NATIVA" ]; then dpkg --root="$R" --add-architecture "$ARQ"; fi
instala -i "$DEB"
igual "c_filter" "$(readlink -f "$R$FILTRO/c_filter")" "$(readlink -f "$R/usr/sbin/talmir")"
igual "timer enabled" "$(readlink "$R/etc/systemd/system/timers.target.wants/talmir-log.timer")" \
    /lib/systemd/system/talmir-log.timer
igual "own filter kept" "$(cat "$R$FILTRO/c_filter.local" 2>&1)" "$(printf '#!/bin/sh\nexit 0')"
igual "working directory" "$(stat -c '%a %U %G' "$R/var/ax25/fbb/talmir")" "750 root root"
igual "config.prt link" "$(readlink "$R/var/ax25/fbb/talmir/config.prt")" /etc/ax25/fbb/talmir/config.prt
igual "users.prt link" "$(readlink "$R/var/ax25/fbb/talmir/users.prt")" /etc/ax25/fbb/talmir/users.prt
grep -q '^Status: install ok installed' "$R/var/lib/dpkg/status" || falla "not installed"
grep -q '^ /etc/ax25/fbb/talmir/config.prt [0-9a-f]\{32\}$' "$R/var/lib/dpkg/status" ||
    falla "config.prt is no conffile"
bandera=$(corre "$R/usr/sbin/talmir")
[[ $bandera == *"TALMIR v4.1"* ]] || falla "the installed talmir prints no banner: $bandera"
igual "talmir-sim" "$(corre "$R/usr/bin/talmir-sim" --password secret --challenge 'PASSWORD> 3 1 4 1 5 [0123456789]')" \
    735b8beedf7c8c4a101eae8635a26715
# man finds the pages by name.
igual "man -w talmir" "$(man -M "$R/usr/share/man" -w talmir)" "$R/usr/share/man/man8/talmir.8.gz"
igual "man -w users.prt" "$(man -M "$R/usr/share/man" -w 5 users.prt)" "$R/usr/share/man/man5/users.prt.5.gz"
pagina=$(MANWIDTH=80 man -M "$R/usr/share/man" talmir 2>/dev/null || true)
[[ $pagina == *"connection filter"* ]] || falla "man talmir shows no page"

echo "== Reinstalled and upgraded over the sysop's configuration"
echo '# the sysop was here' >>"$R/etc/ax25/fbb/talmir/config.prt"
rm "$R/var/ax25/fbb/talmir/users.prt"
printf 'N0CALL\n1 NORMAL Secreto7\n-\n' >"$R/var/ax25/fbb/talmir/users.prt"
chmod 0700 "$R/var/ax25/fbb/talmir"
instala -i "$DEB"
# The same package again, then a newer one whose config.prt differs.
mkdir "$TMP/nuevo"
dpkg-deb -R "$DEB" "$TMP/nuevo/p"
sed -i 's/^Version: .*/Version: 4.1~beta3-1/' "$TMP/nuevo/p/DEBIAN/control"
echo '# a later starter' >>"$TMP/nuevo/p/etc/ax25/fbb/talmir/config.prt"
(cd "$TMP/nuevo/p" && find . -type f ! -path './DEBIAN/*' -printf '%P\0' | xargs -0 md5sum >DEBIAN/md5sums)
dpkg-deb -b --root-owner-group "$TMP/nuevo/p" "$TMP/nuevo/talmir_4.1~beta3-1.deb" >/dev/null
instala --force-confdef --force-confold -i "$TMP/nuevo/talmir_4.1~beta3-1.deb"
igual "edited config.prt" "$(tail -1 "$R/etc/ax25/fbb/talmir/config.prt")" '# the sysop was here'
igual "new config.prt aside" "$(tail -1 "$R/etc/ax25/fbb/talmir/config.prt.dpkg-dist" 2>&1)" '# a later starter'
igual "own users.prt" "$(cat "$R/var/ax25/fbb/talmir/users.prt")" "$(printf 'N0CALL\n1 NORMAL Secreto7\n-')"
igual "working directory kept" "$(stat -c '%a' "$R/var/ax25/fbb/talmir")" 700
igual "c_filter after upgrade" "$(readlink -f "$R$FILTRO/c_filter")" "$(readlink -f "$R/usr/sbin/talmir")"
igual "own filter still aside" "$(head -1 "$R$FILTRO/c_filter.local" 2>&1)" '#!/bin/sh'

echo "== Removed, then purged"
echo 'log' >"$R/var/ax25/fbb/talmir/lognopas.prt"
instala -r talmir
[ ! -e "$R/usr/sbin/talmir" ] || falla "talmir left after removal"
igual "own filter back" "$(cat "$R$FILTRO/c_filter" 2>&1)" "$(printf '#!/bin/sh\nexit 0')"
[ ! -e "$R$FILTRO/c_filter.local" ] || falla "c_filter.local left"
[ -f "$R/etc/ax25/fbb/talmir/config.prt" ] || falla "conffile gone on removal"
instala -P talmir
[ ! -e "$R/etc/ax25/fbb/talmir/config.prt" ] || falla "conffile left after purge"
igual "logs kept" "$(cat "$R/var/ax25/fbb/talmir/lognopas.prt" 2>&1)" log
[ ! -e "$R/var/lib/dpkg/diversions" ] || [ ! -s "$R/var/lib/dpkg/diversions" ] || falla "diversion left"
[ ! -L "$R/etc/systemd/system/timers.target.wants/talmir-log.timer" ] || falla "timer still enabled after purge"
# With nothing of the sysop's left, purge takes the working directory too.
rm -rf "$R/var/ax25/fbb/talmir"
instala -i "$DEB"
instala -P talmir
[ ! -e "$R/var/ax25/fbb/talmir" ] || falla "empty working directory left after purge: $(ls -A "$R/var/ax25/fbb/talmir")"

if ((fallos)); then
    echo "$fallos failures"
    exit 1
fi
echo "All package checks passed."
