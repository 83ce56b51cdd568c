# The installer guide's troubleshooting queries (the `reg query` lines in the
# fenced blocks after <!-- queries --> or <!-- queries: KIND -->), run by
# Wine's reg where the guide says they show something: after a sample
# installed the IME (no KIND), after an MSI install (msi), while an update
# waits for the restart (restart). Each prints the state the guide says it
# reads. Sourced after installer_checks.sh.

# queries KIND: the marked blocks' reg query lines of that kind, as the guide prints them.
queries() {
    awk -v marker="<!-- queries${1:+: $1} -->" '
         $0 == marker { marked = 1; next }
         /^```/ { if (inside) inside = marked = 0; else if (marked) inside = 1; next }
         inside && /^reg query / { print }' "$(dirname "${BASH_SOURCE[0]}")/../../docs/installers.md"
}
# expected LINE: what that line must print, one extended regular expression a
# line (case aside), or "missing" for a query that finds nothing; nothing for
# a line this test does not know.
expected() {
    case $1 in
    *'\Software\Tevra\Ime" /reg:64') echo "HKLID +REG_SZ +$layout\$" ;;
    *'\Software\Tevra\Ime" /reg:32') echo 'InstallDir +REG_SZ +C:\\Program Files\\Tevra IME$' ;;
    'reg query "HKCU\Software\Tevra\Ime"') echo "HKLID +REG_SZ +$layout\$" ;;
    # Wine runs every action of msiexec as the installing user: the system
    # account's hive holds no record there (on Windows it holds HKLID).
    *'S-1-5-18\Software\Tevra\Ime"') echo missing ;;
    *'\Keyboard Layouts\<record>"') echo 'Ime File +REG_SZ +tevra\.ime$' ;;
    *'\Keyboard Layouts" /s /v "Ime File"') printf '%s\n' "Keyboard Layouts\\\\$layout\$" 'Ime File +REG_SZ +tevra\.ime$' ;;
    'reg query "HKCU\Keyboard Layout\Preload"') echo "REG_SZ +${layout^^}\$" ;;
    *'\Uninstall" /s /v DisplayName /reg:64') printf '%s\n' 'Uninstall\\Tevra IME$' 'DisplayName +REG_SZ +Tevra IME$' ;;
    *'Session Manager" /v PendingFileRenameOperations') echo 'REG_MULTI_SZ .*tevra\.ime\.new\\0!\\\?\?\\C:\\windows\\system32\\tevra\.ime' ;;
    # An elevated install writes nothing there (and Wine has no virtual store).
    *'\VirtualStore\MACHINE\SOFTWARE\Wow6432Node\Tevra\Ime"') echo missing ;;
    esac
}
# prints LINE: runs the line as cmd would split it and finds what it must print.
prints() {
    local line=${1//<record>/$layout} output pattern patterns
    mapfile -t patterns < <(expected "$1")
    eval "set -- ${line//\\/\\\\}"
    [ ${#patterns[@]} -gt 0 ] || { echo "this test does not know what the line prints"; return 1; }
    if [ "${patterns[0]}" = missing ]; then
        ! $wine reg "${@:2}" >/dev/null 2>&1 || { echo "it finds something:"; query "${@:3}"; return 1; }
        return 0
    fi
    output=$(query "${@:3}")
    for pattern in "${patterns[@]}"; do
        grep -qiE -- "$pattern" <<<"$output" || { echo "no /$pattern/ in:"; echo "$output"; return 1; }
    done
}

# check_troubleshooting_queries [KIND]: after an install whose record is
# $layout, with that layout in the preload list.
check_troubleshooting_queries() {
    local lines line
    mapfile -t lines < <(queries "${1:-}")
    check "the installer guide marks troubleshooting queries${1:+ of kind $1}" test ${#lines[@]} -gt 0
    for line in "${lines[@]}"; do
        check "$line" prints "$line"
    done
}
