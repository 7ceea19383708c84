#!/bin/sh
# Builds the benchmarks in Release and runs them. Extra arguments go to each
# benchmark (e.g. --benchmark_repetitions=5).
set -eu
source_dir=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${KALINOR_BENCH_BUILD_DIR:-"$source_dir/build-bench"}
cmake -S "$source_dir" -B "$build_dir" -DCMAKE_BUILD_TYPE=Release \
      -DKALINOR_BUILD_BENCH=ON -DKALINOR_BUILD_TESTS=OFF
cmake --build "$build_dir" -j2 --target kalinor_settings_bench kalinor_store_io_bench
"$build_dir/bench/kalinor_settings_bench" "$@"
"$build_dir/bench/kalinor_store_io_bench" "$@"
