#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Builds Debian's own fbb 7.011-2 with shell-quote-typed-line.patch added, as
# the package fbb 7.011-2+talmir1: the source from the machine's Debian
# archive (apt-get source, through a private deb-src entry; the system's apt
# configuration is left as it is), the build dependencies installed with
# apt-get build-dep when missing (as root), the patch added to
# debian/patches, a changelog entry, then dpkg-buildpackage -us -uc -b.
#
# Usage: bash platform/fbb/build-deb.sh [DIR]    (DIR: default build-fbb in
# the source tree). The last line of standard output is the path of
# DIR/fbb_7.011-2+talmir1_<arch>.deb; progress goes to standard error, the
# build's own output to DIR/build.log. When DIR already holds the package
# built from this patch and this script, it only prints its path.
set -euo pipefail

aqui=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
arbol=$(cd "$aqui/../.." && pwd)
parche=$aqui/shell-quote-typed-line.patch
origen=7.011-2              # the Debian source the patch applies to
version=7.011-2+talmir1
marca=fbb-shell-quote-1     # in xfbbd's verbose start-up output

registro=""
dir=${1:-$arbol/build-fbb}
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)
arch=$(dpkg --print-architecture)
deb=$dir/fbb_${version}_${arch}.deb
sello_fichero=$dir/sello
sello=$(cat "$parche" "${BASH_SOURCE[0]}" | sha256sum | cut -d' ' -f1)

paso() { echo "build-deb: $*" >&2; }
muere() {
    echo "build-deb: $*" >&2
    if [ -s "$registro" ]; then
        echo "build-deb: the end of $registro:" >&2
        tail -n 30 "$registro" >&2
    fi
    exit 1
}

if [ -f "$deb" ] && [ "$(cat "$sello_fichero" 2>/dev/null)" = "$sello" ]; then
    paso "$deb is already built from this patch"
    echo "$deb"
    exit 0
fi

registro=$dir/build.log
: >"$registro"
rm -f "$sello_fichero" "$deb"
inicio=$(date +%s)

# --- The machine's archive, with its source packages ------------------------
# Private sources and lists: every deb entry of the system's sources, also as
# deb-src. apt-get then needs neither /etc/apt changed nor its lists.
apt_dir=$dir/apt
rm -rf "$apt_dir"
mkdir -p "$apt_dir/sources.list.d" "$apt_dir/lists/partial"
for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    sed -E 's/^Types:.*/Types: deb deb-src/' "$f" >"$apt_dir/sources.list.d/$(basename "$f")"
done
for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] || continue
    sed -nE 's/^[[:space:]]*deb[[:space:]]+(.*)$/deb \1\ndeb-src \1/p' "$f" \
        >"$apt_dir/sources.list.d/$(basename "$f" .list)-src.list"
done
ls "$apt_dir"/sources.list.d/* >/dev/null 2>&1 || muere "no apt sources in /etc/apt"
apt_opciones=(-o Dir::Etc::SourceList=/dev/null
              -o "Dir::Etc::SourceParts=$apt_dir/sources.list.d"
              -o "Dir::State::Lists=$apt_dir/lists"
              -o Dir::Cache::pkgcache= -o Dir::Cache::srcpkgcache=)

paso "apt-get update (private lists in $apt_dir)"
apt-get "${apt_opciones[@]}" update >>"$registro" 2>&1 || muere "apt-get update failed"

fuentes=$dir/src
rm -rf "$fuentes"
mkdir -p "$fuentes"
paso "apt-get source fbb=$origen"
(cd "$fuentes" && apt-get "${apt_opciones[@]}" source "fbb=$origen") >>"$registro" 2>&1 ||
    muere "apt-get source fbb=$origen failed"
arbol_fbb=$(find "$fuentes" -mindepth 1 -maxdepth 1 -type d -name 'fbb-*' | head -n 1)
[ -n "$arbol_fbb" ] && [ -f "$arbol_fbb/debian/changelog" ] || muere "no fbb source tree in $fuentes"

# --- Build dependencies -----------------------------------------------------
if ! (cd "$arbol_fbb" && dpkg-checkbuilddeps) >>"$registro" 2>&1; then
    [ "$(id -u)" = 0 ] || muere "build dependencies missing (see $registro): run as root"
    paso "apt-get build-dep (as root)"
    DEBIAN_FRONTEND=noninteractive apt-get "${apt_opciones[@]}" build-dep -y \
        --no-install-recommends "$arbol_fbb" >>"$registro" 2>&1 || muere "apt-get build-dep failed"
fi

# --- The patch and the changelog entry ---------------------------------------
nombre=$(basename "$parche")
cp "$parche" "$arbol_fbb/debian/patches/$nombre"
echo "$nombre" >>"$arbol_fbb/debian/patches/series"
fecha=$(sed -n 's/^Last-Update: *//p' "$parche")
{
    printf 'fbb (%s) bookworm; urgency=high\n\n' "$version"
    printf '  * Quote the line a station types (and a PG program'\''s name) for /bin/sh\n'
    printf '    before xfbbd pastes it into the command of its connection filter or\n'
    printf '    of a PG program, and build those commands with bounds checks:\n'
    printf '    stations could run commands as root and pass any filter.\n'
    printf '    (debian/patches/%s)\n\n' "$nombre"
    printf ' -- talmir maintainers <root@localhost>  %s\n\n' \
        "$(LC_ALL=C date -u -R -d "$fecha 12:00")"
    cat "$arbol_fbb/debian/changelog"
} >"$arbol_fbb/debian/changelog.nuevo"
mv "$arbol_fbb/debian/changelog.nuevo" "$arbol_fbb/debian/changelog"

# --- The build ----------------------------------------------------------------
# dpkg-buildpackage applies the new patch (dpkg-source --before-build).
paso "dpkg-buildpackage -us -uc -b (log: $registro)"
(cd "$arbol_fbb" && DEB_BUILD_OPTIONS="parallel=2 ${DEB_BUILD_OPTIONS:-}" \
    dpkg-buildpackage -us -uc -b) >>"$registro" 2>&1 || muere "dpkg-buildpackage failed"
grep -q "applying $nombre\$" "$registro" || muere "dpkg-source did not apply $nombre"
hecho=$fuentes/$(basename "$deb")
[ -f "$hecho" ] || muere "dpkg-buildpackage made no $(basename "$deb")"
mv "$hecho" "$deb"

# --- The marker in the packaged xfbbd -------------------------------------------
comprobacion=$(mktemp -d)
trap 'rm -rf "$comprobacion"' EXIT
dpkg-deb -x "$deb" "$comprobacion"
if ! grep -q -a "$marca" "$comprobacion/usr/sbin/xfbbd"; then
    rm -f "$deb"
    muere "the built xfbbd lacks the marker $marca"
fi

echo "$sello" >"$sello_fichero"
paso "built in $(($(date +%s) - inicio)) s"
echo "$deb"
