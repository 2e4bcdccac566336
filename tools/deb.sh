#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Builds the Debian package of talmir: a Release build configured for
# Debian's fbb (FBB's configuration in /etc/ax25/fbb/fbb.conf, the native
# inf.sys layout, everything under /usr, the starter configuration in
# /etc/ax25/fbb/talmir), packed by CPack's DEB generator.
#
# Usage: bash tools/deb.sh [BUILD-DIR]   (default build-deb in the source
# tree). Prints the path of the package on its last line. As root on a fresh
# Debian machine it installs what is missing with apt-get.
set -euo pipefail

cd "$(dirname "$0")/.."
FUENTES=$PWD
CONSTRUCCION=${1:-$FUENTES/build-deb}

faltan=()
for p in cmake make g++ dpkg; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || faltan+=("$p")
done
if ((${#faltan[@]})); then
    if [ "$(id -u)" != 0 ]; then
        echo "deb: missing packages ${faltan[*]}: run as root (or install them)" >&2
        exit 1
    fi
    export DEBIAN_FRONTEND=noninteractive
    apt-get update
    apt-get install -y --no-install-recommends "${faltan[@]}"
fi

cmake -S "$FUENTES" -B "$CONSTRUCCION" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
    -DCMAKE_INSTALL_PREFIX=/usr -DFBB_CONF=/etc/ax25/fbb/fbb.conf -DFBB_INFSYS_LAYOUT=native \
    -DTALMIR_ROOT= -DTALMIR_ETC_CONFIG=ON -DTALMIR_STATIC=ON -DTALMIR_SANITIZE=OFF >/dev/null
cmake --build "$CONSTRUCCION" -j2 >/dev/null
rm -f "$CONSTRUCCION"/talmir_*.deb
(cd "$CONSTRUCCION" && cpack -G DEB >/dev/null)
ls "$CONSTRUCCION"/talmir_*.deb
