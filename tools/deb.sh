#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Builds the Debian package of talmir the Debian way: dpkg-buildpackage
# -us -uc -b on a copy of the source tree (the files git tracks, or the whole
# tree outside git, without build directories), so the tree itself is left
# as it is. debian/rules configures the build for Debian's fbb.
#
# Usage: bash tools/deb.sh [--arch ARCH] [BUILD-DIR]   (default build-deb in
# the source tree). The copy is BUILD-DIR/talmir; the .deb, .buildinfo and
# .changes land in BUILD-DIR, the build's output in BUILD-DIR/build.log.
# Prints the path of the .deb on its last line. As root on a fresh Debian
# machine it installs the build dependencies with apt-get.
#
# --arch ARCH (armhf, arm64, ...) cross-builds the package for ARCH with
# Debian's cross compilers (crossbuild-essential-ARCH, installed as root
# when missing): dpkg-buildpackage -aARCH.
set -euo pipefail

cd "$(dirname "$0")/.."
FUENTES=$PWD
ARQ=
if [ "${1:-}" = --arch ]; then
    ARQ=${2:?--arch needs an architecture}
    shift 2
fi
CONSTRUCCION=${1:-$FUENTES/build-deb}
mkdir -p "$CONSTRUCCION"
CONSTRUCCION=$(cd "$CONSTRUCCION" && pwd)

# debian/control's Build-Depends, and dpkg-buildpackage itself.
paquetes=(dpkg-dev debhelper cmake make g++)
if [ -n "$ARQ" ] && [ "$ARQ" != "$(dpkg --print-architecture)" ]; then
    paquetes+=("crossbuild-essential-$ARQ")
else
    ARQ=
fi
source tools/faltan.sh
instala_faltan deb "${paquetes[@]}"

copia=$CONSTRUCCION/talmir
rm -rf "$copia"
mkdir -p "$copia"
if git -C "$FUENTES" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    # What a clean clone holds, with the changes of the working tree (a file
    # deleted there but still in the index is left out).
    git -C "$FUENTES" ls-files -z --cached --others --exclude-standard |
        tar -C "$FUENTES" --null -T - --ignore-failed-read -cf - 2>/dev/null | tar -C "$copia" -xf -
else
    tar -C "$FUENTES" --exclude='./build*' -cf - . | tar -C "$copia" -xf -
fi
[ -f "$copia/debian/rules" ] || {
    echo "deb: no debian/rules in the copy of $FUENTES" >&2
    exit 1
}

rm -f "$CONSTRUCCION"/talmir-dbgsym_*.deb "$CONSTRUCCION"/talmir_*.deb "$CONSTRUCCION"/talmir_*.changes "$CONSTRUCCION"/talmir_*.buildinfo
opciones=(-us -uc -b)
if [ -n "$ARQ" ]; then opciones+=("-a$ARQ"); fi
if ! (cd "$copia" && dpkg-buildpackage "${opciones[@]}") >"$CONSTRUCCION/build.log" 2>&1; then
    echo "deb: dpkg-buildpackage failed; the end of $CONSTRUCCION/build.log:" >&2
    tail -n 30 "$CONSTRUCCION/build.log" >&2
    exit 1
fi
ls "$CONSTRUCCION"/talmir_*.deb
