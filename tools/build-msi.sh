#!/bin/sh
# Builds Kalinor's Windows Installer package with wixl from packaging/kalinor.wxs.
#
#   tools/build-msi.sh                  the presets msi and msi-x86 (Release
#                                       64-bit and 32-bit Windows builds in
#                                       build/msi and build/msi-x86), then
#                                       build/msi/kalinor-<version>.msi
#   tools/build-msi.sh EXE QUERY_EXE EXE_X86 QUERY_EXE_X86 VERSION MSI
#                                       packages the given 64-bit and 32-bit
#                                       kalinor.exe and kalinor-query.exe as
#                                       version VERSION into the file MSI
#
# The 64-bit programs land in C:\Program Files\Kalinor, the 32-bit ones in
# its x86 folder.
#
# Environment: KALINOR_JOBS (parallel jobs, default 2). Exits non-zero on any
# failure.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)

# package EXE QUERY_EXE EXE_X86 QUERY_EXE_X86 VERSION MSI
package() {
  if ! command -v wixl >/dev/null 2>&1; then
    echo "build-msi.sh: wixl is missing (tools/install-deps.sh installs it)" >&2
    return 1
  fi
  if [ "$(basename "$1")" != kalinor.exe ]; then
    echo "build-msi.sh: $1 is not named kalinor.exe" >&2
    return 1
  fi
  for query in "$2" "$4"; do
    if [ "$(basename "$query")" != kalinor-query.exe ]; then
      echo "build-msi.sh: $query is not named kalinor-query.exe" >&2
      return 1
    fi
  done
  if [ "$(basename "$3")" != kalinor.exe ]; then
    echo "build-msi.sh: $3 is not named kalinor.exe" >&2
    return 1
  fi
  mkdir -p "$(dirname "$6")"
  msi="$(cd "$(dirname "$6")" && pwd)/$(basename "$6")"
  # wixl finds a file source only by a relative name: package from a folder
  # that holds both programs, and the 32-bit pair in x86/.
  staging=$(mktemp -d)
  trap 'rm -rf "$staging"' EXIT
  mkdir "$staging/x86"
  cp "$1" "$2" "$staging/"
  cp "$3" "$4" "$staging/x86/"
  (cd "$staging" &&
   wixl --arch x64 -D Version="$5" -D SourceDir=. -o "$msi" "$root/packaging/kalinor.wxs")
  echo "build-msi.sh: wrote $msi"
}

if [ $# -eq 6 ]; then
  package "$1" "$2" "$3" "$4" "$5" "$6"
  exit
fi
if [ $# -ne 0 ]; then
  echo "usage: $0 [EXE QUERY_EXE EXE_X86 QUERY_EXE_X86 VERSION MSI]" >&2
  exit 2
fi

"$root/tools/install-deps.sh"
build="$root/build/msi"
cd "$root"
build32="$root/build/msi-x86"
for preset in msi msi-x86; do
  cmake --preset "$preset"
  cmake --build --preset "$preset" -j "${KALINOR_JOBS:-2}" --target kalinor kalinor-query
done
version=$(sed -n 's/^#define KALINOR_VERSION_TEXT "\(.*\)"$/\1/p' "$build/generated/kalinor_version.h")
package "$build/src/frontend/kalinor.exe" "$build/src/query/kalinor-query.exe" \
  "$build32/src/frontend/kalinor.exe" "$build32/src/query/kalinor-query.exe" "$version" \
  "$build/kalinor-$version.msi"
