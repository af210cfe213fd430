#!/usr/bin/env bash
# Fault soak for MINUTES (default 10): RUN, GET and SEND in turns against the simulator with
# random reply faults at RATE (default 0.02) from SEED (default 1); prints the counts of
# exchanges, faults and failures, and every check that did not hold (then ends with 1).
set -euo pipefail
minutes=${1:-10}
rate=${2:-0.02}
seed=${3:-1}
cd "$(dirname "$0")/.."
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$(dirname "$PWD")}
build=build-test
[ -f "$build/build.ninja" ] ||
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKTAV_WERROR=ON -DKTAV_SANITIZE=ON
cmake --build "$build" -j2 --target k-tav-soak k-tav-sim >/dev/null
seconds=$(awk -v m="$minutes" 'BEGIN { print m * 60 }')
echo "soak: $minutes min, fault rate $rate, seed $seed"
QT_QPA_PLATFORM=offscreen "$build/tests/k-tav-soak" "$seconds" "$rate" "$seed"
