#!/usr/bin/env bash
# Installs what is missing, builds with warnings as errors and the address and undefined-behaviour
# sanitizers, and runs every test through CTest on Qt's offscreen platform. The test "package"
# builds the Debian package, unpacks it with dpkg -x and runs the tools from there.
set -euo pipefail
cd "$(dirname "$0")"
bash scripts/install-deps.sh
build=build-test
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKTAV_WERROR=ON -DKTAV_SANITIZE=ON
cmake --build "$build" -j2
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$build" --output-on-failure -j2
