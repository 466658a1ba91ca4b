#!/usr/bin/env bash
# Every broken logbook or picture a pilot's machine can hold, tried with the real program
# on a private X server with a window manager: the general error box with a description
# that names the problem and the file, a non-zero exit status, no hang, and the logbook
# byte for byte as it was.
# Usage: badfiles.sh BIN_DIR SOURCE_DIR
BIN=$1
SRC=$2
source "$SRC/tests/e2e/lib.sh"
chmod 755 "$WORK" # the program runs as another user in the read-only cases

# A user who owns nothing here: as root, who may write anything, the program runs as
# nobody, so that a read-only file is read-only to it.
as_user=()
[ "$(id -u)" -eq 0 ] && as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)

# name, words the error must hold, seconds to wait for it, setup command [, the step that
# reaches the logbook after start: "newlog" opens the new-entry window]
check_broken() {
    local name=$1 mentions=$2 seconds=$3 setup=$4 step=${5:-}
    local dir; dir=$(install_copy "$name")
    (cd "$dir" && eval "$setup")
    local before=""
    [ -f "$dir/Wingtrail.dat" ] && before=$(sha256sum < "$dir/Wingtrail.dat")
    local runner=()
    [ "${AS_OTHER_USER:-}" = 1 ] && runner=("${as_user[@]}")
    "${runner[@]}" "$dir/wingtrail" 2>"$WORK/$name.err" & local pid=$!
    if [ "$step" = newlog ]; then
        if main=$(wait_window '^Wingtrail$'); then
            xdotool windowactivate --sync "$main" 2>/dev/null
            sleep 0.3
            click_in "$main" 76 128
        else
            fail "$name: no main window to open the new-entry window from"
        fi
    fi
    local box=""
    for _ in $(seq $((seconds * 10))); do
        grep -q "Run-time error '" "$WORK/$name.err" 2>/dev/null && break
        kill -0 $pid 2>/dev/null || break
        sleep 0.1
    done
    if grep -q "Run-time error '" "$WORK/$name.err"; then
        sleep 0.5
        xdotool key --clearmodifiers Return
    fi
    wait_exit $pid; local rc=$?
    [ $rc -ne 0 ] && [ $rc -ne 124 ] || fail "$name: exit status $rc"
    grep -q "Run-time error '" "$WORK/$name.err" || fail "$name: no run-time error reported"
    for word in $mentions; do
        word=${word//_/ }
        grep -q -F -- "$word" "$WORK/$name.err" || fail "$name: the error does not say '$word': $(cat "$WORK/$name.err")"
    done
    if [ -n "$before" ] && [ -f "$dir/Wingtrail.dat" ]; then
        [ "$before" = "$(sha256sum < "$dir/Wingtrail.dat")" ] || fail "$name: the logbook was changed"
    elif [ ! -d "$dir/Wingtrail.dat" ]; then
        [ ! -e "$dir/Wingtrail.dat" ] || fail "$name: the program created a logbook"
    fi
    chmod -R u+w "$dir" 2>/dev/null
    tried=$((tried + 1))
}
tried=0

db=Wingtrail.dat
img=images/Wingtrail.img
check_broken missing-logbook "Wingtrail.dat Could_not_find" 10 "rm $db"
check_broken empty-logbook "Wingtrail.dat empty" 10 ": > $db"
check_broken random-logbook "Wingtrail.dat not_a_logbook" 10 "head -c 8192 /dev/urandom > $db"
check_broken truncated-logbook "Wingtrail.dat truncated" 10 "sqlite3 $db \"INSERT INTO tblLog(departure) SELECT hex(randomblob(400)) FROM (WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x+1 FROM c WHERE x<200) SELECT x FROM c)\" && truncate -s 20480 $db"
check_broken folder-logbook "Wingtrail.dat not_a_file" 10 "rm $db && mkdir $db"
check_broken other-database "Wingtrail.dat tblLog" 10 "rm $db && sqlite3 $db 'CREATE TABLE flights (x)'" newlog
check_broken missing-column "cargo" 10 "rm $db && sqlite3 $db 'CREATE TABLE tblLog (logid INTEGER PRIMARY KEY, date, departure, timeDeparture, destination, timeArrival, nextday, flighttime, aircraft, airline, callsign, flightrule, pax, remarks, route)'" newlog
AS_OTHER_USER=1 check_broken read-only-logbook "Wingtrail.dat cannot_be_written" 10 "chmod 444 $db"
AS_OTHER_USER=1 check_broken read-only-folder "Wingtrail.dat cannot_be_written folder" 10 "chmod 666 $db && chmod 555 ."
# Another program in the middle of writing it, for longer than the program waits.
check_broken locked-logbook "Wingtrail.dat locked_by_another_program" 20 \
    "( (echo 'BEGIN EXCLUSIVE; INSERT INTO tblLog (departure) VALUES (1);'; sleep 25) | sqlite3 $db & ) ; sleep 0.5"
check_broken missing-picture "Wingtrail.img" 10 "rm $img"
check_broken empty-picture "Wingtrail.img" 10 ": > $img"
check_broken text-picture "Wingtrail.img Invalid_picture" 10 "echo 'not a picture' > $img"
pkill -f "sleep 25" 2>/dev/null

echo "$tried broken files tried"
finish bad-file
