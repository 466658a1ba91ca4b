# Shared by the end-to-end checks: a private X server with a real window manager
# (openbox), a program folder of the test's own, and waiting for windows and exits.
# Sourced with BIN (the build's bin folder) and SRC (the source tree) set.
set -u
WORK=$(mktemp -d)
BUS_PIDS=
trap 'kill $BUS_PIDS $WM $XVFB 2>/dev/null; rm -rf "$WORK"' EXIT
unset QT_QPA_PLATFORM
# The server picks a free display itself and says which: checks that run side by side
# never share one.
Xvfb -displayfd 3 -screen 0 "${WT_XVFB_SCREEN:-1280x1024x24}" -nolisten tcp 3>"$WORK/display" >/dev/null 2>&1 & XVFB=$!
for _ in $(seq 300); do [ -s "$WORK/display" ] && break; sleep 0.1; done
export DISPLAY=:$(head -n 1 "$WORK/display")
for _ in $(seq 300); do xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done
# openbox owns the screen once it has set the supporting-WM-check window on the root. On a
# machine busy with other tests that can take a while (and a start can fail): wait, start it
# again if need be, and stop here if none comes up, since nothing here holds without it.
wm_up() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
WM=
for _ in 1 2 3; do
    [ -n "$WM" ] && kill "$WM" 2>/dev/null
    openbox >/dev/null 2>&1 & WM=$!
    for _ in $(seq 200); do wm_up && break; sleep 0.1; done
    wm_up && break
done
wm_up || { echo "FAIL: no window manager came up"; exit 1; }
# A session bus of this check's own with the accessibility bus on it, so that screen.py
# reads the program as a screen reader does. The program speaks to it once told to
# (QT_LINUX_ACCESSIBILITY_ALWAYS_ON): no desktop here switches accessibility on.
use_accessibility() {
    local addr
    # The accessibility bus's socket lies in the runtime folder: one of this check's own,
    # so that checks running side by side never meet on it.
    export XDG_RUNTIME_DIR=$WORK/runtime
    mkdir -p -m 700 "$XDG_RUNTIME_DIR"
    dbus-daemon --session --nofork --nopidfile --print-address=4 4>"$WORK/bus" >/dev/null 2>&1 & BUS_PIDS="$BUS_PIDS $!"
    for _ in $(seq 100); do [ -s "$WORK/bus" ] && break; sleep 0.1; done
    addr=$(head -n 1 "$WORK/bus")
    [ -n "$addr" ] || { echo "FAIL: no session bus came up"; exit 1; }
    export DBUS_SESSION_BUS_ADDRESS=$addr
    /usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 & BUS_PIDS="$BUS_PIDS $!"
    for _ in $(seq 100); do
        dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress >/dev/null 2>&1 && break
        sleep 0.1
    done
    export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_ACCESSIBILITY=1 NO_AT_BRIDGE=0
}
screen() { /usr/bin/python3 "$SRC/tests/e2e/screen.py" "$@"; }

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# A program folder of its own: the program looks for its files beside its executable.
install_copy() {
    local dir=$WORK/$1
    mkdir -p "$dir/images"
    cp "$BIN/wingtrail" "$dir/"
    "$BIN/wingtrail-createdb" "$dir/Wingtrail.dat"
    cp "$SRC/resources/sample.png" "$dir/images/Wingtrail.img"
    echo "$dir"
}

wait_window() { # name regex, tenths of a second -> the window's id
    for _ in $(seq "${2:-300}"); do
        xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1 | grep . && return 0
        sleep 0.1
    done
    return 1
}

wait_gone() { # window id, tenths of a second
    for _ in $(seq "${2:-300}"); do
        xdotool getwindowname "$1" >/dev/null 2>&1 || return 0
        xprop -id "$1" WM_STATE 2>/dev/null | grep -q 'Normal' || return 0
        sleep 0.1
    done
    return 1
}

wait_exit() { # pid -> exit status, or 124 after 30 s
    for _ in $(seq 300); do
        kill -0 "$1" 2>/dev/null || { wait "$1"; return $?; }
        sleep 0.1
    done
    kill "$1"; wait "$1" 2>/dev/null; return 124
}

# Clicks at a point given in pixels from the window's top-left corner (its client area).
click_in() { # window id, x, y
    xdotool mousemove --window "$1" "$2" "$3" click 1
    sleep 0.2
}

finish() {
    [ "$failures" -eq 0 ] && echo "all $1 checks passed"
    exit "$failures"
}
