#!/bin/sh
# Runs a Windows program under Wine: wine-run.sh PREFIX PROGRAM [ARGUMENT...]
#
# PREFIX is the Wine prefix folder (the build tree's own, so tests never touch
# ~/.wine). It is initialised on first use, under a lock, so that tests
# started at the same time wait for one initialisation instead of racing.
# The program's exit code is passed on.
set -eu

if [ $# -lt 2 ]; then
  echo "usage: $0 PREFIX PROGRAM [ARGUMENT...]" >&2
  exit 2
fi
prefix=$1
shift

mkdir -p "$(dirname "$prefix")"
WINEPREFIX=$(cd "$(dirname "$prefix")" && pwd)/$(basename "$prefix")
export WINEPREFIX
# KALINOR_WINEDEBUG overrides it when Wine's own traces are wanted.
export WINEDEBUG="${KALINOR_WINEDEBUG:--all}"
# No Mono or Gecko: their installers would ask questions and nothing here needs them.
export WINEDLLOVERRIDES="mscoree,mshtml=${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}"
# Wine links the user's Documents, Desktop, ... to $HOME and the XDG folders;
# a home of its own keeps every folder a test creates inside the build tree.
export HOME="$WINEPREFIX.home"
unset XDG_CONFIG_HOME XDG_DATA_HOME XDG_CACHE_HOME
mkdir -p "$HOME"

ready="$WINEPREFIX/.kalinor-initialised"
if [ ! -f "$ready" ]; then
  (
    flock 9
    if [ ! -f "$ready" ]; then
      wineboot -i >/dev/null 2>&1 || { echo "wine-run.sh: wineboot failed in $WINEPREFIX" >&2; exit 1; }
      # Real folders instead of those links, so that the prefix is self-contained.
      for link in "$WINEPREFIX"/drive_c/users/*/*; do
        if [ -L "$link" ]; then rm -f "$link" && mkdir -p "$link"; fi
      done
      touch "$ready"
    fi
  ) 9>"$WINEPREFIX.lock"
fi

# Start the prefix (wineserver, services, explorer) away from this script's
# output: Wine's background processes would otherwise inherit it and keep
# CTest waiting for the pipe to close until they exit, seconds after the
# program. When the prefix is running already this returns at once.
wineboot </dev/null >/dev/null 2>&1 || true

exec wine "$@"
