#!/bin/sh
# The layer check itself: over a copy of ARCHITECTURE.md and a small tree, it
# must fail on each planted forbidden include, name its file, include and
# rule, and pass the allowed ones beside them.
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
cp "$root/ARCHITECTURE.md" "$tree/"
for folder in platform report xml frontend query cleanup runfacts; do
  mkdir -p "$tree/src/$folder"
done
mkdir -p "$tree/tests/frontend" "$tree/tests/cleanup" "$tree/bench"
printf '#include "platform/files.h"\n#include "report/debug_trace.h"\n' > "$tree/src/xml/allowed.cpp"
printf '#include "xml/xml_document.h"\n#include "frontend/run_sequence.h"\n' > "$tree/src/xml/planted.cpp"
printf '#include "report/log_sink.h"\n' > "$tree/src/runfacts/planted.h"
printf '#include "frontend/command_line.h"\n' > "$tree/tests/frontend/own_tests.cpp"
printf '#include "cleanup/cleanup_plan.h"\n#include "query/doctor.h"\n' > "$tree/tests/cleanup/planted.cpp"
printf '#include "frontend/run_sequence.h"\n' > "$tree/bench/planted.cpp"

fail() { echo "check_layers_test: $*" >&2; echo "$out" >&2; exit 1; }
status=0
out=$(python3 "$root/tools/check-layers.py" --root "$tree" 2>&1) || status=$?
[ "$status" -eq 1 ] || fail "exit code $status over planted includes, not 1"
for expected in \
  'src/xml/planted.cpp:2: #include "frontend/...": src/xml/ may include platform/, report/' \
  'src/runfacts/planted.h:1: #include "report/...": src/runfacts/ may include platform/' \
  'tests/cleanup/planted.cpp:2: #include "query/...": tests/ may not include query/' \
  'bench/planted.cpp:1: #include "frontend/...": bench/ may not include frontend/'; do
  case $out in *"$expected"*) ;; *) fail "missing: $expected" ;; esac
done
case $out in *allowed.cpp* | *own_tests.cpp* | *planted.cpp:1:*cleanup*) fail "an allowed include was named" ;; esac
[ "$(printf '%s\n' "$out" | grep -c '^[a-z].*: #include')" -eq 4 ] || fail "not exactly four findings"

# No table, no verdict: exit 2, not a pass.
sed -i 's/### What each layer may include/### Layers/' "$tree/ARCHITECTURE.md"
status=0
out=$(python3 "$root/tools/check-layers.py" --root "$tree" 2>&1) || status=$?
[ "$status" -eq 2 ] || fail "exit code $status without the table, not 2"
echo "check_layers_test: passed"
