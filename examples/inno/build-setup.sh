#!/bin/bash
# Builds one sample setup with Inno Setup's compiler under Wine (ISCC.exe from
# the npm package innosetup, pinned by package.json; scripts/setup.sh installs it).
#   build-setup.sh DIST_DIR OUT.exe [SCRIPT.iss [ISCC_OPTION...]]
# SCRIPT (the sample tevra-ime.iss unless given) gets /DDist=DIST_DIR, which
# holds x64/kbreg.exe, x86/kbreg.exe, x86/halfkey.exe and ime/x64/tevra.ime,
# ime/x86/tevra.ime. ISCC runs in WINEPREFIX when it is set, else in a
# throwaway prefix. With KBREG_WINE_ROOT (cmake/wine-bin) Wine sees only the
# project folder: every path must be inside it.
set -euo pipefail
usage() { echo "usage: $0 DIST_DIR OUT.exe [SCRIPT.iss [ISCC_OPTION...]]" >&2; exit 2; }
[ $# -ge 2 ] || usage
here=$(cd "$(dirname "$0")" && pwd)
dist=$1 out=$2 script=${3:-$here/tevra-ime.iss}
shift $(($# < 3 ? $# : 3))
[ -d "$dist" ] && [ -f "$script" ] || usage
script=$(cd "$(dirname "$script")" && pwd)/$(basename "$script")
root=$(cd "$here/../.." && pwd)
iscc=$root/node_modules/innosetup/bin/ISCC.exe
[ -f "$iscc" ] || { echo "$0: $iscc is missing: run scripts/setup.sh" >&2; exit 1; }
PATH=$root/cmake/wine-bin:$PATH
export WINEDEBUG=-all
mkdir -p "$(dirname "$out")"
out=$(cd "$(dirname "$out")" && pwd)/$(basename "$out")
dist=$(cd "$dist" && pwd)

if [ -z "${WINEPREFIX:-}" ]; then
    # In the project folder, where Wine sees it in the Debian 13 tree too.
    mkdir -p "$root/build"
    export WINEPREFIX
    WINEPREFIX=$(mktemp -d "$root/build/iscc-prefix.XXXXXX")
    trap '"$root/cmake/wine-prefix.sh" destroy "$WINEPREFIX"' EXIT
    "$root/cmake/wine-prefix.sh" create "$WINEPREFIX"
fi
windows_path() { printf 'Z:%s' "${1//\//\\}"; }
# ISCC is a 32-bit program. /O: the output folder, /F: the name without .exe.
wine "$iscc" /Q "/DDist=$(windows_path "$dist")" \
    "/O$(windows_path "$(dirname "$out")")" "/F$(basename "$out" .exe)" "$@" \
    "$(windows_path "$script")"
