#!/usr/bin/env bash
# Copies from a damaged disc with the built tool (terminal front end), as root. The disc is
# scripts/damaged_disc.py, a FUSE file system whose chosen files fail the same read:
#   - a file whose read fails 2 or 3 times with EIO, then succeeds, copies whole;
#   - a file whose read always fails ends the copy with the copy error naming it after three
#     retries pausing 0.5, 1 and 2 s, within a few seconds, and leaves nothing of it behind;
#   - Cancel (an interrupt) during the longest pause ends the program within half a second;
#   - a disc that vanished (ENODEV, ENXIO, ENOENT) is not retried.
# Skips with one line where FUSE is not available.
#   scripts/damaged_disc.sh <lumbrake-cd binary>
set -uo pipefail
export LC_ALL=C.UTF-8
tool=$(readlink -f "${1:?usage: damaged_disc.sh <lumbrake-cd binary>}")
here=$(cd "$(dirname "$0")" && pwd)
scratch=$(mktemp -d "${TMPDIR:-/tmp}/lumbrake-damaged.XXXXXX")
back=$scratch/back mnt=$scratch/disc out=$scratch/out log=$scratch/failed-reads
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
ok() { echo "ok: $*"; }

cleanup() {
    [ -n "${tool_pid:-}" ] && kill -9 "$tool_pid" 2>/dev/null
    mountpoint -q "$mnt" && { fusermount -u "$mnt" 2>/dev/null || umount -l "$mnt"; }
    [ -n "${fs_pid:-}" ] && wait "$fs_pid" 2>/dev/null
    rm -rf "$scratch"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# The disc: one folder per case, each with a damaged file among sound ones.
make_disc() {
    local d
    for d in flaky dead cancel ENODEV ENXIO ENOENT; do
        mkdir -p "$back/$d"
        echo "$d before" >"$back/$d/a-sound.txt"
        echo "$d after" >"$back/$d/z-sound.txt"
    done
    head -c $((3 << 20)) /dev/urandom >"$back/flaky/twice.bin"
    head -c $((2 << 20)) /dev/urandom >"$back/flaky/thrice.bin"
    for d in dead cancel ENODEV ENXIO ENOENT; do head -c $((2 << 20)) /dev/urandom >"$back/$d/bad.bin"; done
    echo x >"$back/SETUP.EXE"
}

mount_disc() {
    mkdir -p "$mnt"
    /usr/bin/python3 "$here/damaged_disc.py" "$back" "$mnt" --log "$log" \
        --fail flaky/twice.bin:2 --fail flaky/thrice.bin:3 --fail dead/bad.bin:always \
        --fail cancel/bad.bin:always --fail ENODEV/bad.bin:always:ENODEV \
        --fail ENXIO/bad.bin:always:ENXIO --fail ENOENT/bad.bin:always:ENOENT \
        2>"$scratch/fuse.err" &
    fs_pid=$!
    for _ in $(seq 50); do mountpoint -q "$mnt" && return 0; sleep 0.1; done
    return 1
}

# Starts the tool on one case folder of the disc; tool_pid is its process.
start_copy() { # <case>
    : >"$scratch/$1.err"
    LUMBRAKE_UI=tty "$tool" "/src=$mnt/SETUP.EXE" "/dst=$out/$1" "/drm=$1" >/dev/null 2>"$scratch/$1.err" &
    tool_pid=$!
    start_ns=$(date +%s%N)
}

# Waits for the tool (at most 30 s); sets took_ms and error, the error it showed.
finish_copy() { # <case>
    local i
    for ((i = 0; i < 3000; i++)); do kill -0 "$tool_pid" 2>/dev/null || break; sleep 0.01; done
    kill -9 "$tool_pid" 2>/dev/null && echo "(the tool still ran after 30 s: killed)"
    wait "$tool_pid" 2>/dev/null
    tool_pid=
    took_ms=$((($(date +%s%N) - start_ns) / 1000000))
    error=$(grep -a -m1 '^Error: ' "$scratch/$1.err" | sed 's/^Error: //')
}

# The times of a file's failed reads as the tool made them: the kernel may split one read into
# several requests to the file system, which then fail within a few milliseconds of each other.
failure_times() { # <path on the disc>
    grep " /$1 " "$log" 2>/dev/null | awk '{ if (NR == 1 || $1 - t > 0.1) print $1; t = $1 }'
}

failed_reads() { failure_times "$1" | wc -l; } # <path on the disc>

# The pauses between the failed reads of a file, in ms.
pauses() { # <path on the disc>
    failure_times "$1" | awk 'NR > 1 { printf "%s%d", sep, ($1 - t) * 1000; sep = " " } { t = $1 }'
}

# Nothing of the bad file at the destination, no temporary either: only sound files.
nothing_left() { # <case>
    ! ls -A "$out/$1" 2>/dev/null | grep -qv -e '^a-sound.txt$' -e '^z-sound.txt$'
}

expected_error() { echo "Error copying file: $mnt/$1/bad.bin to $out/$1/bad.bin"; }

check_flaky() {
    start_copy flaky
    finish_copy flaky
    if [ -z "$error" ] && diff -r "$back/flaky" "$out/flaky" >/dev/null; then
        ok "reads failing 2 and 3 times in a row: copied whole in $took_ms ms ($(failed_reads flaky/twice.bin) + $(failed_reads flaky/thrice.bin) failed reads)"
    else
        fail "reads failing 2 and 3 times in a row: ${error:-the copy differs from the source}"
    fi
}

# Three retries pausing 0.5, 1 and 2 s (each within a fifth of a second more), then the error.
check_dead() {
    start_copy dead
    finish_copy dead
    local n p
    n=$(failed_reads dead/bad.bin)
    p=$(pauses dead/bad.bin)
    if [ "$error" != "$(expected_error dead)" ]; then
        fail "a read that always fails: expected '$(expected_error dead)', got '${error:-no error}'"
    elif [ "$n" != 4 ] || ! echo "$p" | awk '{ exit !(NF == 3 && $1 >= 480 && $1 < 700 &&
            $2 >= 980 && $2 < 1200 && $3 >= 1980 && $3 < 2200) }'; then
        fail "a read that always fails: $n failed reads, pauses of '$p' ms (4 reads, 500 1000 2000 expected)"
    elif [ "$took_ms" -gt 6000 ] || ! nothing_left dead; then
        fail "a read that always fails: ended after $took_ms ms, left: $(ls -A "$out/dead" | tr '\n' ' ')"
    else
        ok "a read that always fails: the copy error after $took_ms ms, pauses of $p ms, nothing left"
    fi
}

# An interrupt during the 2 s pause after the third failed read.
check_cancel() {
    start_copy cancel
    local i ms
    for ((i = 0; i < 1000; i++)); do
        [ "$(failed_reads cancel/bad.bin)" -ge 3 ] && break
        kill -0 "$tool_pid" 2>/dev/null || break
        sleep 0.01
    done
    sleep 0.3
    if ! kill -0 "$tool_pid" 2>/dev/null; then
        finish_copy cancel
        fail "Cancel in a retry pause: the tool had ended before it ($(failed_reads cancel/bad.bin) failed reads, ${error:-no error})"
        return
    fi
    start_ns=$(date +%s%N)
    kill -INT "$tool_pid"
    finish_copy cancel
    if [ "$took_ms" -ge 500 ]; then
        fail "Cancel in a retry pause: the program ended $took_ms ms after the interrupt"
    elif ! nothing_left cancel; then
        fail "Cancel in a retry pause: left $(ls -A "$out/cancel" | tr '\n' ' ')"
    else
        ok "Cancel in a retry pause: the program ended $took_ms ms after the interrupt, nothing left"
    fi
}

# A vanished disc: one failed read, then the copy error at once.
check_vanished() { # <errno name>
    start_copy "$1"
    finish_copy "$1"
    local n
    n=$(failed_reads "$1/bad.bin")
    if [ "$error" != "$(expected_error "$1")" ]; then
        fail "$1 (a vanished disc): expected '$(expected_error "$1")', got '${error:-no error}'"
    elif [ "$n" != 1 ] || [ "$took_ms" -gt 1500 ]; then
        fail "$1 (a vanished disc): retried: $n failed reads, ended after $took_ms ms"
    else
        ok "$1 (a vanished disc): not retried, the copy error after $took_ms ms"
    fi
}

[ "$(id -u)" = 0 ] || { echo "damaged_disc.sh: skipped: mounting a FUSE file system needs root"; exit 0; }
if [ ! -c /dev/fuse ] || ! command -v fusermount >/dev/null || ! /usr/bin/python3 -c 'import fusepy' 2>/dev/null; then
    echo "damaged_disc.sh: skipped: FUSE is not available here (/dev/fuse, fusermount, python3-fusepy)"
    exit 0
fi
make_disc
if ! mount_disc; then
    echo "damaged_disc.sh: skipped: the FUSE file system did not mount: $(tail -n1 "$scratch/fuse.err")"
    exit 0
fi
mkdir -p "$out"
check_flaky
check_dead
check_cancel
for e in ENODEV ENXIO ENOENT; do check_vanished "$e"; done
[ "$failures" -eq 0 ] && echo "damaged disc: every check passed" || { echo "damaged disc: $failures check(s) failed"; exit 1; }
