#!/usr/bin/env bash
# Pictures of the window in the middle of a copy, for the README:
#   scripts/screenshot.sh [qt] [wine]      (every picture this script knows by default)
# Each picture copies the sample disc (scripts/sample_disc.sh) on a virtual X server with a
# window manager, its source read from the disk on a cold cache through a block-I/O cgroup
# read throttle, so that the copy lasts a few seconds and there is a middle to capture.
# Needs root (cgroup, cache) and writes docs/window-<name>.png.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
scripts/deps.sh
scratch=${TMPDIR:-/tmp}/lumbrake-shot
rate=${SHOT_READ_BPS:-524288} # bytes per second read from the source
mkdir -p "$scratch" docs
pids=()
cgroup=
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    wait 2>/dev/null || true
    [ -n "$cgroup" ] && rmdir "$cgroup" 2>/dev/null || true
}
trap cleanup EXIT

# A virtual screen with openbox (without a window manager windows have no title bar); sets
# DISPLAY.
start_x() {
    [ -n "${DISPLAY_STARTED:-}" ] && return
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$scratch/display" 2>/dev/null &
    pids+=($!)
    for _ in $(seq 1 100); do [ -s "$scratch/display" ] && break; sleep 0.05; done
    export DISPLAY=:$(cat "$scratch/display")
    openbox >/dev/null 2>&1 &
    pids+=($!)
    sleep 1
    DISPLAY_STARTED=1
}

# The sample disc on the disk (not a tmpfs, which no block throttle slows), its pages dropped
# from the cache; prints its folder.
cold_disc() {
    local disc=$scratch/disc
    if [ ! -e "$disc/SETUP.EXE" ]; then
        scripts/sample_disc.sh "$scratch/sample" >/dev/null
        rm -rf "$disc"
        cp -a "$scratch/sample" "$disc"
        mountpoint -q "$scratch/sample" && umount "$scratch/sample"
    fi
    sync
    find "$disc" -type f -exec dd if={} iflag=nocache count=0 status=none \;
    echo "$disc"
}

# Runs a command in the background with reads from the disk under folder throttled to $rate
# (cgroup v1 blkio or v2 io); $! is its process.
throttled() { # <folder> <command...>
    local folder=$1 dev parent
    shift
    dev=$(findmnt -n -o SOURCE -T "$folder")
    parent=$(lsblk -no PKNAME "$dev" 2>/dev/null | head -1)
    [ -n "$parent" ] && dev=/dev/$parent
    local majmin
    majmin=$(lsblk -ndo MAJ:MIN "$dev" | tr -d ' ')
    if [ -d /sys/fs/cgroup/blkio ]; then
        cgroup=/sys/fs/cgroup/blkio/lumbrake-shot-$$
        mkdir -p "$cgroup"
        echo "$majmin $rate" >"$cgroup/blkio.throttle.read_bps_device"
    else
        cgroup=/sys/fs/cgroup/lumbrake-shot-$$
        mkdir -p "$cgroup"
        echo "$majmin rbps=$rate" >"$cgroup/io.max"
    fi
    echo "reads from $dev ($majmin) throttled to $rate bytes/s" >&2
    sh -c 'echo $$ >"$1/cgroup.procs" && shift && exec "$@"' sh "$cgroup" "$@" &
}

# Waits for a visible window of that title, lets the copy run for a while, then saves the
# screen around the window and its frame.
capture() { # <title> <png> [seconds]
    local win=
    for _ in $(seq 1 400); do
        win=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1 || true)
        [ -n "$win" ] && break
        sleep 0.05
    done
    [ -n "$win" ] || { echo "no window \"$1\"" >&2; return 1; }
    sleep "${3:-1.5}"
    eval "$(xdotool getwindowgeometry --shell "$win")"
    import -window root -crop "$((WIDTH + 40))x$((HEIGHT + 60))+$((X - 20))+$((Y - 40))" +repage "$2"
    echo "wrote $2 (${WIDTH}x${HEIGHT} window)"
}

# The Linux window (Qt), from the tool as scripts/run.sh builds it.
shot_qt() {
    cmake -S . -B build/tool -G Ninja -DCMAKE_BUILD_TYPE=Release -DLUMBRAKE_TESTS=OFF >/dev/null
    cmake --build build/tool -j"${JOBS:-2}" --target lumbrake-cd
    start_x
    local disc dst=$scratch/qt-maps
    disc=$(cold_disc)
    rm -rf "$dst"
    # The program's own files must not come through the throttle: read them now.
    cat build/tool/app/lumbrake-cd build/tool/app/lumbrake-qt.so >/dev/null
    throttled "$disc" env LUMBRAKE_UI=qt "$root/build/tool/app/lumbrake-cd" \
        "/src=$disc/SETUP.EXE" "/dst=$dst" "/drm=${disc#/}/MAPS"
    local pid=$!
    capture Kestrova "$root/docs/window-qt.png" 6.5
    wait "$pid"
}

for name in "${@:-qt wine}"; do
    for n in $name; do
        if declare -F "shot_$n" >/dev/null; then "shot_$n"; else echo "no picture '$n' here"; fi
    done
done
