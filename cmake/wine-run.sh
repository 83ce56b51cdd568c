#!/bin/sh
# CTest's emulator: runs a Windows program in the build tree's own prefix,
# never in the user's ~/.wine.
: "${KBREG_WINEPREFIX:?KBREG_WINEPREFIX must name the test prefix}"
export WINEPREFIX="$KBREG_WINEPREFIX"
export WINEDEBUG="${WINEDEBUG:--all}"
exec wine "$@"
