#!/bin/bash
# The sample MSI package over an installed one, in a fresh prefix (64-bit for
# x64, 32-bit for x86, which refuses 64-bit Windows): v1 built from DIST_ROOT,
# v2 from UPDATE_DIST (every file's version raised, so ProductVersion 1.0.1).
#   upgrade:        v2 over v1 while the IME files are in use, the restart,
#                   then v2 removed while they are in use again
#   failed-upgrade: v2 failing after InstallFiles over v1, IME files in use
#   repair:         v1 refused over v2; v2 repaired with its registration
#                   intact, then after its layout key was deleted; v2 built
#                   again (same version, another product) over it
# With existing, the package is one shaped like an existing product's
# (existing/acme-ime.wxs, x64), installed into C:\Acme, and its own parts
# are checked too.
#   run_msi_update_test.sh SOURCE_DIR DIST_ROOT UPDATE_DIST WORK_DIR CASE x64|x86 [existing]
set -euo pipefail
source_dir=$1 dist=$2 update=$3 work=$4 case=$5 arch=$6 package=${7:-sample}
prefix_arch=win64
[ "$arch" = x86 ] && prefix_arch=win32
export WINEDEBUG=-all WINEPREFIX=$work/prefix WORK=$work
rm -rf "$work" && mkdir -p "$work"
trap '"$source_dir/cmake/wine-prefix.sh" destroy "$WINEPREFIX"' EXIT
source "$source_dir/tests/installer/installer_checks.sh"
source "$source_dir/tests/installer/msi_checks.sh"

build() { "$source_dir/examples/msi/build-msi.sh" "$arch" "$1" "$work/$2.msi" && product[$2]=$(product_code "$work/$2.msi"); }
install_args=()
msi_places "$arch" "$prefix_arch"
if [ "$package" = existing ]; then
    existing_product
    install_dir+='\' install_args=("INSTALLFOLDER=$install_dir") product_name="Acme Pinyin"
    # Windows Installer's own handling of files in use is the IME files',
    # which the cases check already; the companion file is not held.
    loaded_too=
    # build DIST NAME: with the include and the script only, in $work, where
    # wixl finds its sources by relative paths; DIST's companion and version.
    build() {
        local version=1.0.0 companion=v1/acme.dict tools
        [ "$1" = "$dist" ] || version=1.0.1 companion=v2/acme.dict
        tools=$(realpath --relative-to="$work" "$1")
        local defines=(-D Arch=x64 -D ImeFile=tevra.ime -D ImeSection=Ime -D ImeValueName=HKLID -D ImeTools="$tools"
                       -D ImeX64="$tools/ime/x64/tevra.ime" -D ImeX86="$tools/ime/x86/tevra.ime")
        (cd "$work" &&
         wixl -a x64 "${defines[@]}" -D Companion="$companion" -D Version=$version -I "$source_dir/modules" \
             -o "$2.msi" "$source_dir/tests/installer/existing/acme-ime.wxs" &&
         "$source_dir/modules/ime-setup-wixl.sh" "$2.msi" "${defines[@]}" -D ImeName=中文输入法) &&
        product[$2]=$(product_code "$work/$2.msi")
    }
    # own PRODUCT_VERSION: its folder under C:\ holds its own file and no tool, and
    # its custom action gave its registry value (32-bit view) that version.
    own() {
        check "its own file in $install_dir" test -f "$program_dir/acme.dict"
        check "no tool in $install_dir" test -z "$(find "$program_dir" -iname '*.exe' -o -iname '*.dll')"
        check "its own registry value, set by its own action" \
            test "$(value 'HKLM\Software\Acme\Pinyin' Edition /reg:32)" = "standard $1"
    }
    after_step() {
        case $1 in
        installed) own 1.0.0 ;;
        updated) own 1.0.1 ;;
        uninstalled)
            check "its folder removed" eval 'find "$program_dir" 2>/dev/null; test ! -e "$program_dir"'
            check "its registry value removed" missing 'HKLM\Software\Acme\Pinyin' /reg:32 ;;
        esac
    }
fi
declare -A product
build "$dist" v1
build "$update" v2
"$source_dir/cmake/wine-prefix.sh" create "$WINEPREFIX" "$prefix_arch"

msiexec_code() {  # msiexec_code LOG ARGUMENTS...: quiet, no restart; sets $code
    code=0
    $wine msiexec "${@:2}" /qn /norestart /l*v "$(windows_path "$work/$1.log")" || code=$?
}
run_setup() { msiexec_code "$2" /i "$(windows_path "$1")" "${install_args[@]}" "${@:3}"; }  # run_setup MSI LOG [PROPERTY=VALUE...]
programs="kbreg.exe:$arch/kbreg.exe halfkey.exe:x86/halfkey.exe"
# kept PACKAGE: PACKAGE is the one product, and the registration is the
# first install's.
kept() {
    check "one product: $1" test "$(products)" = "${product[$1]}"
    check_kept
}
# What Wine's msiexec does differently, as the checks above accept it.
deletion_queued_or_left() {  # each IME file queued for deletion, or left with nothing queued
    local pair
    for pair in $imes; do
        queued | grep -qixF "\??\C:\windows\\${pair#*:}\tevra.ime => " ||
            { [ -e "$WINEPREFIX/drive_c/windows/${pair#*:}/tevra.ime" ] && [ -z "$(queued)" ]; } || return 1
    done
}
v1_programs_or_none() {  # each program file v1's, or gone
    local pair
    for pair in $programs; do
        [ ! -e "$tools_path/${pair%%:*}" ] || cmp "$dist/${pair#*:}" "$tools_path/${pair%%:*}" || return 1
    done
}

case $case in
upgrade)
    install_first "$work/v1.msi"
    echo "== v2 over v1, the IME files in use"
    hold_imes "$imes"
    run_setup "$work/v2.msi" v2
    # ERROR_SUCCESS_REBOOT_REQUIRED: installed, the IME files wait for the restart.
    check "msiexec /i v2 exits with 3010 (the shell sees 194)" restart_needed
    kept v2
    after_step updated
    echo "== restart"
    restart
    check "v2's program and IME files in place" eval 'programs_from "$update" && ime_files_put "$update" "$imes"'

    echo "== v2 removed, the IME files in use (msiexec /x)"
    hold_imes "$imes"
    # Windows Installer removes an installed component's files from where it
    # put them; Wine's msiexec works the folder out anew, so a removal from a
    # folder of the user's choice is told it again.
    msiexec_code remove /x "$(windows_path "$work/v2.msi")" "${install_args[@]}"
    # Windows Installer queues the IME files' deletion for the restart and ends
    # with 3010. Wine's msiexec logs that it cannot delete a file in use and
    # leaves it for good, queueing nothing, and ends with 0: accepted here.
    check "msiexec /x exits with 0 or 3010" eval '! failed'
    check "no product left" test -z "$(products)"
    check_uninstalled "$view"
    check "program files removed" test ! -e "$tools_path/kbreg.exe" -a ! -e "$tools_path/halfkey.exe"
    check "IME files queued for deletion (Wine: left, nothing queued)" deletion_queued_or_left
    after_step uninstalled
    ;;
failed-upgrade)
    install_first "$work/v1.msi"
    # The failure comes after KbregInstall, which this upgrade skips: so
    # neither may its rollback run, which would take v1's layout away.
    cp "$work/v2.msi" "$work/failing.msi"
    add_failure "$work/failing.msi" 4030 ''
    echo "== v2 failing after InstallFiles over v1, the IME files in use"
    hold_imes "$imes"
    run_setup "$work/failing.msi" failing
    check "msiexec /i fails" failed
    kept v1
    check "v1's IME files in place" ime_files_put "$dist" "$imes"
    # Windows Installer restores the program files the rollback takes back
    # and drops the renames it queued for the IME files in use. Wine's
    # msiexec keeps no copy of the files it replaces: its rollback deletes
    # them, and leaves the renames queued, so after the restart v2's IME files
    # stand there. Accepted here; the registration must stay all the same.
    check "v1's program files in place (Wine: deleted)" v1_programs_or_none
    echo "== restart"
    restart
    kept v1
    check "v1's IME files in place (Wine: v2's)" eval 'ime_files_put "$dist" "$imes" || ime_files_put "$update" "$imes"'
    ;;
repair)
    build "$update" v2again
    install_first "$work/v2.msi"
    echo "== v1 over v2: refused"
    run_setup "$work/v1.msi" downgrade
    check "msiexec /i v1 fails" test "$code" != 0
    kept v2
    echo "== repair, the registration intact"
    run_setup "$work/v2.msi" repair REINSTALL=ALL REINSTALLMODE=omus
    check "the repair exits with 0" test "$code" = 0
    kept v2
    echo "== repair after the layout key was deleted"
    $wine reg delete "$layouts\\$layout" /f >/dev/null 2>&1
    run_setup "$work/v2.msi" repair-again REINSTALL=ALL REINSTALLMODE=omus
    check "the repair exits with 0" test "$code" = 0
    check_installed "$view" "$install_dir" $one_view
    check "one IME layout registered" test "$(ime_layout_keys)" = 1
    seed_preload
    echo "== v2 built again (same version, another product code) over v2"
    run_setup "$work/v2again.msi" v2again
    check "msiexec /i exits with 0" test "$code" = 0
    kept v2again
    ;;
esac
finish
