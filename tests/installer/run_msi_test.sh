#!/bin/bash
# Builds the sample MSI package for ARCH, checks its tables, then installs and
# removes it silently with Wine's msiexec in a fresh prefix (64-bit, or 32-bit
# with win32) and checks the registry after each.
#   run_msi_test.sh SOURCE_DIR DIST_ROOT WORK_DIR x64|x86 [win32]
set -euo pipefail
source_dir=$1 dist=$2 work=$3 arch=$4 prefix_arch=${5:-win64}
prefix=$work/prefix msi=$work/tevra-ime-$arch.msi
export WINEDEBUG=-all WINEPREFIX=$prefix WORK=$work
rm -rf "$work" && mkdir -p "$work"
trap '"$source_dir/cmake/wine-prefix.sh" destroy "$prefix"' EXIT
wine=wine64
[ "$prefix_arch" = win32 ] && wine=wine
source "$source_dir/tests/installer/installer_checks.sh"

"$source_dir/examples/msi/build-msi.sh" "$arch" "$dist" "$msi"

echo "== package tables"
table() { msiinfo export "$msi" "$1" | tr -d '\r'; }
column() { table "$1" | awk -F'\t' -v k="$2" -v c="$3" '$1 == k {print $c}'; }
sequence() { column InstallExecuteSequence "$1" 3; }
check "kbreg install after InstallFiles, before InstallFinalize" \
    test "$(sequence InstallFiles)" -lt "$(sequence KbregInstall)" -a "$(sequence KbregInstall)" -lt "$(sequence InstallFinalize)"
check "kbreg uninstall after InstallInitialize, before RemoveFiles" \
    test "$(sequence InstallInitialize)" -lt "$(sequence KbregUninstall)" -a "$(sequence KbregUninstall)" -lt "$(sequence RemoveFiles)"
# 3090: an installed file's program (18), deferred (1024), not impersonated
# (2048). Wine runs every action as the same user, so only the table shows it.
check "the three actions are deferred and not impersonated" \
    test "$(table CustomAction | awk -F'\t' '$2 == 3090' | wc -l)" = 3
check "IMENAME holds 中文输入法" test "$(column Property IMENAME 2)" = 中文输入法

if [ "$arch" = x64 ]; then
    view=64 install_dir='C:\Program Files\Tevra IME\'
elif [ "$prefix_arch" = win32 ]; then
    view=32 install_dir='C:\Program Files\Tevra IME\' one_view=one-view
else
    view=32 install_dir='C:\Program Files (x86)\Tevra IME\'
fi
"$source_dir/cmake/wine-prefix.sh" create "$prefix" "$prefix_arch"

echo "== install (msiexec /i /qn)"
# msiexec returns after the deferred actions have run. Wine runs them as the
# test's user, so the per-user record and the preload list checked are that
# user's (on Windows, with Impersonate="no", the system account's).
check "msiexec /i exits with 0" \
    $wine msiexec /i "$(windows_path "$msi")" /qn /l*v "$(windows_path "$work/install.log")"
check_installed "$view" "$install_dir" ${one_view:-}

echo "== remove (msiexec /x /qn)"
seed_preload
check "msiexec /x exits with 0" \
    $wine msiexec /x "$(windows_path "$msi")" /qn /l*v "$(windows_path "$work/remove.log")"
check_uninstalled "$view"
finish
