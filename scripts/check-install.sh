#!/usr/bin/env bash
# Checks an installation of the program in a scratch root: the files are
# where a desktop looks for them and valid, the command line answers, and
# the installed program starts (offscreen) and makes its folder.
#
#   scripts/check-install.sh BUILD_DIR     installs BUILD_DIR into a scratch prefix
#   scripts/check-install.sh --deb FILE    unpacks the package instead
#
#   needs: desktop-file-utils appstream (and dpkg for --deb)
set -euo pipefail

root=$(mktemp -d)
app_pid=""
cleanup() {
    if [ -n "$app_pid" ]; then kill "$app_pid" 2>/dev/null || true; wait "$app_pid" 2>/dev/null || true; fi
    rm -rf "$root"
}
trap cleanup EXIT

if [ "${1:-}" = "--deb" ]; then
    dpkg-deb -x "$2" "$root"
else
    cmake --install "$1" --prefix "$root/usr" >/dev/null
fi

id=example.orbisk.orba
usr="$root/usr"
fail() { echo "check-install: $*" >&2; exit 1; }

# Print and PDF need the toolkit's print support at run time; the package
# takes it from the libraries the program links.
if [ "${1:-}" = "--deb" ]; then
    dpkg-deb -f "$2" Depends | grep -q libqt6printsupport6 || fail "the package does not depend on libqt6printsupport6"
    dpkg-deb -f "$2" Depends | grep -q libqt6sql6-sqlite || fail "the package does not depend on libqt6sql6-sqlite"
fi

for file in bin/orba bin/orba-virtual-instrument \
            share/applications/$id.desktop share/metainfo/$id.metainfo.xml \
            share/icons/hicolor/scalable/apps/$id.svg \
            share/man/man1/orba.1.gz share/man/man1/orba-virtual-instrument.1.gz \
            share/doc/orba/copyright; do
    [ -e "$usr/$file" ] || fail "missing $file"
done
for size in 16 22 24 32 48 64 128 256; do
    [ -e "$usr/share/icons/hicolor/${size}x${size}/apps/$id.png" ] || fail "missing ${size}x${size} icon"
done
desktop-file-validate "$usr/share/applications/$id.desktop"
appstreamcli validate --no-net "$usr/share/metainfo/$id.metainfo.xml" >/dev/null \
    || fail "$(appstreamcli validate --no-net "$usr/share/metainfo/$id.metainfo.xml")"

# The command line, without a display.
orba="$usr/bin/orba"
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$orba" --version | grep -qx "OrbA [0-9.]*" \
    || fail "--version"
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$orba" --help | grep -q -- "--folder <folder>" \
    || fail "--help"
status=0
"$orba" --no-such-option 2>"$root/refused" || status=$?
[ $status -eq 2 ] && grep -q "no-such-option" "$root/refused" || fail "an unknown option gave $status"
"$usr/bin/orba-virtual-instrument" --help | grep -q -- "--unplug-after" || fail "virtual instrument --help"

# Started in the home folder, as from the menu, it keeps its files in one
# folder of the user's and nowhere else.
home="$root/home"
mkdir -p "$home"
(cd "$home" && exec env -u XDG_CONFIG_HOME -u XDG_DOCUMENTS_DIR HOME="$home" \
    QT_QPA_PLATFORM=offscreen "$orba" >"$root/app.log" 2>&1) &
app_pid=$!
for _ in $(seq 300); do
    [ -d "$home/Documents/OrbA" ] && break
    kill -0 "$app_pid" 2>/dev/null || break
    sleep 0.1
done
[ -d "$home/Documents/OrbA" ] || { cat "$root/app.log" >&2; fail "no folder ~/Documents/OrbA"; }
kill -0 "$app_pid" 2>/dev/null || { cat "$root/app.log" >&2; fail "the program ended at start"; }
[ "$(ls "$home")" = "Documents" ] || fail "files in the home folder: $(ls "$home")"
echo "check-install: ok"
