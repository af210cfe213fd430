#!/usr/bin/env bash
# Installs what is missing, builds, starts the simulated sensor pair and opens the program on it
# (TCP 127.0.0.1:10001). Everything the demo writes stays in demo/.
set -euo pipefail
cd "$(dirname "$0")"
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKTAV_WERROR=OFF -DKTAV_SANITIZE=OFF \
    >/dev/null
cmake --build build -j2 --target k-tav-sim k-tav-cli k-tav-px-ms-vista ktav_python

demo="$PWD/demo"
mkdir -p "$demo"
log="$demo/simulator.log"
build/sim/k-tav-sim --tcp 127.0.0.1:10001 --pty "$demo/ttyKTAV" --state "$demo/sensor-state.bin" \
    >"$log" 2>&1 &
sim=$!
trap 'kill $sim 2>/dev/null || true; wait $sim 2>/dev/null || true' EXIT
for _ in $(seq 100); do
    grep -q '^READY' "$log" 2>/dev/null && break
    kill -0 $sim 2>/dev/null || { cat "$log"; exit 1; }
    sleep 0.1
done
grep '^\(TCP\|PTY\)' "$log"

echo "== line test over TCP 127.0.0.1:10001 and over the pseudo-terminal as COM1"
build/cli/k-tav-cli --tcp 127.0.0.1:10001 line-test
KTAV_COM1="$demo/ttyKTAV" build/cli/k-tav-cli --com 1 line-test

# The demo's settings: the simulator over TCP, the audit log in demo/. The connection dialog
# switches to RS-232 on COM1, which is the simulator's pseudo-terminal here.
if [ ! -f "$demo/PX-MS-Vista.ini" ]; then
    printf '[CONNECTION]\r\nCOMM TYPE = 1\r\nRS232 PORT = 1\r\nRS232 BAUDRATE = 4\r\nIP ADDRESS = "127.0.0.1"\r\nPORT NUMBER = "10001"\r\n\r\n[IP ADDRESSES]\r\nLIST ITEMS = 1\r\nIP ADDR 1 = "127.0.0.1"\r\n\r\n[AUDIT]\r\nLOG FILE = "%s"\r\nLOG ON = 1\r\n\r\n' \
        "$demo/audit.jsonl" >"$demo/PX-MS-Vista.ini"
fi
export KTAV_COM1="$demo/ttyKTAV"
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    echo "== K-TAV-PX-MS-Vista (close its window to end the demo)"
    build/k-tav-px-ms-vista --dir "$demo" --log "$demo/status.log"
else
    shot="$demo/screenshot.png"
    QT_QPA_PLATFORM=offscreen build/k-tav-px-ms-vista --dir "$demo" --log "$demo/status.log" \
        --screenshot "$shot" 2>/dev/null
    echo "== No display here: the program ran on the offscreen platform and pictured its panel in"
    echo "   $shot (status texts in $demo/status.log)."
    echo "   To see its window, run ./run.sh on a desktop, or under a virtual display:"
    echo "   xvfb-run -a -s '-screen 0 1280x800x24' ./run.sh"
fi
