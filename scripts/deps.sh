#!/usr/bin/env bash
# Installs what the build, the tests and the tool need on Debian 12. Safe to run again.
set -euo pipefail
pkgs=(cmake ninja-build g++ clang libclang-rt-14-dev googletest clang-format
      g++-mingw-w64-x86-64-posix wine64 genisoimage fuseiso rsync time util-linux
      qt6-base-dev qt6-wayland xvfb xauth xdotool x11-utils imagemagick fonts-dejavu-core openbox
      fusefat dosfstools bc strace ntfs-3g exfat-fuse exfatprogs xfsprogs btrfs-progs
      python3-fusepy heaptrack lintian dpkg-dev weston)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
fi
