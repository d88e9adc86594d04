#!/usr/bin/env bash
# The progress on a slow disc, end to end, as root: one 60 MiB file read cold through a blkio
# read throttle of 1 MB/s and of 2 MB/s (an old CD drive). The disc is an ext4 image mounted
# afresh for each run, so that its cache is cold and only its reads are slow; the program and
# its libraries are read beforehand.
#   Linux, the terminal line (written to a pipe: one line per change): while the file is
#     copied the line changes at least every 0.6 s, and SIGINT ends the program within 0.5 s.
#   The Windows build under Wine, on a virtual display: the bar, read from the screen, moves
#     at least every 0.6 s, and Esc sent with xdotool ends the process within 0.5 s.
#
#   scripts/slow_disc.sh <lumbrake-cd> [lumbrake-cd.exe]     (COPYING=6 seconds watched per run)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
tool=$(readlink -f "${1:?usage: slow_disc.sh <lumbrake-cd> [lumbrake-cd.exe]}")
exe=${2:+$(readlink -f "$2")}
copying=${COPYING:-6}
[ "$(id -u)" = 0 ] || { echo "run as root: loop mounts and the blkio throttle"; exit 1; }
[ -d /sys/fs/cgroup/blkio ] || { echo "no blkio cgroup here: nothing to throttle with"; exit 1; }

work=$(mktemp -d /tmp/lumbrake-slow.XXXXXX)
cg=/sys/fs/cgroup/blkio/lumbrake-slow-$$
disc=$work/disc
failures=0
cleanup() {
    set +e
    if [ -n "${pid:-}" ]; then
        kill "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    fi
    [ -n "${exe:-}" ] && /usr/lib/wine/wineserver -w
    declare -F stop_display >/dev/null && stop_display
    mountpoint -q "$disc" && umount "$disc"
    [ -d "$cg" ] && rmdir "$cg"
    rm -rf "$work"
}
trap cleanup EXIT

# The disc: SETUP.EXE and DATA/big.bin (60 MiB) in an ext4 image.
mkdir -p "$work/tree/DATA" "$disc"
echo x >"$work/tree/SETUP.EXE"
head -c $((60 << 20)) /dev/urandom >"$work/tree/DATA/big.bin"
truncate -s 80M "$work/disc.img"
mkfs.ext4 -q -d "$work/tree" "$work/disc.img"
rm -rf "$work/tree"
mkdir -p "$cg"

# Mounts the disc afresh (a cold cache) and throttles its reads to rate bytes per second for
# the processes of the group.
fresh_disc() { # <rate>
    mountpoint -q "$disc" && umount "$disc"
    mount -o loop,ro "$work/disc.img" "$disc"
    # The read-ahead of an optical drive (128 KiB), not the 2.5 MB a loop device inherits: the
    # Linux tool turns the kernel's read-ahead off itself, but Wine reads through a file it
    # opened on its own, where the Windows program's request for random access does not reach.
    blockdev --setra 256 "$(findmnt -n -o SOURCE -T "$disc")"
    echo "$(findmnt -n -o MAJ:MIN -T "$disc" | tr -d ' ') $1" >"$cg/blkio.throttle.read_bps_device"
}
# The longest wait between the times on standard input (one per line), and up to the last
# argument, in seconds.
longest_gap() { # <end time>
    awk -v end="$1" 'NR > 1 { g = $1 - last; if (g > max) max = g } { last = $1 }
        END { g = end - last; if (g > max) max = g; printf "%.2f", max }'
}
verdict() { # <what> <max gap> <stop ms>
    local ok=yes
    awk "BEGIN {exit !($2 <= 0.6)}" || ok=
    [ "$3" -le 500 ] || ok=
    if [ -n "$ok" ]; then
        echo "ok: $1: progress moved at least every $2 s, stopped in $3 ms"
    else
        echo "FAIL: $1: progress stood still for up to $2 s (goal 0.6), stopped in $3 ms (goal 500)"
        failures=$((failures + 1))
    fi
}
ms_since() { echo $(((${EPOCHREALTIME/./} - ${1/./}) / 1000)); }

# Linux, the terminal line written to a pipe, each line stamped as it arrives.
cat "$tool" $(ldd "$tool" | awk '$3 ~ /^\// {print $3}') >/dev/null
linux() { # <rate>
    fresh_disc "$1"
    rm -rf "$work/dst"
    local lines=$work/lines-$1
    LUMBRAKE_UI=tty sh -c 'echo $$ >"$0/cgroup.procs"; exec "$@"' "$cg" "$tool" \
        "/src=$disc/SETUP.EXE" "/dst=$work/dst" /drm=DATA \
        > >(while IFS= read -r line; do echo "$EPOCHREALTIME $line"; done >"$lines") 2>&1 &
    pid=$!
    for _ in $(seq 200); do grep -q 'Copying file' "$lines" 2>/dev/null && break; sleep 0.05; done
    sleep "$copying"
    local stop=$EPOCHREALTIME
    kill -INT "$pid"
    wait "$pid" || true
    local ms
    ms=$(ms_since "$stop")
    pid=
    sleep 0.2
    local gap
    gap=$(awk '/Copying file/ {print $1}' "$lines" | awk -v s="$stop" '$1 < s' | longest_gap "$stop")
    verdict "Linux, $(($1 / 1000000)) MB/s, $(grep -c 'Copying file' "$lines") changes in $copying s" \
        "$gap" "$ms"
}

# Windows under Wine: the bar's middle row read from the screen about ten times a second.
wine_run() { # <rate>
    fresh_disc "$1"
    rm -rf "$work/wdst"
    ln -sfn "$disc" "$WINEPREFIX/dosdevices/e:"
    sh -c 'echo $$ >"$0/cgroup.procs"; exec "$@"' "$cg" /usr/lib/wine/wine64 "$exe" \
        '/src=E:\SETUP.EXE' "/dst=Z:${work//\//\\}\\wdst" /drm=DATA >/dev/null 2>&1 &
    pid=$!
    local win="" x y
    for _ in $(seq 200); do
        win=$(xdotool search --onlyvisible --name '^Kestrova$' 2>/dev/null | head -n1) && [ -n "$win" ] && break
        sleep 0.05
    done
    [ -n "$win" ] || { echo "FAIL: Wine: no window"; failures=$((failures + 1)); return; }
    read -r x y < <(xwininfo -id "$win" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF} END {print x, y}')
    # The client area is the X window: the bar at 8,40, 401 wide; its middle row, 8 down.
    local moves=$work/moves-$1 last=-1 first="" now filled
    : >"$moves"
    while :; do
        now=$EPOCHREALTIME
        filled=$(import -window root -crop "401x1+$((x + 8))+$((y + 48))" +repage txt:- 2>/dev/null |
            awk -F'[(),]' 'NR > 1 && $4 > $2 + 60 && $4 > $3 {n++} END {print n + 0}')
        if [ "$filled" != "$last" ]; then
            echo "$now $filled" >>"$moves"
            last=$filled
            [ "$filled" -gt 0 ] && [ -z "$first" ] && first=$now
        fi
        [ -n "$first" ] && [ "$(ms_since "$first")" -ge $((copying * 1000)) ] && break
        [ "$(ms_since "$now")" -lt 100 ] && sleep 0.05
    done
    local stop=$EPOCHREALTIME
    xdotool key --window "$win" Escape
    wait "$pid" || true
    local ms
    ms=$(ms_since "$stop")
    pid=
    /usr/lib/wine/wineserver -w
    local gap
    gap=$(awk -v f="$first" '$1 >= f {print $1}' "$moves" | longest_gap "$stop")
    verdict "Wine, $(($1 / 1000000)) MB/s, $(awk -v f="$first" '$1 >= f' "$moves" | wc -l) bar moves in $copying s" \
        "$gap" "$ms"
}

for rate in 1000000 2000000; do linux $rate; done
if [ -n "$exe" ]; then
    . "$root/scripts/display.sh"
    start_display
    export WINEPREFIX=${WINEPREFIX:-$work/wine} WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    # The prefix, Wine's server and its libraries, ready and read before the disc is slow.
    [ -d "$WINEPREFIX/drive_c" ] || /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1 || true
    /usr/lib/wine/wine64 cmd /c exit >/dev/null 2>&1 || true
    cat "$exe" >/dev/null
    for rate in 1000000 2000000; do wine_run $rate; done
fi
[ "$failures" = 0 ] && echo "all slow-disc checks passed" || { echo "$failures slow-disc check(s) failed"; exit 1; }
