#!/bin/bash
# How fast Cancel ends the tool on each kind of destination, and what it leaves there. For
# every kind (ext4, xfs, btrfs, NTFS, exFAT, FAT, tmpfs: scripts/mounts.sh) and two trees on a
# tmpfs (3,000 files of 1 KiB in folders of 100; 4 large files), the tool first copies the
# tree whole, which gives the time a copy takes there; then it copies it again and receives an
# interrupt (SIGINT, the terminal's Cancel) halfway through that time (earlier where that copy
# ends first), REPS times. Measured: from the signal to the end of the process; goal 1 s. Then the
# destination is checked: no hidden temporary of the tool left (`.l` and 11 base-36 digits),
# and every file there equal to its source (a cancelled copy may keep the complete files; none
# may be cut short).
#
#   bench/cancel.sh <lumbrake-cd binary> [work folder]
# Environment: KINDS (all of the above), SMALL_FILES (3000), LARGE_MB (128, each of the 4
#   large files), REPS (3 cancelled copies each), AT (0.5: the moment of the signal, as a
#   share of the whole copy's time), LIMIT (60: seconds after the signal before the tool is
#   killed and the row failed), QUICK=1 (1,000 small files, 4 x 32 MiB, one cancelled
#   copy: under a minute), KEEP=1 (keep the work folder).
set -euo pipefail
bench_name=cancel
. "$(dirname "$0")/common.sh"
[ $# -ge 1 ] || { echo "usage: cancel.sh <lumbrake-cd binary> [work folder]" >&2; exit 2; }

if [ "${QUICK:-0}" = 1 ]; then
    small_files=${SMALL_FILES:-1000} large_mb=${LARGE_MB:-32} reps=${REPS:-1}
else
    small_files=${SMALL_FILES:-3000} large_mb=${LARGE_MB:-128} reps=${REPS:-3}
fi
kinds=${KINDS:-ext4 xfs btrfs ntfs exfat fat tmpfs}
at=${AT:-0.5}
limit=${LIMIT:-60}
bench_start "$@"
began=$(date +%s)
pid=
bench_on_exit '[ -n "$pid" ] && kill -9 $pid 2>/dev/null'

small_folders=$(((small_files + 99) / 100))
mount_dest tmpfs "$work/src" $((4 * large_mb + small_files * 8 / 1024 + 64))
maketree "$work/src/SMALL" "$small_folders" 100 1024 --seed 5
maketree "$work/src/LARGE" 0 4 $((large_mb << 20)) --seed 6
echo x >"$work/src/SETUP.EXE"

start_tool() { # <tree> <destination>: the tool in the background, its pid in pid
    LUMBRAKE_UI=tty "$tool" "/src=$work/src/SETUP.EXE" "/dst=$2" "/drm=$1" \
        >"$work/out.txt" 2>&1 </dev/null &
    pid=$!
}
# Whether a child of this shell still runs: an ended one is a zombie, or already gone (the shell
# reaps its children as they end and keeps their status for `wait`).
running() { # <pid>
    local state
    read -r _ _ state _ 2>/dev/null <"/proc/$1/stat" && [ "$state" != Z ]
}
seconds_since() { awk -v a="$1" -v b="$(date +%s%N)" 'BEGIN { printf "%.2f", (b - a) / 1e9 }'; }

# Prints "<files kept> <stray temporaries> <faults>" for a destination and its source: faults
# are files cut short or changed, and entries the source does not have.
inspect() { # <source> <destination>
    local kept strays faults
    [ -d "$2" ] || { echo "0 0 0"; return; }
    kept=$(find "$2" -type f ! -name '.l*' | wc -l)
    strays=$(find "$2" -name '.l*' | grep -cE '/\.l[0-9a-z]{11}$' || true)
    faults=$(diff -rq -x .done -x '.l*' "$1" "$2" 2>&1 | grep -v "^Only in $1" | tee -a "$work/faults.txt" | wc -l || true)
    echo "$kept $strays $faults"
}

# One cancelled copy: the tool copies <tree> and receives SIGINT at `at` of the whole copy's
# time; sets after, took (seconds from the signal to the end), kept, strays and faults. A copy
# may be faster than the whole one was: then it is tried again with the signal sent at half
# the time, twice at most; fails when every try ended before its signal.
cancel_once() { # <tree> <mount point> <whole copy's seconds>
    local share=$at end t0
    for _ in 1 2 3; do
        after=$(awk -v f="$3" -v a="$share" 'BEGIN { printf "%.2f", f * a }')
        echo "$(date +%T) $kind, $1: Cancel after $after s" >&2
        start_tool "$1" "$2/cancelled"
        sleep "$after"
        running "$pid" && break
        wait "$pid" || true
        pid=
        rm -rf "$2/cancelled"
        share=$(awk -v a="$share" 'BEGIN { print a / 2 }')
    done
    [ -n "$pid" ] || return 1
    t0=$(date +%s%N)
    kill -INT "$pid"
    end=$(($(date +%s) + limit))
    while running "$pid" && [ "$(date +%s)" -lt "$end" ]; do sleep 0.005; done
    took=$(seconds_since "$t0")
    running "$pid" && kill -9 "$pid"
    wait "$pid" || true
    pid=
    read -r kept strays faults < <(inspect "$work/src/$1" "$2/cancelled")
    rm -rf "$2/cancelled"
    sync -f "$2"
}

rows=() failed=0
for kind in $kinds; do
    mnt=$work/d-$kind
    if ! mount_dest "$kind" "$mnt" $((4 * large_mb + small_files * 32 / 1024 + 200)) 2>"$work/mount.err"; then
        rows+=("| $kind | - | could not be mounted here: $(cat "$work/mount.err") |")
        continue
    fi
    for tree in SMALL LARGE; do
        total=$(find "$work/src/$tree" -type f ! -name .done | wc -l)
        echo "$(date +%T) $kind, $tree: a whole copy" >&2
        sync -f "$mnt"
        t0=$(date +%s%N)
        start_tool "$tree" "$mnt/whole"
        wait "$pid"
        pid=
        full=$(seconds_since "$t0")
        if grep -aq Error "$work/out.txt" || ! diff -rq -x .done "$work/src/$tree" "$mnt/whole" >/dev/null; then
            rows+=("| $kind | $tree | the whole copy failed: $(grep -a Error "$work/out.txt" | head -1) |")
            failed=$((failed + 1))
            rm -rf "$mnt/whole"
            continue
        fi
        rm -rf "$mnt/whole"
        sync -f "$mnt"

        takes=() kepts=() strays_all=0 faults_all=0 afters=() early=
        for _ in $(seq "$reps"); do
            cancel_once "$tree" "$mnt" "$full" || { early+=" (one copy ended before its signal)"; continue; }
            takes+=("$took") kepts+=("$kept") afters+=("$after")
            strays_all=$((strays_all + strays)) faults_all=$((faults_all + faults))
        done
        if [ ${#takes[@]} = 0 ]; then
            rows+=("| $kind | $tree | $full | $after | ended before the signal | | | | | - |")
            continue
        fi
        worst=$(printf '%s\n' "${takes[@]}" | sort -g | tail -1)
        verdict=met
        if awk -v t="$worst" 'BEGIN { exit !(t > 1.0) }' || [ "$strays_all" != 0 ] || [ "$faults_all" != 0 ]; then
            verdict="NOT met"
            failed=$((failed + 1))
        fi
        awk -v t="$worst" -v l="$limit" 'BEGIN { exit !(t >= l) }' && worst="$worst (killed)"
        rows+=("| $kind | $tree | $full | ${afters[*]} | ${takes[*]} | $worst | ${kepts[*]} of $total | $strays_all | $faults_all | $verdict$early |")
    done
    unmount_dest "$mnt"
done

echo
echo "Cancel (SIGINT) during a copy from a tmpfs: $small_files files of 1 KiB (SMALL), 4 x $large_mb MiB (LARGE)."
echo "Seconds; $reps cancelled copies each. Goal: the tool ends within 1 s of the signal every time,"
echo "leaves no temporary, and every file it leaves equals its source (faults: files cut short,"
echo "changed, or not in the source)."
echo
echo "| destination | tree | whole copy | signal after | signal to exit | worst | files kept | temporaries left | faults | goal |"
echo "|---|---|---|---|---|---|---|---|---|---|"
printf '%s\n' "${rows[@]}"
if [ -s "$work/faults.txt" ]; then
    echo
    echo "Faults found:"
    head -20 "$work/faults.txt" | sed 's/^/    /'
fi
echo
echo "$failed row(s) failed. The run took $(($(date +%s) - began)) s."
