#!/bin/bash
# Builds the sample Inno Setup setup (one for both Windows) and runs it
# silently in a fresh prefix, 64-bit (win64: its x64 half) or 32-bit (win32:
# its x86 half): install and uninstall, checking the registry and the files
# after each; then two installs that must fail and take the registration
# back: one whose program folder cannot be made (after kbreg ran), one with
# every IME layout slot taken. With SCENARIO (Repair, UpgradeInUse,
# FailedUpgrade or Migration, in installer_checks.sh) and UPDATE_DIST (the same
# files with a newer version), that part of the life of an install instead;
# with Existing, the update of a setup shaped like an existing product's
# (existing/acme-ime.iss) and its failed install.
#   run_inno_test.sh SOURCE_DIR DIST_ROOT WORK_DIR x64|x86 win64|win32 [SCENARIO UPDATE_DIST]
set -euo pipefail
source_dir=$1 dist=$2 work=$3 arch=$4 prefix_arch=$5 scenario=${6:-} update=${7:-}
programs="kbreg.exe:$arch/kbreg.exe halfkey.exe:x86/halfkey.exe"
# Without one an Inno setup exits with 1 even when silent.
[ -n "${DISPLAY:-}" ] || { echo "$0: Inno Setup needs an X display: set DISPLAY" >&2; exit 1; }
prefix=$work/prefix setup=$work/tevra-ime.exe
export WINEDEBUG=-all WINEPREFIX=$prefix WORK=$work
rm -rf "$work" && mkdir -p "$work"
trap '"$source_dir/cmake/wine-prefix.sh" destroy "$prefix"' EXIT
source "$source_dir/tests/installer/installer_checks.sh"
# In 64-bit mode on 64-bit Windows, and only there, the setup installs its x64 half.
case $arch-$prefix_arch in x64-win64|x86-win32) places "$arch" "$prefix_arch" ;; *) false ;; esac ||
    { echo "usage: $0 SOURCE_DIR DIST_ROOT WORK_DIR x64 win64|x86 win32 [SCENARIO UPDATE_DIST]" >&2; exit 2; }
uninstall_entry='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\{96E638E1-B840-4B76-BABD-B16D7450A6A6}_is1'
# The setup (a loader and its .tmp), the uninstaller's first and second phase, the tools.
inno_programs='(tevra-ime|acme-setup|update)\.(exe|tmp)|unins000\.exe|_unins\.tmp|(ime-setup-)?kbreg(-x64|-x86)?\.exe|halfkey\.exe'

# The setups carry relocations, so they should start wherever Wine runs
# 32-bit programs; only a machine that emulates them (Debian 13's loader
# then sits at 4 MB) is a reason to skip.
skip_if_cannot_start() {
    grep -q 'failed to create main module.*c0000018' "$work/wine.log" || return 0
    grep -qx enabled /proc/sys/fs/binfmt_misc/qemu-i386 2>/dev/null || return 0
    echo "skipped: this Wine ($(wine64 --version)) cannot start $1 on this machine:"
    cat "$work/wine.log"
    exit 77
}
# /RESTARTEXITCODE: a setup that replaces a file in use at the next restart
# ends with 3010 rather than 0.
setup_args=
run_setup() {  # run_setup SETUP LOG_NAME: sets $code
    code=0
    # shellcheck disable=SC2086
    wine "$1" $setup_args /VERYSILENT /SUPPRESSMSGBOXES /NORESTART /RESTARTEXITCODE=3010 \
        "/LOG=$(windows_path "$work/$2.log")" 2>>"$work/wine.log" || code=$?
    settle "$inno_programs"
    [ "$code" = 0 ] || skip_if_cannot_start "the setup"
}
run_uninstaller() {  # sets $code
    code=0
    wine "$install_dir\\unins000.exe" /VERYSILENT /SUPPRESSMSGBOXES /NORESTART \
        "/LOG=$(windows_path "$work/uninstall.log")" || code=$?
    settle "$inno_programs"
}
# The uninstaller has no exit code for it: its log says so.
restart_asked() { grep -a 'Need to restart Windows? Yes' "$work/uninstall.log"; }
nothing_left() {  # prints what is left of an install: program files, tools, IME files, uninstall entry
    local left
    left=$(ls "$program_dir" "$tools_path" 2>/dev/null
           ime_files_in "$imes"
           missing "$uninstall_entry" "/reg:$view" || echo "$uninstall_entry")
    [ -z "$left" ] || { echo "$left"; return 1; }
}

"$source_dir/cmake/wine-prefix.sh" create "$prefix" "$prefix_arch"
build() {  # build DIST SETUP
    "$source_dir/examples/inno/build-setup.sh" "$1" "$2" 2>"$work/wine.log" ||
        { skip_if_cannot_start "Inno Setup's compiler"; cat "$work/wine.log" >&2; exit 1; }
}
if [ "$scenario" = Existing ]; then
    existing_product
    setup=$work/acme-setup.exe setup_args="/DIR=$install_dir"
    uninstall_entry='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Acme Pinyin_is1'
    build() {  # build DIST SETUP: with DIST's companion
        "$source_dir/examples/inno/build-setup.sh" "$1" "$2" "$source_dir/tests/installer/existing/acme-ime.iss" \
            "/DCompanion=$(windows_path "$(existing_companion "$1")")" 2>"$work/wine.log" ||
            { skip_if_cannot_start "Inno Setup's compiler"; cat "$work/wine.log" >&2; exit 1; }
    }
    after_step() {
        existing_after_step "$1" "InitializeSetup PrepareToInstall CurStepChanged DeinitializeSetup" \
            CurUninstallStepChanged
        [ "$1" != installed ] ||
            check "its [Registry] entry in the 32-bit view" \
                test "$(value 'HKLM\Software\Acme\Pinyin' Setting /reg:32)" = "$install_dir"
    }
    echo "== the include in other setups"
    # refused_script NAME SED MESSAGE: the existing product's script up to the
    # include, edited by SED, does not compile and ISCC says MESSAGE.
    refused_script() {
        local include
        include=$(windows_path "$source_dir/modules/ime-setup.iss")
        sed -n '1,/^#include/p' "$source_dir/tests/installer/existing/acme-ime.iss" |
            sed "$2; s|^#include .*|#include \"${include//\\/\\\\}\"|" >"$work/$1.iss"
        ! "$source_dir/examples/inno/build-setup.sh" "$dist" "$work/$1.exe" "$work/$1.iss" >"$work/$1.log" 2>&1 &&
            grep -F "$3" "$work/$1.log"
    }
    check "a define missing stops the build, naming it" refused_script missing /IME_X86/d "define IME_X86 before"
    check "so does [Setup] without PrivilegesRequired=admin" \
        refused_script unprivileged /^PrivilegesRequired/d "must say PrivilegesRequired=admin"
    build "$dist" "$setup"
    build "$update" "$work/update.exe"
    lifecycle_UpgradeInUse "$dist" "$setup" "$update" "$work/update.exe"
    echo "== install with every IME layout slot taken"
    $wine reg delete 'HKLM\Software\Acme\Pinyin\Ran' /reg:32 /f >/dev/null
    take_layout_slots
    run_setup "$setup" refused
    check "the setup fails with exit code 7" test "$code" = 7
    check "the product's own DeinitializeSetup ran" ran DeinitializeSetup
    check "nothing left" nothing_left
    finish
    exit
fi
build "$dist" "$setup"

if [ -n "$scenario" ]; then
    build "$update" "$work/update.exe"
    "lifecycle_$scenario" "$dist" "$setup" "$update" "$work/update.exe"
    finish
    exit
fi

echo "== install (/VERYSILENT)"
run_setup "$setup" install
check "the setup exits with 0" test "$code" = 0
check_installed "$view" "$install_dir" ${one_view:-}
check "tevra.ime in its system folders ($imes)" ime_files_put "$dist" "$imes"
check "the tools in $tools_dir" programs_from "$dist"
check "uninstall entry in the $view-bit view" $wine reg query "$uninstall_entry" "/reg:$view"

echo "== uninstall (/VERYSILENT)"
seed_preload
run_uninstaller
check "the uninstaller exits with 0" test "$code" = 0
check_uninstalled "$view"
check "program files, IME files and uninstall entry removed" nothing_left

echo "== install failing after kbreg: a file where the program folder goes"
touch "$program_dir"
# The record then is this run's: the first install's stays after the uninstall.
$wine reg delete 'HKCU\Software\Tevra\Ime' /v HKLID /f >/dev/null 2>&1
run_setup "$setup" blocked
rm "$program_dir"
layout=$(value 'HKCU\Software\Tevra\Ime' HKLID)
check "the setup fails with exit code 4, after kbreg registered a layout" \
    test "$code" = 4 -a -n "$layout" -a "$layout" != 0
check "that layout key removed" missing "$layouts\\$layout"
check "nothing left" nothing_left

echo "== install with every IME layout slot taken"
take_layout_slots
run_setup "$setup" refused
check "the setup fails with exit code 7" test "$code" = 7
check "per-user record is 0" test "$(value 'HKCU\Software\Tevra\Ime' HKLID)" = 0
check "no layout key beyond the taken slots" test "$(ime_layout_keys)" = "$taken_slots"
check "nothing left" nothing_left
finish
