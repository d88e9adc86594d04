#!/usr/bin/env bash
# Copies a sample disc with a display and pictures the window as PNG files in docs/:
#   scripts/screenshot.sh [wine] [qt]      (both when none is named)
# For each system, <sys> being windows (the Windows build under Wine) or qt (the Linux window):
#   window-<sys>-first.png  the first frame with a label, while the disc is scanned
#   window-<sys>.png        a frame from the middle of the copy
#   window-<sys>-last.png   the last frame, the bar full, just before the window goes
#   window-<sys>-rtl.png    a disc with right-to-left names, its long path cut in the label
# The source is read slowly (a cold cache and a blkio cgroup read throttle, which needs root)
# so that there is a copy to picture. The last frame is taken by a library preloaded into the
# program (scripts/last_frame.c) the moment the program takes its window off the screen.
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
make_disc() {  # <mount point> [rtl]
  local tree=$scratch/disc-tree
  mkdir -p "$tree" "$1"
  if [ "${2:-}" = rtl ]; then
    # Hebrew folder and file names, between Latin ones, on a path too long for the label.
    local m="$tree/MAPS/מפות הצפון/NORTE/כבישים מהירים"
    mkdir -p "$m"
    printf 'MZ\n' >"$tree/SETUP.EXE"
    head -c 3145728 /dev/urandom >"$m/כביש_החוף_מתל_אביב_לחיפה.map"
    head -c 1000 /dev/urandom >"$m/רשימה.txt"
  else
    scripts/sample_disc.sh "$tree" >/dev/null
  fi
  if [ "$(id -u)" = 0 ]; then
    truncate -s 32M "$scratch/${1##*/}.img"
    mkfs.ext4 -q -d "$tree" -L LUMBRAKE "$scratch/${1##*/}.img"
    mount -o loop,ro "$scratch/${1##*/}.img" "$1" && mounted+=("$1")
  else
    cp -a "$tree/." "$1/"
  fi
  mountpoint -q "$tree" && umount "$tree"
  rm -rf "$tree"
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

# The library that pictures the last frame, built once.
last_frame_library() {
  [ -f "$scratch/last_frame.so" ] ||
    cc -shared -fPIC -O2 -o "$scratch/last_frame.so" scripts/last_frame.c -lX11 -lxcb -ldl
  echo "$scratch/last_frame.so"
}

# Share of the bar filled in a picture of the window (its middle row, the fill bluer than it
# is red), and whether the label's row holds text on the light window (not a window not yet
# drawn).
bar_share() {  # <png> <frame left> <frame top>
  convert "$1" -crop "401x1+$(($2 + 8))+$(($3 + 48))" +repage txt:- |
    awk -F'[(),]' 'NR > 1 && $4 > $2 + 60 && $4 > $3 {n++} END {printf "%.2f", n / 401}'
}
has_label() {  # <png> <frame left> <frame top>
  convert "$1" -crop "300x13+$(($2 + 8))+$(($3 + 16))" +repage -colorspace gray \
    -format '%[fx:maxima > 0.8 && minima < 0.4]' info: | grep -q 1
}

# Pictures of the window with the frame the window manager draws, taken while it is open;
# $scratch/last.png, of the whole screen, is taken by the preloaded library at its end.
# Keeps the first picture with a label, taken while the disc is read very slowly (the scan),
# and, the disc read faster from then on, the one whose bar is nearest half full.
capture() {  # <window name> <first png> <middle png> <last png> <disc>
  local id="" x y w h l r t b n=0 i best=0 share diff bestdiff=2
  for _ in $(seq 300); do
    id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n1) && [ -n "$id" ] && break
    sleep 0.05
  done
  [ -n "$id" ] || { echo "no window '$1' appeared" >&2; return 1; }
  # The frame comes a moment after the window.
  for _ in $(seq 40); do xprop -id "$id" _NET_FRAME_EXTENTS | grep -q '= ' && break; sleep 0.05; done
  read -r x y w h < <(xwininfo -id "$id" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
    /Width:/ {w=$NF} /Height:/ {h=$NF} END {print x, y, w, h}')
  read -r l r t b < <(xprop -id "$id" _NET_FRAME_EXTENTS | grep -o '[0-9, ]*$' | tr -d ,)
  local geometry="$((w + ${l:-0} + ${r:-0}))x$((h + ${t:-0} + ${b:-0}))+$((x - ${l:-0}))+$((y - ${t:-0}))"
  local throttle=/sys/fs/cgroup/blkio/lumbrake-shot-$$/blkio.throttle.read_bps_device first=""
  while xwininfo -id "$id" 2>/dev/null | grep -q IsViewable; do
    import -window root -crop "$geometry" +repage "$scratch/shot-$n.png" || continue
    if [ -z "$first" ] && has_label "$scratch/shot-$n.png" "${l:-0}" "${t:-0}"; then
      first=$n
      cp "$scratch/shot-$n.png" "$2"
      [ -f "$throttle" ] && echo "$(findmnt -n -o MAJ:MIN -T "$5" | tr -d ' ') 524288" >"$throttle"
    fi
    n=$((n + 1))
  done
  [ -n "$first" ] && [ "$n" -gt 2 ] || { echo "the window closed too soon to be pictured" >&2; return 1; }
  for i in $(seq 0 $((n - 1))); do
    share=$(bar_share "$scratch/shot-$i.png" "${l:-0}" "${t:-0}")
    diff=$(echo "d = $share - 0.5; if (d < 0) -d else d" | bc)
    if [ "$(echo "$diff < $bestdiff" | bc)" = 1 ]; then bestdiff=$diff best=$i; fi
  done
  cp "$scratch/shot-$best.png" "$3"
  [ -n "$4" ] && convert "$scratch/last.png" -crop "$geometry" +repage "$4"
  rm -f "$scratch"/shot-*.png "$scratch/last.png"
  echo "pictured $2, $3${4:+, $4} ($n pictures)"
}

# The program's environment for the last frame, a picture of the whole screen in <png>.
last_frame_env() {  # <png>
  printf '#!/bin/sh\nexec env -u LD_PRELOAD import -window root "%s"\n' "$1" >"$scratch/take-last"
  chmod +x "$scratch/take-last"
  echo "LD_PRELOAD=$(last_frame_library) LAST_FRAME_TITLE=Kestrova LAST_FRAME_COMMAND=$scratch/take-last"
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
  local kind disc pid
  for kind in plain rtl; do
    disc=$scratch/wine-disc-$kind
    make_disc "$disc" "$kind"
    mkdir -p "$scratch/wine-dst"
    ln -sfn "$disc" "$WINEPREFIX/dosdevices/e:"
    # shellcheck disable=SC2046
    pid=$(slow_read "$disc" 4096 env $(last_frame_env "$scratch/last.png") \
      /usr/lib/wine/wine64 "$root/build/win-tool/app/lumbrake-cd.exe" \
      '/src=E:\SETUP.EXE' "/dst=Z:${scratch//\//\\}\\wine-dst\\Mapas José $kind" /drm=MAPS)
    if [ $kind = plain ]; then
      capture Kestrova docs/window-windows-first.png docs/window-windows.png \
        docs/window-windows-last.png "$disc"
    else
      capture Kestrova "$scratch/first.png" docs/window-windows-rtl.png "" "$disc"
    fi
    while kill -0 "$pid" 2>/dev/null; do sleep 0.2; done
    # Wine's server, started by the tool, leaves the throttled group only when it ends.
    /usr/lib/wine/wineserver -w
  done
}

# The Linux window (Qt), from the tool as scripts/run.sh builds it.
shot_qt() {
  cmake -S . -B build/tool -G Ninja -DCMAKE_BUILD_TYPE=Release -DLUMBRAKE_TESTS=OFF >/dev/null
  cmake --build build/tool -j"${JOBS:-2}" --target lumbrake-cd
  local kind disc pid
  for kind in plain rtl; do
    # Where a desktop mounts a disc.
    disc=/media/lumbrake-shot-$$-$kind
    make_disc "$disc" "$kind"
    mkdir -p "$scratch/qt-dst"
    # shellcheck disable=SC2046
    pid=$(slow_read "$disc" 4096 env LUMBRAKE_UI=qt $(last_frame_env "$scratch/last.png") \
      "$root/build/tool/app/lumbrake-cd" "/src=$disc/SETUP.EXE" "/dst=$scratch/qt-dst/$kind" /drm=MAPS)
    if [ $kind = plain ]; then
      capture Kestrova docs/window-qt-first.png docs/window-qt.png docs/window-qt-last.png "$disc"
    else
      capture Kestrova "$scratch/first.png" docs/window-qt-rtl.png "" "$disc"
    fi
    while kill -0 "$pid" 2>/dev/null; do sleep 0.2; done
  done
}

mounted=()
cleanup() {
  local group=/sys/fs/cgroup/blkio/lumbrake-shot-$$
  if [ "${WINEPREFIX:-}" = "$scratch/wine" ]; then /usr/lib/wine/wineserver -k 2>/dev/null || true; fi
  if [ -d "$group" ]; then rmdir "$group" || echo "left $group behind" >&2; fi
  for m in "${mounted[@]}"; do umount "$m" 2>/dev/null || true; done
  rmdir /media/lumbrake-shot-$$-* 2>/dev/null
  mountpoint -q "$scratch/disc-tree" && umount "$scratch/disc-tree"
  rm -rf "$scratch"
  return 0
}
trap 'cleanup; stop_display' EXIT

start_display
for what in "${@:-wine qt}"; do
  for w in $what; do
    if declare -F "shot_$w" >/dev/null; then "shot_$w"; else echo "no capture for '$w' here" >&2; fi
  done
done
