#!/usr/bin/env bash
# Builds and runs every test: Linux (plain, AddressSanitizer + UndefinedBehaviorSanitizer,
# ThreadSanitizer for the threaded parts), Windows (mingw-w64, run under Wine), a short
# fuzzing pass, and the packages as a user gets them. Installs what it needs first.
# Usage: scripts/test.sh [fuzz-seconds]     Build folders below $BUILD_ROOT (default build/);
# the Windows tests run in a Wine prefix of their own there (wine/), never the user's.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
fuzz_seconds=${1:-20}
jobs=${JOBS:-2}
out=${BUILD_ROOT:-$root/build}

scripts/deps.sh

configure_and_test() {  # name, what it runs, ctest args..., -- cmake args...
  local name=$1 what=$2; shift 2
  local ctest_args=()
  while [ $# -gt 0 ] && [ "$1" != "--" ]; do ctest_args+=("$1"); shift; done
  shift
  echo "=== $name: $what"
  cmake -S "$root" -B "$out/$name" -G Ninja "$@" >/dev/null
  cmake --build "$out/$name" -j"$jobs"
  (cd "$out/$name" && ctest --output-on-failure -j"$jobs" "${ctest_args[@]}")
}

configure_and_test linux "every Linux test" -- -DCMAKE_BUILD_TYPE=RelWithDebInfo
# Without Qt the terminal line alone still builds; of its tests only those that touch the GUI
# layer run here (the rest are the same as in linux).
configure_and_test linux-noqt "without Qt: only the Form, TerminalLine and Process tests" \
  -R '^(Form|TerminalLine|Process)\.' -- -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_DISABLE_FIND_PACKAGE_Qt6=ON
configure_and_test asan "every Linux test under AddressSanitizer and UBSan" -- -DCMAKE_BUILD_TYPE=Debug "-DLUMBRAKE_SANITIZE=address;undefined"
# ThreadSanitizer: built without Qt, whose Debian build is not instrumented; the build itself
# registers only the tests of the threaded parts.
configure_and_test tsan "under ThreadSanitizer: only the Monitor, SlowTask, CopyJob, CopyCommitter and Form tests" \
  -- -DCMAKE_BUILD_TYPE=Debug -DLUMBRAKE_SANITIZE=thread

# Windows: a Wine prefix of the tests' own, made once, quietly. The window tests need a display.
export WINEPREFIX=$out/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
[ -d "$WINEPREFIX/drive_c" ] || { /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1; /usr/lib/wine/wineserver -w; } || true
. scripts/display.sh
start_display
trap 'stop_display; /usr/lib/wine/wineserver -k 2>/dev/null || true' EXIT
configure_and_test windows "every Windows test, under Wine" -- -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake"

# Every destination this machine mounts, and a damaged disc (as root; each says what it skips).
echo "=== destinations and a damaged disc"
MATRIX_WINEPREFIX=${WINEPREFIX:-$HOME/.wine} scripts/matrix.sh --small --tool "$out/linux/app/lumbrake-cd" \
  --exe "$out/windows/app/lumbrake-cd.exe" --out "$out/matrix.md"
scripts/damaged_disc.sh "$out/linux/app/lumbrake-cd"

if [ "$fuzz_seconds" -gt 0 ] && [ -x scripts/fuzz.sh ]; then
  echo "=== fuzz ($fuzz_seconds s per target)"
  BUILD_DIR="$out/fuzz" scripts/fuzz.sh "$fuzz_seconds"
fi
echo "=== packages: the .deb unpacked and run, the .zip's contents"
BUILD_ROOT=$out scripts/package.sh
version=$("$out/linux/app/lumbrake-cd" --version)
tests/package/package_test.sh "$out/pkg" "${version#lumbrake-cd }"
echo "=== all tests passed"
