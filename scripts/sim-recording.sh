#!/usr/bin/env bash
# Records COUNT samples of the simulated sensor pair, one every INTERVAL seconds, into OUT with
# `k-tav-cli record`, with the set-point mode on: the set-point SETPOINT µm is sent to the pair
# first, so that the file's header carries it.
# Usage: scripts/sim-recording.sh BUILD OUT [COUNT] [INTERVAL] [SETPOINT]
set -euo pipefail
build=$1 out=$2 count=${3:-60} interval=${4:-1} setpoint=${5:-55000}
tmp=$(mktemp -d)
"$build/sim/k-tav-sim" --tcp 127.0.0.1:0 >"$tmp/sim.out" &
sim=$!
trap 'kill $sim 2>/dev/null; rm -rf "$tmp"' EXIT
for _ in $(seq 50); do grep -q READY "$tmp/sim.out" && break; sleep 0.1; done
cli=("$build/cli/k-tav-cli" --tcp "127.0.0.1:$(sed -n 's/^TCP .*:\([0-9]*\)$/\1/p' "$tmp/sim.out")")

"${cli[@]}" get --out "$tmp/para.ini" 2>/dev/null
sed -i -e "s/^Measurement-Mode = .*\r/Measurement-Mode = 1\r/" \
       -e "s/^um-Setpoint = .*\r/um-Setpoint = $setpoint\r/" "$tmp/para.ini"
"${cli[@]}" --no-audit send --in "$tmp/para.ini" 2>/dev/null  # a simulator, not a plant's sensor
rm -f "$out"
"${cli[@]}" record --out "$out" --count "$count" --interval "$interval" 2>/dev/null
