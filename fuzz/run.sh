#!/usr/bin/env bash
# Fuzzes every target for SECONDS (default 60) with libFuzzer: builds the targets with clang in
# build-fuzz, grows a working corpus from the seeds in build-fuzz/corpus/<name>, keeps findings
# in build-fuzz/findings/<name>/ and prints executions and coverage per target. A finding goes
# into fuzz/regressions/<name>/ with the fix of its fault, where the test replays it.
set -euo pipefail
seconds=${1:-60}
cd "$(dirname "$0")/.."
root=$PWD
build=build-fuzz
targets=(ini_engine para_file calib_file sim_device frame_receiver)
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$(dirname "$root")}
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKTAV_FUZZ=ON >/dev/null
cmake --build "$build" -j2 --target "${targets[@]/#/fuzz_}"
status=0
results=()
for t in "${targets[@]}"; do
    work=$root/$build/corpus/$t
    findings=$root/$build/findings/$t
    log=$root/$build/fuzz-$t.log
    mkdir -p "$work" "$findings"
    echo "fuzzing $t for $seconds s"
    result=clean
    (cd "$findings" && "$root/$build/fuzz/fuzz_$t" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="$findings/" "$work" "$root/fuzz/corpus/$t" "$root/fuzz/regressions/$t") \
        >"$log" 2>&1 || { result="FAULT, see $log and $findings"; status=1; }
    execs=$(grep -o 'number_of_executed_units: [0-9]*' "$log" | awk '{print $2}' || true)
    cov=$(grep -E '^#[0-9]+.*cov: ' "$log" | tail -1 |
          sed -E 's/.*cov: ([0-9]+) ft: ([0-9]+) corp: ([0-9]+).*/\1 \2 \3/' || true)
    read -r edges features units <<<"${cov:-- - -}"
    results+=("$(printf '%-16s %12s %8s %9s %7s  %s' "$t" "${execs:--}" "$edges" "$features" \
        "$units" "$result")")
done
printf '%-16s %12s %8s %9s %7s  %s\n' target executions edges features corpus result
printf '%s\n' "${results[@]}"
exit $status
