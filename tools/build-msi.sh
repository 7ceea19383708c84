#!/bin/sh
# Builds Kalinor's Windows Installer package with wixl from packaging/kalinor.wxs.
#
#   tools/build-msi.sh                  the preset msi (Release 64-bit Windows
#                                       build in build/msi), then
#                                       build/msi/kalinor-<version>-x64.msi
#   tools/build-msi.sh EXE QUERY_EXE VERSION MSI
#                                       packages the given kalinor.exe and
#                                       kalinor-query.exe as version VERSION
#                                       into the file MSI
#
# Both programs land in one folder, C:\Program Files\Kalinor.
#
# Environment: KALINOR_JOBS (parallel jobs, default 2). Exits non-zero on any
# failure.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)

# package EXE QUERY_EXE VERSION MSI
package() {
  if ! command -v wixl >/dev/null 2>&1; then
    echo "build-msi.sh: wixl is missing (tools/install-deps.sh installs it)" >&2
    return 1
  fi
  if [ "$(basename "$1")" != kalinor.exe ]; then
    echo "build-msi.sh: $1 is not named kalinor.exe" >&2
    return 1
  fi
  if [ "$(basename "$2")" != kalinor-query.exe ]; then
    echo "build-msi.sh: $2 is not named kalinor-query.exe" >&2
    return 1
  fi
  mkdir -p "$(dirname "$4")"
  msi="$(cd "$(dirname "$4")" && pwd)/$(basename "$4")"
  # wixl finds a file source only by a relative name: package from a folder
  # that holds both programs.
  staging=$(mktemp -d)
  trap 'rm -rf "$staging"' EXIT
  cp "$1" "$2" "$staging/"
  (cd "$staging" &&
   wixl --arch x64 -D Version="$3" -D SourceDir=. -o "$msi" "$root/packaging/kalinor.wxs")
  echo "build-msi.sh: wrote $msi"
}

if [ $# -eq 4 ]; then
  package "$1" "$2" "$3" "$4"
  exit
fi
if [ $# -ne 0 ]; then
  echo "usage: $0 [EXE QUERY_EXE VERSION MSI]" >&2
  exit 2
fi

"$root/tools/install-deps.sh"
build="$root/build/msi"
cd "$root"
cmake --preset msi
cmake --build --preset msi -j "${KALINOR_JOBS:-2}" --target kalinor kalinor-query
version=$(sed -n 's/^#define KALINOR_VERSION_TEXT "\(.*\)"$/\1/p' "$build/generated/kalinor_version.h")
package "$build/src/frontend/kalinor.exe" "$build/src/query/kalinor-query.exe" "$version" \
  "$build/kalinor-$version-x64.msi"
