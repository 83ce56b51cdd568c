#!/bin/sh
# CTest's emulator: runs a Windows program in the build tree's own prefix,
# never in the user's ~/.wine.   wine-run.sh wine|wine64 PROGRAM ARGS...
: "${KBREG_WINEPREFIX:?KBREG_WINEPREFIX must name the test prefix}"
export WINEPREFIX="$KBREG_WINEPREFIX"
export WINEDEBUG="${WINEDEBUG:--all}"
PATH="$(dirname "$0")/wine-bin:$PATH"
loader=$1
shift
exec "$loader" "$@"
