#!/usr/bin/env bash
# Builds the XML fuzz target with clang and runs it for a bounded time.
#   fuzz/run.sh [build dir (default build-fuzz)] [seconds (default 60)]
# Exits non-zero when the build fails or the fuzzer finds a crash, a leak,
# undefined behaviour or a broken check; the input is left in
# <build dir>/fuzz-artifacts/.
set -euo pipefail

source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_dir=${1:-build-fuzz}
seconds=${2:-60}

sanitizers="-fsanitize=address,undefined -fno-sanitize-recover=undefined"
cmake -S "$source_dir" -B "$build_dir" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_CXX_FLAGS="$sanitizers -fsanitize=fuzzer-no-link -fno-omit-frame-pointer" \
  -DCMAKE_EXE_LINKER_FLAGS="$sanitizers" \
  -DKALINOR_BUILD_TESTS=OFF \
  -DKALINOR_BUILD_FUZZ=ON
cmake --build "$build_dir" --target kalinor_xml_fuzz -j2

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
