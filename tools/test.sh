#!/usr/bin/env bash
# Runs every test of both builds: the POSIX suites (plain and with address and
# undefined-behaviour sanitizers), a bounded run of each fuzz target, and
# the Windows build's suites under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
jobs=$(nproc)
log=$(mktemp)
trap 'rm -f "$log"' EXIT

run_all() {

echo "== POSIX build"
cmake -S . -B build-posix -DCMAKE_BUILD_TYPE=Debug -DKALINOR_BUILD_TESTS=ON >/dev/null
cmake --build build-posix -j"$jobs"
ctest --test-dir build-posix --output-on-failure

echo "== POSIX build with sanitizers"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DKALINOR_BUILD_TESTS=ON \
  -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer" >/dev/null
cmake --build build-asan -j"$jobs"
ctest --test-dir build-asan --output-on-failure

echo "== Fuzzing the XML layer and the stand-ins' parsers"
fuzz/run.sh build-fuzz "${KALINOR_FUZZ_SECONDS:-60}"

echo "== Windows builds"
tools/test-windows.sh
}

run_all 2>&1 | tee "$log"

# One closing line over every CTest run of both builds.
awk '/tests passed, [0-9]+ tests? failed out of/ {
       total += $NF; failed += $(NF-5) }
     END { printf "%d passed, %d failed\n", total - failed, failed }' "$log"
