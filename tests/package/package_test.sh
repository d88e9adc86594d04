#!/usr/bin/env bash
# The packages as a user gets them. The Debian package is unpacked with dpkg-deb -x into a
# throwaway root (never installed on this system) and run from there: help, version, a copy
# on the terminal line, and the window on a virtual X server, with the window module loaded
# from the unpacked tree. The Windows .zip holds the program and the README.
# Usage: package_test.sh <package folder> <version>
set -u
pkg=$1 version=$2
deb=$pkg/lumbrake-cd_${version}_amd64.deb zip=$pkg/lumbrake-cd-${version}-win64.zip
work=$(mktemp -d /tmp/lumbrake-package.XXXXXX)
. "$(dirname "$0")/../../scripts/display.sh"
trap 'stop_display; rm -rf "$work"' EXIT
. "$(dirname "$0")/../disc_tree.sh"

[ -f "$deb" ] || fail "no $deb"
dpkg-deb -x "$deb" "$work/root" || fail "dpkg-deb -x $deb"
tool=$work/root/usr/bin/lumbrake-cd
for f in usr/bin/lumbrake-cd usr/lib/lumbrake-cd/lumbrake-qt.so usr/share/man/man1/lumbrake-cd.1.gz \
    usr/share/doc/lumbrake-cd/README.md usr/share/doc/lumbrake-cd/copyright; do
    [ -f "$work/root/$f" ] || fail "the package has no /$f"
done
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version $(dpkg-deb -f "$deb" Version)"
# The terminal tool needs no Qt; the window's libraries are only recommended.
dpkg-deb -f "$deb" Depends | grep -q qt && fail "Depends names Qt: $(dpkg-deb -f "$deb" Depends)"
dpkg-deb -f "$deb" Recommends | grep -q libqt6widgets6 || fail "Qt Widgets not recommended"

[ "$(DISPLAY=:999 "$tool" --version)" = "lumbrake-cd $version" ] || fail "--version"
DISPLAY=:999 "$tool" --help | grep -q "^Usage: lumbrake-cd" || fail "--help"
make_disc "$work" 2000
LUMBRAKE_UI=tty "$tool" "/src=$src" "/dst=$work/tty" "/drm=$drm" >/dev/null 2>&1
rc=$?
[ "$rc" = 0 ] && [ "$(count tty)" = 2000 ] || fail "terminal copy: exit $rc, $(count tty) files"

# The window, on a virtual X server with a window manager.
if command -v Xvfb >/dev/null && command -v xdotool >/dev/null && command -v openbox >/dev/null; then
    start_display 1024x768x24 || fail "no virtual display"
    unset WAYLAND_DISPLAY QT_QPA_PLATFORM LUMBRAKE_UI
    # A parameter error keeps the window and its box up until the box is answered.
    "$tool" >/dev/null 2>&1 &
    pid=$!
    box=
    for _ in $(seq 1 200); do
        box=$(xdotool search --onlyvisible --name '^Lumbrake$' 2>/dev/null | head -1)
        [ -n "$box" ] && break
        sleep 0.05
    done
    [ -n "$box" ] || fail "no parameter error box"
    xdotool search --name '^Kestrova$' >/dev/null || fail "no window Kestrova"
    grep -q "$work/root/usr/lib/lumbrake-cd/lumbrake-qt.so" "/proc/$pid/maps" ||
        fail "the window module was not loaded from the unpacked package"
    xdotool key --window "$box" Return 2>/dev/null
    wait $pid
    rc=$?
    [ "$rc" = 2 ] || fail "window, parameter error: exit $rc"
    "$tool" "/src=$src" "/dst=$work/window" "/drm=$drm" >/dev/null 2>&1
    rc=$?
    [ "$rc" = 0 ] && [ "$(count window)" = 2000 ] || fail "window copy: exit $rc, $(count window) files"
    echo "window from the package: parameter error 2, copy 0"
else
    echo "SKIP the window: Xvfb, xdotool or openbox is not installed"
fi

[ -f "$zip" ] || fail "no $zip"
listing=$(unzip -Z1 "$zip") || fail "unzip -Z1 $zip"
for f in lumbrake-cd.exe README.md; do
    grep -qx "lumbrake-cd-$version-win64/$f" <<<"$listing" || fail "the .zip has no $f: $listing"
done
echo "package checks passed"
