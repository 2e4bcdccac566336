#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Installs the patched FBB package as a sysop does (apt-get install ./fbb_*.deb)
# and checks that it is the one in place and runs: dpkg's version, the
# quoting marker in /usr/sbin/xfbbd, xfbbd starting (and stopping at once on
# a missing configuration), and, when a talmir-check is given, no warning
# about the installed FBB any more. It changes the system it runs on: run it
# through tools/capas.sh (as tools/test.sh does), which discards everything.
#
# Usage: bash platform/fbb/install-check.sh DEB [TALMIR-CHECK]   (root)
set -euo pipefail

deb=$(realpath "$1")
check=${2:-}
fallos=0
falla() {
    echo "FAIL: $*" >&2
    fallos=$((fallos + 1))
}

export DEBIAN_FRONTEND=noninteractive
apt-get install -y "$deb" >/dev/null
version=$(dpkg-query -W -f='${Version}' fbb)
[ "$version" = 7.011-2+talmir1 ] || falla "dpkg names fbb $version, not 7.011-2+talmir1"
grep -q -a fbb-shell-quote-1 /usr/sbin/xfbbd || falla "/usr/sbin/xfbbd lacks the marker fbb-shell-quote-1"
# Without its configuration xfbbd says so and ends.
salida=$(FBBCONF=/nonexistent/fbb.conf timeout 10 /usr/sbin/xfbbd -n </dev/null 2>&1 || true)
case $salida in
    *"Cannot open file"*) ;;
    *) falla "xfbbd did not run as expected: $salida" ;;
esac
if [ -n "$check" ]; then
    if "$check" 2>&1 | grep -q '/usr/sbin/xfbbd: warning'; then
        falla "talmir-check still warns about the installed FBB"
    fi
fi
if ((fallos)); then exit 1; fi
echo "install-check: fbb $version installed, marked, runs"
