#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Installs the Debian package into THIS system as a sysop does, with
# `apt-get install ./talmir_*.deb`, checks that it works there (the
# programs, `man talmir`, FBB's c_filter link, the working directory and its
# configuration links), and purges it again. It changes the real system:
# run it only on a disposable machine, or with --overlay (as tools/test.sh does).
#
# Usage: bash tools/apt_deb.sh [--overlay] [DIR]   (DIR holds talmir_*.deb;
# without one there, tools/deb.sh builds it in DIR, default build-deb). Root
# only. --overlay: the same in a private mount namespace where /usr, /var and
# /etc are overlays on scratch directories, so that the real system is left
# as it was (needs a kernel that lets root mount overlays).
set -euo pipefail

cd "$(dirname "$0")/.."
if [ "$(id -u)" != 0 ]; then
    echo "apt_deb: root only" >&2
    exit 1
fi
if [ "${1:-}" = --overlay ]; then
    shift
    exec bash tools/capas.sh bash tools/apt_deb.sh "$@"
fi
DIR=${1:-build-deb}
if dpkg-query -W -f='${Status}' talmir 2>/dev/null | grep -q 'install ok installed'; then
    echo "apt_deb: talmir is installed here already: left alone" >&2
    exit 1
fi
shopt -s nullglob
debs=("$DIR"/talmir_*.deb)
if ((${#debs[@]} != 1)); then
    bash tools/deb.sh "$DIR" >/dev/null
    debs=("$DIR"/talmir_*.deb)
fi
DEB=$(realpath "${debs[0]}")

FILTRO=/usr/lib/$(gcc -print-multiarch 2>/dev/null || echo x86_64-linux-gnu)/fbb/filter
# What stood there before, to find it again after the purge.
antes_filtro=$({ cat "$FILTRO/c_filter" 2>/dev/null || true; } | md5sum)
antes_trabajo=no
[ ! -e /var/ax25/fbb/talmir ] || antes_trabajo=yes

export DEBIAN_FRONTEND=noninteractive
apt-get update >/dev/null || true
apt-get install -y "$DEB"

fallos=0
falla() {
    echo "FAIL: $*" >&2
    fallos=$((fallos + 1))
}
[ "$(readlink -f "$FILTRO/c_filter")" = "$(readlink -f /usr/sbin/talmir)" ] || falla "c_filter: $(ls -l "$FILTRO")"
[ "$(stat -c '%a %U' /var/ax25/fbb/talmir)" = "750 root" ] || falla "working directory"
[ -f /var/ax25/fbb/talmir/config.prt ] || falla "no config.prt in the working directory"
bandera=$(talmir)
[[ $bandera == *"TALMIR v4.1"* ]] || falla "talmir: $bandera"
[ "$(talmir-sim --password secret --challenge 'PASSWORD> 3 1 4 1 5 [0123456789]')" = \
    735b8beedf7c8c4a101eae8635a26715 ] || falla "talmir-sim"
[ "$(man -w talmir)" = /usr/share/man/man8/talmir.8.gz ] || falla "man -w talmir: $(man -w talmir 2>&1)"
pagina=$(MANWIDTH=80 man talmir 2>&1 || true)
[[ $pagina == *"TALMIR(8)"* && $pagina == *"connection filter"* ]] || falla "man talmir: $pagina"
# The filter as FBB runs it, with the package's configuration: nothing is
# filtered yet, so the station is let in with the identification line.
set +e
salida=$(cd "$FILTRO" && ./c_filter N0CALL-0 0 0 0 0 1)
codigo=$?
set -e
[ "$codigo" = 0 ] || falla "c_filter exit $codigo: $salida"
[[ $salida == "{TALMIR-4.1"* ]] || falla "c_filter output: $salida"
[ ! -e /var/ax25/fbb/talmir/error.prt ] || falla "error.prt: $(cat /var/ax25/fbb/talmir/error.prt)"

apt-get purge -y talmir >/dev/null
[ ! -e /usr/sbin/talmir ] || falla "talmir left after purge"
[ "$({ cat "$FILTRO/c_filter" 2>/dev/null || true; } | md5sum)" = "$antes_filtro" ] ||
    falla "c_filter after purge is not what stood there before"
if [ "$antes_trabajo" = no ]; then
    rm -rf /var/ax25/fbb/talmir
    rmdir /var/ax25/fbb /var/ax25 2>/dev/null || true
fi
if ((fallos)); then
    echo "apt_deb: $fallos failures" >&2
    exit 1
fi
echo "apt_deb: installed with apt-get, working, purged"
