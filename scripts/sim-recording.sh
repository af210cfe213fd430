#!/usr/bin/env bash
# Records COUNT samples of the simulated sensor pair, one every INTERVAL seconds, into OUT in the
# recorder file format (Latin-1, µ as the byte 0xB5, CR LF), as the desktop recorder would write
# them with the set-point mode on: the set-point SETPOINT µm is sent to the pair first, the
# offsets and ranges are read from its calibration headers.
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
"${cli[@]}" send --in "$tmp/para.ini" 2>/dev/null
"${cli[@]}" calib-read 2>/dev/null >"$tmp/calib"
field() { awk -F'\t' -v name="$1" -v col="$2" '$1 == name { print $col }' "$tmp/calib"; }

start_date=$(date +%m-%d-%Y) start_time=$(date +%H:%M:%S)
"${cli[@]}" run --count "$count" --interval "$interval" 2>/dev/null >"$tmp/run"
{
    printf 'Date:\t%s\r\nTime:\t%s\r\n' "$start_date" "$start_time"
    printf 'Time-Increment[s]:\t%f\r\nNumber of Samples:\t%d\r\n' "$interval" "$count"
    printf 'Setpoint-Value [\xb5m]:\t%d\r\n' "$setpoint"
    printf 'Offset-Master [\xb5m]:\t%d\r\nOffset-Slave [\xb5m]:\t%d\r\n' \
        "$(field 'Offset [um]' 2)" "$(field 'Offset [um]' 3)"
    printf 'Range-Master [\xb5m]:\t%d\r\nRange-Slave [\xb5m]:\t%d\r\n' \
        "$(field 'Range [um]' 2)" "$(field 'Range [um]' 3)"
    printf 'TIME\t\tMA[\xb5m]\tSL[\xb5m]\tVAL[\xb5m]\tMA-E\tSL-E\tMA-PIX\tSL-PIX\tVAL-PIX\r\n'
    # run prints hh:mm:ss.zzz; the recorder writes the time to the second.
    sed -e 's/^\([0-9:]*\)\.[0-9]*\t/\1\t/' -e 's/$/\r/' "$tmp/run"
} >"$out"
