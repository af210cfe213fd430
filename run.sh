#!/usr/bin/env bash
# Installs what is missing, builds, starts the simulated sensor pair and runs the program
# against it: the line test over TCP and over the simulator's pseudo-terminal.
set -euo pipefail
cd "$(dirname "$0")"
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKTAV_WERROR=OFF -DKTAV_SANITIZE=OFF \
    >/dev/null
cmake --build build -j2 --target k-tav-sim k-tav-cli

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

echo "== line test over TCP 127.0.0.1:10001"
build/cli/k-tav-cli --tcp 127.0.0.1:10001 line-test
echo "== line test over RS-232 port 1 = the simulator's pseudo-terminal ($demo/ttyKTAV)"
KTAV_COM1="$demo/ttyKTAV" build/cli/k-tav-cli --com 1 line-test
