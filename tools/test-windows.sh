#!/bin/sh
# The Windows builds: cross-compiles the 64-bit build with MinGW-w64 and runs
# its tests under Wine, then cross-compiles the 32-bit build (built only:
# there is no 32-bit Wine to run it). Exits non-zero on any failure.
#
# The presets win64 and win32 (warnings as errors) build in build/win64 and
# build/win32. Environment: KALINOR_JOBS (parallel jobs, default 2),
# KALINOR_BUILD_TYPE (overrides the presets' Release).
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=${KALINOR_JOBS:-2}
win64=$root/build/win64
win32=$root/build/win32

# Configures a preset, with the build type from the environment when given.
configure() {
  if [ -n "${KALINOR_BUILD_TYPE:-}" ]; then
    cmake --preset "$1" -DCMAKE_BUILD_TYPE="$KALINOR_BUILD_TYPE"
  else
    cmake --preset "$1"
  fi
}

# Fails when an executable needs a DLL that a plain Windows machine lacks
# (the MinGW runtime: libstdc++, libgcc, libwinpthread).
check_static() {
  objdump=$1
  shift
  for exe in "$@"; do
    if [ ! -f "$exe" ]; then
      echo "test-windows.sh: $exe was not built" >&2
      return 1
    fi
    if "$objdump" -p "$exe" | grep -i 'DLL Name:' | grep -i -E 'libstdc|libgcc|libwinpthread'; then
      echo "test-windows.sh: $exe needs the MinGW runtime DLLs above" >&2
      return 1
    fi
  done
}

wine_run() { "$root/cmake/wine-run.sh" "$win64/wineprefix" "$@"; }

# The real executable's edges that the unit tests cannot reach: the usage
# text, and a MAPI start without mapi32.dll (disabled in Wine), which must be
# a clean failure with the loader's error, not a crash.
smoke_windows_exe() {
  exe=$1
  usage=$(wine_run "$exe") || { echo "test-windows.sh: the usage run failed" >&2; return 1; }
  case $usage in
    *"Kalinor [-u] [profile:ProfileName]"*) ;;
    *) echo "test-windows.sh: no usage text; got: $usage" >&2; return 1 ;;
  esac
  status=0
  trace=$(WINEDLLOVERRIDES="mapi32=" KALINOR_WINEDEBUG=warn+seh wine_run "$exe" Service 2>&1) || status=$?
  if [ "$status" -ne 1 ]; then
    echo "test-windows.sh: without mapi32.dll the exit code was $status, not 1" >&2
    return 1
  fi
  case $trace in
    *'OutputDebugStringA "Error initializing MAPI: 0X8007007E'*) ;;
    *) echo "test-windows.sh: without mapi32.dll no MAPI start error; got: $trace" >&2; return 1 ;;
  esac
}

stop_wineserver() {
  # The prefix's wineserver outlives the last test by a few seconds; wait for
  # it, so nothing of this run is left running.
  if [ -d "$win64/wineprefix" ]; then
    WINEPREFIX="$win64/wineprefix" wineserver -w 2>/dev/null || true
  fi
}

failures=""
fail() {
  echo "test-windows.sh: FAILED: $1" >&2
  failures="$failures
  $1"
}

trap stop_wineserver EXIT

echo "== 64-bit Windows build: $win64"
if configure win64 &&
   cmake --build --preset win64 -j "$jobs" &&
   check_static x86_64-w64-mingw32-objdump "$win64/src/frontend/kalinor.exe"; then
  echo "== 64-bit Windows tests under Wine"
  ctest --preset win64 -j "$jobs" || fail "64-bit tests under Wine"
  echo "== kalinor.exe under Wine"
  smoke_windows_exe "$win64/src/frontend/kalinor.exe" || fail "kalinor.exe under Wine"
else
  fail "64-bit build"
fi

# Built even when the 64-bit side failed, so that one run shows every fault.
echo "== 32-bit Windows build: $win32"
if configure win32 &&
   cmake --build --preset win32 -j "$jobs" &&
   check_static i686-w64-mingw32-objdump "$win32/src/frontend/kalinor.exe"; then
  :
else
  fail "32-bit build"
fi

if [ -n "$failures" ]; then
  echo "== Windows builds FAILED:$failures" >&2
  exit 1
fi
echo "== Windows builds done"
