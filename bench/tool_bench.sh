#!/bin/bash
# Times the whole tool (terminal back-end) against cp -r and rsync -a on the same trees:
#   small: 10,000 files of 4 KiB in 100 folders
#   large: 4 files of 256 MiB
# each once on the work folder's own file system and once on a tmpfs (as root), since the
# source disc is always another file system than the destination. Every copy goes to a fresh
# folder on the work folder's file system; each figure is the best of REPS runs, after a sync
# so that one run's write-back does not fall into the next. Wall time is the goal; the CPU
# time (user + system) is shown too, as it varies less on a shared machine.
#
#   bench/tool_bench.sh <lumbrake-cd binary> [work folder]   (REPS=3 by default)
set -euo pipefail

tool=$(readlink -f "${1:?usage: tool_bench.sh <lumbrake-cd binary> [work folder]}")
work=${2:-/var/tmp/lumbrake-bench}
reps=${REPS:-3}
mkdir -p "$work"
work=$(cd "$work" && pwd)

make_small() { # <dir>
    [ -f "$1/.done" ] && return
    mkdir -p "$1"
    for d in $(seq -w 0 99); do
        mkdir -p "$1/d$d"
        for f in $(seq -w 0 99); do head -c 4096 /dev/urandom >"$1/d$d/f$f.dat"; done
    done
    touch "$1/.done"
}
make_large() { # <dir>
    [ -f "$1/.done" ] && return
    mkdir -p "$1"
    for f in 1 2 3 4; do head -c 268435456 /dev/urandom >"$1/big$f.map"; done
    touch "$1/.done"
}

sources=()
make_small "$work/disk/SMALL"
make_large "$work/disk/LARGE"
echo x >"$work/disk/SETUP.EXE"
sources+=("disk")
if [ "$(id -u)" = 0 ]; then
    mkdir -p "$work/tmpfs"
    mountpoint -q "$work/tmpfs" || mount -t tmpfs -o size=1300m lumbrake-bench "$work/tmpfs"
    make_small "$work/tmpfs/SMALL"
    make_large "$work/tmpfs/LARGE"
    echo x >"$work/tmpfs/SETUP.EXE"
    sources+=("tmpfs")
else
    echo "(not root: no tmpfs source)"
fi

# Every run writes to a folder of its own, deleted only at the end: on ext4, inodes freed in
# the last minute make every new inode slower to allocate, which would tax whichever command
# followed a deletion.
runs=0
if compgen -G "$work/dst.*" >/dev/null; then
    rm -rf "$work"/dst.*
    sync
    touch "$work/cleaned"
fi
if [ -f "$work/cleaned" ]; then
    age=$(($(date +%s) - $(stat -c %Y "$work/cleaned")))
    if [ "$age" -lt 61 ]; then
        echo "(waiting $((61 - age)) s for the inodes of the last copies to age)"
        sleep $((61 - age))
    fi
fi

# "seconds cpu-seconds peak-KiB" of one run of a command; @DST@ in it is the destination.
run_once() {
    runs=$((runs + 1))
    local dst="$work/dst.$runs" args=() a
    for a in "$@"; do args+=("${a//@DST@/$dst}"); done
    sync
    local t0 t1
    t0=$(date +%s.%N)
    /usr/bin/time -f "%U %S %M" -o "$work/time.out" "${args[@]}" >/dev/null 2>"$work/err.out" </dev/null
    t1=$(date +%s.%N)
    last_dst=$dst
    local usr sys kib
    read -r usr sys kib <"$work/time.out"
    run_result="$(echo "$t1 - $t0" | bc -l) $(echo "$usr + $sys" | bc -l) $kib"
}

# The three commands in turn, $reps times, so that a slower spell of the machine weighs on
# all of them alike. For each: best wall time, best CPU time, largest peak memory.
declare -A wall cpu peak
compare() { # <source folder> <drm> <tree>
    local k t u m
    for k in tool cp rsync; do wall[$k]=""; cpu[$k]=""; peak[$k]=0; done
    for _ in $(seq "$reps"); do
        for k in tool cp rsync; do
            case $k in
            tool) run_once "$tool" "/src=$1/SETUP.EXE" "/dst=@DST@" "/drm=$2" ;;
            cp) run_once cp -r "$1/$3" "@DST@" ;;
            rsync) run_once rsync -a "$1/$3/" "@DST@/" ;;
            esac
            if [ $k = tool ] && ! diff -rq --exclude=.done "$1/$3" "$last_dst" >/dev/null; then
                echo "tool copy of $1/$3 differs from its source" >&2
                exit 1
            fi
            read -r t u m <<<"$run_result"
            [ "$m" -gt "${peak[$k]}" ] && peak[$k]=$m
            if [ -z "${wall[$k]}" ] || [ "$(echo "$t < ${wall[$k]}" | bc -l)" = 1 ]; then wall[$k]=$t; fi
            if [ -z "${cpu[$k]}" ] || [ "$(echo "$u < ${cpu[$k]}" | bc -l)" = 1 ]; then cpu[$k]=$u; fi
        done
    done
}

printf '%-6s %-6s %8s %8s %8s %7s %7s | %6s %6s %6s %7s %7s | %8s\n' source tree tool cp rsync \
    tool/cp tool/rs t_cpu cp_cpu rs_cpu cpu/cp cpu/rs tool_KiB
for src in "${sources[@]}"; do
    # The tool's source is the drive root (mount point) of /src= followed by /drm=.
    root=$(findmnt -n -o TARGET -T "$work/$src")
    rel="$work/$src"
    rel=${rel#"$root"}
    rel=${rel#/}
    for tree in SMALL LARGE; do
        drm=${rel:+$rel/}$tree
        compare "$work/$src" "$drm" "$tree"
        t_tool=${wall[tool]} t_cp=${wall[cp]} t_rs=${wall[rsync]}
        c_tool=${cpu[tool]} c_cp=${cpu[cp]} c_rs=${cpu[rsync]} peak_tool=${peak[tool]}
        r() { echo "$1 / $2" | bc -l; }
        printf '%-6s %-6s %8.3f %8.3f %8.3f %7.2f %7.2f | %6.2f %6.2f %6.2f %7.2f %7.2f | %8d\n' \
            "$src" "$tree" "$t_tool" "$t_cp" "$t_rs" "$(r "$t_tool" "$t_cp")" "$(r "$t_tool" "$t_rs")" \
            "$c_tool" "$c_cp" "$c_rs" "$(r "$c_tool" "$c_cp")" "$(r "$c_tool" "$c_rs")" "$peak_tool"
    done
done
rm -rf "$work"/dst.*
sync
touch "$work/cleaned"
echo "seconds: best wall time of $reps runs; cpu: best user+system time"
echo "goals: tool/cp <= 1.30 small, <= 1.05 large; tool/rsync < 1; peak < 20480 KiB"
