#!/bin/sh
# Builds the benchmarks (preset bench, Release, in build/bench) and runs
# them: the Google Benchmark programs, then the cleanup timing at 1,000 to
# 100,000 stores beside one xmllint load and save of the 100,000-store file
# (the POSIX goal: the cleanup at most twice that). Extra arguments go to
# each Google Benchmark program (e.g. --benchmark_repetitions=5).
set -eu
cd "$(dirname "$0")/.."
cmake --preset bench >/dev/null
cmake --build --preset bench -j2 --target kalinor_settings_bench kalinor_store_io_bench \
      kalinor_xml_hostile_bench kalinor_cleanup_timing
build/bench/bench/kalinor_settings_bench "$@"
build/bench/bench/kalinor_store_io_bench "$@"
build/bench/bench/kalinor_xml_hostile_bench "$@"
build/bench/bench/kalinor_cleanup_timing 1000 10000 100000

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
build/bench/bench/kalinor_cleanup_timing --write 100000 "$work/StoreSettings.xml"
best=""
for run in 1 2 3; do
  start=$(date +%s%N)
  xmllint --output "$work/out.xml" "$work/StoreSettings.xml"
  elapsed=$(( ($(date +%s%N) - start) / 1000 ))
  if [ -z "$best" ] || [ "$elapsed" -lt "$best" ]; then best=$elapsed; fi
done
echo "xmllint load+save of 100000 stores: $((best / 1000)).$(( (best % 1000) / 100 )) ms (best of 3)"
