#!/bin/bash
# The installer guide's troubleshooting queries (the `reg query` lines in the
# fenced blocks after <!-- queries -->), run by Wine's reg in a fresh 64-bit
# prefix after the NSIS sample installed the IME: each prints the state the
# guide says it reads.
#   run_troubleshooting_test.sh SOURCE_DIR DIST_ROOT WORK_DIR
set -euo pipefail
source_dir=$1 dist=$2 work=$3
export WINEDEBUG=-all WINEPREFIX=$work/prefix WORK=$work
rm -rf "$work" && mkdir -p "$work"
trap '"$source_dir/cmake/wine-prefix.sh" destroy "$WINEPREFIX"' EXIT
source "$source_dir/tests/installer/installer_checks.sh"

# queries: the marked blocks' reg query lines, as the guide prints them.
queries() {
    awk '/<!-- queries -->/ { marked = 1; next }
         /^```/ { if (inside) inside = marked = 0; else if (marked) inside = 1; next }
         inside && /^reg query / { print }' "$source_dir/docs/installers.md"
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

makensis -V2 -DDIST_DIR="$dist" -DOUT_FILE="$work/tevra-ime-setup.exe" "$source_dir/examples/nsis/tevra-ime.nsi"
"$source_dir/cmake/wine-prefix.sh" create "$WINEPREFIX"
wine "$work/tevra-ime-setup.exe" /S 2>"$work/wine.log" || true
settle 'tevra-ime-setup\.exe|Au_\.exe|kbreg(32|64)\.exe|halfkey\.exe'
# As in the installer test: Debian 13's Wine cannot start NSIS installers
# where 32-bit programs run under emulation.
if grep -q 'failed to create main module.*c0000018' "$work/wine.log"; then
    echo "skipped: this Wine ($(wine64 --version)) cannot start the NSIS installer"
    exit 77
fi
layout=$(value 'HKCU\Software\Tevra\Ime' HKLID)
echo "recorded layout handle text: ${layout:-none}"
# The user adds the IME to the language list: its preload entry.
seed_preload

mapfile -t lines < <(queries)
check "the guide marks six queries" test ${#lines[@]} = 6
for line in "${lines[@]}"; do
    check "$line" prints "$line"
done
finish
