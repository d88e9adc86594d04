# Sourced by the tests that run the real program: a source tree of small files and the
# parameters that copy it.
#   make_disc <folder> <files>: <folder>/disc/MAPS with that many files; sets src and drm, so
#   that "/src=$src" "/drm=$drm" name it whatever file system holds it.
make_disc() {
    mkdir -p "$1/disc/MAPS"
    for i in $(seq 1 "$2"); do echo "$i" >"$1/disc/MAPS/f$i"; done
    src=$1/disc/SETUP.EXE
    local root
    root=$(findmnt -n -o TARGET -T "$1/disc")
    drm=${1#"$root"}/disc/MAPS
    drm=${drm#/}
}
count() { find "$work/$1" -type f 2>/dev/null | wc -l; }
fail() { echo "FAIL: $*"; exit 1; }
