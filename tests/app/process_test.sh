#!/usr/bin/env bash
# The real program against the process around it: its help and version, its exit codes, a
# reader that goes away, closed standard descriptors, and the signals that stop it.
# Usage: process_test.sh <lumbrake-cd> <version>
set -u
tool=$1 version=$2
work=$(mktemp -d /tmp/lumbrake-process.XXXXXX)
trap 'rm -rf "$work"' EXIT
. "$(dirname "$0")/../disc_tree.sh"

files=1500
make_disc "$work" $files

# Help and version: only as the one argument, on standard output, without any display.
for arg in --help -h; do
    out=$(DISPLAY=:999 WAYLAND_DISPLAY=none "$tool" $arg 2>&1)
    rc=$?
    [ "$rc" = 0 ] && [[ $out == "Usage: lumbrake-cd /src="* ]] || fail "$arg: exit $rc: $out"
    for word in /dst= /drm= "Example" "Exit codes" LUMBRAKE_UI; do
        grep -qF -- "$word" <<<"$out" || fail "$arg: no $word in the usage text"
    done
done
out=$(DISPLAY=:999 "$tool" --version 2>/dev/null)
rc=$?
[ "$rc" = 0 ] && [ "$out" = "lumbrake-cd $version" ] || fail "--version: exit $rc: $out"
# Anything else is the copy's command line: a parameter error, code 2.
LUMBRAKE_UI=tty "$tool" --help "/dst=$work/x" >/dev/null 2>"$work/help.err"
rc=$?
[ "$rc" = 2 ] && grep -q "Error parameters: err=" "$work/help.err" || fail "--help and more: exit $rc"

# A copy that ends with an error: code 1. A folder to copy that is not there: nothing copied,
# code 0, and one line that names the folder and how it was formed.
run() { LUMBRAKE_UI=tty "$tool" "/src=$src" "/dst=$work/$1" "/drm=$drm"; }
run no/dst >/dev/null 2>"$work/error.err"
rc=$?
[ "$rc" = 1 ] && grep -q "^Error: Error creating folder:" "$work/error.err" || fail "copy error: exit $rc"
LUMBRAKE_UI=tty "$tool" "/src=$src" "/dst=$work/none" "/drm=$drm/none" >/dev/null 2>"$work/none.err"
rc=$?
root=$(findmnt -n -o TARGET -T "$work")
want="Nothing to copy: ${root%/}/$drm/none does not exist (the drive root of /src=, \"${root%/}/\", followed by /drm=$drm/none)"
[ "$rc" = 0 ] && [ "$(cat "$work/none.err")" = "$want" ] || fail "missing source: exit $rc: $(cat "$work/none.err")"

# Nobody reads the output after its first byte: the copy still completes.
run pipe | head -c 1 >/dev/null
rc=${PIPESTATUS[0]}
[ "$rc" = 0 ] && [ "$(count pipe)" = $files ] || fail "closed output: exit $rc, $(count pipe) files"

# Started with no standard descriptors: nothing the program opens takes their place.
run closed <&- >&- 2>&-
rc=$?
[ "$rc" = 0 ] && [ "$(count closed)" = $files ] || fail "closed descriptors: exit $rc"
grep -rqs "Copying" "$work/closed" && fail "terminal output landed in a copied file"

# A signal once the copy shows progress: it stops early and ends with the signal's code
# (Ctrl-C is the Cancel button: 0). A large sparse file keeps the copy going for seconds
# however fast the machine, so the signal always lands mid-copy.
truncate -s 4G "$work/disc/MAPS/big"
files=$((files + 1))
for case in TERM:143 HUP:129 INT:0; do
    sig=${case%:*} want=${case#*:}
    LUMBRAKE_UI=tty "$tool" "/src=$src" "/dst=$work/$sig" "/drm=$drm" \
        >"$work/$sig.log" 2>&1 &
    pid=$!
    for _ in $(seq 1 400); do
        grep -qs "Copying file" "$work/$sig.log" && break
        sleep 0.025
    done
    kill -"$sig" $pid
    wait $pid
    rc=$?
    n=$(count "$sig")
    [ "$rc" = "$want" ] || fail "SIG$sig: exit $rc, expected $want"
    [ "$n" -lt $files ] || fail "SIG$sig: the copy was not stopped ($n files)"
    echo "SIG$sig: exit $rc after $n of $files files"
done
echo "process checks passed"
