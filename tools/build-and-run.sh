#!/usr/bin/env bash
# Builds the tool on POSIX and runs it on its embedded defaults: installs the
# service "ArchiveConnector" into the stand-in MAPI's default profile.
# Extra arguments replace the default ones, e.g. `tools/build-and-run.sh -u ArchiveConnector`.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
cmake -S . -B build-posix -DCMAKE_BUILD_TYPE=Release -DKALINOR_BUILD_TESTS=OFF >/dev/null
cmake --build build-posix -j"$(nproc)" --target kalinor >/dev/null
[ $# -gt 0 ] || set -- ArchiveConnector "displayname:Archive Connector"
echo "kalinor $*"
status=0
build-posix/src/frontend/kalinor "$@" || status=$?
echo "exit code: $status"
store="${KALINOR_MAPI_PROFILES:-${XDG_CONFIG_HOME:-$HOME/.config}/kalinor/profiles.xml}"
[ -f "$store" ] && { echo "profile store $store:"; cat "$store"; }
exit $status
