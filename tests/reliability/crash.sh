#!/usr/bin/env bash
# A crash at any moment loses no saved flight and never locks the pilot out:
# 1. one Save, one edit and one delete are each killed at every write, sync, truncate and
#    delete the engine makes, in turn;
# 2. a driver that files, edits and deletes at random is killed at random moments.
# After every kill the program's start-up open must succeed on the file (and, now and
# then, the real program must start on it), the sqlite3 program must find a copy of the
# file and its journal intact, and every change reported before the kill must be there.
# Usage: crash.sh DRIVER BIN_DIR SOURCE_DIR [RANDOM_ROUNDS]
set -u
DRIVER=$1
BIN=$2
SRC=$3
ROUNDS=${4:-300}
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

base=$WORK/base
mkdir -p "$base"
"$BIN/wingtrail-createdb" "$base/Wingtrail.dat"
"$DRIVER" fill "$base" 50 >"$WORK/base.report" || { echo "cannot fill the logbook"; exit 1; }

# The real program on the folder: it starts (no run-time error within two seconds) or not.
program_starts() { # folder
    local dir=$1
    mkdir -p "$dir/images"
    cp "$BIN/wingtrail" "$dir/"
    cp "$SRC/resources/sample.png" "$dir/images/Wingtrail.img"
    QT_QPA_PLATFORM=offscreen timeout 2 "$dir/wingtrail" 2>"$dir/program.err"
    local rc=$?
    rm -rf "$dir/wingtrail" "$dir/images"
    ! grep -q "Run-time error" "$dir/program.err" && [ $rc -eq 124 ]
}

# 0. A Save is durable when it returns: the journal is synced before the logbook is first
#    written, the logbook is synced before the journal goes, and the journal's deletion,
#    which is the commit, is synced in the folder.
r=$WORK/order
cp -r "$base" "$r"
WT_VFS_LOG=$WORK/vfs.log "$DRIVER" save "$r" 1000 >/dev/null 2>&1 || fail "a plain Save failed"
db=$r/Wingtrail.dat
line() { grep -n -F "$1" "$WORK/vfs.log" | head -n "${2:-1}" | tail -n 1 | cut -d: -f1; }
journal_sync=$(line "sync $db-journal")
first_write=$(line "write $db ")
db_sync=$(line "sync $db ")
deleted=$(line "delete $db-journal syncdir")
if [ -z "$journal_sync" ] || [ -z "$first_write" ] || [ -z "$db_sync" ] || [ -z "$deleted" ] \
    || [ "$journal_sync" -gt "$first_write" ] || [ "$db_sync" -gt "$deleted" ]; then
    fail "a Save is not made durable in order: $(sed "s#$r/##" "$WORK/vfs.log" | tr '\n' ';')"
fi
[ "$(tail -n 1 "$WORK/vfs.log" | cut -d' ' -f1)" = delete ] || fail "the engine wrote after the commit"

# 1. Every engine call of one change, in turn.
kills=0
program_runs=0
for change in "save 1000" "save 1001" "edit 7 2000" "edit 10 2005" "delete 9"; do
    for op in write sync truncate delete; do
        for n in $(seq 1 60); do
            r=$WORK/r
            rm -rf "$r"
            cp -r "$base" "$r"
            set -- $change
            # In a shell of its own, which reports the kill to nowhere.
            rc=$( (WT_KILL_AT=$op:$n "$DRIVER" "$1" "$r" "${@:2}" >"$r/report" 2>"$r/err"; echo $?) 2>/dev/null)
            [ $rc -eq 0 ] && break           # this change makes fewer such calls
            [ $rc -eq 137 ] || { fail "$change, $op $n: the driver failed: $(cat "$r/err")"; break; }
            kills=$((kills + 1))
            what="$change, killed at $op $n"
            # The sqlite3 program on a copy of what the crash left (file and journal).
            c=$WORK/copy
            rm -rf "$c"
            cp -r "$r" "$c"
            [ "$(sqlite3 "$c/Wingtrail.dat" 'PRAGMA integrity_check')" = ok ] || fail "$what: sqlite3 finds the file damaged"
            # The real program, where the crash left a journal beside a file it had begun
            # to change: the case where a look at the file alone would find it damaged.
            if [ -e "$r/Wingtrail.dat-journal" ] && ! cmp -s "$r/Wingtrail.dat" "$base/Wingtrail.dat"; then
                program_runs=$((program_runs + 1))
                cp -r "$r" "$WORK/p"
                program_starts "$WORK/p" || fail "$what: the program does not start: $(cat "$WORK/p/program.err")"
                rm -rf "$WORK/p"
            fi
            "$DRIVER" open "$r" 2>"$r/open.err" || fail "$what: the start-up open fails: $(cat "$r/open.err")"
            cat "$WORK/base.report" "$r/report" >"$r/all"
            "$DRIVER" verify "$r" "$r/all" >"$r/verify" || fail "$what: $(cat "$r/verify")"
        done
    done
done
echo "killed one change at each of its engine calls: $kills kills, the program started $program_runs times"

# 2. Random moments.
r=$WORK/random
cp -r "$base" "$r"
cp "$WORK/base.report" "$WORK/all"
RANDOM=20261211
for i in $(seq 1 "$ROUNDS"); do
    "$DRIVER" churn "$r" "$i" >"$WORK/round" 2>"$WORK/round.err" &
    pid=$!
    sleep "0.$(printf '%03d' $((RANDOM % 300 + 20)))"
    kill -9 $pid 2>/dev/null
    wait $pid 2>/dev/null
    cat "$WORK/round" >>"$WORK/all"
    [ -z "$(tail -c 1 "$WORK/all")" ] || echo >>"$WORK/all" # a line the kill cut short stays apart
    "$DRIVER" open "$r" 2>"$WORK/open.err" || { fail "round $i: the start-up open fails: $(cat "$WORK/open.err")"; break; }
    "$DRIVER" verify "$r" "$WORK/all" >"$WORK/verify" || { fail "round $i: $(cat "$WORK/verify")"; break; }
done
echo "random kills: $ROUNDS rounds, $(grep -c '^saved' "$WORK/all") Saves, $(grep -c '^edited' "$WORK/all") edits, $(grep -c '^deleted' "$WORK/all") deletes reported; last check: $(tail -1 "$WORK/verify")"

[ $failures -eq 0 ] && echo "no flight lost"
exit $failures
