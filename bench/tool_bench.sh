#!/bin/bash
# Times the whole tool (terminal back-end) against its peers on the same trees, in one run:
#   cp -r SRC DST && sync -f DST   the durable limit: everything flushed once at the end
#   rsync -a --fsync               a peer that is crash-safe per file
#   cp -r, rsync -a                plain copies, nothing flushed
# Routes: ext4 -> ext4, tmpfs -> ext4 and tmpfs -> tmpfs with a small tree (10,000 files of
# 4 KiB in folders of 100) and a large one (4 files of 256 MiB); tmpfs -> NTFS (ntfs-3g) and
# tmpfs -> exFAT (exfat-fuse on a loop device) with the small tree; and the disc route: a
# 204 MiB mixed tree on ext4 read cold through a blkio read throttle of 21 MB/s (a 16x DVD),
# the tool and cp;sync against the limit bytes / 21 MB/s. The ext4 here is the file system of
# the work folder (the root file system for the default one in /tmp); the table names it.
#
# Each route runs REPS rounds. In a round every command copies the tree once into a fresh
# folder, in an order drawn afresh (from a fixed seed, so that a rerun draws the same): no
# command always follows the same one and what it leaves behind (its writeback, the memory its
# copy freed). The tool's time is divided by each peer's time of the same round, so a slow
# spell of the shared machine weighs on both sides of a ratio; the table gives the median of
# those per-round ratios and their spread (min-max), then the goals, met or not. The tool's
# system CPU is compared with plain cp's the same way.
#
#   bench/tool_bench.sh <lumbrake-cd binary> [work folder]
# Environment: REPS (7), SMALL_FILES (10000), LARGE_MB (256, each of the 4 large files),
#   ROUTES (all: ext4-ext4 tmpfs-ext4 tmpfs-tmpfs tmpfs-ntfs tmpfs-exfat disc),
#   QUICK=1 (3 rounds, 1,000 small files, 4 x 32 MiB, a 45 MiB disc: two to five minutes),
#   KEEP=1 (keep the work folder, its trees and rounds.txt, every single run; a later run
#   given the same folder reuses the trees).
set -euo pipefail
bench_name=tool-bench
. "$(dirname "$0")/common.sh"
[ $# -ge 1 ] || { echo "usage: tool_bench.sh <lumbrake-cd binary> [work folder]" >&2; exit 2; }

if [ "${QUICK:-0}" = 1 ]; then
    reps=${REPS:-3} small_files=${SMALL_FILES:-1000} large_mb=${LARGE_MB:-32}
    disc_folders=3 disc_big_mb=6
else
    reps=${REPS:-7} small_files=${SMALL_FILES:-10000} large_mb=${LARGE_MB:-256}
    disc_folders=12 disc_big_mb=30
fi
routes=${ROUTES:-ext4-ext4 tmpfs-ext4 tmpfs-tmpfs tmpfs-ntfs tmpfs-exfat disc}
bench_start "$@"
_dest_need rsync || exit 1
began=$(date +%s)
cg=/sys/fs/cgroup/blkio/lumbrake-tool-bench
bench_on_exit '[ -d $cg ] && rmdir $cg'

small_folders=$(((small_files + 99) / 100))
make_trees() { # <root>
    maketree "$1/SMALL" "$small_folders" 100 4096 --seed 1
    maketree "$1/LARGE" 0 4 $((large_mb << 20)) --seed 2
    echo x >"$1/SETUP.EXE"
}
echo "$(date +%T) making the trees" >&2
tmp_mb=$((4 * large_mb + small_files * 8 / 1024 + 64))
mount_dest tmpfs "$work/tmpfs" "$tmp_mb"
mount_dest tmpfs "$work/tmpdst" "$tmp_mb"
mkdir -p "$work/disk" "$work/out"
disk_fs=$(findmnt -n -o FSTYPE -T "$work/disk")
make_trees "$work/disk"
make_trees "$work/tmpfs"
# The ext4 sources are read once, so that the first command of the first round finds them in
# the page cache like the others (the disc route of an earlier run dropped it).
find "$work/disk/SMALL" "$work/disk/LARGE" -type f -exec cat {} + >/dev/null
: >"$work/rounds.txt"

# Runs one command and sets run_wall (s), run_sys (s, its system CPU, threads and children
# included) and run_peak (KiB). @SRC@ and @DST@ in its words become the source root and a
# fresh folder in the destination, which is left in last_dst.
runs=0
run_once() { # <source root> <destination folder> <words...>
    local src=$1 out=$2 a args=() t0 t1
    shift 2
    runs=$((runs + 1))
    last_dst="$out/dst.$runs"
    for a in "$@"; do a=${a//@DST@/$last_dst}; args+=("${a//@SRC@/$src}"); done
    sync
    t0=$(date +%s%N)
    local rc=0
    LUMBRAKE_UI=tty /usr/bin/time -f "%S %M" -o "$work/time.out" "${args[@]}" >"$work/out.txt" 2>&1 </dev/null ||
        rc=$?
    t1=$(date +%s%N)
    # The tool ends with 0 after a copy error too: its message tells.
    if [ "$rc" != 0 ] || grep -aq Error "$work/out.txt"; then
        echo "failed: ${args[*]}" >&2
        cat "$work/out.txt" >&2
        exit 1
    fi
    run_wall=$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.4f", (b - a) / 1e9 }')
    read -r run_sys run_peak <"$work/time.out"
    printf '%s %s %s %s\n' "$(date +%T)" "$run_wall" "$run_sys" "${args[*]}" >>"$work/rounds.txt"
}

# The per-round ratios of two lists of the same rounds: r_med their median, r_text
# "median (min-max)".
ratios() { # <list a> <list b>
    local lo hi
    read -r r_med lo hi _ _ < <(paste -d' ' <(tr ' ' '\n' <<<"$1" | grep .) <(tr ' ' '\n' <<<"$2" | grep .) |
        awk '$2 > 0 { print $1 / $2 }' | stats)
    r_text=-
    [ "$r_med" = - ] || r_text=$(printf '%.2f (%.2f-%.2f)' "$r_med" "$lo" "$hi")
}
median() { tr ' ' '\n' | grep . | stats | cut -d' ' -f1; }

names=(tool cpsync rsyncf cp rsync)
declare -A wall sys med_ratio kind_of
rows=() details=() labels=()
RANDOM=7
compare() { # <label> <source root> <tree> <destination folder> <disk|tmpfs|fuse>
    local label=$1 root=$2 tree=$3 out=$4 kind=$5 k j r round peak=0
    labels+=("$label") kind_of[$label]=$kind
    for k in "${names[@]}"; do wall[$k]="" sys[$k]=""; done
    for round in $(seq "$reps"); do
        echo "$(date +%T) $label: round $round of $reps" >&2
        local order=("${names[@]}")
        for ((j = ${#order[@]} - 1; j > 0; j--)); do
            r=$((RANDOM % (j + 1)))
            k=${order[j]} order[j]=${order[r]} order[r]=$k
        done
        for k in "${order[@]}"; do
            case $k in
            tool) run_once "$root" "$out" "$tool" "/src=@SRC@/SETUP.EXE" "/dst=@DST@" "/drm=$(drm_of "$root/$tree")" ;;
            cpsync) run_once "$root" "$out" sh -c "cp -r '@SRC@/$tree' '@DST@' && sync -f '@DST@'" ;;
            rsyncf) run_once "$root" "$out" rsync -a --fsync "@SRC@/$tree/" "@DST@/" ;;
            cp) run_once "$root" "$out" cp -r "@SRC@/$tree" "@DST@" ;;
            rsync) run_once "$root" "$out" rsync -a "@SRC@/$tree/" "@DST@/" ;;
            esac
            if [ "$k" = tool ]; then
                diff -rq --exclude=.done "$root/$tree" "$last_dst" >/dev/null ||
                    { echo "the tool's copy of $root/$tree differs from its source" >&2; exit 1; }
                if [ "$run_peak" -gt "$peak" ]; then peak=$run_peak; fi
            fi
            wall[$k]+=" $run_wall" sys[$k]+=" $run_sys"
            # tmpfs and the images hold little, and the rounds of the large tree would fill
            # the disk: those copies go at once. The small tree's copies on ext4 stay to the
            # end, since inodes freed in the last minute make new ones slower to allocate there.
            if [ "$kind" != disk ] || [ "$tree" = LARGE ]; then rm -rf "$last_dst"; fi
        done
    done
    local cells=() p
    for k in "${names[@]}"; do cells+=("$(printf '%.2f' "$(median <<<"${wall[$k]}")")"); done
    for p in cpsync rsyncf cp rsync; do
        ratios "${wall[tool]}" "${wall[$p]}"
        cells+=("$r_text")
        med_ratio[$label:$p]=$r_med
    done
    ratios "${sys[tool]}" "${sys[cp]}"
    cells+=("$r_text")
    med_ratio[$label:sys]=$r_med
    cells+=("$(awk -v k="$peak" 'BEGIN { printf "%.1f", k / 1024 }')")
    local row
    row="| $label | $(printf '%s | ' "${cells[@]}")"
    rows+=("${row% }")
    for p in cpsync rsyncf cp rsync; do
        details+=("$label, tool/$p: $(paste -d' ' <(tr ' ' '\n' <<<"${wall[tool]}" | grep .) \
            <(tr ' ' '\n' <<<"${wall[$p]}" | grep .) | awk '{ printf "%.2f ", $1 / $2 }')")
    done
}

small_label="$(sed ':a; s/\B[0-9]\{3\}\>/,&/; ta' <<<$((small_folders * 100))) x 4 KiB"
large_label="4 x $large_mb MiB"
for route in $routes; do
    case $route in
    ext4-ext4 | tmpfs-ext4 | tmpfs-tmpfs)
        from=${route%-*} to=${route#*-}
        root=$work/$([ "$from" = ext4 ] && echo disk || echo tmpfs)
        out=$work/$([ "$to" = ext4 ] && echo out || echo tmpdst)
        kind=$([ "$to" = ext4 ] && echo disk || echo tmpfs)
        # The disk routes are named after the work folder's file system.
        from=${from/ext4/$disk_fs} to=${to/ext4/$disk_fs}
        compare "$from -> $to, $small_label" "$root" SMALL "$out" "$kind"
        compare "$from -> $to, $large_label" "$root" LARGE "$out" "$kind"
        ;;
    tmpfs-ntfs | tmpfs-exfat)
        to=${route#*-}
        # exFAT's clusters are 32 KiB at this size: room for one copy of the tree and more.
        mount_dest "$to" "$work/$to" $((small_folders * 100 * 64 / 1024 + 128)) ||
            { rows+=("| tmpfs -> $to | could not be mounted here |"); continue; }
        compare "tmpfs -> $to, $small_label" "$work/tmpfs" SMALL "$work/$to" fuse
        unmount_dest "$work/$to"
        ;;
    disc) ;;
    *) echo "unknown route: $route" >&2; exit 2 ;;
    esac
done

# ---- the disc route: cold reads at 21 MB/s ----
disc_line=
if [[ " $routes " == *" disc "* ]]; then
    disc=$work/disk/DISC
    maketree "$disc/areas" "$disc_folders" 150 0:98304 --seed 3
    maketree "$disc/roads" 0 4 $((disc_big_mb << 20)) --seed 4
    dev=$(findmnt -n -o MAJ:MIN -T "$work/disk")
    if mkdir -p "$cg" 2>/dev/null && echo "$dev 21000000" >"$cg/blkio.throttle.read_bps_device" 2>/dev/null; then
        bytes=$(du -sb --exclude=.done "$disc" | cut -f1)
        limit=$(awk -v b="$bytes" 'BEGIN { print b / 21000000 }')
        declare -A disc_times=([tool]="" [cpsync]="")
        for round in $(seq "$reps"); do
            echo "$(date +%T) disc route: round $round of $reps" >&2
            order=(tool cpsync)
            [ $((RANDOM % 2)) = 1 ] && order=(cpsync tool)
            for k in "${order[@]}"; do
                sync
                echo 3 >/proc/sys/vm/drop_caches
                case $k in
                tool) cmd="exec '$tool' '/src=$work/disk/SETUP.EXE' '/dst=@DST@' '/drm=$(drm_of "$disc")'" ;;
                cpsync) cmd="cp -r '$disc' '@DST@' && sync -f '@DST@'" ;;
                esac
                run_once "$work/disk" "$work/out" sh -c "echo \$\$ >$cg/cgroup.procs && $cmd"
                disc_times[$k]+=" $run_wall"
                rm -rf "$last_dst"
            done
        done
        limits=$(for _ in $(seq "$reps"); do echo -n " $limit"; done)
        ratios "${disc_times[cpsync]}" "$limits"
        disc_cpsync=$r_text
        ratios "${disc_times[tool]}" "$limits"
        med_ratio[disc]=$r_med
        disc_line=$(printf 'Disc route (%d MiB at 21 MB/s, read cold): limit %.2f s; tool %.2f s, %s x the limit; cp;sync %.2f s, %s x the limit.' \
            $((bytes >> 20)) "$limit" "$(median <<<"${disc_times[tool]}")" "$r_text" \
            "$(median <<<"${disc_times[cpsync]}")" "$disc_cpsync")
    else
        disc_line="(no blkio read throttle here: disc route skipped)"
    fi
fi

echo
echo "Seconds: median of $reps rounds. Ratios: the median of the per-round ratios, (min-max) over the rounds."
echo "sys tool/cp: the tool's system CPU against plain cp's. Peak: the tool's largest resident size."
echo
echo "| route, tree | tool | cp;sync | rsync --fsync | cp | rsync | tool/(cp;sync) | tool/rsync --fsync | tool/cp | tool/rsync | sys tool/cp | peak MiB |"
echo "|---|---|---|---|---|---|---|---|---|---|---|---|"
printf '%s\n' "${rows[@]}"
echo
[ -n "$disc_line" ] && { echo "$disc_line"; echo; }
echo "Per-round ratios, in round order:"
printf '  %s\n' "${details[@]}"
echo

# ---- goals ----
goal() { # <text> <value> <operator: le|lt> <limit>
    local state
    if [ -z "$2" ] || [ "$2" = - ]; then
        state="not measured"
    elif awk -v v="$2" -v l="$4" -v op="$3" 'BEGIN { exit !(op == "le" ? v <= l : v < l) }'; then
        state=met
    else
        state="NOT met"
    fi
    printf '%-13s %s (%s)\n' "$state:" "$1" "$([ -n "$2" ] && [ "$2" != - ] && printf '%.2f' "$2")"
}
echo "Goals (medians of the per-round ratios):"
for label in "${labels[@]}"; do
    case ${kind_of[$label]} in
    disk) goal "$label: tool/(cp;sync) <= 1.0" "${med_ratio[$label:cpsync]}" le 1.0 ;;
    fuse)
        printf 'info:         %s: tool/(cp;sync) %.2f (sync -f does not reach a FUSE driver)\n' "$label" \
            "${med_ratio[$label:cpsync]}" ;;
    esac
    goal "$label: tool/(rsync --fsync) < 1" "${med_ratio[$label:rsyncf]}" lt 1
    if [[ $label == "tmpfs -> tmpfs, $small_label" ]]; then
        goal "$label: tool/cp <= 1.5" "${med_ratio[$label:cp]}" le 1.5
        goal "$label: tool/rsync < 1" "${med_ratio[$label:rsync]}" lt 1
    fi
    if [[ $label == *", $large_label" ]]; then
        goal "$label: system CPU tool/cp <= 1.3" "${med_ratio[$label:sys]}" le 1.3
    fi
done
[[ " $routes " == *" disc "* ]] && goal "disc route: tool <= 1.05 x the limit" "${med_ratio[disc]:-}" le 1.05
rm -rf "$work"/out/dst.*
echo
echo "The bench took $(($(date +%s) - began)) s."
