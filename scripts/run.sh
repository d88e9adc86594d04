#!/usr/bin/env bash
# Builds the tool and runs it. With arguments they go to the tool unchanged, e.g.
#   scripts/run.sh /src=/media/cdrom/SETUP.EXE /dst=$HOME/maps /drm=MAPS
# Without arguments it makes a sample disc tree and copies its MAPS folder to ~/maps-sample.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake -S . -B build/tool -G Ninja -DCMAKE_BUILD_TYPE=Release -DLUMBRAKE_TESTS=OFF >/dev/null
cmake --build build/tool -j"${JOBS:-2}" --target lumbrake-cd
tool=$PWD/build/tool/app/lumbrake-cd
if [ $# -gt 0 ]; then
  exec "$tool" "$@"
fi

disc=${TMPDIR:-/tmp}/lumbrake-sample-disc
scripts/sample_disc.sh "$disc"
# The source is the drive root of /src= (on Linux its mount point) followed by /drm=.
root=$(findmnt -n -o TARGET -T "$disc")
drm=MAPS
[ "$root" = "$disc" ] || drm="${disc#"$root"}/MAPS"
drm=${drm#/}
echo "+ lumbrake-cd /src=$disc/SETUP.EXE /dst=$HOME/maps-sample /drm=$drm"
"$tool" "/src=$disc/SETUP.EXE" "/dst=$HOME/maps-sample" "/drm=$drm"
echo "copied into $HOME/maps-sample:"
ls -R "$HOME/maps-sample" | head -40
