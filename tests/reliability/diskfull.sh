#!/usr/bin/env bash
# The disk fills up during a Save: a clear error that says so, the rows saved before it
# intact, the file sound, and the program still starts on it. The disk is a small
# file system of the test's own (tmpfs in a mount namespace of its own).
# Usage: diskfull.sh DRIVER BIN_DIR
set -u
DRIVER=$1
BIN=$2
if [ "${WT_IN_NAMESPACE:-}" != 1 ]; then
    if ! unshare -m true 2>/dev/null; then
        echo "SKIP: cannot make a mount namespace here (unshare -m), so no small disk to fill"
        exit 0
    fi
    WT_IN_NAMESPACE=1 exec unshare -m bash "$0" "$@"
fi
WORK=$(mktemp -d)
trap 'umount "$WORK/disk" 2>/dev/null; rm -rf "$WORK"' EXIT
mkdir "$WORK/disk"
mount -t tmpfs -o size=384k tmpfs "$WORK/disk" || { echo "SKIP: cannot mount a small disk"; exit 0; }
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

"$BIN/wingtrail-createdb" "$WORK/disk/Wingtrail.dat" || { echo "cannot make the logbook"; exit 1; }
"$DRIVER" fill "$WORK/disk" 100000 >"$WORK/report" 2>"$WORK/err"
rc=$?
saved=$(grep -c '^saved' "$WORK/report")
[ $rc -eq 1 ] || fail "filing until the disk is full ended with status $rc: $(cat "$WORK/err")"
grep -q "is full" "$WORK/err" || fail "the error does not say the disk is full: $(cat "$WORK/err")"
grep -q "$WORK/disk/Wingtrail.dat" "$WORK/err" || fail "the error does not name the logbook: $(cat "$WORK/err")"
[ "$saved" -gt 10 ] || fail "only $saved entries fitted: the disk filled too early to say anything"
"$DRIVER" open "$WORK/disk" 2>"$WORK/open.err" || fail "the start-up open fails on a full disk: $(cat "$WORK/open.err")"
"$DRIVER" verify "$WORK/disk" "$WORK/report" >"$WORK/verify" || fail "$(cat "$WORK/verify")"
[ -e "$WORK/disk/Wingtrail.dat-journal" ] && fail "a journal was left behind"
# Room again: the next Save goes through.
cp "$WORK/err" "$WORK/full.err"
mount -o remount,size=2m "$WORK/disk"
"$DRIVER" save "$WORK/disk" 999999 >>"$WORK/report" 2>"$WORK/err" || fail "no Save once there is room: $(cat "$WORK/err")"
"$DRIVER" verify "$WORK/disk" "$WORK/report" >"$WORK/verify" || fail "$(cat "$WORK/verify")"
echo "disk full after $saved Saves: $(head -1 "$WORK/full.err"); then $(tail -1 "$WORK/verify")"
exit $failures
