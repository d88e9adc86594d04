#!/usr/bin/env bash
# Builds the two packages of this version from release builds:
#   build/pkg/lumbrake-cd_<version>_amd64.deb   (Debian 12; CPack, checked with lintian)
#   build/pkg/lumbrake-cd-<version>-win64.zip   (the .exe and the README)
# Usage: scripts/package.sh          Build folders: $BUILD_ROOT (default build/)/pkg-linux, pkg-win
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
out=${BUILD_ROOT:-$root/build}
jobs=${JOBS:-2}
pkg=$out/pkg

scripts/deps.sh
command -v lintian >/dev/null || { echo "lintian is needed: apt-get install lintian" >&2; exit 1; }
mkdir -p "$pkg"
scratch=$(mktemp -d "${TMPDIR:-/tmp}/lumbrake-package.XXXXXX")
trap 'rm -rf "$scratch" "$pkg/_CPack_Packages"' EXIT

# The packages the given programs need, as dpkg-shlibdeps writes them for a Depends line.
needs() {
  mkdir -p "$scratch/debian"
  : >"$scratch/debian/control"
  (cd "$scratch" && dpkg-shlibdeps -O "$@" 2>/dev/null) | sed -n 's/^shlibs:Depends=//p'
}

echo "=== Debian package"
# Debian's own compiler and linker flags, with every hardening feature (fortified functions,
# read-only relocations, immediate binding).
eval "$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --export=sh)"
export CXXFLAGS="$CPPFLAGS $CXXFLAGS" CFLAGS="$CPPFLAGS $CFLAGS"
cmake -S "$root" -B "$out/pkg-linux" -G Ninja -DCMAKE_BUILD_TYPE=Release -DLUMBRAKE_TESTS=OFF >/dev/null
cmake --build "$out/pkg-linux" -j"$jobs"
[ -f "$out/pkg-linux/app/lumbrake-qt.so" ] || { echo "no window module: is Qt 6 there?" >&2; exit 1; }
unset CFLAGS CXXFLAGS CPPFLAGS LDFLAGS
# The terminal line needs what the program links; the window's libraries are recommended.
depends=$(needs "$out/pkg-linux/app/lumbrake-cd")
wanted=()
IFS=, read -ra libs <<<"$(needs "$out/pkg-linux/app/lumbrake-qt.so")"
for lib in "${libs[@]}"; do
  lib=${lib# } name=${lib%% *}
  [[ ", $depends," == *", $name "* || ", $depends," == *", $name,"* ]] || wanted+=("$lib")
done
wanted+=(qt6-wayland)
recommends=$(IFS=,; echo "${wanted[*]}" | sed 's/,/, /g')
echo "Depends: $depends"
echo "Recommends: $recommends"
(cd "$out/pkg-linux" && cpack -B "$pkg" -D CPACK_DEBIAN_PACKAGE_DEPENDS="$depends" \
  -D CPACK_DEBIAN_PACKAGE_RECOMMENDS="$recommends" >/dev/null)
version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$out/pkg-linux/CPackConfig.cmake")
deb=$pkg/lumbrake-cd_${version}_amd64.deb
[ -f "$deb" ] || { echo "no $deb" >&2; exit 1; }

echo "=== lintian"
# Errors fail the package; warnings either are fixed or have an override with its reason.
lintian --info --display-info --fail-on error "$deb"

echo "=== Windows package"
cmake -S "$root" -B "$out/pkg-win" -G Ninja -DCMAKE_BUILD_TYPE=Release -DLUMBRAKE_TESTS=OFF \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" >/dev/null
cmake --build "$out/pkg-win" -j"$jobs"
(cd "$out/pkg-win" && cpack -B "$pkg" >/dev/null)
zip=$pkg/lumbrake-cd-${version}-win64.zip
[ -f "$zip" ] || { echo "no $zip" >&2; exit 1; }

echo "made:"
ls -l "$deb" "$zip"
