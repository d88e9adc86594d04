#!/bin/bash
# End-to-end checks of the copy engine with the built tool (terminal back-end), as root:
#   kill -9 at random moments, then a rerun, on ext4, tmpfs and a FAT image (fusefat):
#     the destination equals the source and holds no stray file;
#   Cancel (an interrupt) during a big file read at disc speed (a 21 MB/s blkio throttle,
#     cold cache): the tool ends within half a second and leaves no part of the file;
#   a 3,000-file tree copied with `ulimit -n 16`;
#   two runs at once into one destination: both end without an error, the tree complete.
#
#   scripts/robustness.sh <lumbrake-cd binary> [work folder]   (KILLS=10 per file system)
# Without a work folder it works in a new one on the disk (/var/tmp, not a tmpfs /tmp) and
# removes it at its end; a work folder given is kept, with its source trees for the next run.
set -euo pipefail

tool=$(readlink -f "${1:?usage: robustness.sh <lumbrake-cd binary> [work folder]}")
if [ -n "${2:-}" ]; then
    work=$2 own_work=
    mkdir -p "$work"
else
    work=$(mktemp -d /var/tmp/lumbrake-robustness.XXXXXX) own_work=1
fi
kills=${KILLS:-10}
work=$(cd "$work" && pwd)
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# The tool on src into dst; prints an error text it showed, if any.
run() { # <src> <dst> [tool options...]
    "$tool" "/src=$1/SETUP.EXE" "/dst=$2" "/drm=${1#/}" 2>&1 | grep -a 'Error' || true
}

# A tree with names that FAT takes too: many small files and a few of some megabytes.
make_tree() { # <dir> <folders> <files per folder>
    [ -f "$1/.done" ] && return
    mkdir -p "$1"
    for d in $(seq 1 "$2"); do
        mkdir -p "$1/dir$d"
        for f in $(seq 1 "$3"); do head -c $((RANDOM % 9000)) /dev/urandom >"$1/dir$d/f$f.dat"; done
    done
    for f in 1 2 3; do head -c $((5 << 20)) /dev/urandom >"$1/big$f.bin"; done
    echo x >"$1/SETUP.EXE"
    touch "$1/.done"
}

# Same files, same content, and nothing else (hidden entries included) at the destination.
same_tree() { # <src> <dst>
    diff -r -x .done -x SETUP.EXE "$1" "$2" >/dev/null && [ ! -e "$2/.done" ]
}

cleanup() {
    mountpoint -q "$work/tmpfs" && umount "$work/tmpfs"
    mountpoint -q "$work/fat" && fusermount -u "$work/fat"
    [ -d /sys/fs/cgroup/blkio/lumbrake-disc ] && rmdir /sys/fs/cgroup/blkio/lumbrake-disc
    # Only once nothing is mounted below it.
    if [ -n "$own_work" ] && ! findmnt -rn -o TARGET | grep -q "^$work/"; then rm -rf "$work"; fi
    true
}
trap cleanup EXIT

src=$work/src
make_tree "$src" 20 100

# ---- kills at random moments, then a rerun ----
mkdir -p "$work/tmpfs" "$work/fat"
mountpoint -q "$work/tmpfs" || mount -t tmpfs -o size=200m lumbrake-robust "$work/tmpfs"
rm -f "$work/fat.img"
truncate -s 200M "$work/fat.img" && mkfs.vfat "$work/fat.img" >/dev/null
fusefat -o rw+ "$work/fat.img" "$work/fat" >/dev/null 2>&1
for target in "$work/ext4-dst" "$work/tmpfs/dst" "$work/fat/dst"; do
    rm -rf "$target"
    for i in $(seq 1 "$kills"); do
        "$tool" "/src=$src/SETUP.EXE" "/dst=$target" "/drm=${src#/}" >/dev/null 2>&1 &
        pid=$!
        sleep "0.$((RANDOM % 8 + 1))"
        kill -9 "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    err=$(run "$src" "$target")
    [ -z "$err" ] || fail "rerun after kills into $target: $err"
    if same_tree "$src" "$target"; then
        echo "ok: $kills kills, then a rerun: $target equals the source, no stray file"
    else
        fail "$target differs from the source after kills and a rerun"
        diff -r -x .done -x SETUP.EXE "$src" "$target" | head -5
    fi
done

# ---- two runs at once ----
for target in "$work/ext4-both" "$work/fat/both"; do
    rm -rf "$target"
    out1=$(mktemp) out2=$(mktemp)
    run "$src" "$target" >"$out1" &
    run "$src" "$target" >"$out2" &
    wait
    if [ -s "$out1" ] || [ -s "$out2" ]; then
        fail "two runs into $target: $(cat "$out1" "$out2")"
    elif same_tree "$src" "$target"; then
        echo "ok: two runs at once into $target: no error, tree complete"
    else
        fail "two runs into $target: tree incomplete"
    fi
    rm -f "$out1" "$out2"
done
fusermount -u "$work/fat"

# ---- few descriptors ----
few=$work/few-src
if [ ! -f "$few/.done" ]; then
    mkdir -p "$few"
    for d in $(seq 1 30); do
        mkdir -p "$few/d$d/e"
        for f in $(seq 1 50); do echo "$d $f" >"$few/d$d/f$f"; echo "$f" >"$few/d$d/e/g$f"; done
    done
    echo x >"$few/SETUP.EXE"
    touch "$few/.done"
fi
rm -rf "$work/few-dst"
err=$( (ulimit -n 16; run "$few" "$work/few-dst"))
if [ -z "$err" ] && same_tree "$few" "$work/few-dst"; then
    echo "ok: ulimit -n 16: $(find "$work/few-dst" -type f | wc -l) files copied"
else
    fail "ulimit -n 16: $err"
fi

# ---- Cancel at disc speed ----
disc=$work/disc
mkdir -p "$disc"
[ -f "$disc/huge.bin" ] || head -c $((1 << 30)) /dev/urandom >"$disc/huge.bin"
echo x >"$disc/SETUP.EXE"
cg=/sys/fs/cgroup/blkio/lumbrake-disc
dev=$(findmnt -n -o MAJ:MIN -T "$disc")
if [ -d /sys/fs/cgroup/blkio ] && mkdir -p "$cg" &&
    echo "$dev 21000000" >"$cg/blkio.throttle.read_bps_device" 2>/dev/null; then
    rm -rf "$work/disc-dst"
    sync && echo 3 >/proc/sys/vm/drop_caches
    sh -c "echo \$\$ >$cg/cgroup.procs && exec '$tool' '/src=$disc/SETUP.EXE' '/dst=$work/disc-dst' '/drm=${disc#/}'" >/dev/null 2>&1 &
    pid=$!
    sleep 3
    start=$(date +%s%N)
    kill -INT "$pid"
    wait "$pid" || true
    ms=$((($(date +%s%N) - start) / 1000000))
    left=$(ls -A "$work/disc-dst" 2>/dev/null | wc -l)
    if [ "$ms" -le 500 ] && [ "$left" -eq 0 ]; then
        echo "ok: Cancel during a 1 GiB file at 21 MB/s: ended in $ms ms, nothing left"
    else
        fail "Cancel at disc speed: ended in $ms ms, $left entries left"
    fi
else
    echo "(no blkio throttle here: Cancel at disc speed not checked)"
fi

[ "$failures" -eq 0 ] && echo "all checks passed" || { echo "$failures check(s) failed"; exit 1; }
