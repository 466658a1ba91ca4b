#!/bin/bash
# The report as a browser draws it: a logbook of two years of flights, its report opened in
# headless Chromium at a desktop's and a phone's width, each drawn to a picture in OUT.
# Skipped (77) only when Chromium cannot start here.
set -euo pipefail
BIN=$1
OUT=$2
rm -rf "$OUT"
mkdir -p "$OUT"
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

BROWSER=$(command -v chromium || command -v chromium-browser || true)
if [ -z "$BROWSER" ]; then
    echo "SKIP: chromium is not installed (Debian package chromium)"
    exit 77
fi
# Running as root needs --no-sandbox; the profile lives in the work folder.
run_browser() {
    timeout 60 "$BROWSER" --headless=new --no-sandbox --disable-gpu --hide-scrollbars --no-first-run \
        --user-data-dir="$WORK/profile" "$@" 2>>"$WORK/browser.log"
}
if ! run_browser --dump-dom "data:text/html,<p>ok</p>" | grep -q ok; then
    echo "SKIP: chromium cannot start here:"
    tail -5 "$WORK/browser.log" || true
    exit 77
fi

"$BIN/wingtrail-createdb" "$WORK/Wingtrail.dat"
{
    echo "Date,From,To,TimeOut,TimeIn,Aircraft,Airline,Rules,Passengers,Cargo,Remarks"
    routes=("EDDF,EGLL" "EGLL,KJFK" "EDDM,LOWW" "LSZH,LFPG" "KJFK,KLAX" "EDDF,LEPA" "EHAM,EDDF")
    aircraft=("A320" "B777-300ER" "C172" "A321neo" "B787-9" "A320" "E190")
    for i in $(seq 0 139); do
        day=$(date -u -d "2023-01-03 + $((i * 5)) days" +%Y-%m-%d)
        r=$((i % 7))
        dep=$(printf "%02d:%02d" $(((i * 7) % 24)) $(((i * 13) % 60)))
        arr=$(printf "%02d:%02d" $((((i * 7) + 1 + r) % 24)) $(((i * 29) % 60)))
        echo "$day,${routes[$r]},$dep,$arr,${aircraft[$r]},Wingtrail Virtual,IFR,$((i * 3 % 180)),$((i * 97 % 4000)),Flight $i"
    done
} >"$WORK/flights.csv"
"$BIN/wingtrail-logbook" --logbook "$WORK/Wingtrail.dat" import --csv "$WORK/flights.csv" >/dev/null
"$BIN/wingtrail-logbook" --logbook "$WORK/Wingtrail.dat" report --html "$OUT/report.html"

for shot in desktop:1000,1900 phone:390,1800; do
    name=${shot%%:*}
    size=${shot#*:}
    run_browser --window-size="$size" --screenshot="$OUT/report-$name.png" "file://$OUT/report.html" >/dev/null
    bytes=$(stat -c %s "$OUT/report-$name.png" 2>/dev/null || echo 0)
    if [ "$bytes" -lt 20000 ]; then
        echo "FAIL: the $name picture is missing or blank ($bytes bytes)"
        exit 1
    fi
    echo "$name: $OUT/report-$name.png ($bytes bytes)"
done
