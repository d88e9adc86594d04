#!/bin/bash
# Peak memory (resident set, /usr/bin/time's %M) of the tool in terminal mode copying trees of
# many empty files from a tmpfs to a tmpfs: 10,000, 100,000 and 1,000,000 files in folders of
# 1,000, and 100,000 files in one folder. Prints a markdown table and the goals: under 12 MiB at
# 1,000,000 files, and within 1.3x of the 10,000-file figure. Every copy is counted against its
# source. With HEAPTRACK=1 the 100,000-file tree is copied once more under heaptrack, and the
# allocation sites that hold the most at the peak of the heap are printed: what grows.
#
#   bench/memory.sh <lumbrake-cd binary> [work folder]
# Environment: COUNTS ("10000 100000 1000000": files in folders of 1,000), FLAT (100000: files
#   in one folder, 0 for none), FILE_BYTES (0: each file's size), QUICK=1 (10,000 and 100,000,
#   20,000 in one folder: under a minute), HEAPTRACK=1, KEEP=1 (keep the work folder).
set -euo pipefail
bench_name=memory
. "$(dirname "$0")/common.sh"
[ $# -ge 1 ] || { echo "usage: memory.sh <lumbrake-cd binary> [work folder]" >&2; exit 2; }

if [ "${QUICK:-0}" = 1 ]; then
    counts=${COUNTS:-10000 100000} flat=${FLAT:-20000}
else
    counts=${COUNTS:-10000 100000 1000000} flat=${FLAT:-100000}
fi
bytes=${FILE_BYTES:-0}
bench_start "$@"
began=$(date +%s)

# Room for every source tree at once: an inode each (and a page each for files with data).
files=$flat folders=1
for n in $counts; do files=$((files + n)) folders=$((folders + n / 1000 + 1)); done
inodes=$((files + folders + 1000))
pages_mb=$(((bytes > 0 ? files * 4 : 0) / 1024 + 64))
mount_dest tmpfs "$work/src" "$pages_mb"
mount -o "remount,nr_inodes=$inodes" "$work/src"
echo x >"$work/src/SETUP.EXE"

fmt() { sed ':a; s/\B[0-9]\{3\}\>/,&/; ta' <<<"$1"; }
rows=()
declare -A peak
measure() { # <name> <label>: copies src/<name> to a fresh tmpfs, sets peak[name]
    local name=$1 label=$2 kib secs copied
    mount_dest tmpfs "$work/dst" "$pages_mb"
    mount -o "remount,nr_inodes=$inodes" "$work/dst"
    echo "$(date +%T) copying $label" >&2
    LUMBRAKE_UI=tty /usr/bin/time -f "%M %e" -o "$work/time.out" \
        "$tool" "/src=$work/src/SETUP.EXE" "/dst=$work/dst/$name" "/drm=$name" >/dev/null 2>"$work/err.txt" </dev/null
    if grep -aq Error "$work/err.txt"; then cat "$work/err.txt" >&2; exit 1; fi
    read -r kib secs <"$work/time.out"
    copied=$(find "$work/dst/$name" -type f | wc -l)
    want=$(find "$work/src/$name" -type f ! -name .done | wc -l)
    [ "$copied" = "$want" ] || { echo "$label: $copied of $want files copied" >&2; exit 1; }
    peak[$name]=$kib
    rows+=("| $label | $(awk -v k="$kib" 'BEGIN { printf "%.1f", k / 1024 }') | $secs |")
    unmount_dest "$work/dst"
}

for n in $counts; do
    echo "$(date +%T) making $(fmt "$n") files" >&2
    maketree "$work/src/T$n" $((n / 1000)) 1000 "$bytes"
    measure "T$n" "$(fmt "$n") files in folders of 1,000"
done
if [ "$flat" -gt 0 ]; then
    echo "$(date +%T) making $(fmt "$flat") files in one folder" >&2
    maketree "$work/src/F$flat" 0 "$flat" "$bytes"
    measure "F$flat" "$(fmt "$flat") files in one folder"
fi

echo
echo "Peak resident memory of the tool (LUMBRAKE_UI=tty, output not a terminal), tmpfs -> tmpfs,"
echo "files of $bytes bytes:"
echo
echo "| tree | peak MiB | seconds |"
echo "|---|---|---|"
printf '%s\n' "${rows[@]}"
echo

goal() { # <text> <met?>
    if [ "$2" = - ]; then echo "not measured: $1"; elif [ "$2" = 1 ]; then echo "met:          $1"; else echo "NOT met:      $1"; fi
}
base=${peak[T10000]:-}
top=${peak[T1000000]:-}
if [ -n "$top" ]; then
    goal "1,000,000 files in folders: $(awk -v k="$top" 'BEGIN { printf "%.1f", k / 1024 }') MiB < 12 MiB" \
        "$((top < 12 * 1024 ? 1 : 0))"
else
    goal "1,000,000 files in folders < 12 MiB" -
fi
if [ -n "$top" ] && [ -n "$base" ]; then
    goal "1,000,000 files within 1.3x of 10,000 files: $(ratio "$top" "$base")x" \
        "$(awk -v a="$top" -v b="$base" 'BEGIN { print (a <= 1.3 * b) ? 1 : 0 }')"
else
    goal "1,000,000 files within 1.3x of 10,000 files" -
fi

# The heap profile: the largest tree of COUNTS up to 100,000 files, under heaptrack.
heap_n=$(tr ' ' '\n' <<<"$counts" | awk '$1 <= 100000' | sort -n | tail -1)
if [ "${HEAPTRACK:-0}" = 1 ] && [ -n "$heap_n" ] && command -v heaptrack >/dev/null; then
    name=T$heap_n
    mount_dest tmpfs "$work/dst" "$pages_mb"
    mount -o "remount,nr_inodes=$inodes" "$work/dst"
    echo "$(date +%T) copying $(fmt "$heap_n") files under heaptrack" >&2
    LUMBRAKE_UI=tty heaptrack -o "$work/heap" "$tool" "/src=$work/src/SETUP.EXE" "/dst=$work/dst/$name" \
        "/drm=$name" >"$work/heaptrack.txt" 2>&1 </dev/null || { cat "$work/heaptrack.txt" >&2; exit 1; }
    heaptrack_print -f "$work/heap.zst" -p 1 -a 0 -T 0 -l 0 -n 8 -s 1 >"$work/heap.txt" 2>&1
    echo
    echo "heaptrack, $(fmt "$heap_n") files in folders of 1,000: the sites that held the most at the"
    echo "peak of the heap, each with the first two callers of its largest path:"
    echo
    # Each site: "<bytes> peak memory consumed over <n> calls from", the function that allocated,
    # then its paths, each "<bytes> consumed over <n> calls from:" and its frames.
    awk '/peak memory consumed over/ { print "    " $0; getline; print "        " $0; frames = 0; next }
        /consumed over .* from:/ { frames = frames == 0 ? 2 : -1; next }
        frames > 0 && /^    [^ ]/ { sub(/^ +/, ""); print "          < " $0; frames-- }' "$work/heap.txt"
    echo
    grep -E '^(calls to allocation|peak heap memory|peak RSS)' "$work/heap.txt" | sed 's/^/    /'
    unmount_dest "$work/dst"
fi
echo
echo "The run took $(($(date +%s) - began)) s."
