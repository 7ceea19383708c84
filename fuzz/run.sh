#!/usr/bin/env bash
# Builds the XML fuzz target (preset fuzz: clang, sanitizers, in build/fuzz)
# and runs it for a bounded time.
#   fuzz/run.sh [seconds (default 60)]
# Exits non-zero when the build fails or the fuzzer finds a crash, a leak,
# undefined behaviour or a broken check; the input is left in
# build/fuzz/fuzz-artifacts/.
set -euo pipefail

source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$source_dir"
build_dir=build/fuzz
seconds=${1:-60}

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j2

# New inputs go to a working corpus in the build dir; the committed seeds
# are only read.
work_corpus="$build_dir/fuzz-corpus"
artifacts="$build_dir/fuzz-artifacts"
mkdir -p "$work_corpus" "$artifacts"

export ASAN_OPTIONS="${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"

echo "Fuzzing kalinor_xml_fuzz for ${seconds}s"
"$build_dir/fuzz/kalinor_xml_fuzz" "$work_corpus" "$source_dir/fuzz/corpus" \
  -max_total_time="$seconds" \
  -max_len=4096 \
  -timeout=10 \
  -rss_limit_mb=2048 \
  -artifact_prefix="$artifacts/" \
  -print_final_stats=1
echo "Fuzzing found no crash"
