#!/bin/sh
# Builds the benchmarks (preset bench, Release, in build/bench) and runs
# them. Extra arguments go to each benchmark (e.g. --benchmark_repetitions=5).
set -eu
cd "$(dirname "$0")/.."
cmake --preset bench >/dev/null
cmake --build --preset bench -j2 --target kalinor_settings_bench kalinor_store_io_bench
build/bench/bench/kalinor_settings_bench "$@"
build/bench/bench/kalinor_store_io_bench "$@"
