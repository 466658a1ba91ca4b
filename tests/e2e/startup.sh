#!/usr/bin/env bash
# Starts the built program as a user would, on a private X server with a window manager:
# it comes up with its main window and ends from File > Exit; and each broken logbook or
# picture stops it at start with the general error box, a non-zero exit status and the
# logbook file left byte for byte as it was.
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

# 2. Broken start-up files: the error box, then a non-zero exit; the logbook untouched.
check_broken() { # name, setup command
    local name=$1; shift
    local dir; dir=$(install_copy "$name")
    (cd "$dir" && eval "$*")
    local before=""
    [ -f "$dir/Wingtrail.dat" ] && before=$(sha256sum < "$dir/Wingtrail.dat")
    "$dir/wingtrail" 2>"$WORK/$name.err" & local pid=$!
    if wait_window '^Wingtrail$' >/dev/null; then
        sleep 0.3
        xdotool key --clearmodifiers Return
    fi
    wait_exit $pid; local rc=$?
    [ $rc -ne 0 ] && [ $rc -ne 124 ] || fail "$name: exit status $rc"
    grep -q "Run-time error '" "$WORK/$name.err" || fail "$name: no run-time error reported"
    if [ -n "$before" ]; then
        [ "$before" = "$(sha256sum < "$dir/Wingtrail.dat")" ] || fail "$name: the logbook was changed"
    else
        [ ! -e "$dir/Wingtrail.dat" ] || fail "$name: the program created a logbook"
    fi
}
check_broken missing-logbook 'rm Wingtrail.dat'
check_broken random-logbook 'head -c 8192 /dev/urandom > Wingtrail.dat'
check_broken empty-logbook ': > Wingtrail.dat'
check_broken truncated-logbook 'sqlite3 Wingtrail.dat "INSERT INTO tblLog(departure) SELECT hex(randomblob(400)) FROM (WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x+1 FROM c WHERE x<200) SELECT x FROM c)" && truncate -s 20480 Wingtrail.dat'
check_broken missing-picture 'rm images/Wingtrail.img'
check_broken text-picture 'echo "not a picture" > images/Wingtrail.img'

# 3. wingtrail-createdb never touches what exists.
dir=$(install_copy createdb)
before=$(sha256sum < "$dir/Wingtrail.dat")
"$BIN/wingtrail-createdb" "$dir/Wingtrail.dat" 2>"$WORK/createdb.err" && fail "createdb overwrote an existing logbook"
grep -q "already exists" "$WORK/createdb.err" || fail "createdb gave no clear message: $(cat "$WORK/createdb.err")"
[ "$before" = "$(sha256sum < "$dir/Wingtrail.dat")" ] || fail "createdb changed an existing logbook"
[ "$(sqlite3 "$dir/Wingtrail.dat" 'SELECT count(*) FROM tblLog')" = 0 ] || fail "a new logbook is not empty"

finish start-up
