# What the bench scripts share; source it after setting `bench_name`.
#   bench_start <tool binary> [work folder]   checks root and the binary, makes the work folder,
#                                             sets tool, work, here; cleans everything on exit
#   bench_on_exit <command>                   one more thing to do on exit, before the unmounts
#   maketree <dir> <folders> <files> <bytes|min:max> [--seed N]   a tree, unless .done says it
#                                             is there already
#   drm_of <folder>                           the tool's /drm= for a folder (below its mount)
#   stats                                     "median min max q1 q3" of the numbers on stdin
#   ratio <a> <b>                             a / b with two decimals
# The work folder is a new one inside /tmp unless one is given. A given folder must be empty,
# missing, or one that an earlier run kept (KEEP=1). On exit, whatever the reason, the scripts'
# tools are stopped, every mount is undone, and the work folder is removed unless KEEP=1.

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=../scripts/mounts.sh
. "$here/../scripts/mounts.sh"

_bench_exit_steps=()
bench_on_exit() { _bench_exit_steps+=("$*"); }

_bench_cleanup() {
    local s m
    set +e
    for s in "${_bench_exit_steps[@]}"; do eval "$s"; done
    unmount_all_dests
    # Anything still mounted below the work folder (a mount of our own that failed to go):
    # lazily detached so that the removal below cannot reach into it.
    for m in $(findmnt -rn -o TARGET | grep -F "$work/" | sort -r); do umount -l "$m"; done
    if [ "${KEEP:-0}" = 1 ]; then
        echo "work folder kept: $work"
    elif [ -n "${work:-}" ] && [ -f "$work/.lumbrake-bench" ]; then
        rm -rf --one-file-system "$work"
    fi
}

bench_start() { # <tool binary> [work folder]
    [ "$(id -u)" = 0 ] || { echo "run as root: it mounts file systems" >&2; exit 1; }
    _dest_need python3 /usr/bin/time findmnt awk || exit 1
    tool=$(readlink -f "$1")
    [ -x "$tool" ] || { echo "no such program: $1" >&2; exit 1; }
    if [ -n "${2:-}" ]; then
        work=$2
        if [ -e "$work" ] && [ ! -f "$work/.lumbrake-bench" ] && [ -n "$(ls -A "$work")" ]; then
            echo "$work is not empty and not a work folder of these scripts" >&2
            exit 1
        fi
        mkdir -p "$work"
        work=$(cd "$work" && pwd)
    else
        work=$(mktemp -d "/tmp/lumbrake-$bench_name.XXXXXX")
    fi
    touch "$work/.lumbrake-bench"
    trap _bench_cleanup EXIT
    trap 'exit 130' INT
    trap 'exit 143' TERM
}

maketree() { # <dir> <folders> <files per folder> <bytes|min:max> [--seed N]
    [ "$(cat "$1/.done" 2>/dev/null)" = "$*" ] && return
    rm -rf "$1"
    python3 "$here/maketree.py" "$@" && echo "$*" >"$1/.done"
}

drm_of() { # <folder>
    local root rel
    root=$(findmnt -n -o TARGET -T "$1")
    rel=${1#"$root"}
    echo "${rel#/}"
}

stats() {
    sort -g | awk '{ a[NR] = $1 }
        function q(p,  h, i) { h = (NR - 1) * p + 1; i = int(h); return a[i] + (h - i) * (a[i + 1] - a[i]) }
        END { if (NR == 0) { print "- - - - -"; exit }
              a[NR + 1] = a[NR]; print q(0.5), a[1], a[NR], q(0.25), q(0.75) }'
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b + 0 == 0) print "-"; else printf "%.2f", a / b }'; }
