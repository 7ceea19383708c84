#!/bin/sh
# Builds the Windows build's cleanup timing in Release (MinGW-w64, 64-bit)
# and runs it under Wine on StoreSettings.xml files of 1,000 and 10,000
# stores, beside one MSXML load and save of the same document. Extra
# arguments replace the store counts.
set -eu
source_dir=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${KALINOR_WINE_BENCH_BUILD_DIR:-"$source_dir/build/win64-bench"}
cmake -S "$source_dir" -B "$build_dir" -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$source_dir/cmake/mingw-w64-x86_64.cmake" \
      -DKALINOR_BUILD_BENCH=ON -DKALINOR_BUILD_TESTS=OFF >/dev/null
cmake --build "$build_dir" -j2 --target kalinor_cleanup_timing
"$source_dir/cmake/wine-run.sh" "$build_dir/wineprefix" \
  "$build_dir/bench/kalinor_cleanup_timing.exe" "$@"
