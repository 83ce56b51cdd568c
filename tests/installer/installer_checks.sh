# Registry checks shared by the installer tests; sourced by bash scripts that
# have set WINEPREFIX and WORK (a scratch folder). Every sample installs kbreg
# with section Ime, value name HKLID and display name 中文输入法, and halfkey's
# Ime,InstallDir,<install folder>.

source "$(dirname "${BASH_SOURCE[0]}")/../support/checks.sh"
PATH="$(dirname "${BASH_SOURCE[0]}")/../../cmake/wine-bin:$PATH"
# Wine's own tools run on the 64-bit loader alone, but in a 32-bit prefix.
wine=${wine:-wine64}

# places ARCH PREFIX_ARCH: where a sample setup for ARCH (x64 or x86) puts
# things in a win64 or win32 prefix. Sets view (the registry view of its
# kbreg), install_dir (no backslash at the end), program_dir, tools_dir and
# tools_path (the tools' folder, which the modules put under the native
# Common Files), imes (ARCH:FOLDER pairs), one_view (32-bit Windows) and wine
# (in a 32-bit prefix Wine's own tools run on the 32-bit loader). Fails for
# x64 in a win32 prefix.
places() {
    one_view= wine=wine64 tools_dir='C:\Program Files\Common Files\Tevra\Ime'
    case $1-$2 in
    x64-win64) view=64 install_dir='C:\Program Files\Tevra IME' imes='x64:system32 x86:syswow64' ;;
    x86-win64) view=32 install_dir='C:\Program Files (x86)\Tevra IME' imes='x86:syswow64'
               tools_dir='C:\Program Files (x86)\Common Files\Tevra\Ime' ;;
    x86-win32) view=32 install_dir='C:\Program Files\Tevra IME' imes='x86:system32' one_view=one-view wine=wine ;;
    *) return 1 ;;
    esac
    program_dir=$(unix_path "$install_dir") tools_path=$(unix_path "$tools_dir")
}

query() { { $wine reg query "$@" 2>/dev/null || true; } | tr -d '\r'; }
missing() { ! $wine reg query "$@" >/dev/null 2>&1; }
value() {  # value KEY NAME [/reg:32|/reg:64]: the data, blanks and all
    query "$1" /v "$2" "${@:3}" | sed -n "s/^    $2    REG_[A-Z_]*    //p"
}
windows_path() { printf 'Z:%s' "${1//\//\\}"; }
unix_path() { local path=${1:3}; printf '%s/drive_c/%s' "$WINEPREFIX" "${path//\\//}"; }  # C:\... in the prefix

layouts='HKLM\System\CurrentControlSet\Control\Keyboard Layouts'
preload='HKCU\Keyboard Layout\Preload'
# `reg query` prints text outside the console's code page as '?'; an export
# is UTF-16 and exact.
layout_value() {  # layout_value LAYOUT NAME
    local file=$WORK/layout.reg
    rm -f "$file"
    $wine reg export "$layouts\\$1" "$(windows_path "$file")" /y >/dev/null 2>&1 || return 0
    iconv -f UTF-16 -t UTF-8 "$file" | tr -d '\r' | sed -n "s/^\"$2\"=\"\\(.*\\)\"\$/\\1/p"
}

# check_installed VIEW INSTALL_DIR [one-view]: after an install by a kbreg
# that writes the /reg:VIEW view of HKLM\Software; sets $layout. one-view:
# 32-bit Windows, where /reg:64 names the same view.
check_installed() {
    layout=$(value 'HKCU\Software\Tevra\Ime' HKLID)
    echo "recorded layout handle text: ${layout:-none}"
    check "per-user record is a layout handle" test -n "$layout" -a "$layout" != 0
    check "machine-wide record, $1-bit view" test "$(value 'HKLM\Software\Tevra\Ime' HKLID "/reg:$1")" = "$layout"
    check "layout key with display name 中文输入法" test "$(layout_value "$layout" 'Layout Text')" = 中文输入法
    # Wine 10 stores the file name upper-cased, Wine 8 as given.
    check "layout key names tevra.ime" test "$(layout_value "$layout" 'Ime File' | tr a-z A-Z)" = TEVRA.IME
    check "halfkey value in the 32-bit view" test "$(value 'HKLM\Software\Tevra\Ime' InstallDir /reg:32)" = "$2"
    [ "${3:-}" = one-view ] ||
        check "halfkey value not in the 64-bit view" missing 'HKLM\Software\Tevra\Ime' /v InstallDir /reg:64
}

# Wine rewrites entry 1 whenever a program that uses the window system starts:
# seed from 2 up, with our layout between two others.
seed_preload() {
    $wine reg add "$preload" /v 2 /d 00000804 /f >/dev/null 2>&1
    $wine reg add "$preload" /v 3 /d "${layout^^}" /f >/dev/null 2>&1
    $wine reg add "$preload" /v 4 /d 00000411 /f >/dev/null 2>&1
}

# The IME files as ARCH:FOLDER pairs ("x64:system32 x86:syswow64"): the
# tevra.ime of that architecture in C:\windows\FOLDER.
ime_files_put() {  # ime_files_put DIST PAIRS: each is the file built in DIST
    local pair
    for pair in $2; do
        cmp "$1/ime/${pair%%:*}/tevra.ime" "$WINEPREFIX/drive_c/windows/${pair#*:}/tevra.ime" || return 1
    done
}
ime_files_in() {  # ime_files_in PAIRS: prints those that are there
    local pair
    for pair in $1; do ls "$WINEPREFIX/drive_c/windows/${pair#*:}/tevra.ime" 2>/dev/null; done
}

# Every IME layout slot taken, e002xxxx to efffxxxx: the system then refuses a
# new registration, and kbreg records 0 and exits with 0. The low word is the
# user's language on Wine 8, the file's on Wine 10.
taken_slots=$((2 * (0xefff - 0xe002 + 1)))
take_layout_slots() {
    local n key=${layouts/HKLM/HKEY_LOCAL_MACHINE}
    {
        printf 'Windows Registry Editor Version 5.00\r\n\r\n'
        for ((n = 0xe002; n <= 0xefff; n++)); do
            printf '[%s\\%x0409]\r\n[%s\\%x0804]\r\n' "$key" $n "$key" $n
        done
    } > "$WORK/slots.reg"
    $wine regedit /S "$(windows_path "$WORK/slots.reg")"
}
ime_layout_keys() { query "$layouts" | grep -ci '^HKEY.*\\e[0-9a-f]\{7\}$' || true; }

# settle PATTERN: wine may return before an installer and the programs it
# starts have ended; waits until no process of this prefix whose command line
# matches PATTERN runs any more (hold_files, below, names files it holds).
settle() {
    local i pid busy
    for i in $(seq 300); do
        busy=
        for pid in $(pgrep -f -i "$1"); do
            grep -qa hold_files "/proc/$pid/cmdline" 2>/dev/null && continue
            tr '\0' '\n' 2>/dev/null <"/proc/$pid/environ" | grep -qxF "WINEPREFIX=$WINEPREFIX" && busy=1
        done
        [ -n "$busy" ] || return 0
        sleep 0.1
    done
    echo "the installer did not finish" >&2
    return 1
}

# check_uninstalled VIEW: after the uninstall, with the preload list seeded.
check_uninstalled() {
    check "layout key removed" missing "$layouts\\$layout"
    check "preload entry removed, entry 4 moved to 3" test "$(value "$preload" 3)" = 00000411
    check "preload has no entry 4" missing "$preload" /v 4
    check "preload entry 2 kept" test "$(value "$preload" 2)" = 00000804
    check "per-user record kept" test "$(value 'HKCU\Software\Tevra\Ime' HKLID)" = "$layout"
    check "machine-wide record kept" test "$(value 'HKLM\Software\Tevra\Ime' HKLID "/reg:$1")" = "$layout"
}

# Files in use and restarts. hold_files.exe of each bitness comes from
# $TEST_PROGRAMS/x64 and /x86 (set by CTest); a 32-bit IME file is loaded by a
# 32-bit program, as on Windows.
held=()
hold() {  # hold x64|x86 FILE...: C:\ paths, held until let_go or a restart
    local ready=$WORK/held-${#held[@]} loader=wine64 i
    [ "$1" = x86 ] && loader=wine
    $loader "$TEST_PROGRAMS/$1/hold_files.exe" "$(windows_path "$ready")" "${@:2}" &
    held+=($!)
    for i in $(seq 200); do
        [ -e "$ready" ] && return 0
        kill -0 "${held[-1]}" 2>/dev/null || break
        sleep 0.1
    done
    echo "hold_files ($1) could not hold: ${*:2}" >&2
    return 1
}
# loaded_too: files besides the IME files that programs with the input method
# keep loaded, "ARCH:C:\path" (no blanks) each; held with them. A script
# that sets it checks them in after_step, which the scenarios call after
# each step: updated, update-restarted, uninstalled, uninstall-restarted.
loaded_too=
after_step() { :; }
hold_imes() {  # hold_imes PAIRS: each ARCH:FOLDER's tevra.ime, by a program of ARCH, and loaded_too
    local pair
    for pair in $1; do hold "${pair%%:*}" "C:\\windows\\${pair#*:}\\tevra.ime" || return 1; done
    for pair in $loaded_too; do hold "${pair%%:*}" "${pair#*:}" || return 1; done
}
let_go() {
    rm -f "$WORK"/held-*
    wait "${held[@]}" 2>/dev/null || true
    held=()
}
# restart: what Windows does at a restart: every program of the prefix ends,
# then start-up carries out the renames and deletions queued for it.
restart() {
    rm -f "$WORK"/held-*
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    wait "${held[@]}" 2>/dev/null || true
    held=()
    $wine wineboot -r >/dev/null 2>&1
}
session_manager='HKLM\System\CurrentControlSet\Control\Session Manager'
# queued: what waits for the restart, one "SOURCE => TARGET" per line (TARGET
# empty: a deletion; "!" before it: replaces the file there).
queued() {
    value "$session_manager" PendingFileRenameOperations |
        awk '{n = split($0, part, /\\0/); for (i = 1; i <= n; i += 2) if (part[i] != "") print part[i] " => " part[i + 1]}'
}

# The life of an install after the first: repair, update, failed update and
# uninstall with the IME files in use. The script that sources this defines
# run_setup FILE LOG and run_uninstaller (each sets $code), restart_asked (the
# uninstaller asked for a restart), nothing_left (prints what is left of an
# install), and sets imes (ARCH:FOLDER pairs), view, install_dir, program_dir,
# tools_dir, tools_path, programs (NAME:FILE pairs: the tools in tools_path,
# FILE relative to a dist folder) and one_view (32-bit Windows).

restart_needed() { [ "$code" = 3010 ] || [ "$code" = 194 ]; }  # 194: what a shell sees of 3010
failed() { [ "$code" != 0 ] && ! restart_needed; }
programs_from() {  # programs_from DIST: the program files are DIST's
    local pair
    for pair in $programs; do cmp "$1/${pair#*:}" "$tools_path/${pair%%:*}" || return 1; done
}
ime_layouts() {  # the layout keys whose Ime File is tevra.ime
    local key
    for key in $(query "$layouts" | grep -io '\\e[0-9a-f]\{7\}$' | tr -d '\\'); do
        [ "$(layout_value "$key" 'Ime File' | tr a-z A-Z)" != TEVRA.IME ] || echo "$key"
    done
}
waits() {  # waits replace|delete C:\PATH: the file's replacement or deletion waits for the restart
    if [ "$1" = delete ]; then
        queued | grep -qixF "\\??\\$2 => "
    else
        queued | grep -qiF "=> !\\??\\$2"
    fi
}
waiting() {  # waiting replace|delete PAIRS: each IME file's replacement or deletion waits for the restart
    local pair
    for pair in $2; do waits "$1" "C:\\windows\\${pair#*:}\\tevra.ime" || return 1; done
}
nothing_of_ours_waits() { ! queued | grep -i tevra; }
check_kept() {  # the first install's registration, as it was: $layout, records, preload entry 3
    check "the recorded layout is the only one naming tevra.ime" test "$(ime_layouts)" = "$layout"
    check "records unchanged" test "$(value 'HKCU\Software\Tevra\Ime' HKLID)" = "$layout" \
        -a "$(value 'HKLM\Software\Tevra\Ime' HKLID "/reg:$view")" = "$layout"
    check "preload entry kept" test "$(value "$preload" 3)" = "${layout^^}"
}
install_first() {  # install_first SETUP: the first install, checked, with a seeded preload list
    echo "== first install"
    run_setup "$1" first
    check "the setup exits with 0" test "$code" = 0
    check_installed "$view" "$install_dir" ${one_view:-}
    seed_preload
    after_step installed
}

# lifecycle_Repair DIST SETUP: the same setup again, with the IME files in
# use; then again after the layout key was deleted by hand, and with records
# that name another input method's layout.
lifecycle_Repair() {
    install_first "$2"
    echo "== repair: the same setup again, the IME files in use"
    hold_imes "$imes"
    run_setup "$2" repair
    check "the repair exits with 0" test "$code" = 0
    check_kept
    check "nothing of ours waits for a restart" nothing_of_ours_waits
    let_go
    echo "== repair after the layout key was deleted by hand"
    $wine reg delete "$layouts\\$layout" /f >/dev/null
    run_setup "$2" registered-again
    check "the repair exits with 0" test "$code" = 0
    check_installed "$view" "$install_dir" ${one_view:-}
    check "the new layout is the only one naming tevra.ime" test "$(ime_layouts)" = "$layout"
    echo "== repair with records that name another input method's layout"
    local other=e0ff0804
    $wine reg add "$layouts\\$other" /v 'Ime File' /d other.ime /f >/dev/null
    $wine reg add 'HKCU\Software\Tevra\Ime' /v HKLID /d $other /f >/dev/null
    $wine reg add 'HKLM\Software\Tevra\Ime' /v HKLID /d $other "/reg:$view" /f >/dev/null
    run_setup "$2" stale-record
    check "the repair exits with 0" test "$code" = 0
    check_installed "$view" "$install_dir" ${one_view:-}
    check "the other input method's layout left as it was" test "$(layout_value $other 'Ime File')" = other.ime
}

# lifecycle_UpgradeInUse DIST SETUP UPDATE_DIST UPDATE_SETUP: the update with
# the IME files in use, the restart, then the uninstall with them in use.
lifecycle_UpgradeInUse() {
    install_first "$2"
    echo "== update, the IME files in use"
    hold_imes "$imes"
    run_setup "$4" update
    check "the update exits with 3010: restart needed" restart_needed
    check_kept
    check "the program files are the update's" programs_from "$3"
    check "the IME files in use stay until the restart" ime_files_put "$1" "$imes"
    check "their replacement waits for the restart" waiting replace "$imes"
    after_step updated
    echo "== restart"
    restart
    check "the IME files are the update's" ime_files_put "$3" "$imes"
    check_kept
    after_step update-restarted
    echo "== uninstall, the IME files in use"
    hold_imes "$imes"
    run_uninstaller
    check "the uninstaller asks for a restart" restart_asked
    check_uninstalled "$view"
    check "the IME files' deletion waits for the restart" waiting delete "$imes"
    after_step uninstalled
    echo "== restart"
    restart
    check "nothing left" nothing_left
    after_step uninstall-restarted
}

# lifecycle_FailedUpgrade DIST SETUP UPDATE_DIST UPDATE_SETUP: the update
# fails on a program file that another program keeps open, the IME files in
# use; the installed copy works on, before and after a restart, and its
# uninstaller removes it.
lifecycle_FailedUpgrade() {
    install_first "$2"
    echo "== update, halfkey.exe kept open, the IME files in use"
    hold_imes "$imes"
    hold x86 "$tools_dir\\halfkey.exe"
    run_setup "$4" update
    check "the update fails ($code)" failed
    check_kept
    check "the program files are the installed copy's" programs_from "$1"
    check "the IME files are the installed copy's" ime_files_put "$1" "$imes"
    check "nothing of ours waits for the restart" nothing_of_ours_waits
    echo "== restart"
    restart
    check_kept
    check "the IME files are the installed copy's" ime_files_put "$1" "$imes"
    echo "== uninstall"
    run_uninstaller
    check "the uninstaller exits with 0" test "$code" = 0
    check_uninstalled "$view"
    check "nothing left" nothing_left
}

# lifecycle_Migration DIST SETUP: a product that moves to the modules from an
# older installer has its layout registered and no record. The setup keeps
# that layout and records it, and the uninstaller removes it.
lifecycle_Migration() {
    local kbreg=$1/x64/kbreg.exe loader=wine64 pair
    [ "$view" = 64 ] || kbreg=$1/x86/kbreg.exe loader=wine
    echo "== the older installer's registration: IME files, a layout for tevra.ime, no record"
    for pair in $imes; do cp "$1/ime/${pair%%:*}/tevra.ime" "$WINEPREFIX/drive_c/windows/${pair#*:}/"; done
    $loader "$kbreg" install tevra.ime Older Older HKLID
    layout=$(value 'HKCU\Software\Tevra\Older' HKLID)
    $wine reg delete 'HKCU\Software\Tevra' /f >/dev/null 2>&1
    $wine reg delete 'HKLM\Software\Tevra' "/reg:$view" /f >/dev/null 2>&1
    check "a layout for tevra.ime and no record" test -n "$layout" -a "$layout" != 0 -a "$(ime_layouts)" = "$layout"
    seed_preload
    echo "== install"
    run_setup "$2" migrate
    check "the setup exits with 0" test "$code" = 0
    check "the older layout is kept, the only one naming tevra.ime" test "$(ime_layouts)" = "$layout"
    check "records name it" test "$(value 'HKCU\Software\Tevra\Ime' HKLID)" = "$layout" \
        -a "$(value 'HKLM\Software\Tevra\Ime' HKLID "/reg:$view")" = "$layout"
    check "preload entry kept" test "$(value "$preload" 3)" = "${layout^^}"
    echo "== uninstall"
    run_uninstaller
    check "the uninstaller exits with 0" test "$code" = 0
    check_uninstalled "$view"
    check "nothing left" nothing_left
}

# The existing product of tests/installer/existing/, with a module added:
# installed into C:\Acme, a folder under C:\ that every user may write, with
# an unversioned companion file acme.dict that differs in the update; its own
# callbacks leave marks in HKLM\Software\Acme\Pinyin\Ran (32-bit view).
# existing_product: sets install_dir, program_dir and loaded_too, and writes
# $WORK/v1/acme.dict and $WORK/v2/acme.dict (the update's).
existing_product() {
    install_dir='C:\Acme' program_dir=$(unix_path 'C:\Acme') loaded_too='x86:C:\Acme\acme.dict'
    mkdir -p "$WORK/v1" "$WORK/v2"
    echo "dictionary 1" >"$WORK/v1/acme.dict" && touch -d 2026-01-01 "$WORK/v1/acme.dict"
    echo "dictionary 2" >"$WORK/v2/acme.dict" && touch -d 2026-02-01 "$WORK/v2/acme.dict"
}
existing_companion() {  # existing_companion DIST: the companion file built with DIST (the first install's, or the update's)
    if [ "$1" = "$dist" ]; then echo "$WORK/v1/acme.dict"; else echo "$WORK/v2/acme.dict"; fi
}
ran() {  # ran CALLBACK...: each left its mark
    local callback
    for callback; do test "$(value 'HKLM\Software\Acme\Pinyin\Ran' "$callback" /reg:32)" = 1 || return 1; done
}
# existing_after_step STEP "INSTALL CALLBACKS" "UNINSTALL CALLBACKS": the
# after_step of the existing product's lifecycle.
existing_after_step() {
    local dict=$program_dir/acme.dict
    case $1 in
    installed)
        # shellcheck disable=SC2086
        check "the product's own callbacks ran: $2" ran $2
        check "no tool in the install folder" test ! -e "$program_dir/kbreg.exe" -a ! -e "$program_dir/halfkey.exe"
        check "the companion file in place" cmp "$WORK/v1/acme.dict" "$dict" ;;
    updated) check "the companion file's replacement waits for the restart" waits replace 'C:\Acme\acme.dict' ;;
    update-restarted) check "the companion file is the update's" cmp "$WORK/v2/acme.dict" "$dict" ;;
    uninstalled) check "the companion file's deletion waits for the restart" waits delete 'C:\Acme\acme.dict' ;;
    # shellcheck disable=SC2086
    uninstall-restarted) check "the product's own uninstall callbacks ran: $3" ran $3 ;;
    esac
}
