#!/usr/bin/env bash
# Builds the fuzz targets (preset fuzz: clang, sanitizers, in build/fuzz) and
# runs each for a bounded time: the XML layer, then the stand-ins'
# registry-file, profile-store and catalogue parsers.
#   fuzz/run.sh [seconds per target (default 60)]
# Exits non-zero when the build fails or the fuzzer finds a crash, a leak,
# undefined behaviour or a broken check; the input is left in
# build/fuzz/fuzz-artifacts/<target>/.
set -euo pipefail

source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$source_dir"
build_dir=build/fuzz
seconds=${1:-60}

# target, then its committed seed folder
targets=(
  "kalinor_xml_fuzz corpus"
  "kalinor_registry_file_fuzz seeds/registry_file"
  "kalinor_profile_store_fuzz seeds/profile_store"
  "kalinor_service_catalogue_fuzz seeds/service_catalogue"
)

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j2

export ASAN_OPTIONS="${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"

for entry in "${targets[@]}"; do
  target=${entry%% *}
  seeds=$source_dir/fuzz/${entry#* }
  # New inputs go to a working corpus in the build dir; the committed seeds
  # are only read.
  work_corpus="$build_dir/fuzz-corpus/$target"
  artifacts="$build_dir/fuzz-artifacts/$target"
  mkdir -p "$work_corpus" "$artifacts"
  echo "Fuzzing $target for ${seconds}s"
  "$build_dir/fuzz/$target" "$work_corpus" "$seeds" \
    -max_total_time="$seconds" \
    -max_len=4096 \
    -timeout=10 \
    -rss_limit_mb=2048 \
    -artifact_prefix="$artifacts/" \
    -print_final_stats=1
done
echo "Fuzzing found no crash"
