#!/bin/sh
# Installs what is needed, builds both targets (and the Linux one again
# under AddressSanitizer and UBSan, and with clang for the fuzz targets)
# with warnings as errors, and runs every test.
set -eu
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh
# The x86 Windows build is made for the .zip, which the windows preset
# checks; its own Wine tests need a 32-bit Wine, so they are not run here.
cmake --preset windows-x86 -DVELLORAN_WERROR=ON >/dev/null
cmake --build --preset windows-x86
for preset in linux linux-asan linux-fuzz windows; do
    echo "== $preset"
    cmake --preset "$preset" -DVELLORAN_WERROR=ON >/dev/null
    cmake --build --preset "$preset"
    ctest --preset "$preset"
done
