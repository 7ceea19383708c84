#!/usr/bin/env bash
# Installs the Debian packages the builds and tests need, when missing.
#   tools/install-deps.sh           everything: both builds, tests, fuzzing, benchmarks, Wine,
#                                   node for the workflows' lint
#   tools/install-deps.sh --tool    only what building the POSIX tool needs
set -euo pipefail

tool_packages=(cmake g++ make pkg-config libxml2-dev)
all_packages=(
  "${tool_packages[@]}"
  libgtest-dev libgmock-dev googletest libbenchmark-dev libxml2-utils python3
  clang libclang-rt-14-dev
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix wine wine64 wixl
)
# node and npm run the workflows' lint. A node installed with its own npm
# (one that conflicts with Debian's npm package) counts as present.
command -v npm >/dev/null 2>&1 || all_packages+=(nodejs npm)

case "${1:-}" in
  --tool) packages=("${tool_packages[@]}") ;;
  "") packages=("${all_packages[@]}") ;;
  *) echo "usage: $0 [--tool]" >&2; exit 2 ;;
esac

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
