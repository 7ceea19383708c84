#!/usr/bin/env bash
# Builds the tool on POSIX (preset posix-release, in build/posix-release) and
# runs it on its embedded defaults: installs the service "ArchiveConnector"
# into the stand-in MAPI's default profile. Extra arguments replace the
# default ones, e.g. `tools/build-and-run.sh -u ArchiveConnector`.
set -euo pipefail
cd "$(dirname "$0")/.."
echo "== Packages for the POSIX tool"
tools/install-deps.sh --tool
echo "== Configuring (preset posix-release)"
cmake --preset posix-release >/dev/null
echo "== Building kalinor"
cmake --build --preset posix-release -j"$(nproc)"
[ $# -gt 0 ] || set -- ArchiveConnector "displayname:Archive Connector"
# Quoted, so that the line can be pasted back into a shell as it is.
printf '== kalinor'
printf ' %q' "$@"
printf '\n'
status=0
build/posix-release/src/frontend/kalinor "$@" || status=$?
echo "exit code: $status"
store="${KALINOR_MAPI_PROFILES:-${XDG_CONFIG_HOME:-$HOME/.config}/kalinor/profiles.xml}"
[ -f "$store" ] && { echo "profile store $store:"; cat "$store"; }
exit $status
