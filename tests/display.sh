#!/usr/bin/env bash
# The window tests' display, as a CTest fixture.
#   display.sh start <file>   a virtual X display (Xvfb, openbox as its window manager) on a
#                             free number, written to <file> as ":N"; without Xvfb, the
#                             desktop's display if one answers; else nothing is written
#   display.sh stop <file>    ends what start started
#   display.sh run <file> <command>...
#                             runs the command on that display; without one it says so in one
#                             line and ends with 77, which the tests take as "skipped"
set -u
file=$2
case $1 in
start)
    "$0" stop "$file"
    if ! command -v Xvfb >/dev/null; then
        if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then echo "$DISPLAY" >"$file"; fi
        exit 0
    fi
    # Detached, with no descriptor of this script's: CTest waits for those to close.
    setsid Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$file.number" \
        </dev/null >/dev/null 2>&1 &
    echo $! >"$file.pids"
    for _ in $(seq 100); do [ -s "$file.number" ] && break; sleep 0.05; done
    [ -s "$file.number" ] || { echo "Xvfb did not start"; exit 1; }
    display=:$(head -n1 "$file.number")
    if command -v openbox >/dev/null; then
        DISPLAY=$display setsid openbox </dev/null >/dev/null 2>&1 &
        echo $! >>"$file.pids"
        # The window manager is up once it has named itself on the root window.
        for _ in $(seq 200); do
            DISPLAY=$display xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
            sleep 0.05
        done
    fi
    echo "$display" >"$file"
    echo "display $display"
    ;;
stop)
    [ -f "$file.pids" ] && kill $(cat "$file.pids") 2>/dev/null
    rm -f "$file" "$file.pids" "$file.number"
    ;;
run)
    shift 2
    if [ ! -s "$file" ]; then
        echo "SKIPPED: the window tests need a display: install Xvfb (Debian: xvfb), or run them on a desktop"
        exit 77
    fi
    DISPLAY=$(cat "$file") exec "$@"
    ;;
esac
