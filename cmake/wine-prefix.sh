#!/bin/sh
# create DIR: a fresh 64-bit (WOW64) prefix set up for unattended tests.
# destroy DIR: stop that prefix's server and remove it.
set -e
verb=$1
export WINEPREFIX="$2" WINEDEBUG=-all
case $verb in
create)
    [ -d "$WINEPREFIX" ] && { wineserver -k 2>/dev/null || true; rm -rf "$WINEPREFIX"; }
    # A persistent server, up before the first program and kept between
    # tests; destroy ends it.
    mkdir -p "$WINEPREFIX"
    wineserver -p </dev/null >/dev/null 2>&1
    wineboot -i >/dev/null 2>&1
    # Unmanaged windows make a message box appear in a fraction of a second.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    # A crash ends the process with its exception code instead of waiting in winedbg.
    wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /d 'no-debugger.exe' /f >/dev/null 2>&1
    wine reg add 'HKLM\Software\Wow6432Node\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /d 'no-debugger.exe' /f >/dev/null 2>&1
    ;;
destroy)
    wineserver -k 2>/dev/null || true
    rm -rf "$WINEPREFIX"
    ;;
*) echo "usage: $0 create|destroy DIR" >&2; exit 2 ;;
esac
