#!/bin/sh
# create DIR [win64|win32] [IME_ROOT]: a fresh 64-bit (WOW64) prefix set up
#   for unattended tests; with win32, a 32-bit prefix (32-bit Windows: one
#   registry view). With IME_ROOT (holding x64/tevra.ime and x86/tevra.ime),
#   the IME file of each bitness is put in that bitness's system folder, as
#   the product's installer does.
# destroy DIR: stop that prefix's server and remove it.
set -e
verb=$1
export WINEPREFIX="$2" WINEDEBUG=-all
PATH="$(dirname "$0")/wine-bin:$PATH"
# A 64-bit prefix is made and set up by the 64-bit loader alone.
wine=wine64
case $verb in
create)
    case ${3:-win64} in
    win64) ;;
    win32) export WINEARCH=win32 wine=wine ;;
    *) echo "usage: $0 create DIR [win64|win32] [IME_ROOT]" >&2; exit 2 ;;
    esac
    [ -d "$WINEPREFIX" ] && { wineserver -k 2>/dev/null || true; rm -rf "$WINEPREFIX"; }
    # A persistent server, up before the first program and kept between
    # tests; destroy ends it.
    mkdir -p "$WINEPREFIX"
    wineserver -p </dev/null >/dev/null 2>&1
    if ! $wine wineboot -i >/dev/null 2>&1; then
        echo "$0: Wine could not make a prefix in $WINEPREFIX ($(command -v $wine) wineboot -i failed)" >&2
        exit 1
    fi
    # Unmanaged windows make a message box appear in a fraction of a second.
    $wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    # A crash ends the process with its exception code instead of waiting in winedbg.
    $wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /d 'no-debugger.exe' /f >/dev/null 2>&1
    [ "${WINEARCH:-}" = win32 ] ||
        $wine reg add 'HKLM\Software\Wow6432Node\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /d 'no-debugger.exe' /f >/dev/null 2>&1
    if [ -n "${4:-}" ]; then
        windows=$WINEPREFIX/drive_c/windows
        if [ "${WINEARCH:-}" = win32 ]; then
            cp "$4/x86/tevra.ime" "$windows/system32/"
        else
            cp "$4/x64/tevra.ime" "$windows/system32/"
            cp "$4/x86/tevra.ime" "$windows/syswow64/"
        fi
    fi
    ;;
destroy)
    wineserver -k 2>/dev/null || true
    rm -rf "$WINEPREFIX"
    ;;
*) echo "usage: $0 create DIR [win64|win32] [IME_ROOT] | destroy DIR" >&2; exit 2 ;;
esac
