#!/usr/bin/env bash
# The program on a real X server (Xvfb, with openbox as the window manager): without being
# told, it opens its window "Kestrova" 410 x 96 with a title bar, centred with its frame; Esc
# cancels the copy and the program ends with 0; SIGTERM cancels it and the program ends with
# 143. On a disc that does not answer (a FUSE folder whose every question waits), the window
# shows its first text, moves, and greys Cancel. Then the terminal line: when a forced window
# cannot open, and its memory without Qt.
# Usage: xvfb_test.sh <lumbrake-cd>
set -u
tool=$1
for cmd in Xvfb openbox xdotool; do
    command -v $cmd >/dev/null || { echo "SKIP: $cmd is not installed"; exit 0; }
done
work=$(mktemp -d /tmp/lumbrake-xvfb.XXXXXX)
pids=()
cleanup() {
    rm -f "$work/hold"
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
    wait 2>/dev/null
    mountpoint -q "$work/held" 2>/dev/null && fusermount -u -z "$work/held"
    rm -rf "$work"
}
trap cleanup EXIT
. "$(dirname "$0")/../disc_tree.sh"

# A free display number, chosen by the server itself.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
for _ in $(seq 1 100); do [ -s "$work/display" ] && break; sleep 0.05; done
[ -s "$work/display" ] || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
export DISPLAY=:$(cat "$work/display")
unset WAYLAND_DISPLAY QT_QPA_PLATFORM LUMBRAKE_UI
openbox >/dev/null 2>&1 &
pids+=($!)
# The window manager is up once it has named itself on the root window.
for _ in $(seq 1 200); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    sleep 0.05
done

files=4000
make_disc "$work" $files

# Starts a copy into $work/$1 and waits for its window; $win is the window.
start() {
    "$tool" "/src=$src" "/dst=$work/$1" "/drm=$drm" >"$work/$1.log" 2>&1 &
    pid=$!
    win=
    for _ in $(seq 1 400); do
        win=$(xdotool search --onlyvisible --name '^Kestrova$' 2>/dev/null | head -1)
        [ -n "$win" ] && break
        sleep 0.025
    done
    [ -n "$win" ] || fail "no window appeared: $(cat "$work/$1.log")"
}

start esc
eval "$(xdotool getwindowgeometry --shell "$win")"
[ "$WIDTH x $HEIGHT" = "410 x 96" ] || fail "window is $WIDTH x $HEIGHT"
# The frame comes a moment after the window is mapped.
for _ in $(seq 1 200); do
    frame=$(xprop -id "$win" _NET_FRAME_EXTENTS 2>/dev/null)
    case $frame in *"= "*) break ;; esac
    sleep 0.05
done
case $frame in *"= "*) ;; *) fail "no window manager frame: $frame" ;; esac
# Centred with its frame: the frame's middle is the screen's (1024 x 768).
read -r l r t b < <(echo "${frame#*= }" | tr -d ,)
eval "$(xwininfo -id "$win" | awk '/Absolute upper-left X/ {print "X=" $NF} /Absolute upper-left Y/ {print "Y=" $NF}')"
dx=$((2 * (X - l) + l + r + WIDTH - 1024)) dy=$((2 * (Y - t) + t + b + HEIGHT - 768))
[ "${dx#-}" -le 2 ] && [ "${dy#-}" -le 2 ] || fail "not centred: frame off the middle by $dx/2, $dy/2"
xdotool key --window "$win" Escape
# The program may quit at the press, and xdotool then fail before the release, leaving Esc
# down for every later window: let it go.
xdotool keyup Escape 2>/dev/null
wait $pid
rc=$?
[ "$rc" = 0 ] && [ "$(count esc)" -lt $files ] || fail "Esc: exit $rc, $(count esc) files"
echo "Esc: exit $rc after $(count esc) of $files files"

start term
kill -TERM $pid
wait $pid
rc=$?
[ "$rc" = 143 ] && [ "$(count term)" -lt $files ] || fail "SIGTERM: exit $rc, $(count term) files"
echo "SIGTERM: exit $rc after $(count term) of $files files"
# A disc whose every question waits (the mount point's own aside): the drive root lookup and
# the first listing wait on it, never the window.
held() {
    local mnt=$work/held hold=$work/hold
    /usr/bin/python3 -c 'import fusepy' 2>/dev/null && [ -c /dev/fuse ] ||
        { echo "SKIP held disc: FUSE or python3-fusepy missing"; return; }
    mkdir -p "$mnt" "$work/tree/MAPS"
    echo 1 >"$work/tree/MAPS/a"
    touch "$hold"
    /usr/bin/python3 "$(dirname "$0")/../held_fs.py" --stat "$work/tree" "$mnt" "$hold" \
        >"$work/fuse.log" 2>&1 &
    pids+=($!)
    for _ in $(seq 100); do mountpoint -q "$mnt" && break; sleep 0.05; done
    "$tool" "/src=$mnt/SETUP.EXE" "/dst=$work/held-dst" /drm=MAPS >"$work/held.log" 2>&1 &
    pid=$!
    pids+=($pid)
    win=
    for _ in $(seq 200); do
        win=$(xdotool search --onlyvisible --name '^Kestrova$' 2>/dev/null | head -1)
        [ -n "$win" ] && break
        sleep 0.025
    done
    [ -n "$win" ] || fail "held disc: no window appeared"
    # The darkest and the lightest pixel of a part of the window, d and l: text is dark on a
    # light ground, greyed text light; a window not drawn is black.
    soon() { # <condition on d and l> <part>: true once the part meets it, within 5 s
        local seen
        for _ in $(seq 50); do
            seen=$(import -window "$win" -crop "$2" +repage -colorspace gray \
                -format '%[fx:minima] %[fx:maxima]' info: 2>/dev/null)
            [ -n "$seen" ] && echo "$seen" | awk "{d = \$1; l = \$2; exit !($1)}" && return 0
            sleep 0.1
        done
        echo "last seen: $seen"
        return 1
    }
    soon 'd < 0.4 && l > 0.8' 400x14+8+16 || fail "held disc: no text in the label"
    soon 'd < 0.4 && l > 0.8' 60x12+322+70 || fail "held disc: Cancel not drawn"
    xdotool windowmove "$win" 40 50
    sleep 0.3
    xwininfo -id "$win" | grep -q 'Absolute upper-left X:  4[0-9]$' || fail "held disc: the window did not move"
    xdotool key --window "$win" Escape
    soon 'd > 0.5 && l > 0.8' 60x12+322+70 || fail "held disc: Cancel not greyed"
    rm -f "$hold"
    wait $pid
    rc=$?
    fusermount -u "$mnt"
    [ "$rc" = 0 ] && [ ! -e "$work/held-dst/a" ] || fail "held disc: exit $rc"
    echo "held disc: label painted, window moved, Cancel greyed, exit $rc"
}
held

# No display that answers: a forced window says why in one line, the terminal line copies.
DISPLAY=:999 LUMBRAKE_UI=qt "$tool" "/src=$src" "/dst=$work/nodisplay" "/drm=$drm" \
    >/dev/null 2>"$work/nodisplay.err"
rc=$?
grep -q "no window (cannot connect to the display :999)" "$work/nodisplay.err" &&
    [ "$(wc -l <"$work/nodisplay.err")" = 1 ] || fail "forced window: $(cat "$work/nodisplay.err")"
[ "$rc" = 0 ] && [ "$(count nodisplay)" = $files ] || fail "forced window: exit $rc"

# The terminal line never loads Qt, even with a display: it stays small (sanitizers aside).
if [ -x /usr/bin/time ] && ! ldd "$tool" | grep -Eq 'lib(a|t)san'; then
    LUMBRAKE_UI=tty /usr/bin/time -f %M -o "$work/rss" "$tool" "/src=$src" "/dst=$work/tty" \
        "/drm=$drm" >/dev/null
    [ "$(cat "$work/rss")" -lt 20480 ] || fail "terminal line peaked at $(cat "$work/rss") KiB"
    echo "terminal line: peak $(cat "$work/rss") KiB"
fi
echo "window checks passed"
