#!/usr/bin/env bash
# Copies generated trees onto every kind of destination this machine can mount, with the
# terminal front end on Linux and with the Windows build under Wine, and checks each copy:
#   - the destination equals the source byte for byte and holds nothing else (hidden entries
#     included; the source's own dot-entries must stay behind);
#   - a second run shows no error and changes nothing;
#   - a run killed (-9) once it has begun to write, then a rerun, leave the destination equal
#     to the source;
#   - where the destination cannot hold a name of the tree (a character FAT refuses, a name
#     Windows reserves, two names that differ only in case where case is ignored), the copy
#     ends with "Error copying file: <source> to <destination>" (or "Error creating folder:")
#     naming that entry.
# The trees: names in many scripts (right-to-left with ZWNJ, combining marks, characters outside
# the BMP, zero-width joiners, names of 255 bytes), empty and multi-MiB files, one folder of
# thousands of files, a deep tree, and small trees of one refused name or one pair of names
# that differ in case. The destinations lie below a folder with a right-to-left name.
# A destination that cannot be mounted, or Wine that cannot run, is reported as skipped.
#
#   scripts/matrix.sh [--small] [--tool <lumbrake-cd>] [--exe <lumbrake-cd.exe>]
#       [--dests "<kind>... wine:<kind>..."] [--trees "<tree>..."] [--parent <name>] [--out <md>]
# As root. --small: the size scripts/test.sh runs (under three minutes); without it a folder
# of 3,000 files, a tree 100 folders deep, Wine onto every kind, and 10 fresh copies of the
# big folder onto NTFS and exFAT. Kinds: ext4 xfs btrfs ntfs exfat fat tmpfs; trees: names
# sizes wide deep refused case. --parent names the folder that holds the destinations. The
# table is printed and written as markdown to --out (build/matrix.md). Exit status 1 when a
# check failed. MATRIX_WINEPREFIX reuses a Wine prefix (the matrix maps its drives m: and n:
# there and removes them at the end).
set -uo pipefail
export LC_ALL=C.UTF-8
cd "$(dirname "$0")/.."
root=$PWD
. scripts/mounts.sh
. scripts/display.sh

small=0
tool=$root/build/linux/app/lumbrake-cd
exe=$root/build/win/app/lumbrake-cd.exe
dests=
trees="names sizes wide deep refused case"
parent="خرائط‌ الرحلة" # Arabic, a ZWNJ and a blank
out=$root/build/matrix.md
while [ $# -gt 0 ]; do
    case $1 in
    --small) small=1 ;;
    --tool) tool=$2; shift ;;
    --exe) exe=$2; shift ;;
    --dests) dests=$2; shift ;;
    --trees) trees=$2; shift ;;
    --parent) parent=$2; shift ;;
    --out) out=$2; shift ;;
    *) sed -n '2,/^set /p' "$0" | sed '$d'; exit 2 ;;
    esac
    shift
done
if [ "$small" = 1 ]; then
    wide_files=3000 deep_levels=20 big_mib=3 repeats=1 image_mib=160
    dests=${dests:-"$dest_kinds wine:exfat"}
else
    wide_files=3000 deep_levels=100 big_mib=24 repeats=10 image_mib=320
    dests=${dests:-"$dest_kinds $(printf 'wine:%s ' $dest_kinds)"}
fi
tool_timeout=300
scratch=$(mktemp -d "${TMPDIR:-/tmp}/lumbrake-matrix.XXXXXX")
disc=$scratch/disc
rows=()
failed=0

# ---------------------------------------------------------------------------- the source trees

# Writes a file whose content tells it apart from every other.
put() { # <path> [blanks to add]
    printf '%s\n%*s' "$1" "${2:-0}" '' >"$1"
}

# A name of exactly 255 bytes: a unit repeated before a suffix, padded with x.
name255() { # <unit> <suffix>
    local s=$2
    while [ "$(printf %s "$1$s" | wc -c)" -le 255 ]; do s=$1$s; done
    while [ "$(printf %s "$s" | wc -c)" -lt 255 ]; do s=x$s; done
    printf %s "$s"
}

make_names() { # <dir>
    local d=$1 n long
    long=$(name255 Д '')
    mkdir -p "$d/مدن" "$d/ערים" "$d/Москва" "$d/東京/駅" "$d/راهنمای‌سفر" "$d/ΑΘΗΝΑ" \
        "$d/فارغ" "$d/.hidden-folder" "$d/$long"
    for n in 'خريطة.map' 'نقشه‌ها.txt' 'خريطة ١٢٣.dat' 'מפה.txt' 'mixed עברית and English.txt' \
        'Χάρτης.txt' 'Карта.txt' 'नक्शा.txt' 'แผนที่.txt' '地図.txt' 'ファイル名.dat' \
        'café.txt' $'cafe\u0301.txt' $'N\u0300\u0303o\u0342.txt' '🗺️ map 😀.txt' '𝔐𝔞𝔭.txt' \
        $'\U1F469\u200d\U1F469\u200d\U1F467 family.txt' $'zero\u200dwidth\u200cjoiners.txt' \
        'مدن/القاهرة.dat' 'ערים/ירושלים.dat' 'Москва/Улица.dat' '東京/駅/新宿.dat' \
        'راهنمای‌سفر/نقشه‌ی‌تهران.txt' 'ΑΘΗΝΑ/Πειραιάς.dat' \
        "$(name255 a .txt)" "$(name255 ب x.txt)" "$(name255 地 .txt)" "$(name255 😀 .txt)" \
        "$(name255 क .txt)" "$long/$(name255 ש .txt)" .hidden .hidden-folder/inside; do
        put "$d/$n"
    done
}

make_sizes() { # <dir>
    local d=$1 n
    mkdir -p "$d/empty folder" "$d/sub"
    : >"$d/empty.bin"
    : >"$d/sub/empty too.bin"
    for n in 1 4095 4096 4097 $((1 << 20)) $(((1 << 20) + 1)); do
        head -c "$n" /dev/urandom >"$d/sub/$n.bin"
    done
    head -c $((big_mib << 20)) /dev/urandom >"$d/big.bin"
    head -c $(((big_mib << 20) + 12345)) /dev/urandom >"$d/sub/big too.bin"
}

make_wide() { # <dir>: one folder of many 1 KiB files
    local i
    mkdir -p "$1/many"
    for ((i = 1; i <= wide_files; i++)); do printf '%01024d' "$i" >"$1/many/f$(printf %05d $i).bin"; done
}

make_deep() { # <dir>: each folder in the one before, a file in each
    local d=$1 i
    for ((i = 1; i <= deep_levels; i++)); do
        d=$d/level-$(printf %03d $i)
        mkdir "$d"
        put "$d/file-$i.txt"
    done
}

# Names that some destination cannot hold, each alone in a small tree: refused/<n>/<name>.
make_refused() { # <dir>
    local i=0 n
    for n in CON nul.txt COM1 LPT9.log aux 'a:b' 'what?' 'star*' 'say"hi"' '<lt' 'gt>' 'pipe|' \
        'back\slash' 'trailing.' 'trailing ' $'ctl\x01char'; do
        i=$((i + 1))
        mkdir -p "$1/$i"
        put "$1/$i/$n"
    done
}

# Names that differ only in case, a pair in each small tree: case/<n>/<a> and <b>.
make_case() { # <dir>
    local i=0 p
    for p in 'Readme.txt|README.TXT' 'σοφία.txt|ΣΟΦΊΑ.txt' 'москва.txt|МОСКВА.txt' \
        'οδος.txt|ΟΔΟΣ.txt' 'straße.txt|STRASSE.txt'; do
        i=$((i + 1))
        mkdir -p "$1/$i"
        put "$1/$i/${p%|*}"
        put "$1/$i/${p#*|}" 7
    done
}

# The disc: a tmpfs of its own, so that its mount point is the drive root the tool takes.
make_disc() {
    local t
    mkdir -p "$disc"
    mount -t tmpfs -o size=$((big_mib * 3 + 64))m lumbrake-matrix-disc "$disc" || return 1
    for t in $trees; do
        mkdir -p "$disc/$t"
        "make_$t" "$disc/$t"
    done
    put "$disc/SETUP.EXE"
}

# --------------------------------------------------------------------------------- comparison

# Prints the first differences between the source tree (its dot-entries left out) and the
# destination (everything in it), and fails; silent when they are equal.
tree_diff() { # <src> <dst>
    local a b
    a=$(cd "$1" && find . -mindepth 1 -name '.*' -prune -o -printf '%y %P\n' | LC_ALL=C sort)
    b=$(cd "$2" 2>/dev/null && find . -mindepth 1 -printf '%y %P\n' | LC_ALL=C sort)
    if [ "$a" != "$b" ]; then
        diff <(echo "$a" | grep .) <(echo "$b" | grep .) | grep '^[<>]' | head -3 |
            sed 's/^</missing:/; s/^>/extra:/' | tr '\n' ' '
        return 1
    fi
    diff -rq -x '.*' "$1" "$2" 2>&1 | head -1 | grep . && return 1
    return 0
}

# What a rerun must leave unchanged: every entry's type, name, size, times and number.
snapshot() { # <dir>
    (cd "$1" && find . -printf '%y %P %s %T@ %C@ %i\n' | LC_ALL=C sort)
}

# The names in a tree that the destination's file system does not hold side by side, exactly
# as given (refused, changed, or merged with another). Names of lower-case ASCII letters,
# digits, blanks, dots and hyphens are taken for granted, except in the small trees.
refused_by() { # <dir on the destination> <tree> [all]
    local probe=$1/.matrix-probe names n
    mapfile -t names < <(cd "$disc/$2" && find . -mindepth 1 -name '.*' -prune -o -printf '%f\n' |
        LC_ALL=C sort -u | if [ -n "${3:-}" ]; then cat; else LC_ALL=C grep -v '^[a-z0-9 ._-]*$'; fi)
    [ ${#names[@]} -gt 0 ] || return 0
    mkdir -p "$probe"
    for n in "${names[@]}"; do { : >"$probe/$n"; } 2>/dev/null; done
    for n in "${names[@]}"; do [ -f "$probe/$n" ] && ls -A "$probe" | grep -qxF -- "$n" || echo "$n"; done
    rm -rf "$probe"
}

# Whether the error names an entry of the tree whose last part is one of the names:
# "Error copying file: <src>/<rel> to <dst>/<rel>" or "Error creating folder:<dst>/<rel>/".
# Compared in NFKC, which undoes the Arabic presentation forms the tool shows; a control
# character may show as \xNN.
names_entry() { # <error> <src prefix> <dst prefix> <separator> <name>...
    /usr/bin/python3 - "$@" <<'EOF'
import re, sys, unicodedata
err, src, dst, sep, *names = (unicodedata.normalize("NFKC", a) for a in sys.argv[1:])
names += [re.sub(r"[\x00-\x1f]", lambda c: "\\x%02x" % ord(c[0]), n) for n in names]
# Wine shows the start of a long text only: then the part shown need only begin a name.
marker = " [cut short by Wine]"
cut = err.endswith(marker)
err = err[: -len(marker)] if cut else err
def rel(path, prefix):
    return path[len(prefix) + 1:] if path.startswith(prefix + sep) else ""
def named(last):
    return last in names or (cut and last != "" and any(n.startswith(last) for n in names))
m = re.fullmatch(r"Error copying file: (.*?)(?: to (.*))?", err, re.S)
if m:
    a = rel(m[1], src)
    b = rel(m[2], dst) if m[2] is not None else a if cut else ""
    # A name that holds the separator itself (a backslash under Wine) cannot be named by the
    # Windows program: its source path still names it whole.
    whole = [n for n in names if sep in n and (sep + a).endswith(sep + n)]
    ok = bool(whole) or (a == b or cut and a.startswith(b)) and named(b.split(sep)[-1])
else:
    m = re.fullmatch(r"Error creating folder:(.*)", err, re.S)
    ok = bool(m) and named(rel(m[1], dst).rstrip(sep).split(sep)[-1])
sys.exit(0 if ok else 1)
EOF
}

# ------------------------------------------------------------------------------ running the tool
# Each runner copies tree <tree> of the disc to <dst> (a Linux path) and sets run_error (the
# error the tool showed, or empty) and run_ms; a run that hangs or crashes gets an error
# saying so. With <kill> set it kills the tool (-9) as soon as a file shows in <dst> (named or
# temporary), or at the latest after <kill> ms, and sets run_killed to that time when the
# tool still ran.

run_linux() { # <tree> <dst> [kill]
    local log=$scratch/stderr pid
    LUMBRAKE_UI=tty "$tool" "/src=$disc/SETUP.EXE" "/dst=$2" "/drm=$1" >/dev/null 2>"$log" &
    pid=$!
    wait_tool "$pid" "$2" "${3:-}" linux_shown 2>/dev/null # (and the shell's word of a kill)
    run_error=$(grep -a -m1 '^Error: ' "$log" | sed 's/^Error: //')
    hung_error
}

linux_shown() { return 1; }

# Wine traces the text of each message box (channel msgbox); the box is then closed with Enter.
run_wine() { # <tree> <dst> [kill]
    local log=$scratch/stderr pid
    WINEDEBUG=-all,+msgbox /usr/lib/wine/wine64 "$exe" '/src=N:\SETUP.EXE' "/dst=$(shown "$2")" \
        "/drm=$(printf %s "$1" | tr / '\\')" >/dev/null 2>"$log" &
    pid=$!
    wait_tool "$pid" "$2" "${3:-}" wine_shown 2>/dev/null
    run_error=$(wine_text "$log")
    hung_error
}

# A run that hung, or ended with a status other than 0 and said nothing (a crash).
hung_error() {
    if [ "$run_hung" = 1 ]; then
        run_error="still running after $tool_timeout s, killed"
    elif [ -z "$run_error" ] && [ "$run_killed" = 0 ] && [ "$run_status" != 0 ]; then
        run_error="ended with status $run_status: $(grep -av 'trace:' "$scratch/stderr" | tail -n1)"
    fi
}

# The first message box's text, from Wine's escaped form (\\, \", \xxxx for UTF-16 units).
wine_text() { # <log>
    grep -a -m1 'MSGBOX_OnInit' "$1" | /usr/bin/python3 -c '
import re, sys
line = sys.stdin.read().strip()
m = re.search(r"L\"(.*)\"", line)
if m:
    s = re.sub(r"\\([0-9a-f]{4})|\\(.)", lambda g: chr(int(g[1], 16)) if g[1] else
               {"n": "\n", "t": "\t", "r": "\r"}.get(g[2], g[2]), m[1])
    # Wine cuts a long text short and marks it so.
    print(s.encode("utf-16", "surrogatepass").decode("utf-16", "replace") +
          (" [cut short by Wine]" if line.endswith("...") else ""))'
}

# A message box is up: Enter closes it (the program then ends).
wine_shown() {
    grep -aq MSGBOX_OnInit "$scratch/stderr" || return 1
    local w
    for w in $(xdotool search --name '^(Error|Lumbrake)$' 2>/dev/null); do
        xdotool windowfocus --sync "$w" key Return 2>/dev/null
    done
    return 0
}

# Waits for the tool to end, killing it as the runners say; asks <shown> whether it shows a
# message box (closed by then), after which it gets five seconds to end. A tool that runs
# longer than $tool_timeout seconds is killed and reported as hanging.
wait_tool() { # <pid> <dst> <kill> <shown>
    local pid=$1 start now boxed=0
    start=$(date +%s%N)
    run_killed=0 run_hung=0 run_pid=$pid
    while kill -0 "$pid" 2>/dev/null; do
        sleep 0.01
        now=$((($(date +%s%N) - start) / 1000000))
        if [ -n "$3" ] && { [ "$now" -ge "$3" ] || [ -n "$(find "$2" -type f -print -quit 2>/dev/null)" ]; }; then
            kill -9 "$pid" 2>/dev/null && run_killed=$now
            break
        fi
        if [ "$boxed" = 0 ] && "$4"; then boxed=$now; fi
        if [ "$boxed" != 0 ] && [ $((now - boxed)) -gt 5000 ]; then kill -9 "$pid"; break; fi
        if [ "$now" -gt $((tool_timeout * 1000)) ]; then kill -9 "$pid"; run_hung=1; break; fi
    done
    wait "$pid"
    run_status=$?
    run_ms=$((($(date +%s%N) - start) / 1000000))
    run_pid=
}

# A path below the disc or below the destination's mount point as the tool shows it.
shown() { # <linux path>
    case $front:$1 in
    wine:"$disc"/*) printf 'N:\\%s' "$(printf %s "${1#"$disc"/}" | tr / '\\')" ;;
    wine:*) printf 'M:\\%s' "$(printf %s "${1#"$mnt"/}" | tr / '\\')" ;;
    *) printf %s "$1" ;;
    esac
}

# ------------------------------------------------------------------------------------ the checks

record() { # <destination> <tree> <runs> <result>
    rows+=("$1|$2|$3|$4")
    case $4 in FAIL*) failed=$((failed + 1)) ;; esac
    printf '%-14s %-8s %4s  %s\n' "$1" "$2" "$3" "$4"
}

secs() { printf '%d.%02d s' $(($1 / 1000)) $(($1 % 1000 / 10)); }

# Whether the last run ended with the copy error naming one of the names; prints what went
# wrong if not.
refusal_problem() { # <tree> <dst> <name>...
    local t=$1 base=$2 sep=/
    shift 2
    [ "$front" = wine ] && sep='\'
    if [ -z "$run_error" ]; then
        echo "no error for ${*@Q}: $(tree_diff "$disc/$t" "$base" && echo "copied under its own name")"
    elif ! names_entry "$run_error" "$(shown "$disc/$t")" "$(shown "$base")" "$sep" "$@"; then
        echo "for ${*@Q}: $run_error"
    fi
}

# Copy, compare, rerun (no change), then a fresh copy killed mid-way and a rerun; the big
# folder onto NTFS and exFAT is copied <repeats> times afresh first. Where the destination
# holds not every name of the tree, one run must end with the copy error instead.
check_tree() { # <label> <tree>
    local t=$2 base=$dstroot/$2 runs=0 reps=1 i why before copy_ms killed refused
    mapfile -t refused < <(refused_by "$dstroot" "$t")
    if [ ${#refused[@]} -gt 0 ]; then
        "run_$front" "$t" "$base"
        why=$(refusal_problem "$t" "$base" "${refused[@]}")
        rm -rf "$base"
        [ -z "$why" ] || { record "$1" "$t" 1 "FAIL: ${#refused[@]} names refused here, $why"; return; }
        record "$1" "$t" 1 "ok: ${#refused[@]} names refused here (${refused[0]@Q}...), the copy error came"
        return
    fi
    case "$t:$kind" in wide:ntfs | wide:exfat) reps=$repeats ;; esac
    local bad=0 first=
    for ((i = 1; i <= reps; i++)); do
        rm -rf "$base"
        "run_$front" "$t" "$base"
        runs=$((runs + 1))
        why=$run_error
        [ -n "$why" ] || why=$(tree_diff "$disc/$t" "$base")
        [ -z "$why" ] || { bad=$((bad + 1)); first=${first:-"copy $i: $why"}; }
    done
    [ "$reps" = 1 ] || first="$bad of $reps copies failed, the first: $first"
    [ "$bad" = 0 ] || { record "$1" "$t" $runs "FAIL $first"; return; }
    copy_ms=$run_ms
    before=$(snapshot "$base")
    "run_$front" "$t" "$base"
    runs=$((runs + 1))
    [ -z "$run_error" ] || { record "$1" "$t" $runs "FAIL rerun: $run_error"; return; }
    why=$(diff <(echo "$before") <(snapshot "$base") | grep '^>' | head -2 | tr '\n' ' ')
    [ -z "$why" ] || { record "$1" "$t" $runs "FAIL rerun changed $why"; return; }
    rm -rf "$base"
    "run_$front" "$t" "$base" $((copy_ms / 2))
    killed=$run_killed
    "run_$front" "$t" "$base"
    runs=$((runs + 2))
    [ -z "$run_error" ] || { record "$1" "$t" $runs "FAIL rerun after kill: $run_error"; return; }
    why=$(tree_diff "$disc/$t" "$base") || { record "$1" "$t" $runs "FAIL after kill and rerun: $why"; return; }
    rm -rf "$base"
    if [ "$killed" = 0 ]; then killed="the kill came after the end"; else killed="killed at $(secs "$killed")"; fi
    record "$1" "$t" $runs "ok: copy $(secs "$copy_ms")$([ "$reps" = 1 ] || echo " ($reps times)"), $killed"
}

# The small trees, one run each: a tree whose names the file system holds must copy whole
# (under Wine, whose drives refuse more than the file system below, the copy error naming
# one of them will do too), one with a name it refuses must end with the copy error.
check_small_trees() { # <label> <tree>
    local t bad=() names refused runs=0 held=0 errors=0 base why
    for t in $(cd "$disc/$2" && ls); do
        base=$dstroot/$2/$t
        mkdir -p "$dstroot/$2"
        mapfile -t names < <(cd "$disc/$2/$t" && ls -A)
        mapfile -t refused < <(refused_by "$dstroot" "$2/$t" all)
        runs=$((runs + 1))
        "run_$front" "$2/$t" "$base"
        if [ ${#refused[@]} -gt 0 ] || { [ "$front" = wine ] && [ -n "$run_error" ]; }; then
            why=$(refusal_problem "$2/$t" "$base" "${names[@]}")
            [ -n "$why" ] || errors=$((errors + 1))
        elif [ -n "$run_error" ]; then
            why="${names[*]@Q} held here: $run_error"
        else
            why=$(tree_diff "$disc/$2/$t" "$base") && held=$((held + 1))
            [ -z "$why" ] || why="${names[*]@Q}: $why"
        fi
        [ -z "$why" ] || bad+=("$why")
        rm -rf "$base"
    done
    rm -rf "${dstroot:?}/$2"
    if [ ${#bad[@]} -eq 0 ]; then
        record "$1" "$2" $runs "ok: $held copied, $errors ended with the copy error"
    else
        record "$1" "$2" $runs "FAIL ${#bad[@]} of $runs: $(printf '%s; ' "${bad[@]}")"
    fi
}

# ---------------------------------------------------------------------------------- Wine set-up

wine_ready=
wine_prefix=

start_wine() {
    [ -x /usr/lib/wine/wine64 ] || { wine_ready="wine64 is not installed"; return; }
    [ -f "$exe" ] || { wine_ready="no Windows build at $exe"; return; }
    command -v xdotool >/dev/null || { wine_ready="xdotool is not installed"; return; }
    start_display || { wine_ready="no virtual display"; return; }
    wine_prefix=${MATRIX_WINEPREFIX:-}
    if [ -z "$wine_prefix" ]; then
        # A prefix of its own, whose server keeps its socket below TMPDIR: in the scratch
        # folder, it goes with it.
        wine_prefix=$scratch/wine
        mkdir -p "$scratch/tmp"
        export TMPDIR=$scratch/tmp
    fi
    export WINEPREFIX=$wine_prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    if [ ! -d "$WINEPREFIX/drive_c" ]; then
        /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1
        /usr/lib/wine/wineserver -w
    fi
    [ -d "$WINEPREFIX/dosdevices" ] || { wine_ready="the Wine prefix could not be made"; return; }
    [ "$wine_prefix" != "$scratch/wine" ] || /usr/lib/wine/wineserver -p
    ln -sfn "$disc" "$WINEPREFIX/dosdevices/n:"
    wine_ready=yes
}

# The matrix's own prefix goes with every process of it; a prefix it was given keeps them.
stop_wine() {
    [ -n "$wine_prefix" ] || return 0
    rm -f "$wine_prefix/dosdevices/m:" "$wine_prefix/dosdevices/n:"
    if [ "$wine_prefix" = "$scratch/wine" ]; then
        WINEPREFIX=$wine_prefix /usr/lib/wine/wineserver -k 2>/dev/null
        WINEPREFIX=$wine_prefix /usr/lib/wine/wineserver -w 2>/dev/null
    fi
    wine_prefix=
}

# ------------------------------------------------------------------------------------ main loop

# The folder that holds the destinations: the right-to-left name, or where the file system
# refuses it (fusefat takes ASCII names only), a plain one, said in a row of its own.
make_dstroot() { # <label> <front>
    dstroot=$mnt/$2/$parent
    mkdir -p "$dstroot" 2>/dev/null && return
    record "$1" parent - "note: the file system refuses the name ${parent@Q}; below 'maps' instead"
    dstroot=$mnt/$2/maps
    mkdir -p "$dstroot"
}

# Why a tree is left out on this destination, if it is.
skip_reason() { # <front> <tree>
    case $small:$1:$kind:$2 in
    1:wine:*:wide) echo "at full size only (Wine makes files slowly in a big folder)" ;;
    1:wine:*:deep) echo "at full size only (Wine makes folders slowly; long paths are in names too)" ;;
    0:wine:ntfs:wide | 0:wine:exfat:wide) ;;
    0:wine:*:wide) echo "under Wine on NTFS and exFAT only (Wine makes files slowly in a big folder)" ;;
    *:fat:wide) echo "fusefat takes minutes for a folder of $wide_files files (cp -r too)" ;;
    esac
}

run_destination() { # <kind> <front ends...>
    kind=$1
    shift
    mnt=$scratch/dst-$kind
    local why f label t start=$SECONDS
    # (not in a subshell: the library keeps the list of what it mounted)
    mount_dest "$kind" "$mnt" "$image_mib" >/dev/null 2>"$scratch/mount.err"
    why=$(cat "$scratch/mount.err")
    for f in "$@"; do
        front=$f
        label=$kind
        [ "$f" = wine ] && label="$kind (Wine)"
        if [ -n "$why" ] || ! mountpoint -q "$mnt"; then
            record "$label" all - "skipped: ${why:-not mounted}"
            continue
        fi
        if [ "$f" = wine ]; then
            [ -n "$wine_ready" ] || start_wine
            [ "$wine_ready" = yes ] || { record "$label" all - "skipped: $wine_ready"; continue; }
            ln -sfn "$mnt" "$WINEPREFIX/dosdevices/m:"
        fi
        make_dstroot "$label" "$f"
        for t in $trees; do
            why=$(skip_reason "$f" "$t")
            if [ -n "$why" ]; then
                record "$label" "$t" - "skipped: $why"
            elif [ "$t" = refused ] || [ "$t" = case ]; then
                check_small_trees "$label" "$t"
            else
                check_tree "$label" "$t"
            fi
        done
        rm -rf "${mnt:?}/$f"
    done
    unmount_dest "$mnt"
    echo "    ($kind: $((SECONDS - start)) s)"
}

write_table() {
    local r
    {
        echo "| destination | tree | runs | result |"
        echo "|---|---|---|---|"
        for r in "${rows[@]}"; do
            r=${r//|/\\|}
            r=${r/\\|/ | }
            r=${r/\\|/ | }
            r=${r/\\|/ | }
            echo "| ${r//$'\n'/ } |"
        done
    } >"$out"
    echo "table written to $out"
}

cleanup() {
    [ -n "${run_pid:-}" ] && kill -9 "$run_pid" 2>/dev/null
    stop_wine
    stop_display
    unmount_all_dests
    mountpoint -q "$disc" && umount "$disc"
    # Nothing is removed from a file system still mounted below the scratch folder.
    findmnt -rn -o TARGET | grep -q "^$scratch/" && { echo "matrix.sh: left mounted below $scratch" >&2; return; }
    rm -rf "$scratch"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

[ "$(id -u)" = 0 ] || { echo "matrix.sh: skipped: mounting the destinations needs root"; exit 0; }
[ -x "$tool" ] || { echo "matrix.sh: no tool at $tool (build it, or pass --tool)" >&2; exit 2; }
echo "=== destination matrix: $wide_files files in one folder, $deep_levels levels deep"
make_disc || { echo "matrix.sh: no tmpfs for the source" >&2; exit 2; }
for k in $dest_kinds; do
    fronts=
    for d in $dests; do
        [ "$d" = "$k" ] && fronts="$fronts linux"
        [ "$d" = "wine:$k" ] && fronts="$fronts wine"
    done
    [ -n "$fronts" ] && run_destination "$k" $fronts
done
mkdir -p "$(dirname "$out")"
write_table
[ "$failed" = 0 ] && echo "matrix: every check passed" || { echo "matrix: $failed row(s) failed"; exit 1; }
