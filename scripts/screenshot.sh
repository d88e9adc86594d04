#!/usr/bin/env bash
# Copies the sample disc with a display and captures the window mid-copy as PNG files in docs/:
#   scripts/screenshot.sh [wine] [qt]      (both when none is named)
# docs/window-windows.png is the Windows build under Wine, docs/window-qt.png the Linux window.
# The source is read slowly (a cold cache and a blkio cgroup read throttle, which needs root)
# so that there is a mid-copy to capture.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
scripts/deps.sh
. scripts/display.sh
scratch=$(mktemp -d "${TMPDIR:-/tmp}/lumbrake-shot.XXXXXX")
mkdir -p docs

# The sample disc as a read-only file system on a device of its own (an ext4 image on a loop
# device, as root), so that reading it can be slowed without slowing anything else; a plain
# folder otherwise.
make_disc() {  # <mount point>
  local tree=$scratch/disc-tree
  mkdir -p "$tree" "$1"
  scripts/sample_disc.sh "$tree" >/dev/null
  if [ "$(id -u)" = 0 ]; then
    truncate -s 32M "$scratch/${1##*/}.img"
    mkfs.ext4 -q -d "$tree" -L LUMBRAKE "$scratch/${1##*/}.img"
    mount -o loop,ro "$scratch/${1##*/}.img" "$1" && mounted+=("$1") && return 0
  fi
  cp -a "$tree/." "$1/"
}

# Starts a command whose reads from the folder's device are throttled, with that device's
# cache cold (freshly mounted); prints the command's process id.
slow_read() {  # <folder> <bytes per second> <command>...
  local folder=$1 rate=$2 group=/sys/fs/cgroup/blkio/lumbrake-shot-$$
  shift 2
  if mountpoint -q "$folder" && mkdir -p "$group" 2>/dev/null; then
    echo "$(findmnt -n -o MAJ:MIN -T "$folder" | tr -d ' ') $rate" >"$group/blkio.throttle.read_bps_device"
    sh -c 'echo $$ >"$0/cgroup.procs"; exec "$@"' "$group" "$@" >/dev/null 2>&1 &
  else
    echo "no read throttle here: the copy runs at full speed" >&2
    "$@" >/dev/null 2>&1 &
  fi
  echo $!
}

# The window with the frame the window manager draws, cut from pictures of the screen taken
# while it is open; the one kept is from near the end, when the bar has moved and the copy is
# still under way.
capture() {  # <window name> <png>
  local id="" x y w h l r t b n=0
  for _ in $(seq 300); do
    id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n1) && [ -n "$id" ] && break
    sleep 0.1
  done
  [ -n "$id" ] || { echo "no window '$1' appeared" >&2; return 1; }
  sleep 0.5
  read -r x y w h < <(xwininfo -id "$id" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
    /Width:/ {w=$NF} /Height:/ {h=$NF} END {print x, y, w, h}')
  read -r l r t b < <(xprop -id "$id" _NET_FRAME_EXTENTS | grep -o '[0-9, ]*$' | tr -d ,)
  local geometry="$((w + ${l:-0} + ${r:-0}))x$((h + ${t:-0} + ${b:-0}))+$((x - ${l:-0}))+$((y - ${t:-0}))"
  while xwininfo -id "$id" 2>/dev/null | grep -q IsViewable; do
    import -window root -crop "$geometry" +repage "$scratch/shot-$n.png" && n=$((n + 1))
    sleep 0.3
  done
  [ "$n" -gt 1 ] || { echo "the window closed too soon to be captured" >&2; return 1; }
  # The last picture that still shows the (light) window, less one for a half-drawn close.
  local i=$((n - 1))
  while [ "$i" -gt 0 ] && ! convert "$scratch/shot-$i.png" -format '%[fx:mean>0.5]' info: | grep -q 1; do
    i=$((i - 1))
  done
  [ "$i" -gt 0 ] && i=$((i - 1))
  cp "$scratch/shot-$i.png" "$2"
  echo "captured $2 ($n pictures)"
}

# The Windows build under Wine: the sample disc mapped to drive E:, a non-ASCII destination.
shot_wine() {
  cmake -S . -B build/win-tool -G Ninja -DCMAKE_BUILD_TYPE=Release -DLUMBRAKE_TESTS=OFF \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" >/dev/null
  cmake --build build/win-tool -j"${JOBS:-2}" --target lumbrake-cd
  # A Wine prefix of its own, never the user's (whose drive E: it would repoint), made and
  # left to settle before the tool starts, and removed with the scratch folder.
  export WINEPREFIX=$scratch/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  { /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1; /usr/lib/wine/wineserver -w; } || true
  local disc=$scratch/wine-disc dst=$scratch/wine-dst
  make_disc "$disc"
  mkdir -p "$dst"
  ln -sfn "$disc" "$WINEPREFIX/dosdevices/e:"
  local pid
  pid=$(slow_read "$disc" 524288 /usr/lib/wine/wine64 "$root/build/win-tool/app/lumbrake-cd.exe" \
    '/src=E:\SETUP.EXE' "/dst=Z:${dst//\//\\}\\Mapas José" /drm=MAPS)
  capture Kestrova docs/window-windows.png
  while kill -0 "$pid" 2>/dev/null; do sleep 0.2; done
  # Wine's server, started by the tool, leaves the throttled group only when it ends.
  /usr/lib/wine/wineserver -w
  rm -f "$scratch"/shot-*.png
}

# The Linux window (Qt), from the tool as scripts/run.sh builds it.
shot_qt() {
  cmake -S . -B build/tool -G Ninja -DCMAKE_BUILD_TYPE=Release -DLUMBRAKE_TESTS=OFF >/dev/null
  cmake --build build/tool -j"${JOBS:-2}" --target lumbrake-cd
  local disc=$scratch/qt-disc dst=$scratch/qt-dst/maps
  make_disc "$disc"
  mkdir -p "${dst%/*}"
  local pid
  pid=$(slow_read "$disc" 524288 env LUMBRAKE_UI=qt "$root/build/tool/app/lumbrake-cd" \
    "/src=$disc/SETUP.EXE" "/dst=$dst" /drm=MAPS)
  capture Kestrova docs/window-qt.png
  while kill -0 "$pid" 2>/dev/null; do sleep 0.2; done
  rm -f "$scratch"/shot-*.png
}

mounted=()
cleanup() {
  local group=/sys/fs/cgroup/blkio/lumbrake-shot-$$
  if [ "${WINEPREFIX:-}" = "$scratch/wine" ]; then /usr/lib/wine/wineserver -k 2>/dev/null || true; fi
  if [ -d "$group" ]; then rmdir "$group" || echo "left $group behind" >&2; fi
  for m in "${mounted[@]}"; do umount "$m" 2>/dev/null || true; done
  mountpoint -q "$scratch/disc-tree" && umount "$scratch/disc-tree"
  rm -rf "$scratch"
}
trap 'cleanup; stop_display' EXIT

start_display
for what in "${@:-wine qt}"; do
  for w in $what; do
    if declare -F "shot_$w" >/dev/null; then "shot_$w"; else echo "no capture for '$w' here" >&2; fi
  done
done
