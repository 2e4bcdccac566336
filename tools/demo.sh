#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# talmir at work on a ready-made BBS: builds talmir and the FBB dialogue
# simulator talmir-sim with the relative root "." (every run then works under
# its current directory), lays out a scratch BBS with the files of examples/,
# and shows the banner, a station's first call as FBB makes it, a whole NORMAL
# password dialogue, an MD station answering with a digest, and a forward
# exchange between two BBSs.
#
# Usage: bash tools/demo.sh   (as root on a fresh Debian machine: it installs
# what is missing with apt-get; as another user everything must be there).
set -euo pipefail

cd "$(dirname "$0")/.."
FUENTES=$PWD
CONSTRUCCION=$FUENTES/build-demo
ESCENA=$FUENTES/scratch-demo

# --- What a fresh Debian machine lacks --------------------------------------
source tools/faltan.sh
instala_faltan demo cmake make g++

# --- Build ---------------------------------------------------------------
echo "== Building talmir and talmir-sim in build-demo (TALMIR_ROOT=.)"
cmake -S . -B "$CONSTRUCCION" -DTALMIR_ROOT=. -DBUILD_TESTING=OFF \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$CONSTRUCCION" -j2 --target talmir talmir-sim >/dev/null
TALMIR=$CONSTRUCCION/talmir
SIM=$CONSTRUCCION/talmir-sim

# --- A scratch BBS -------------------------------------------------------
# BBS A (N0BBS) is a root of its own: var/ax25/fbb/talmir is talmir's working
# directory, etc/ax25/fbb.conf FBB's configuration, which names FBB's
# directories inside the scratch root.
prepara_bbs() {  # root callsign
    local raiz=$1 indicativo=$2
    rm -rf "$raiz"
    mkdir -p "$raiz/var/ax25/fbb/talmir" "$raiz/var/ax25/fbb/mail" "$raiz/etc/ax25/fbb"
    cp "$FUENTES"/examples/*.prt "$FUENTES"/examples/*.lng "$FUENTES"/examples/*.TBL \
        "$raiz/var/ax25/fbb/talmir/"
    cp "$FUENTES/examples/port.sys" "$raiz/etc/ax25/fbb/"
    sed -e "s#^\(config\|data\|messages\|compressed\|fbbdos\|yapp\|docs\|import\) = /#\1 = $raiz/#" \
        -e "s#^callsign = .*#callsign = $indicativo#" \
        "$FUENTES/examples/fbb.conf" >"$raiz/etc/ax25/fbb.conf"
}
A=$ESCENA/bbs-a
B=$ESCENA/bbs-b
prepara_bbs "$A" N0BBS
prepara_bbs "$B" N3BBS
# BBS B keeps the forward password of its partner N0BBS.
cat >"$B/var/ax25/fbb/talmir/users.prt" <<'EOF'
# BBS N3BBS: its partner N0BBS, answered with MD5.
N0BBS
ALL     FORWARD5  Reenvio55
-
EOF

echo
echo "== The scratch BBS: $A"
echo "   talmir's files in var/ax25/fbb/talmir: $(cd "$A/var/ax25/fbb/talmir" && echo *)"
echo "   FBB's configuration etc/ax25/fbb.conf, FBB's ports etc/ax25/fbb/port.sys"

# --- 1. The banner -------------------------------------------------------
echo
echo "== 1. talmir without arguments prints its banner"
(cd "$A" && "$TALMIR")

# --- 2. A first call as FBB makes it -------------------------------------
echo "== 2. Station N0OPN-0 connects on port 1. FBB runs the filter with six arguments:"
echo "   CALL-SSID, call counter 0, user flags 0, new-user flag 0, record 0, port 1."
echo "   users.prt gives N0OPN mode OPEN: identification line, open text, introduction."
echo "   ----"
set +e
(cd "$A" && "$TALMIR" N0OPN-0 0 0 0 0 1)
codigo=$?
set -e
echo "   ----"
echo "   exit code $codigo (0: FBB lets the station in)"

# --- 3. A NORMAL dialogue ------------------------------------------------
echo
echo "== 3. Station N0CALL-0 on port 1, mode NORMAL with the password Secreto7."
echo "   talmir-sim plays FBB; with --answer it plays a station that knows its password:"
echo "   it reads the five positions asked and types those characters."
set +e
"$SIM" --dir "$A" --port 1 --answer Secreto7 N0CALL-0
dialogo=$?
echo
echo "   The same station typing a wrong password three times:"
printf 'xxxxx\nyyyyy\nzzzzz\n' | "$SIM" --dir "$A" --port 1 N0CALL-0

# --- MD: a digest computed from the password ----------------------------
echo
echo "== 3b. Station N0MD-0, mode MD5 with the password Clave2024: it may answer with the"
echo "   MD5 or MD2 digest of the ten digits in brackets followed by its password."
echo "   talmir-sim computes it from the password given with --answer (here MD2):"
"$SIM" --dir "$A" --port 1 --answer Clave2024 --digest md2 N0MD-0
md=$?
echo
echo "   The same answer for a challenge seen elsewhere, without running anything:"
"$SIM" --password Clave2024 --challenge "PASSWORD> 2 7 1 9 4 [0123456789]"
set -e

# --- 4. Forward between two BBSs -----------------------------------------
echo
echo "== 4. Forward: BBS N3BBS ($B) calls BBS N0BBS ($A) to forward mail."
echo "   N0BBS's users.prt has N3BBS as FORWARD5: it challenges with \"![digits]\";"
echo "   N3BBS's own talmir (a forward run, new-user flag -1) answers with the MD5"
echo "   digest of the digits and the password both keep; N0BBS checks it."
set +e
"$SIM" --forward N0BBS --dir "$A" --partner-dir "$B" --port 1 N3BBS-0
forward=$?
set -e

echo
if [ "$dialogo" = 0 ] && [ "$md" = 0 ] && [ "$forward" = 0 ]; then
    echo "== Done: the stations and the partner BBS were let in."
    echo "   Try more: $SIM --dir $A --port 1 N0FIX-0   (and type the pass phrase)"
else
    echo "== The dialogues ended with exit $dialogo and $md, the forward with exit $forward:" \
        "see $A/var/ax25/fbb/talmir/error.prt"
    exit 1
fi
