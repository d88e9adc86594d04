#!/usr/bin/env bash
# Builds and runs every test: Linux (plain, AddressSanitizer + UndefinedBehaviorSanitizer,
# ThreadSanitizer for the threaded parts), Windows (mingw-w64, run under Wine) and a short
# fuzzing pass. Installs what it needs first. Usage: scripts/test.sh [fuzz-seconds]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
fuzz_seconds=${1:-20}
jobs=${JOBS:-2}
out=${BUILD_ROOT:-$root/build}

scripts/deps.sh

configure_and_test() {  # name, ctest args..., -- cmake args...
  local name=$1; shift
  local ctest_args=()
  while [ $# -gt 0 ] && [ "$1" != "--" ]; do ctest_args+=("$1"); shift; done
  shift
  echo "=== $name"
  cmake -S "$root" -B "$out/$name" -G Ninja "$@" >/dev/null
  cmake --build "$out/$name" -j"$jobs"
  (cd "$out/$name" && ctest --output-on-failure -j"$jobs" "${ctest_args[@]}")
}

configure_and_test linux -- -DCMAKE_BUILD_TYPE=RelWithDebInfo
# Without Qt: the terminal line alone still builds and passes.
configure_and_test linux-noqt -R '^(Form|TerminalLine|Process)\.' -- -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_DISABLE_FIND_PACKAGE_Qt6=ON
configure_and_test asan -- -DCMAKE_BUILD_TYPE=Debug "-DLUMBRAKE_SANITIZE=address;undefined"
# ThreadSanitizer: the monitor, the worker thread, the copy committer and the copy job (built without Qt, whose
# Debian build is not instrumented).
configure_and_test tsan -R '^(Monitor|SlowTask|CopyJob|CopyCommitter|Form)\.' -- -DCMAKE_BUILD_TYPE=Debug -DLUMBRAKE_SANITIZE=thread

# Windows: a fresh Wine prefix is made once, quietly. The window tests need a display.
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
[ -d "${WINEPREFIX:-$HOME/.wine}/drive_c" ] || /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1 || true
. scripts/display.sh
start_display
trap stop_display EXIT
configure_and_test windows -- -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake"

# Every destination this machine mounts, and a damaged disc (as root; each says what it skips).
echo "=== destinations and a damaged disc"
MATRIX_WINEPREFIX=${WINEPREFIX:-$HOME/.wine} scripts/matrix.sh --small --tool "$out/linux/app/lumbrake-cd" \
  --exe "$out/windows/app/lumbrake-cd.exe" --out "$out/matrix.md"
scripts/damaged_disc.sh "$out/linux/app/lumbrake-cd"

if [ "$fuzz_seconds" -gt 0 ] && [ -x scripts/fuzz.sh ]; then
  echo "=== fuzz ($fuzz_seconds s per target)"
  BUILD_DIR="$out/fuzz" scripts/fuzz.sh "$fuzz_seconds"
fi
echo "=== all tests passed"
