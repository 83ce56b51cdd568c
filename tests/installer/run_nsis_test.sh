#!/bin/bash
# Builds the sample NSIS installer, runs it and its uninstaller silently under
# Wine in a fresh 64-bit prefix, and checks the registry after each; then an
# install that must fail and take everything back. With SCENARIO (Repair,
# UpgradeInUse, FailedUpgrade or Migration, in installer_checks.sh) and
# UPDATE_DIST (the same files with a newer version), that part of the life of
# an install instead; with Existing, the update of an installer shaped like
# an existing product's (existing/acme-ime.nsi) and its failed install.
#   run_nsis_test.sh SOURCE_DIR DIST_ROOT WORK_DIR [SCENARIO UPDATE_DIST]
set -euo pipefail
source_dir=$1 dist=$2 work=$3 scenario=${4:-} update=${5:-}
prefix=$work/prefix setup=$work/tevra-ime-setup.exe
export WINEDEBUG=-all
rm -rf "$work" && mkdir -p "$work"
trap '"$source_dir/cmake/wine-prefix.sh" destroy "$prefix"' EXIT

export WINEPREFIX=$prefix WORK=$work
source "$source_dir/tests/installer/installer_checks.sh"
source "$source_dir/tests/docs/troubleshooting_queries.sh"
# The NSIS programs are 32-bit: wait for them and the tools they start.
nsis_programs='(tevra-ime|acme)-setup\.exe|update\.exe|uninstall\.exe|Au_\.exe|kbreg\.exe|halfkey\.exe'
places x64 win64
programs='kbreg.exe:x64/kbreg.exe halfkey.exe:x86/halfkey.exe'
uninstall_entry='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tevra IME' entry_view=64
setup_args=
# While the update waits for the restart, the troubleshooting query that shows it.
after_step() { [ "$1" != updated ] || check_troubleshooting_queries restart; }

run_setup() {  # run_setup SETUP LOG_NAME: sets $code
    code=0
    # shellcheck disable=SC2086
    wine "$1" /S $setup_args 2>"$work/wine.log" || code=$?
    settle "$nsis_programs"
    # Debian 13's Wine 10 has a position-independent 32-bit loader, which
    # Linux (and qemu, following it) maps at 4 MB: exactly where an NSIS
    # installer, a program without relocations, must go: that Wine cannot
    # start one here.
    if grep -q 'failed to create main module.*c0000018' "$work/wine.log"; then
        echo "skipped: this Wine ($(wine64 --version)) cannot start a 32-bit program without relocations:"
        cat "$work/wine.log"
        exit 77
    fi
}
# In place (_?=), so that wine returns with its exit code: otherwise the
# uninstaller starts a copy of itself and ends at once with 0. NSIS takes _?=
# only unquoted, and wine quotes an argument that holds blanks, so the folder
# goes as separate words, which wine joins with blanks. In place, the
# uninstaller cannot delete itself: the test does.
run_uninstaller() {  # sets $code
    code=0
    set -f
    # shellcheck disable=SC2086
    wine "$install_dir\\uninstall.exe" /S _?=$install_dir || code=$?
    set +f
    settle "$nsis_programs"
    rm -f "$program_dir/uninstall.exe" && rmdir "$program_dir" 2>/dev/null || true
}
restart_asked() { restart_needed; }  # the uninstaller's exit code says it
nothing_left() {  # prints what is left of an install: program and tools folders, IME files, uninstall entry
    local left
    left=$(ls -d "$program_dir" "$tools_path" 2>/dev/null
           ime_files_in "$imes"
           missing "$uninstall_entry" "/reg:$entry_view" || echo "$uninstall_entry")
    [ -z "$left" ] || { echo "$left"; return 1; }
}
build() {  # build DIST SETUP
    makensis -WX -V2 -DDIST_DIR="$1" -DOUT_FILE="$2" "$source_dir/examples/nsis/tevra-ime.nsi"
}

if [ "$scenario" = Existing ]; then
    existing_product
    setup=$work/acme-setup.exe setup_args="/D=$install_dir" entry_view=32
    uninstall_entry='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Acme Pinyin'
    build() {  # build DIST SETUP: with DIST's companion
        makensis -WX -V2 -DDIST_DIR="$1" -DCOMPANION="$(existing_companion "$1")" -DOUT_FILE="$2" \
            "$source_dir/tests/installer/existing/acme-ime.nsi"
    }
    after_step() {
        existing_after_step "$1" ".onInit .onInstSuccess" "un.onInit un.onUninstSuccess"
        [ "$1" = installed ] || return 0
        check "its settings in the 32-bit view, \$0 and \$OUTDIR kept across the macros" \
            test "$(value 'HKLM\Software\Acme\Pinyin' Before /reg:32)|$(value 'HKLM\Software\Acme\Pinyin' After /reg:32)" = "1|acme|C:\Acme"
        check "and nothing of them in the 64-bit view" missing 'HKLM\Software\Acme' /reg:64
    }
fi

build "$dist" "$setup"
"$source_dir/cmake/wine-prefix.sh" create "$prefix"
if [ "$scenario" = Existing ]; then
    echo "== the header in other installers"
    # installer NAME SED LINES...: the existing product's defines (edited by
    # SED), the include and LINES; builds it.
    installer() {
        { sed -n '/^Unicode true/p; /^!define IME_/p' "$source_dir/tests/installer/existing/acme-ime.nsi" |
              sed "s|\${DIST_DIR}|$dist|; $2"
          printf '%s\n' "OutFile $1.exe" "RequestExecutionLevel admin" "!include $source_dir/modules/ime-setup.nsh" "${@:3}"
        } >"$work/$1.nsi"
        makensis -WX -V1 "$work/$1.nsi" >"$work/$1.log" 2>&1
    }
    check "without an uninstaller, it builds under -WX" installer plain '' \
        'Section' '${ImeInstall}' 'SectionEnd' 'Function .onInstFailed' '${ImeTakeBack}' 'FunctionEnd'
    check "a define missing stops the build, naming it" \
        eval '! installer missing /IME_X86/d && grep "define IME_X86 before" "$work/missing.log"'
    build "$update" "$work/update.exe"
    lifecycle_UpgradeInUse "$dist" "$setup" "$update" "$work/update.exe"
    echo "== install with every IME layout slot taken"
    take_layout_slots
    run_setup "$setup" refused
    check "the installer aborts with exit code 2" test "$code" = 2
    check "the product's own .onInstFailed ran" ran .onInstFailed
    check "nothing left" nothing_left
    finish
    exit
elif [ -n "$scenario" ]; then
    build "$update" "$work/update.exe"
    "lifecycle_$scenario" "$dist" "$setup" "$update" "$work/update.exe"
    finish
    exit
fi

echo "== install (silent)"
run_setup "$setup" install
check "the installer exits with 0" test "$code" = 0
check_installed 64 "$install_dir"
check "tevra.ime of each bitness in system32 and syswow64" ime_files_put "$dist" "$imes"
check "the tools in $tools_dir" programs_from "$dist"
check "uninstall entry: Tevra IME 1.0.0.0, by Tevra, with the uninstall commands" \
    test "$(value "$uninstall_entry" DisplayName /reg:64)|$(value "$uninstall_entry" DisplayVersion /reg:64)|$(value "$uninstall_entry" Publisher /reg:64)|$(value "$uninstall_entry" QuietUninstallString /reg:64)" \
    = "Tevra IME|1.0.0.0|Tevra|\"$install_dir\\uninstall.exe\" /S"

seed_preload
echo "== the installer guide's troubleshooting queries"
check_troubleshooting_queries

echo "== uninstall (silent)"
run_uninstaller
check "the uninstaller exits with 0" test "$code" = 0
check_uninstalled 64
check "program folder, IME files and uninstall entry removed" nothing_left

echo "== install (silent) with every IME layout slot taken"
# ImmInstallIMEW then fails, kbreg records 0 and exits with 0: the sample
# must see that from the record, take back what it did and abort (exit code 2).
take_layout_slots
run_setup "$setup" refused
check "the installer aborts with exit code 2" test "$code" = 2
check "per-user record is 0" test "$(value 'HKCU\Software\Tevra\Ime' HKLID)" = 0
check "no layout key beyond the taken slots" \
    test "$(ime_layout_keys)" = "$taken_slots"
check "nothing left" nothing_left
finish
