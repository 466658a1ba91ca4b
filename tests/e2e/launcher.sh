#!/usr/bin/env bash
# The installed program as a user meets it: `cmake --install` into a prefix of the test's
# own, then the launcher bin/wingtrail with a data folder of the test's own. Its first start
# makes the user's program folder; later starts never replace the logbook or the picture,
# renew a stale copy of the program, and every failure says what went wrong.
BUILD=$1
SRC=$2
BIN=$BUILD/bin
source "$(dirname "$0")/lib.sh"

PREFIX=$WORK/prefix
cmake --install "$BUILD" --prefix "$PREFIX" >"$WORK/install.log" 2>&1 || { cat "$WORK/install.log"; fail "cmake --install failed"; finish launcher; }
LAUNCHER=$PREFIX/bin/wingtrail
PROGRAM=$PREFIX/lib/wingtrail/wingtrail
SAMPLE=$PREFIX/share/wingtrail/sample.png
ENTRY=$(ls "$PREFIX"/share/applications/*.desktop)

# 1. The installed tree: the launcher, the program in a folder of its own, the desktop
#    files the validators accept, icons of every size on a transparent ground.
for f in "$LAUNCHER" "$PREFIX/bin/wingtrail-createdb" "$PREFIX/bin/wingtrail-logbook" "$PROGRAM"; do
    [ -x "$f" ] || fail "not installed as a program: ${f#"$PREFIX"/}"
done
head -n 1 "$LAUNCHER" | grep -qx '#!/bin/sh' || fail "the launcher is not a POSIX sh script"
for f in "$SAMPLE" "$PREFIX"/share/man/man1/wingtrail.1 "$PREFIX"/share/man/man1/wingtrail-createdb.1 \
         "$PREFIX"/share/doc/wingtrail/copyright "$PREFIX"/share/icons/hicolor/scalable/apps/*.svg; do
    [ -s "$f" ] || fail "not installed: ${f#"$PREFIX"/}"
done
desktop-file-validate "$ENTRY" || fail "the desktop entry does not validate"
icon=$(sed -n 's/^Icon=//p' "$ENTRY")
[ -s "$PREFIX/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "the desktop entry names an icon '$icon' that is not installed"
grep -q "<launchable type=\"desktop-id\">${ENTRY##*/}</launchable>" "$PREFIX"/share/metainfo/*.metainfo.xml \
    || fail "the metainfo does not launch the installed desktop entry ${ENTRY##*/}"
appstreamcli validate --no-net "$PREFIX"/share/metainfo/*.metainfo.xml >"$WORK/appstream.log" 2>&1 \
    || { cat "$WORK/appstream.log"; fail "the metainfo does not validate"; }
for size in 16 22 24 32 48 64 128 256; do
    png=$(ls "$PREFIX"/share/icons/hicolor/${size}x${size}/apps/*.png 2>/dev/null)
    got=$(identify -format '%w %h %A %[fx:p{0,0}.a]' "$png" 2>/dev/null)
    [[ "$got" == "$size $size "[Bb]lend" 0" || "$got" == "$size $size True 0" ]] \
        || fail "the ${size}px icon is not $size x $size with a transparent corner: '$got'"
done

# Starts the launcher with the environment given, waits for the main window, checks that the
# desktop entry's StartupWMClass names it, and ends the program by File > Exit.
start_and_exit() { # what, env assignments...
    local what=$1; shift
    env "$@" "$LAUNCHER" 2>"$WORK/launch.err" & local pid=$!
    local win
    if ! win=$(wait_window '^Wingtrail$'); then
        fail "$what: no main window ($(cat "$WORK/launch.err"))"; kill $pid 2>/dev/null; wait $pid 2>/dev/null; return
    fi
    local class; class=$(sed -n 's/^StartupWMClass=//p' "$ENTRY")
    xprop -id "$win" WM_CLASS | grep -q "\"$class\"" || fail "$what: WM_CLASS $(xprop -id "$win" WM_CLASS) does not name $class"
    xdotool windowactivate --sync "$win" 2>/dev/null; sleep 0.3
    xdotool key --clearmodifiers alt+f; sleep 0.3; xdotool key e
    wait_exit $pid; local rc=$?
    [ $rc -eq 0 ] || fail "$what: ended with status $rc"
}
same() { cmp -s "$1" "$2"; }

# 2. First start: the program folder is made with a copy of the program, an empty logbook
#    and the sample picture.
DATA=$WORK/data
FOLDER=$DATA/wingtrail
start_and_exit "first start" XDG_DATA_HOME="$DATA" HOME="$WORK/home"
same "$PROGRAM" "$FOLDER/wingtrail" || fail "first start: the program folder holds no copy of the program"
[ "$(sqlite3 "$FOLDER/Wingtrail.dat" 'SELECT count(*) FROM tblLog' 2>&1)" = 0 ] || fail "first start: no empty logbook"
same "$SAMPLE" "$FOLDER/images/Wingtrail.img" || fail "first start: the sample picture is not in images/"
[ "$(ls -A "$FOLDER")" = "$(printf 'Wingtrail.dat\nimages\nwingtrail')" ] || fail "first start left other files: $(ls -A "$FOLDER")"
[ ! -e "$WORK/home" ] || fail "first start wrote under HOME although XDG_DATA_HOME was set"

# 3. A later start keeps the user's flights and picture, and renews a copy of the program
#    that is not the installed one (here an older file that would not even open a window).
sqlite3 "$FOLDER/Wingtrail.dat" "INSERT INTO tblLog (departure, destination) VALUES ('EHAM', 'EGLL')"
cp "$SRC/resources/banner@2x.png" "$FOLDER/images/Wingtrail.img"
logbook=$(sha256sum < "$FOLDER/Wingtrail.dat"); picture=$(sha256sum < "$FOLDER/images/Wingtrail.img")
cp "$BIN/wingtrail-createdb" "$FOLDER/wingtrail"; touch -d '2 days ago' "$FOLDER/wingtrail"
start_and_exit "later start" XDG_DATA_HOME="$DATA"
[ "$logbook" = "$(sha256sum < "$FOLDER/Wingtrail.dat")" ] || fail "later start: the logbook changed"
[ "$(sqlite3 "$FOLDER/Wingtrail.dat" 'SELECT departure FROM tblLog')" = EHAM ] || fail "later start: the flight is gone"
[ "$picture" = "$(sha256sum < "$FOLDER/images/Wingtrail.img")" ] || fail "later start: the picture was replaced"
same "$PROGRAM" "$FOLDER/wingtrail" || fail "later start: the stale copy of the program was not renewed"

# 4. Without an absolute XDG_DATA_HOME the folder is ~/.local/share/wingtrail; the launcher
#    started through a symbolic link (as from another bin folder) finds its installed files;
#    a logbook that is a link to a file elsewhere stays that link.
mkdir -p "$WORK/links" "$WORK/elsewhere" "$WORK/home2/.local/share/wingtrail"
"$BIN/wingtrail-createdb" "$WORK/elsewhere/moved.dat"
ln -s "$WORK/elsewhere/moved.dat" "$WORK/home2/.local/share/wingtrail/Wingtrail.dat"
ln -s "$LAUNCHER" "$WORK/links/wingtrail"
LAUNCHER_REAL=$LAUNCHER; LAUNCHER=$WORK/links/wingtrail
for xdg in "" "relative/data"; do
    start_and_exit "XDG_DATA_HOME='$xdg'" HOME="$WORK/home2" XDG_DATA_HOME="$xdg"
done
LAUNCHER=$LAUNCHER_REAL
home_folder=$WORK/home2/.local/share/wingtrail
[ -L "$home_folder/Wingtrail.dat" ] || fail "a linked logbook was replaced by a file"
same "$PROGRAM" "$home_folder/wingtrail" || fail "without XDG_DATA_HOME the copy is not under ~/.local/share/wingtrail"
[ ! -e "relative" ] && [ ! -e "$WORK/home2/relative" ] || fail "a relative XDG_DATA_HOME was used"

# 5. Failures: a clear message, status 1, no program started, nothing half made.
BROKEN=$WORK/broken
cp -a "$PREFIX" "$BROKEN"
rm "$BROKEN/lib/wingtrail/wingtrail"
cp -a "$PREFIX" "$WORK/nocreate"
printf '#!/bin/sh\necho "no space left" >&2\nexit 1\n' >"$WORK/nocreate/bin/wingtrail-createdb"
touch "$WORK/a-file"
while IFS='|' read -r what launcher xdg message; do
    out=$(XDG_DATA_HOME=$xdg "$launcher" 2>&1); rc=$?
    [ $rc -eq 1 ] || fail "$what: status $rc, not 1"
    [[ "$out" == *"$message"* ]] || fail "$what: the message '$out' does not say '$message'"
done <<CASES
folder cannot be made|$LAUNCHER|$WORK/a-file/data|cannot make the program folder $WORK/a-file/data/wingtrail
program missing|$BROKEN/bin/wingtrail|$WORK/data-broken|reinstall Wingtrail
logbook cannot be made|$WORK/nocreate/bin/wingtrail|$WORK/data-nocreate|cannot create an empty logbook $WORK/data-nocreate/wingtrail/Wingtrail.dat
CASES
[ ! -e "$WORK/data-nocreate/wingtrail/images/Wingtrail.img" ] || fail "a failed start went on to put the picture in place"
out=$("$LAUNCHER" --help 2>&1); [ $? -eq 2 ] && [[ "$out" == usage:* ]] || fail "arguments are not refused with a usage line: $out"
xdotool search --name '^Wingtrail$' >/dev/null 2>&1 && fail "a failed start opened a window"

finish launcher
