#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for N seconds (default 30).
# Fails on the first finding; crash inputs are left in $BUILD_DIR/fuzz-artifacts.
# Usage: scripts/fuzz.sh [seconds]      Build dir: $BUILD_DIR (default /tmp/build-text-fuzz)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
seconds=${1:-30}
build=${BUILD_DIR:-/tmp/build-text-fuzz}
jobs=${JOBS:-2}
targets=(utf8_decode utf8_encode split strip_quotes lee_parametros)

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang \
  -DLUMBRAKE_FUZZ=ON >/dev/null
cmake --build "$build" -j"$jobs" --target "${targets[@]/#/fuzz_}"

mkdir -p "$build/fuzz-artifacts"
status=0
for t in "${targets[@]}"; do
  corpus="$build/fuzz-corpus/$t"
  mkdir -p "$corpus"
  log="$build/fuzz-$t.log"
  echo "--- fuzz_$t for ${seconds}s"
  if "$build/tests/fuzz/fuzz_$t" "$corpus" -max_total_time="$seconds" -max_len=1024 \
       -artifact_prefix="$build/fuzz-artifacts/$t-" -print_final_stats=1 >"$log" 2>&1; then
    grep -E '^Done|stat::number_of_executed_units' "$log" | head -2 || true
  else
    echo "fuzz_$t: FINDING (log: $log)"
    tail -40 "$log"
    status=1
  fi
done
exit $status
