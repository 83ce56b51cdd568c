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

export WINEPREFIX=$prefix WORK=$work
source "$source_dir/tests/installer/installer_checks.sh"
# The NSIS programs are 32-bit: wait for them and the tools they start.
nsis_programs='tevra-ime-setup\.exe|uninstall\.exe|Au_\.exe|kbreg(32|64)\.exe|halfkey\.exe'

makensis -V2 -DDIST_DIR="$dist" -DOUT_FILE="$work/tevra-ime-setup.exe" \
    "$source_dir/examples/nsis/tevra-ime.nsi"
"$source_dir/cmake/wine-prefix.sh" create "$prefix"

imes='x64:system32 x86:syswow64'

echo "== install (silent)"
wine "$work/tevra-ime-setup.exe" /S 2>"$work/wine.log" || true
settle "$nsis_programs"
# Debian 13's Wine 10 has a position-independent 32-bit loader, which Linux
# (and qemu, following it) maps at 4 MB: exactly where an NSIS installer, a
# program without relocations, must go: that Wine cannot start one here.
if grep -q 'failed to create main module.*c0000018' "$work/wine.log"; then
    echo "skipped: this Wine ($(wine64 --version)) cannot start a 32-bit program without relocations:"
    cat "$work/wine.log"
    exit 77
fi
check_installed 64 'C:\Program Files\Tevra IME'
check "tevra.ime of each bitness in system32 and syswow64" ime_files_put "$dist" "$imes"

echo "== uninstall (silent)"
seed_preload
wine "C:\\Program Files\\Tevra IME\\uninstall.exe" /S '_?=C:\Program Files\Tevra IME'
# The uninstaller deletes kbreg only after kbreg has returned.
for _ in $(seq 300); do
    [ -e "$prefix/drive_c/Program Files/Tevra IME/kbreg64.exe" ] || break
    sleep 0.1
done
settle "$nsis_programs"
check_uninstalled 64
check "tevra.ime removed from both system folders" test -z "$(ime_files_in "$imes")"

echo "== install (silent) with every IME layout slot taken"
# ImmInstallIMEW then fails, kbreg records 0 and exits with 0: the sample
# must see that from the record, take back what it did and abort (exit code 2).
take_layout_slots
code=0
wine "$work/tevra-ime-setup.exe" /S || code=$?
settle "$nsis_programs"
check "the installer aborts with exit code 2" test "$code" = 2
check "per-user record is 0" test "$(value 'HKCU\Software\Tevra\Ime' HKLID)" = 0
check "no layout key beyond the taken slots" \
    test "$(ime_layout_keys)" = "$taken_slots"
check "tevra.ime removed from both system folders" test -z "$(ime_files_in "$imes")"
finish
