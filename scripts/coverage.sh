#!/usr/bin/env bash
# Builds the project with gcc's --coverage instrumentation in build-coverage/, runs every test
# through CTest, and prints the line and branch coverage of each folder of src/, sim/ and cli/
# (gcovr; branches that only throw or that the compiler proves unreachable left out; counters
# updated atomically, since the program and its tests run threads).
# Usage: scripts/coverage.sh [BUILD_DIR]    (run as root on Debian: installs what is missing)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
dpkg-query -W -f='${Status}' gcovr 2>/dev/null | grep -q "install ok installed" || {
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq && apt-get install -y -qq --no-install-recommends gcovr
}
build=${1:-build-coverage}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKTAV_WERROR=OFF -DKTAV_SANITIZE=OFF \
    -DCMAKE_CXX_FLAGS="--coverage -fprofile-update=atomic" -DCMAKE_EXE_LINKER_FLAGS="--coverage" \
    -DCMAKE_SHARED_LINKER_FLAGS="--coverage" >/dev/null
cmake --build "$build" -j2
find "$build" -name '*.gcda' -delete
# A test's failure is reported but does not hide the figures of the others.
QT_QPA_PLATFORM=offscreen ctest --test-dir "$build" -j2 --output-on-failure || status=$?
summary="$build/coverage.json"
gcovr --root . --object-directory "$build" --filter 'src/' --filter 'sim/' --filter 'cli/' \
    --filter 'python/' --exclude-throw-branches --exclude-unreachable-branches --gcov-ignore-parse-errors \
    --json-summary "$summary" --print-summary >/dev/null
python3 - "$summary" <<'EOF'
import json, os, sys
folders = {}
for f in json.load(open(sys.argv[1]))["files"]:
    key = os.path.dirname(f["filename"])
    row = folders.setdefault(key, [0, 0, 0, 0])
    row[0] += f["line_covered"]; row[1] += f["line_total"]
    row[2] += f["branch_covered"]; row[3] += f["branch_total"]
pct = lambda a, b: f"{100.0 * a / b:5.1f} %" if b else "    -  "
print(f"{'FOLDER':<22}{'LINES':>20}{'BRANCHES':>22}")
total = [0, 0, 0, 0]
for key in sorted(folders):
    r = folders[key]
    total = [t + v for t, v in zip(total, r)]
    print(f"{key:<22}{r[0]:>7}/{r[1]:<6}{pct(r[0], r[1])}{r[2]:>8}/{r[3]:<6}{pct(r[2], r[3])}")
print(f"{'all':<22}{total[0]:>7}/{total[1]:<6}{pct(total[0], total[1])}"
      f"{total[2]:>8}/{total[3]:<6}{pct(total[2], total[3])}")
EOF
echo "Per file: gcovr --root . --object-directory $build --txt (add --html-details DIR for pages)"
exit "${status:-0}"
