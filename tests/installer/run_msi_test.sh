#!/bin/bash
# Builds the sample MSI package for ARCH, checks its tables, then installs and
# removes it silently with Wine's msiexec in a fresh prefix (64-bit, or 32-bit
# with win32) and checks the registry and the files after each; each of the
# two is run first with a failure forced after kbreg, to check the rollback;
# then an install with every IME layout slot taken must fail and leave
# nothing. The x86 package on 64-bit Windows must refuse to install.
#   run_msi_test.sh SOURCE_DIR DIST_ROOT WORK_DIR x64|x86 [win32]
set -euo pipefail
source_dir=$1 dist=$2 work=$3 arch=$4 prefix_arch=${5:-win64}
prefix=$work/prefix msi=$work/tevra-ime-$arch.msi
export WINEDEBUG=-all WINEPREFIX=$prefix WORK=$work
rm -rf "$work" && mkdir -p "$work"
trap '"$source_dir/cmake/wine-prefix.sh" destroy "$prefix"' EXIT
source "$source_dir/tests/installer/installer_checks.sh"
source "$source_dir/tests/installer/msi_checks.sh"
source "$source_dir/tests/docs/troubleshooting_queries.sh"

"$source_dir/examples/msi/build-msi.sh" "$arch" "$dist" "$msi"

echo "== package tables"
table() { msiinfo export "$msi" "$1" | tr -d '\r'; }
column() { table "$1" | awk -F'\t' -v k="$2" -v c="$3" '$1 == k {print $c}'; }
sequence() { column InstallExecuteSequence "$1" 3; }
check "kbreg install after InstallFiles, before InstallFinalize" \
    test "$(sequence InstallFiles)" -lt "$(sequence ImeSetupKbregInstall)" -a "$(sequence ImeSetupKbregInstall)" -lt "$(sequence InstallFinalize)"
check "kbreg uninstall after InstallInitialize, before RemoveFiles" \
    test "$(sequence InstallInitialize)" -lt "$(sequence ImeSetupKbregUninstall)" -a "$(sequence ImeSetupKbregUninstall)" -lt "$(sequence RemoveFiles)"
# 3090: an installed file's program (18), deferred (1024), not impersonated
# (2048). Wine runs every action as the same user, so only the table shows it.
check "the three actions are deferred and not impersonated" \
    test "$(table CustomAction | awk -F'\t' '$2 == 3090' | wc -l)" = 3
target() { column CustomAction "$1" 4; }
condition() { column InstallExecuteSequence "$1" 2; }
next_action() {  # the action that follows $1 in the sequence
    table InstallExecuteSequence | tail -n +4 | sort -t$'\t' -k3n |
        awk -F'\t' -v a="$1" 'found {print $1; exit} $1 == a {found = 1}'
}
# check_rollback ACTION UNDOES OPPOSITE: ACTION undoes UNDOES with OPPOSITE's
# command line, under UNDOES' condition, and comes just before it.
check_rollback() {
    # 3394: a Binary-table program (2), exit code ignored (64), rollback (256),
    # deferred (1024), not impersonated (2048).
    check "$1 has type 3394" test "$(column CustomAction "$1" 2)" = 3394
    check "$1 comes just before $2" test "$(next_action "$1")" = "$2"
    check "$1 runs $3's command line" test "$(target "$1")" = "$(target "$3")"
    check "$1 has $2's condition" test "$(condition "$1")" = "$(condition "$2")"
}
check_rollback ImeSetupKbregInstallRollback ImeSetupKbregInstall ImeSetupKbregUninstall
check_rollback ImeSetupKbregUninstallRollback ImeSetupKbregUninstall ImeSetupKbregInstall
check "the rollback actions run this package's kbreg" \
    sh -c 'msiinfo extract "$1" Binary.ImeSetupKbregBin | cmp - "$2"' - "$msi" "$dist/$arch/kbreg.exe"
# 1042: an installed file's program (18), deferred (1024), impersonated.
check "the user's uninstall is deferred and impersonated" test "$(column CustomAction ImeSetupKbregUninstallUser 2)" = 1042
check "the user's uninstall runs kbreg uninstall, under its condition" \
    test "$(target ImeSetupKbregUninstallUser)" = "$(target ImeSetupKbregUninstall)" -a "$(condition ImeSetupKbregUninstallUser)" = "$(condition ImeSetupKbregUninstall)"
# Wine's msiexec never sets UPGRADINGPRODUCTCODE: only the table shows that an
# upgrade's removal of the older product leaves the layout alone on Windows.
check "kbreg uninstall skipped when an upgrade removes the product" \
    grep -q 'AND NOT UPGRADINGPRODUCTCODE' <(condition ImeSetupKbregUninstall)
check "the user's uninstall comes before the system account's" \
    test "$(sequence InstallInitialize)" -lt "$(sequence ImeSetupKbregUninstallUser)" -a "$(sequence ImeSetupKbregUninstallUser)" -lt "$(sequence ImeSetupKbregUninstall)"
# 3073: a DLL from the Binary table (1), deferred (1024), not impersonated
# (2048): it reads what kbreg wrote, as the same account.
check "the registration check right after kbreg install, under its condition, not impersonated" \
    test "$(next_action ImeSetupKbregInstall)|$(condition ImeSetupCheck)|$(column CustomAction ImeSetupCheck 2)" \
        = "ImeSetupCheck|$(condition ImeSetupKbregInstall)|3073"
check "IMESETUPNAME holds 中文输入法" test "$(column Property IMESETUPNAME 2)" = 中文输入法

"$source_dir/cmake/wine-prefix.sh" create "$prefix" "$prefix_arch"
msi_places "$arch" "$prefix_arch"
installed_files() { { ls "$tools_path/kbreg.exe" "$tools_path/halfkey.exe" 2>/dev/null; ime_files_in "$imes"; } | wc -l; }
all_files=$(( 2 + $(wc -w <<<"$imes") ))

if [ "$arch-$prefix_arch" = x86-win64 ]; then
    # An IME file serves only programs of its own bitness: on 64-bit Windows
    # the x86 package would leave 64-bit programs without the input method.
    echo "== install on 64-bit Windows (msiexec /i /qn): refused"
    check "msiexec /i fails" msiexec_fails /i "$(windows_path "$msi")" /l*v "$(windows_path "$work/refused.log")"
    check "no product installed" test -z "$(products)"
    check "no installed file" test "$(installed_files)" = 0
    check "neither tool ran" missing 'HKLM\Software\Tevra' /reg:32
    finish
    exit
fi

echo "== install failing after kbreg install (msiexec /i /qn)"
cp "$msi" "$work/failing.msi"
add_failure "$work/failing.msi" "$(( $(sequence ImeSetupKbregInstall) + 10 ))" 'NOT Installed'
check "msiexec /i fails" msiexec_fails /i "$(windows_path "$work/failing.msi")" /l*v "$(windows_path "$work/failed-install.log")"
# The records stay, as after kbreg uninstall.
layout=$(value 'HKCU\Software\Tevra\Ime' HKLID)
check "kbreg install recorded a layout" test -n "$layout" -a "$layout" != 0
check "the rollback removed that layout key" missing "$layouts\\$layout"
check "no installed file left" test "$(installed_files)" = 0

echo "== install (msiexec /i /qn)"
# msiexec returns after the deferred actions have run. Wine runs them as the
# test's user, so the per-user record and the preload list checked are that
# user's (on Windows, with Impersonate="no", the system account's).
check "msiexec /i exits with 0" \
    $wine msiexec /i "$(windows_path "$msi")" /qn /l*v "$(windows_path "$work/install.log")"
check_installed "$view" "$install_dir" ${one_view:-}
check "tevra.ime in each system folder: $imes" ime_files_put "$dist" "$imes"
[ "$arch" != x64 ] || check_troubleshooting_queries msi

echo "== removal failing after kbreg uninstall (msiexec /x /qn)"
# msiexec removes a product with the copy of the package it keeps (a changed
# package given to /x was not read): the failure goes into that copy, which
# is put back afterwards.
cached=$(unix_path "$(value 'HKLM\Software\Microsoft\Windows\CurrentVersion\Installer\UserData' LocalPackage /s)")
cp "$cached" "$work/cached.msi"
add_failure "$cached" "$(( ($(sequence ImeSetupKbregUninstall) + $(sequence RemoveFiles)) / 2 ))" 'REMOVE="ALL"'
check "msiexec /x fails" msiexec_fails /x "$(windows_path "$msi")" /l*v "$(windows_path "$work/failed-remove.log")"
cp "$work/cached.msi" "$cached"
# The rollback registered the layout again. Wine 8 makes a new key on each
# registration (the first free e00N0409), so the record may now name another
# key than the install's: check_installed reads it back.
check_installed "$view" "$install_dir" ${one_view:-}
check "installed files left in place" test "$(installed_files)" = "$all_files"

echo "== remove (msiexec /x /qn)"
seed_preload
check "msiexec /x exits with 0" \
    $wine msiexec /x "$(windows_path "$msi")" /qn /l*v "$(windows_path "$work/remove.log")"
check_uninstalled "$view"
check "installed files removed" test "$(installed_files)" = 0

echo "== install with every IME layout slot taken (msiexec /i /qn)"
# ImmInstallIMEW then fails, kbreg records 0 and exits with 0: the check
# after it must fail the package, which rolls back.
take_layout_slots
check "msiexec /i fails" msiexec_fails /i "$(windows_path "$msi")" /l*v "$(windows_path "$work/refused.log")"
check "the log says why" grep -aq "records no layout.*tevra.ime was not registered" "$work/refused.log"
check "per-user record is 0" test "$(value 'HKCU\Software\Tevra\Ime' HKLID)" = 0
check "no layout key beyond the taken slots" test "$(ime_layout_keys)" = "$taken_slots"
check "no installed file, no product" test "$(installed_files)" = 0 -a -z "$(products)"
check "no tools' folder" test ! -e "$tools_path"
finish
