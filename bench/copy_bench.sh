#!/usr/bin/env bash
# Builds copy_bench (Release) and compares DuplicaFichero with cp: one large file and many
# small ones, first with the source on the same disk as the copies, then (as root) with the
# source on a tmpfs, which is another file system as a disc is.
# Environment: WORK (scratch folder, default /tmp/lumbrake-bench), LARGE_MB (1024),
# SMALL_FILES (2000), ROUNDS (3), BUILD_DIR (/tmp/build-fs-bench).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
work=${WORK:-/tmp/lumbrake-bench}
large_mb=${LARGE_MB:-1024}
small_files=${SMALL_FILES:-2000}
rounds=${ROUNDS:-3}
build=${BUILD_DIR:-/tmp/build-fs-bench}

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DLUMBRAKE_BENCH=ON \
  -DLUMBRAKE_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target copy_bench >/dev/null
bench=$build/bench/copy_bench

make_data() {  # folder
  mkdir -p "$1/small"
  head -c "$((large_mb * 1024 * 1024))" /dev/urandom >"$1/large"
  for i in $(seq 1 "$small_files"); do
    head -c "$(( (RANDOM % 64 + 1) * 1024 ))" /dev/urandom >"$1/small/f$i.bin"
  done
}

rm -rf "$work"
mkdir -p "$work/disk"
make_data "$work/disk"
echo "== source and copies on the same file system ($(df -T "$work" | awk 'NR==2{print $2}'))"
"$bench" "$work/disk" "$work/out" "$rounds"

tmpfs=$work/tmpfs
mkdir -p "$tmpfs"
if mount -t tmpfs -o size=$((large_mb + 200))m tmpfs "$tmpfs" 2>/dev/null; then
  trap 'umount "$tmpfs" 2>/dev/null || true; rm -rf "$work"' EXIT
  cp -r "$work/disk/large" "$work/disk/small" "$tmpfs/"
  echo "== source on a tmpfs, copies on disk"
  "$bench" "$tmpfs" "$work/out" "$rounds"
else
  echo "== (no tmpfs source: mounting needs root)"
  rm -rf "$work"
fi
