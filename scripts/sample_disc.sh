#!/bin/sh
# Makes a sample disc tree for trying the tool:
#   scripts/sample_disc.sh <dir>
# <dir> gets SETUP.EXE at its root and the map data below <dir>/MAPS: a few folders, files of
# several sizes (empty to 3 MiB), a name with non-ASCII letters, a hidden dot-file and a
# dot-folder, which the tool must leave out.
#
# The tool takes the source as the drive root of /src= followed by /drm=. On Linux the drive
# root is the mount point of the file system that holds the /src= path, so <dir> is made a
# file system of its own (a small tmpfs) when run as root. Otherwise the script prints the
# /drm= value that reaches <dir>/MAPS from the mount point that holds it.
set -eu

dir=${1:?usage: sample_disc.sh <dir>}
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)

if ! mountpoint -q "$dir"; then
    if [ "$(id -u)" = 0 ] && mount -t tmpfs -o size=64m lumbrake-disc "$dir" 2>/dev/null; then
        echo "mounted a tmpfs at $dir (umount $dir when done)"
    fi
fi

# Bytes of pseudo-random content, reproducible from the seed.
blob() { # <file> <bytes> <seed>
    head -c "$2" /dev/zero | openssl enc -aes-128-ctr -nosalt -pass "pass:$3" 2>/dev/null >"$1" ||
        head -c "$2" /dev/urandom >"$1"
}

printf 'MZ sample installer\n' >"$dir/SETUP.EXE"
m="$dir/MAPS"
mkdir -p "$m/NORTE/RUTAS" "$m/SUR" "$m/ÍNDICES" "$m/VACÍA" "$m/.svn"
blob "$m/NORTE/norte.map" 3145728 n1
blob "$m/NORTE/RUTAS/r1.rut" 70000 r1
blob "$m/NORTE/RUTAS/r2.rut" 4096 r2
blob "$m/SUR/sur.map" 1048577 s1
: >"$m/SUR/vacio.dat"
printf 'índice de mapas\n' >"$m/ÍNDICES/índice.txt"
printf 'version 1\n' >"$m/LEEME.TXT"
printf 'hidden\n' >"$m/.oculto"
printf 'entries\n' >"$m/.svn/entries"

root=$(findmnt -n -o TARGET -T "$dir")
if [ "$root" = "$dir" ]; then
    drm=MAPS
else
    drm="${dir#"$root"}/MAPS"
    drm=${drm#/}
fi
echo "sample disc in $dir"
echo "run: lumbrake-cd /src=$dir/SETUP.EXE /dst=\$HOME/maps /drm=$drm"
