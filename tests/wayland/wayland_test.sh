#!/usr/bin/env bash
# The program in a Wayland session: under a headless weston, with no X display, it opens its
# window through Qt's wayland platform. No picture can be taken there, so the client's own
# protocol log (WAYLAND_DEBUG=1) shows the toplevel titled "Kestrova". Where no compositor
# answers, one line says so and the terminal line copies. Usage: wayland_test.sh <lumbrake-cd>
set -u
tool=$1
command -v weston >/dev/null || { echo "SKIP: weston is not installed"; exit 0; }
work=$(mktemp -d /tmp/lumbrake-wayland.XXXXXX)
pid=
cleanup() {
    [ -n "$pid" ] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
. "$(dirname "$0")/../disc_tree.sh"

# A compositor of its own: its own runtime folder (which Wayland wants private) and socket.
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
weston --backend=headless-backend.so --socket=lumbrake --idle-time=0 >"$work/weston.log" 2>&1 &
pid=$!
for _ in $(seq 1 200); do [ -S "$XDG_RUNTIME_DIR/lumbrake" ] && break; sleep 0.05; done
[ -S "$XDG_RUNTIME_DIR/lumbrake" ] || fail "weston did not start: $(tail -5 "$work/weston.log")"
unset DISPLAY QT_QPA_PLATFORM LUMBRAKE_UI

files=500
make_disc "$work" $files
WAYLAND_DISPLAY=lumbrake WAYLAND_DEBUG=1 "$tool" "/src=$src" "/dst=$work/window" "/drm=$drm" \
    >"$work/window.out" 2>"$work/window.log"
rc=$?
grep -q 'xdg_toplevel@[0-9]*\.set_title("Kestrova")' "$work/window.log" ||
    fail "no toplevel titled Kestrova: $(grep -v '^\[' "$work/window.log" | head -5)"
[ "$rc" = 0 ] && [ "$(count window)" = $files ] ||
    fail "window: exit $rc, $(count window) files: $(grep -v '^\[' "$work/window.log" | tail -20)"
[ -s "$work/window.out" ] && fail "the terminal line was drawn too: $(head -c 200 "$work/window.out")"
echo "Wayland: toplevel \"Kestrova\", exit $rc, $files files"

# No compositor at that name: one line, then the terminal line copies.
WAYLAND_DISPLAY=gone "$tool" "/src=$src" "/dst=$work/none" "/drm=$drm" >/dev/null 2>"$work/none.err"
rc=$?
want="LumbrakeCD: no window (cannot connect to the display gone); progress is shown here instead"
[ "$(cat "$work/none.err")" = "$want" ] || fail "no compositor: $(cat "$work/none.err")"
[ "$rc" = 0 ] && [ "$(count none)" = $files ] || fail "no compositor: exit $rc, $(count none) files"
echo "wayland checks passed"
