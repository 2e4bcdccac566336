# SPDX-License-Identifier: GPL-2.0-or-later
# Sourced by the scripts of tools/ and tests/: what a fresh Debian machine
# lacks, installed in one place.
#
# instala_faltan WHO PACKAGE...: installs with apt-get, as root, those of the
# Debian packages that are not installed; run by another user, it names them
# and ends the script (exit 1). WHO names the script in that message. Its
# own output goes to standard error, so that a script's standard output
# stays its own.
instala_faltan() {
    local quien=$1 p
    shift
    local faltan=()
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || faltan+=("$p")
    done
    ((${#faltan[@]})) || return 0
    if [ "$(id -u)" != 0 ]; then
        echo "$quien: missing packages ${faltan[*]}: run as root (or install them)" >&2
        exit 1
    fi
    echo "== Installing ${faltan[*]}" >&2
    export DEBIAN_FRONTEND=noninteractive
    # A source that fails to answer need not stop it: what is then missing
    # fails apt-get install.
    apt-get update >&2 || echo "$quien: apt-get update failed; installing from the lists there are" >&2
    apt-get install -y --no-install-recommends "${faltan[@]}" >&2
}
