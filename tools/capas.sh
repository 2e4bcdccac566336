#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Runs a command in a private mount namespace where /usr, /var and /etc are
# overlays on scratch directories: whatever it installs or changes there is
# gone when it ends, and the real system is left as it was. Root only; needs
# a kernel that lets root mount overlays.
#
# Usage: bash tools/capas.sh COMMAND [ARG...]
set -euo pipefail

if [ "$(id -u)" != 0 ]; then
    echo "capas: root only" >&2
    exit 1
fi
capas=$(mktemp -d)
trap 'rm -rf "$capas"' EXIT
for d in usr var etc; do mkdir -p "$capas/$d/arriba" "$capas/$d/trabajo"; done
set +e
unshare -m --propagation private bash -c '
    for d in usr var etc; do
        mount -t overlay overlay -o "lowerdir=/$d,upperdir=$1/$d/arriba,workdir=$1/$d/trabajo" "/$d" || exit 70
    done
    shift
    exec "$@"' capas "$capas" "$@"
exit $?
