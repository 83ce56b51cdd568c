# The installer guide's troubleshooting queries (the `reg query` lines in the
# fenced blocks after <!-- queries -->), run by Wine's reg after a sample
# installed the IME: each prints the state the guide says it reads. Sourced
# after installer_checks.sh.

# queries: the marked blocks' reg query lines, as the guide prints them.
queries() {
    awk '/<!-- queries -->/ { marked = 1; next }
         /^```/ { if (inside) inside = marked = 0; else if (marked) inside = 1; next }
         inside && /^reg query / { print }' "$(dirname "${BASH_SOURCE[0]}")/../../docs/installers.md"
}
# expected LINE: what that line must print, one extended regular expression a
# line (case aside); nothing for a line this test does not know.
expected() {
    case $1 in
    *'\Software\Tevra\Ime" /reg:64') echo "HKLID +REG_SZ +$layout\$" ;;
    *'\Software\Tevra\Ime" /reg:32') echo 'InstallDir +REG_SZ +C:\\Program Files\\Tevra IME$' ;;
    'reg query "HKCU\Software\Tevra\Ime"') echo "HKLID +REG_SZ +$layout\$" ;;
    *'\Keyboard Layouts\<record>"') echo 'Ime File +REG_SZ +tevra\.ime$' ;;
    *'\Keyboard Layouts" /s /v "Ime File"') printf '%s\n' "Keyboard Layouts\\\\$layout\$" 'Ime File +REG_SZ +tevra\.ime$' ;;
    'reg query "HKCU\Keyboard Layout\Preload"') echo "REG_SZ +${layout^^}\$" ;;
    esac
}
# prints LINE: runs the line as cmd would split it and finds what it must print.
prints() {
    local line=${1//<record>/$layout} output pattern patterns
    mapfile -t patterns < <(expected "$1")
    eval "set -- ${line//\\/\\\\}"
    output=$(query "${@:3}")
    [ ${#patterns[@]} -gt 0 ] || { echo "this test does not know what the line prints"; return 1; }
    for pattern in "${patterns[@]}"; do
        grep -qiE -- "$pattern" <<<"$output" || { echo "no /$pattern/ in:"; echo "$output"; return 1; }
    done
}

# check_troubleshooting_queries: after an install whose record is $layout,
# with that layout in the preload list.
check_troubleshooting_queries() {
    local lines line
    mapfile -t lines < <(queries)
    check "the installer guide marks six troubleshooting queries" test ${#lines[@]} = 6
    for line in "${lines[@]}"; do
        check "$line" prints "$line"
    done
}
