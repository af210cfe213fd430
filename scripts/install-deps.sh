#!/usr/bin/env bash
# Installs the Debian packages the project needs, when some are missing (run as root).
set -euo pipefail
packages=(g++ cmake ninja-build ccache qt6-base-dev qt6-base-dev-tools qt6-serialport-dev
          libgtest-dev xvfb xauth imagemagick fonts-dejavu-core
          help2man dpkg-dev desktop-file-utils appstream librsvg2-bin onboard
          lintian bash-completion  # the package's check, and the helpers its completion uses
          libmosquitto-dev mosquitto mosquitto-clients  # publish; the broker and its client in tests
          poppler-utils  # pdftotext reads the reports back in tests, pdftoppm draws them
          libssl-dev  # publish: the CA certificates checked as libmosquitto's TLS library loads them
          clang libclang-rt-dev  # clang and libFuzzer for the fuzz targets (fuzz/run.sh)
          pybind11-dev python3-dev python3-numpy python3-pytest)  # the Python module, its tests
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
