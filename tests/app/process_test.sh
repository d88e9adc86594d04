#!/usr/bin/env bash
# The real program against the process around it: a reader that goes away, closed standard
# descriptors, and the signals that stop it. Usage: process_test.sh <lumbrake-cd>
set -u
tool=$1
work=$(mktemp -d /tmp/lumbrake-process.XXXXXX)
trap 'rm -rf "$work"' EXIT
. "$(dirname "$0")/../disc_tree.sh"

files=1500
make_disc "$work" $files
run() { LUMBRAKE_UI=tty "$tool" "/src=$src" "/dst=$work/$1" "/drm=$drm"; }

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
