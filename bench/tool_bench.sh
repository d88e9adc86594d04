#!/bin/bash
# Times the whole tool (terminal back-end) in one run against its peers on the same trees:
#   cp -r SRC DST && sync -f DST   the durable limit: everything flushed once at the end
#   rsync -a --fsync               a peer that is crash-safe per file
#   cp -r, rsync -a                for information
# Trees: small (10,000 files of 4 KiB in 100 folders) and large (4 files of 256 MiB), on the
# routes ext4 -> ext4, tmpfs -> ext4 and tmpfs -> tmpfs (as root). Then the disc route: a
# 190 MiB mixed tree on ext4 read cold through a blkio read throttle of 21 MB/s (a 16x DVD),
# the tool and cp;sync against the limit bytes / 21 MB/s. Each figure is the median of REPS
# rounds; the commands take turns within a round, so a slow spell of the shared machine weighs
# on all of them alike, and the order is drawn afresh for every round (from a fixed seed, so
# that a rerun draws the same), so that no command always follows the same one and what it
# leaves behind: its writeback, the memory its copy freed. Every copy goes to a fresh folder.
#
#   bench/tool_bench.sh <lumbrake-cd binary> [work folder]   (REPS=5 by default)
set -euo pipefail

tool=$(readlink -f "${1:?usage: tool_bench.sh <lumbrake-cd binary> [work folder]}")
work=${2:-/var/tmp/lumbrake-bench}
reps=${REPS:-5}
[ "$(id -u)" = 0 ] || { echo "run as root: tmpfs mounts, cache drops and the blkio throttle"; exit 1; }
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
make_disc() { # <dir>: about 190 MiB, sizes from a few bytes to 40 MiB
    [ -f "$1/.done" ] && return
    mkdir -p "$1"
    for d in $(seq 1 12); do
        mkdir -p "$1/area$d"
        for f in $(seq 1 150); do head -c $((RANDOM * 3)) /dev/urandom >"$1/area$d/t$f.dat"; done
    done
    for f in 1 2 3 4; do head -c $((30 << 20)) /dev/urandom >"$1/area$f/roads.big"; done
    touch "$1/.done"
}

cleanup() {
    for m in "$work/tmpfs" "$work/tmpdst"; do mountpoint -q "$m" && umount "$m"; done
    [ -d /sys/fs/cgroup/blkio/lumbrake-bench ] && rmdir /sys/fs/cgroup/blkio/lumbrake-bench
    true
}
trap cleanup EXIT

make_small "$work/disk/SMALL"
make_large "$work/disk/LARGE"
make_disc "$work/disk/DISC"
echo x >"$work/disk/SETUP.EXE"
mkdir -p "$work/tmpfs" "$work/tmpdst" "$work/out"
: >"$work/rounds.txt" # every run: time of day, seconds, command
mountpoint -q "$work/tmpfs" || mount -t tmpfs -o size=1200m lumbrake-src "$work/tmpfs"
mountpoint -q "$work/tmpdst" || mount -t tmpfs -o size=1200m lumbrake-dst "$work/tmpdst"
make_small "$work/tmpfs/SMALL"
make_large "$work/tmpfs/LARGE"
echo x >"$work/tmpfs/SETUP.EXE"
# The ext4 sources are read once, so that the first command of the first round finds them
# in the page cache like the others (the disc route of an earlier run dropped it).
find "$work/disk/SMALL" "$work/disk/LARGE" -type f -exec cat {} + >/dev/null

# "wall-seconds peak-KiB" of one command; @SRC@ and @DST@ in its words are replaced.
runs=0
run_once() { # <source> <dest folder> <words...>
    local src=$1 out=$2 a args=()
    shift 2
    runs=$((runs + 1))
    local dst="$out/dst.$runs"
    for a in "$@"; do a=${a//@DST@/$dst}; args+=("${a//@SRC@/$src}"); done
    sync
    local t0 t1
    t0=$(date +%s%N)
    /usr/bin/time -f "%M" -o "$work/time.out" "${args[@]}" >"$work/out.txt" 2>&1 </dev/null
    t1=$(date +%s%N)
    if grep -aq Error "$work/out.txt"; then echo "failed: ${args[*]}" >&2; cat "$work/out.txt" >&2; exit 1; fi
    last_dst=$dst
    run_result="$(echo "($t1 - $t0) / 1000000000" | bc -l) $(tail -1 "$work/time.out")"
    printf '%s %.3f %s\n' "$(date +%T)" "$(echo "($t1 - $t0) / 1000000000" | bc -l)" "${args[*]}" >>"$work/rounds.txt"
}

median() { tr ' ' '\n' | grep -v '^$' | sort -g | awk '{a[NR]=$1} END {print a[int((NR + 1) / 2)]}'; }

# The tool's /drm= for a source folder: its path below the mount point it lies on.
drm_of() { # <folder>
    local root rel
    root=$(findmnt -n -o TARGET -T "$1")
    rel=${1#"$root"}
    echo "${rel#/}"
}

names=(tool cpsync rsyncf cp rsync)
RANDOM=7
declare -A times peak
compare() { # <source root> <tree> <dest folder>
    local root=$1 tree=$2 out=$3 k t m
    for k in "${names[@]}"; do times[$k]=""; peak[$k]=0; done
    for _ in $(seq "$reps"); do
        local order=("${names[@]}") j r
        for ((j = ${#order[@]} - 1; j > 0; j--)); do
            r=$((RANDOM % (j + 1)))
            k=${order[j]} order[j]=${order[r]} order[r]=$k
        done
        for k in "${order[@]}"; do
            case $k in
            tool) run_once "$root" "$out" "$tool" "/src=@SRC@/SETUP.EXE" "/dst=@DST@" "/drm=$(drm_of "$root/$tree")" ;;
            cpsync) run_once "$root" "$out" sh -c "cp -r '@SRC@/$tree' '@DST@' && sync -f '@DST@'" ;;
            rsyncf) run_once "$root" "$out" rsync -a --fsync "@SRC@/$tree/" "@DST@/" ;;
            cp) run_once "$root" "$out" cp -r "@SRC@/$tree" "@DST@" ;;
            rsync) run_once "$root" "$out" rsync -a "@SRC@/$tree/" "@DST@/" ;;
            esac
            if [ "$k" = tool ] && ! diff -rq --exclude=.done "$root/$tree" "$last_dst" >/dev/null; then
                echo "the tool's copy of $root/$tree differs from its source" >&2
                exit 1
            fi
            read -r t m <<<"$run_result"
            times[$k]+=" $t"
            if [ "$m" -gt "${peak[$k]}" ]; then peak[$k]=$m; fi
            # tmpfs holds little, and seven rounds of the large tree would fill the disk: those
            # copies go at once. The small tree's copies on ext4 stay to the end, since inodes
            # freed in the last minute make every new one slower to allocate.
            if [ "$out" = "$work/tmpdst" ] || [ "$tree" = LARGE ]; then rm -rf "$last_dst"; fi
        done
    done
}

r() { if [ "$2" = - ]; then echo -; else printf '%.2f' "$(echo "$1 / $2" | bc -l)"; fi; }
printf '%-22s %8s %8s %8s %8s %8s | %9s %9s %7s %7s | %8s\n' "route tree" tool cp+sync \
    rs-fsync cp rsync t/cpsync t/rsfsync t/cp t/rsync tool_KiB
for route in "disk:out" "tmpfs:out" "tmpfs:tmpdst"; do
    for tree in SMALL LARGE; do
        compare "$work/${route%%:*}" "$tree" "$work/${route#*:}"
        declare -A med
        for k in "${names[@]}"; do med[$k]=$(echo "${times[$k]}" | median); done
        label="${route%%:*}->$([ "${route#*:}" = out ] && echo ext4 || echo tmpfs) $tree"
        label=${label/disk/ext4}
        cs=${med[cpsync]} rf=${med[rsyncf]}
        if [ "${route#*:}" = tmpdst ]; then cs=-; rf=-; fi # no disk: nothing to flush
        printf '%-22s %8.3f %8.3f %8.3f %8.3f %8.3f | %9s %9s %7s %7s | %8d\n' "$label" \
            "${med[tool]}" "${med[cpsync]}" "${med[rsyncf]}" "${med[cp]}" "${med[rsync]}" \
            "$(r "${med[tool]}" "$cs")" "$(r "${med[tool]}" "$rf")" "$(r "${med[tool]}" "${med[cp]}")" \
            "$(r "${med[tool]}" "${med[rsync]}")" "${peak[tool]}"
    done
done

# ---- the disc route: cold reads at 21 MB/s ----
cg=/sys/fs/cgroup/blkio/lumbrake-bench
dev=$(findmnt -n -o MAJ:MIN -T "$work/disk")
if mkdir -p "$cg" 2>/dev/null && echo "$dev 21000000" >"$cg/blkio.throttle.read_bps_device" 2>/dev/null; then
    bytes=$(du -sb --exclude=.done "$work/disk/DISC" | cut -f1)
    limit=$(echo "$bytes / 21000000" | bc -l)
    declare -A disc
    for k in tool cpsync; do disc[$k]=""; done
    for _ in $(seq "$reps"); do
        for k in tool cpsync; do
            sync
            echo 3 >/proc/sys/vm/drop_caches
            case $k in
            tool) cmd="exec '$tool' '/src=$work/disk/SETUP.EXE' '/dst=@DST@' '/drm=$(drm_of "$work/disk/DISC")'" ;;
            cpsync) cmd="cp -r '$work/disk/DISC' '@DST@' && sync -f '@DST@'" ;;
            esac
            run_once "$work/disk" "$work/out" sh -c "echo \$\$ >$cg/cgroup.procs && $cmd"
            disc[$k]+=" ${run_result%% *}"
        done
    done
    t_tool=$(echo "${disc[tool]}" | median) t_cs=$(echo "${disc[cpsync]}" | median)
    printf 'disc route (%d MiB at 21 MB/s, cold): limit %.2f s, tool %.2f s (%.3fx), cp+sync %.2f s (%.3fx)\n' \
        $((bytes >> 20)) "$limit" "$t_tool" "$(echo "$t_tool / $limit" | bc -l)" "$t_cs" \
        "$(echo "$t_cs / $limit" | bc -l)"
else
    echo "(no blkio read throttle here: disc route skipped)"
fi
rm -rf "$work"/out/dst.*
echo "seconds: median of $reps rounds; tool_KiB: the tool's largest peak memory; every run in $work/rounds.txt"
echo "goals: ext4 routes t/cpsync <= 1.0; tmpfs->tmpfs t/cp <= 1.5 and t/rsync < 1;"
echo "       t/rsfsync < 1 everywhere; disc route <= 1.05x its limit; peak < 20480 KiB"
