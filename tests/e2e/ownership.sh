#!/usr/bin/env bash
# Each owned window belongs to its owner in the window manager's eyes, as a user sees
# it under openbox: the new-entry and overview windows are transient for the main window
# and the edit window for the overview, all three modal, still offering minimize,
# maximize and resize, with the program's icon.
BIN=$1
SRC=$2
source "$(dirname "$0")/lib.sh"

hex() { printf '0x%x' "$1"; }

check_owned() { # what, window id, owner's window id
    local what=$1 win=$2 owner=$3
    local transient; transient=$(xprop -id "$win" WM_TRANSIENT_FOR 2>/dev/null)
    [[ "$transient" == *"# $(hex "$owner")" ]] || fail "$what: WM_TRANSIENT_FOR is '$transient', not the owner $(hex "$owner")"
    xprop -id "$win" _NET_WM_STATE | grep -q _NET_WM_STATE_MODAL || fail "$what: not modal"
    local actions; actions=$(xprop -id "$win" _NET_WM_ALLOWED_ACTIONS)
    for a in MINIMIZE MAXIMIZE_HORZ MAXIMIZE_VERT RESIZE CLOSE; do
        [[ "$actions" == *"_NET_WM_ACTION_$a"* ]] || fail "$what: the window manager does not offer $a ($actions)"
    done
    xprop -id "$win" _NET_WM_ICON | grep -q 'Icon' || fail "$what: no icon"
    # On the screen with its caption: the client area starts below the screen's top edge.
    local y; y=$(xwininfo -id "$win" | sed -n 's/.*Absolute upper-left Y: *//p')
    [ "${y:-0}" -ge 15 ] || fail "$what: its caption is off the screen (client at y=$y)"
}

close_window() { # window id
    xdotool windowactivate --sync "$1" 2>/dev/null
    sleep 0.2
    xdotool key --clearmodifiers alt+F4
    wait_gone "$1" || fail "window $1 did not close"
}

dir=$(install_copy owned)
sqlite3 "$dir/Wingtrail.dat" "INSERT INTO tblLog (date, departure, destination) VALUES ('2026-12-01', 'EDDF', 'LFPG')"
"$dir/wingtrail" 2>"$WORK/owned.err" & pid=$!
main=$(wait_window '^Wingtrail$') || { fail "no main window"; finish ownership; }
xdotool windowactivate --sync "$main" 2>/dev/null
sleep 0.3
[ -z "$(xprop -id "$main" WM_TRANSIENT_FOR | grep 'window id')" ] || fail "the main window is owned by another window"

# The main window's buttons, in pixels from its top-left corner (below the menu bar).
click_in "$main" 76 128
if new=$(wait_window '^Wingtrail - New Log File$'); then
    check_owned "new-entry window" "$new" "$main"
    close_window "$new"
else
    fail "File new Log opened no window"
fi

click_in "$main" 76 240
if overview=$(wait_window '^Wingtrail - Logbook overview$'); then
    check_owned "overview window" "$overview" "$main"
    # Into the list, its first row, then Edit.
    click_in "$overview" 60 250
    xdotool key --clearmodifiers Home
    sleep 0.2
    click_in "$overview" 48 484
    if edit=$(wait_window '^Wingtrail - Edit Logbook$'); then
        check_owned "edit window" "$edit" "$overview"
        close_window "$edit"
    else
        fail "Edit opened no window"
    fi
    close_window "$overview"
else
    fail "View Logbook opened no window"
fi

close_window "$main"
wait_exit $pid || fail "the program did not end cleanly: $(cat "$WORK/owned.err")"
finish ownership
