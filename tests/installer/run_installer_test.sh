#!/bin/bash
# Builds the sample NSIS installer, runs it and its uninstaller silently under
# Wine in a fresh 64-bit prefix, and checks the registry after each.
#   run_installer_test.sh SOURCE_DIR DIST_ROOT WORK_DIR
set -euo pipefail
source_dir=$1 dist=$2 work=$3
prefix=$work/prefix
export WINEDEBUG=-all
rm -rf "$work" && mkdir -p "$work"
trap '"$source_dir/cmake/wine-prefix.sh" destroy "$prefix"' EXIT

passes=0 failures=0
check() {  # check DESCRIPTION COMMAND...
    if "${@:2}" >/dev/null 2>&1; then
        echo "ok:     $1"; passes=$((passes + 1))
    else
        echo "FAILED: $1"; failures=$((failures + 1))
    fi
}
export WINEPREFIX=$prefix
query() { wine reg query "$@" 2>/dev/null | tr -d '\r'; }
# wine may return before the NSIS programs and the tools they start have
# ended: wait until none of them runs any more.
settle() {
    local i
    for i in $(seq 300); do
        pgrep -f -i 'tevra-ime-setup\.exe|uninstall\.exe|Au_\.exe|kbreg(32|64)\.exe|halfkey\.exe' \
            >/dev/null || return 0
        sleep 0.1
    done
    echo "the installer did not finish" >&2
    return 1
}
missing() { ! wine reg query "$@" >/dev/null 2>&1; }
value() { query "$1" /v "$2" "${@:3}" | awk -v n="$2" '$1 == n {print $3}'; }

makensis -V2 -DDIST_DIR="$dist" -DOUT_FILE="$work/tevra-ime-setup.exe" \
    "$source_dir/examples/nsis/tevra-ime.nsi"
"$source_dir/cmake/wine-prefix.sh" create "$prefix"

echo "== install (silent)"
wine "$work/tevra-ime-setup.exe" /S
settle
layout=$(value 'HKCU\Software\Tevra\Ime' HKLID)
echo "recorded layout handle text: ${layout:-none}"
check "per-user record is a layout handle" test -n "$layout" -a "$layout" != 0
check "machine-wide record, 64-bit view" test "$(value 'HKLM\Software\Tevra\Ime' HKLID /reg:64)" = "$layout"
check "layout key exists" query "HKLM\\System\\CurrentControlSet\\Control\\Keyboard Layouts\\$layout"
install_dir=$(query 'HKLM\Software\Tevra\Ime' /v InstallDir /reg:32 | sed -n 's/.*REG_SZ *//p')
echo "halfkey's value in the 32-bit view: $install_dir"
check "halfkey value in the 32-bit view" test "$install_dir" = 'C:\Program Files\Tevra IME'
check "halfkey value not in the 64-bit view" missing 'HKLM\Software\Tevra\Ime' /v InstallDir /reg:64

echo "== uninstall (silent)"
preload='HKCU\Keyboard Layout\Preload'
wine reg add "$preload" /v 2 /d 00000804 /f >/dev/null 2>&1
wine reg add "$preload" /v 3 /d "${layout^^}" /f >/dev/null 2>&1
wine reg add "$preload" /v 4 /d 00000411 /f >/dev/null 2>&1
wine "C:\\Program Files\\Tevra IME\\uninstall.exe" /S '_?=C:\Program Files\Tevra IME'
# The uninstaller deletes kbreg only after kbreg has returned.
for _ in $(seq 300); do
    [ -e "$prefix/drive_c/Program Files/Tevra IME/kbreg64.exe" ] || break
    sleep 0.1
done
settle
check "layout key removed" missing "HKLM\\System\\CurrentControlSet\\Control\\Keyboard Layouts\\$layout"
check "preload entry removed, entry 4 moved to 3" test "$(value "$preload" 3)" = 00000411
check "preload has no entry 4" test -z "$(value "$preload" 4)"
check "preload entry 2 kept" test "$(value "$preload" 2)" = 00000804
check "per-user record kept" test "$(value 'HKCU\Software\Tevra\Ime' HKLID)" = "$layout"
check "machine-wide record kept" test "$(value 'HKLM\Software\Tevra\Ime' HKLID /reg:64)" = "$layout"

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
