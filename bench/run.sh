#!/bin/sh
# Builds the benchmarks in Release and runs them: the Google Benchmark
# program, then the cleanup timing at 1,000 to 100,000 stores beside one
# xmllint load and save of the 100,000-store file (the POSIX goal: the
# cleanup at most twice that). Extra arguments go to the Google Benchmark
# program (e.g. --benchmark_repetitions=5).
set -eu
source_dir=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${KALINOR_BENCH_BUILD_DIR:-"$source_dir/build/bench"}
cmake -S "$source_dir" -B "$build_dir" -DCMAKE_BUILD_TYPE=Release \
      -DKALINOR_BUILD_BENCH=ON -DKALINOR_BUILD_TESTS=OFF >/dev/null
cmake --build "$build_dir" -j2 --target kalinor_settings_bench kalinor_cleanup_timing
"$build_dir/bench/kalinor_settings_bench" "$@"
"$build_dir/bench/kalinor_cleanup_timing" 1000 10000 100000

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build_dir/bench/kalinor_cleanup_timing" --write 100000 "$work/StoreSettings.xml"
best=""
for run in 1 2 3; do
  start=$(date +%s%N)
  xmllint --output "$work/out.xml" "$work/StoreSettings.xml"
  elapsed=$(( ($(date +%s%N) - start) / 1000 ))
  if [ -z "$best" ] || [ "$elapsed" -lt "$best" ]; then best=$elapsed; fi
done
echo "xmllint load+save of 100000 stores: $((best / 1000)).$(( (best % 1000) / 100 )) ms (best of 3)"
