#!/usr/bin/env bash
# Makes the README's pictures of the program against the simulated sensor pair, with the
# program's own --screenshot on Qt's offscreen platform: the desktop during RUN and during
# VIDEO, and the touch surface during RUN on an 800 x 480 screen; a control chart of the
# simulator recording and a gauge-study report.
# Usage: scripts/readme-pictures.sh BUILD [OUTDIR]   (OUTDIR defaults to docs)
set -euo pipefail
build=$1 out=${2:-docs}
tmp=$(mktemp -d)
"$build/sim/k-tav-sim" --tcp 127.0.0.1:0 >"$tmp/sim.out" &
sim=$!
trap 'kill $sim 2>/dev/null; rm -rf "$tmp"' EXIT
# The program's user folders are this run's own, never the user's.
export HOME=$tmp/home XDG_DATA_HOME=$tmp/home/data XDG_CONFIG_HOME=$tmp/home/config
for _ in $(seq 50); do grep -q READY "$tmp/sim.out" && break; sleep 0.1; done
port=$(sed -n 's/^TCP .*:\([0-9]*\)$/\1/p' "$tmp/sim.out")
mkdir -p "$out"

# One picture: a fresh program directory connected to the simulator, a screen of WIDTH x HEIGHT,
# the options of the view, and the picture taken after two seconds of it.
picture() {
    local name=$1 width=$2 height=$3
    shift 3
    rm -rf "$tmp/dir" && mkdir "$tmp/dir"
    printf '[CONNECTION]\r\nCOMM TYPE = 1\r\nIP ADDRESS = "127.0.0.1"\r\nPORT NUMBER = "%s"\r\n' \
        "$port" >"$tmp/dir/PX-MS-Vista.ini"
    printf '{"screens": [{"name": "screen", "x": 0, "y": 0, "width": %d, "height": %d, %s}]}\n' \
        "$width" "$height" '"logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1' >"$tmp/screen.json"
    rm -f "$out/$name.png"
    QT_QPA_PLATFORM="offscreen:configfile=$tmp/screen.json" "$build/k-tav-px-ms-vista" \
        --dir "$tmp/dir" "$@" --screenshot "$out/$name.png" --screenshot-delay 2 2>/dev/null
    test -s "$out/$name.png"
}

picture desktop-run 1280 800 --run
picture desktop-video 1280 800 --video
picture touch-800x480 800 480 --touch --run

# The statistics: the I-MR control chart of the README's simulator recording, and the report of
# a type-1 gauge study of a part held still under a second simulator, its page as a picture.
cli="$build/cli/k-tav-cli"
"$cli" plot "$(dirname "$0")/../docs/sim-recording.dat" --chart imr --upper 0.5 --lower 0.8 --out "$out/control-chart.png" \
    --force --width 800 --height 560
"$build/sim/k-tav-sim" --tcp 127.0.0.1:0 --still --serial 2024 >"$tmp/still.out" &
still=$!
trap 'kill $sim $still 2>/dev/null; rm -rf "$tmp"' EXIT
for _ in $(seq 50); do grep -q READY "$tmp/still.out" && break; sleep 0.1; done
"$cli" --tcp "127.0.0.1:$(sed -n 's/^TCP .*:\([0-9]*\)$/\1/p' "$tmp/still.out")" gauge-study \
    --reference 50.625 --tolerance 0.1 --interval 0.02 --pdf "$tmp/gauge-study.pdf" >/dev/null 2>&1
pdftoppm -png -r 80 -singlefile "$tmp/gauge-study.pdf" "$out/gauge-study-report"
test -s "$out/control-chart.png" && test -s "$out/gauge-study-report.png"
