#!/usr/bin/env bash
# A pilot's first session, from outside, as a keyboard user with a screen reader: files
# two flights by keyboard alone (the question answered Yes with Enter, then No with
# Escape), finds both in the overview, sorts by a header click, edits one, deletes one
# (refusing once with Escape), and opens About through its menu mnemonics. What is
# checked is what the screen reader hears and what the file holds, read with sqlite3.
BIN=$1
SRC=$2
source "$(dirname "$0")/lib.sh"
use_accessibility

NEW='Wingtrail - New Log File'
OVERVIEW='Wingtrail - Logbook overview'
EDIT='Wingtrail - Edit Logbook'

# Waits until the screen reader hears the focus on "role|name" in the window titled $1.
wait_focus() { # title, role|name, what the step was
    local now=
    for _ in $(seq 40); do
        now=$(screen focus "$1" 2>/dev/null)
        [ "$now" = "$2" ] && return 0
        sleep 0.25
    done
    fail "$3: the focus is on '$now', not on '$2'"
    return 1
}
keys() { xdotool key --clearmodifiers --delay 60 "$@"; sleep 0.2; }
typed() { xdotool type --clearmodifiers --delay 40 "$1"; sleep 0.1; }
sql() { sqlite3 -separator '|' "$dir/Wingtrail.dat" "$1"; }

# One flight, field by field in tab order, starting with the focus on the banner.
file_flight() { # date digits DDMMYYYY, from, to, departure, arrival, next day (0/1), flight time, aircraft, airline, callsign, rule, pax, cargo, remarks, route
    keys Tab; typed "$1"
    keys Tab; typed "$2"; keys Tab; typed "$3"
    keys Tab; typed "$4"; keys Tab; typed "$5"
    keys Tab; [ "$6" = 1 ] && keys space
    keys Tab; typed "$7"
    keys Tab; typed "$8"; keys Tab; typed "$9"
    keys Tab; typed "${10}"; keys Tab; typed "${11}"
    keys Tab; typed "${12}"; keys Tab; typed "${13}"
    keys Tab; typed "${14}"; keys Tab; typed "${15}"
    keys Tab
    wait_focus "$NEW" 'push button|Save' "Tab from the route"
}

dir=$(install_copy pilot)
"$dir/wingtrail" 2>"$WORK/pilot.err" & pid=$!
main=$(wait_window '^Wingtrail$') || { fail "no main window"; finish logbook; }
xdotool windowactivate --sync "$main" 2>/dev/null
wait_focus Wingtrail 'push button|File new Log' "start-up"

# 1. Two flights by keyboard: Space presses "File new Log"; the window opens on the banner.
keys space
new=$(wait_window "^$NEW\$") || { fail "File new Log opened no window"; finish logbook; }
wait_focus "$NEW" 'image|Wingtrail banner' "the new-entry window's first focus"
file_flight 15062026 EDDF LFPG 08:15 09:40 0 '1,5' A320 Lufthansa DLH123 IFR 150 2000 'Smooth ride' 'DCT'
keys space
wait_focus Wingtrail 'push button|Yes' "the question after the first Save"
screen dump Wingtrail > "$WORK/question.txt"
grep -q '^alert|Wingtrail|' "$WORK/question.txt" || fail "the question is not an alert titled Wingtrail: $(cat "$WORK/question.txt")"
grep -q '^label|Log File save\\nFile another log?|' "$WORK/question.txt" || fail "the question does not read 'Log File save' / 'File another log?': $(cat "$WORK/question.txt")"
grep -q '^push button|Yes|.*is default' "$WORK/question.txt" || fail "Yes is not the question's default button"
keys Return # Yes: a fresh record in the same window
wait_focus "$NEW" 'push button|Save' "after Yes"
[ "$(sql 'SELECT count(*) FROM tblLog')" = 1 ] || fail "after the first Save the file holds $(sql 'SELECT count(*) FROM tblLog') entries"
screen dump "$NEW" | grep -q '^text|From||' || fail "after Yes the From box is not empty"
keys Tab Tab # from Save round to the date picker, past the banner
wait_focus "$NEW" 'spin button|Date' "Tab from Save"
keys shift+Tab
file_flight 01072026 LFPG KJFK 22:10 01:05 1 '8.9' B777 'Air France' AFR006 SVFR 310 12000 'Night over the Atlantic' 'NATS TRACK A'
keys space
wait_focus Wingtrail 'push button|Yes' "the question after the second Save"
keys Escape # No: the window closes
wait_gone "$new" || fail "Escape in the question did not close the new-entry window"
wait_focus Wingtrail 'push button|File new Log' "back in the main window"

want1='1|2026-06-15|EDDF|08:15|LFPG|09:40|0|1.5|A320|Lufthansa|DLH123|IFR|150|2000|Smooth ride|DCT'
want2='2|2026-07-01|LFPG|22:10|KJFK|01:05|1|8.9|B777|Air France|AFR006|SVFR|310|12000|Night over the Atlantic|NATS TRACK A'
got=$(sql 'SELECT * FROM tblLog ORDER BY logid')
[ "$got" = "$(printf '%s\n%s' "$want1" "$want2")" ] || fail "the file holds:
$got
not:
$want1
$want2"

# 2. The overview shows both, as the screen reader reads its table.
keys Tab space # View Logbook
overview=$(wait_window "^$OVERVIEW\$") || { fail "View Logbook opened no window"; finish logbook; }
screen table "$OVERVIEW" > "$WORK/table.txt"
header='Nr.|Date|From|Destination|Departure time|Arrival Time|Aircraft|Airline|Callsign|Flightrule|Passengers|Cargo|Remarks|Route'
row1='1|15-06-2026|EDDF|LFPG|08:15|09:40|A320|Lufthansa|DLH123|IFR|150|2000 lbs|Smooth ride|DCT'
row2='2|01-07-2026|LFPG|KJFK|22:10|01:05+1|B777|Air France|AFR006|SVFR|310|12000 lbs|Night over the Atlantic|NATS TRACK A'
[ "$(cat "$WORK/table.txt")" = "$(printf '%s\n%s\n%s' "$header" "$row1" "$row2")" ] \
    || fail "the overview reads:
$(cat "$WORK/table.txt")"

# 3. A click on the "From" header sorts descending; a second click ascending.
order() { screen table "$OVERVIEW" | sed 1d | cut -d'|' -f1 | tr '\n' ' '; }
# The "From" header: the list starts 8 px in, after Nr. (60 px) and Date (96 px).
from_header_x=$((8 + 60 + 96 + 30))
click_in "$overview" $from_header_x 122
[ "$(order)" = "2 1 " ] || fail "one click on From gives the order $(order), not 2 1 (LFPG before EDDF)"
click_in "$overview" $from_header_x 122
[ "$(order)" = "1 2 " ] || fail "a second click on From gives the order $(order), not 1 2"
# The same by keyboard: Tab from the rows to the header, Right twice to "From", Space.
click_in "$overview" 60 150
keys Tab Right Right space
[ "$(order)" = "2 1 " ] || fail "Space on the From header gives the order $(order), not 2 1"
keys Return
[ "$(order)" = "1 2 " ] || fail "Enter on the From header gives the order $(order), not 1 2"
# And as a screen reader does it: the list is a table whose headers press.
screen dump "$OVERVIEW" | grep -q '^table|Logbook Overview|' || fail "the list is not heard as a table: $(screen dump "$OVERVIEW" | grep 'Logbook Overview')"
screen do "$OVERVIEW" 'table column header' From Press
[ "$(order)" = "2 1 " ] || fail "pressing the From header over the accessibility bus gives the order $(order), not 2 1"
screen do "$OVERVIEW" 'table column header' From Press
[ "$(order)" = "1 2 " ] || fail "pressing the From header again gives the order $(order), not 1 2"

# 4. Edit the first entry by keyboard: select it, Tab to Edit, change the aircraft, Save, Yes.
click_in "$overview" 60 150
keys Home
for _ in 1 2 3; do
    [ "$(screen focus "$OVERVIEW" 2>/dev/null)" = 'push button|Edit' ] && break
    keys Tab
done
wait_focus "$OVERVIEW" 'push button|Edit' "Tab from the list"
keys space
edit=$(wait_window "^$EDIT\$") || { fail "Edit opened no window"; finish logbook; }
screen dump "$EDIT" > "$WORK/edit.txt"
grep -q '^text|Airline|Lufthansa|' "$WORK/edit.txt" || fail "the edit window does not show the first entry's airline"
# The flight rule is heard by its name, its field too, whatever it holds.
grep -q '^combo box|Flightrule|' "$WORK/edit.txt" || fail "the flight rule box is not heard as 'Flightrule': $(grep '^combo' "$WORK/edit.txt")"
grep -q '^text|Flightrule|IFR|' "$WORK/edit.txt" || fail "the flight rule's field is not named: $(grep -A4 '^combo' "$WORK/edit.txt")"
for _ in $(seq 8); do keys Tab; done # banner, date, from, to, dep, arr, +1, flight time, aircraft
wait_focus "$EDIT" 'text|Aircraft' "eight Tabs into the edit window"
keys ctrl+a; typed A321
for _ in $(seq 8); do keys Tab; done
wait_focus "$EDIT" 'push button|Save' "Tab to Save"
keys space
wait_focus Wingtrail 'push button|Yes' "the question after Save in the edit window"
keys Return # Yes: leave the edit window
wait_gone "$edit" || fail "Yes did not close the edit window"
[ "$(sql 'SELECT aircraft FROM tblLog WHERE logid = 1')" = A321 ] || fail "the edit did not reach the file: $(sql 'SELECT aircraft FROM tblLog WHERE logid = 1')"
screen table "$OVERVIEW" | grep -q '^1|15-06-2026|EDDF|LFPG|08:15|09:40|A321|' || fail "the overview does not show the edited aircraft"

# 5. Delete the second entry: Escape refuses, Enter confirms.
click_in "$overview" 60 150
keys Home Down
for _ in 1 2 3 4; do
    [ "$(screen focus "$OVERVIEW" 2>/dev/null)" = 'push button|Delete' ] && break
    keys Tab
done
wait_focus "$OVERVIEW" 'push button|Delete' "Tab to Delete"
keys space
wait_focus Wingtrail 'push button|Yes' "the delete question"
keys Escape
wait_focus "$OVERVIEW" 'push button|Delete' "after No"
[ "$(sql 'SELECT count(*) FROM tblLog')" = 2 ] || fail "No to 'Delete record?' deleted something"
keys space
wait_focus Wingtrail 'push button|Yes' "the delete question, again"
keys Return
for _ in $(seq 20); do [ "$(sql 'SELECT count(*) FROM tblLog')" = 1 ] && break; sleep 0.25; done
[ "$(sql 'SELECT logid FROM tblLog')" = 1 ] || fail "Yes to 'Delete record?' left: $(sql 'SELECT logid FROM tblLog')"
[ "$(screen table "$OVERVIEW" | sed 1d | cut -d'|' -f1)" = 1 ] || fail "the overview after the delete: $(screen table "$OVERVIEW")"
close_to_main() { xdotool key --clearmodifiers alt+F4; wait_gone "$1" || fail "window $1 did not close"; }
close_to_main "$overview"
wait_focus Wingtrail 'push button|File new Log' "after the overview closed"

# 6. About by its mnemonics: Alt+H, then A.
keys alt+h; keys a
about=$(wait_window '^About Wingtrail$') || { fail "Alt+H A opened no About window"; finish logbook; }
screen dump 'About Wingtrail' | grep -q '^label|Version 1.0.0|' || fail "About does not say Version 1.0.0"
keys Escape
wait_gone "$about" || fail "Escape did not close About"
wait_focus Wingtrail 'push button|File new Log' "after About closed"

# 7. File > Exit by its mnemonics ends the program.
keys alt+f; keys e
wait_exit $pid || fail "File > Exit did not end the program cleanly: $(cat "$WORK/pilot.err")"
finish logbook
