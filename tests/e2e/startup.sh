#!/usr/bin/env bash
# Starts the built program as a user would, on a private X server with a window manager:
# it comes up with its main window and ends from File > Exit; wingtrail-createdb makes an
# empty logbook and never touches one that exists. (Broken logbooks and pictures:
# tests/reliability/badfiles.sh.)
BIN=$1
SRC=$2
source "$(dirname "$0")/lib.sh"

# 1. A good folder: the main window comes up, File > Exit ends the program with status 0.
dir=$(install_copy good)
"$dir/wingtrail" 2>"$WORK/good.err" & pid=$!
if win=$(wait_window '^Wingtrail$'); then
    xdotool windowactivate --sync "$win" 2>/dev/null
    sleep 0.3
    xdotool key --clearmodifiers alt+f; sleep 0.3; xdotool key e
    wait_exit $pid; rc=$?
    [ $rc -eq 0 ] || fail "File > Exit ended the program with status $rc"
else
    fail "no main window titled Wingtrail"; kill $pid
fi
[ "$(ls "$dir")" = "$(printf 'Wingtrail.dat\nimages\nwingtrail')" ] || fail "the program left files behind: $(ls "$dir")"

# 2. wingtrail-createdb never touches what exists.
dir=$(install_copy createdb)
before=$(sha256sum < "$dir/Wingtrail.dat")
"$BIN/wingtrail-createdb" "$dir/Wingtrail.dat" 2>"$WORK/createdb.err" && fail "createdb overwrote an existing logbook"
grep -q "already exists" "$WORK/createdb.err" || fail "createdb gave no clear message: $(cat "$WORK/createdb.err")"
[ "$before" = "$(sha256sum < "$dir/Wingtrail.dat")" ] || fail "createdb changed an existing logbook"
[ "$(sqlite3 "$dir/Wingtrail.dat" 'SELECT count(*) FROM tblLog')" = 0 ] || fail "a new logbook is not empty"

finish start-up
