#!/bin/sh
# Builds the Windows build's cleanup timing (preset win64's toolchain, Release,
# in build/win64-bench) and runs it under Wine on StoreSettings.xml files of
# 1,000 and 10,000 stores, beside one MSXML load and save of the same
# document. Extra arguments replace the store counts.
set -eu
cd "$(dirname "$0")/.."
build_dir=build/win64-bench
cmake --preset win64 -B "$build_dir" -DKALINOR_BUILD_BENCH=ON -DKALINOR_BUILD_TESTS=OFF >/dev/null
cmake --build "$build_dir" -j2 --target kalinor_cleanup_timing
cmake/wine-run.sh "$build_dir/wineprefix" "$build_dir/bench/kalinor_cleanup_timing.exe" "$@"
