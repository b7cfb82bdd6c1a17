#!/bin/sh
# Installs everything (wine32 where this kernel runs 32-bit code), builds
# every target (the Linux one again under AddressSanitizer and UBSan, and
# with clang for the fuzz targets) with warnings as errors, and runs every
# test.
set -eu
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh
# The Linux build before the Windows ones, whose velloran-apply JSON is
# compared with its; windows-x86 before windows, whose .zip and .msi tests
# read its packages. The x86 Wine tests need wine32; where this kernel runs
# no 32-bit code they skip, each saying so.
for preset in linux linux-asan linux-fuzz windows-x86 windows; do
    echo "== $preset"
    options=-DVELLORAN_WERROR=ON
    # Benchmarks are off unless asked for; built here so they keep
    # compiling, run only by the run_benchmarks target.
    if [ "$preset" = linux ]; then
        options="$options -DVELLORAN_BENCHMARKS=ON"
    fi
    cmake --preset "$preset" $options >/dev/null
    cmake --build --preset "$preset"
    if [ "$preset" = windows-x86 ] && ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
        echo "== windows-x86: this kernel runs no 32-bit code (or wine32 is missing):" \
            "its Wine tests skip"
    fi
    ctest --preset "$preset"
done
