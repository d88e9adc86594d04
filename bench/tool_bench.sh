#!/bin/bash
# Times the whole tool (terminal back-end) against cp -r and rsync -a on the same trees:
#   small: 10,000 files of 4 KiB in 100 folders
#   large: 4 files of 256 MiB
# each once on the work folder's own file system and once on a tmpfs (as root), since the
# source disc is always another file system than the destination. Every copy goes to a fresh
# folder on the work folder's file system; each figure is the best of REPS runs, after a sync
# so that one run's write-back does not fall into the next.
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

# "seconds peak-KiB" of one run of a command.
run_once() { # <dst> <cmd...>
    local dst=$1
    shift
    rm -rf "$dst"
    sync
    local t0 t1
    t0=$(date +%s.%N)
    /usr/bin/time -f "%M" -o "$work/time.out" "$@" >/dev/null 2>"$work/err.out" </dev/null
    t1=$(date +%s.%N)
    echo "$(echo "$t1 - $t0" | bc -l) $(tail -n1 "$work/time.out")"
}

# "best-seconds largest-peak" over $reps runs.
best() { # <dst> <cmd...>
    local b="" p=0 t k
    for _ in $(seq "$reps"); do
        read -r t k < <(run_once "$@")
        [ "$k" -gt "$p" ] && p=$k
        if [ -z "$b" ] || [ "$(echo "$t < $b" | bc -l)" = 1 ]; then b=$t; fi
    done
    echo "$b $p"
}

printf '%-6s %-6s %9s %9s %9s %8s %8s %9s\n' source tree tool_s cp_s rsync_s tool/cp tool/rs tool_KiB
for src in "${sources[@]}"; do
    # The tool's source is the drive root (mount point) of /src= followed by /drm=.
    root=$(findmnt -n -o TARGET -T "$work/$src")
    rel="$work/$src"
    rel=${rel#"$root"}
    rel=${rel#/}
    for tree in SMALL LARGE; do
        drm=${rel:+$rel/}$tree
        dst="$work/dst"
        read -r t_tool peak_tool < <(best "$dst" "$tool" "/src=$work/$src/SETUP.EXE" "/dst=$dst" "/drm=$drm")
        if ! diff -rq --exclude=.done "$work/$src/$tree" "$dst" >/dev/null; then
            echo "tool copy of $src/$tree differs from its source" >&2
            exit 1
        fi
        read -r t_cp _ < <(best "$dst" cp -r "$work/$src/$tree" "$dst")
        read -r t_rs _ < <(best "$dst" rsync -a "$work/$src/$tree/" "$dst/")
        printf '%-6s %-6s %9.3f %9.3f %9.3f %8.2f %8.2f %9d\n' "$src" "$tree" "$t_tool" "$t_cp" \
            "$t_rs" "$(echo "$t_tool / $t_cp" | bc -l)" "$(echo "$t_tool / $t_rs" | bc -l)" \
            "$peak_tool"
    done
done
rm -rf "$work/dst"
echo "goals: tool/cp <= 1.30 small, <= 1.05 large; tool/rsync < 1; peak < 20480 KiB"
