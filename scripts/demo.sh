#!/bin/bash
# Builds both architectures (installing what is missing) and shows kbreg and
# halfkey at work in a throwaway Wine prefix, printing what each run changed
# in the registry.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
dist=$PWD/dist

export WINEPREFIX
WINEPREFIX=$(mktemp -d /tmp/kbreg-demo.XXXXXX)
export WINEDEBUG=-all
# 64-bit programs and Wine's own tools run on the 64-bit loader alone; only
# the 32-bit programs need the 32-bit one (emulated where the machine cannot run it).
PATH=$PWD/cmake/wine-bin:$PATH
trap 'wineserver -k 2>/dev/null || true; rm -rf "$WINEPREFIX"' EXIT
echo "== making a throwaway Wine prefix in $WINEPREFIX"
wine64 wineboot -i >/dev/null 2>&1 ||
    { echo "demo: Wine could not make a prefix ($(command -v wine64) wineboot -i failed); run scripts/setup.sh" >&2; exit 1; }

KEYS=('HKLM\Software\Tevra|/reg:64' 'HKLM\Software\Tevra|/reg:32' 'HKCU\Software\Tevra|'
      'HKLM\System\CurrentControlSet\Control\Keyboard Layouts|'
      'HKCU\Keyboard Layout\Preload|')
# One text file per key and view: its export, or nothing when it is missing.
snapshot() {
    local i key view dir=$1
    mkdir -p "$dir"
    for i in "${!KEYS[@]}"; do
        key=${KEYS[$i]%|*} view=${KEYS[$i]#*|}
        : > "$dir/$i"
        # shellcheck disable=SC2086
        if wine64 reg export "$key" "$dir/$i.reg" $view /y >/dev/null 2>&1; then
            iconv -f UTF-16 -t UTF-8 "$dir/$i.reg" | tr -d '\r' | grep -v -e '^Windows Registry' -e '^$' > "$dir/$i"
        fi
    done
}
run() {  # run wine|wine64 PROGRAM ARGS...
    local i changes code=0
    echo
    echo "== ${*:2}"
    snapshot "$WINEPREFIX/before"
    "$@" || code=$?
    snapshot "$WINEPREFIX/after"
    echo "exit code $code; registry changes:"
    for i in "${!KEYS[@]}"; do
        changes=$(diff "$WINEPREFIX/before/$i" "$WINEPREFIX/after/$i" | grep '^[<>]' |
                  sed 's/^</    removed:/; s/^>/    added:  /' || true)
        [ -n "$changes" ] && printf '  in %s %s\n%s\n' "${KEYS[$i]%|*}" "${KEYS[$i]#*|}" "$changes"
    done
    return 0
}
winpath() { echo "Z:${1//\//\\}"; }

# Windows registers an IME file only from the system folder of its bitness,
# as the product's installer puts it there.
echo
echo "== copying the placeholder tevra.ime into system32 (64-bit) and syswow64 (32-bit)"
cp "$dist/ime/x64/tevra.ime" "$WINEPREFIX/drive_c/windows/system32/"
cp "$dist/ime/x86/tevra.ime" "$WINEPREFIX/drive_c/windows/syswow64/"
run wine64 "$(winpath "$dist/x64/kbreg.exe")" install tevra.ime 中文输入法 Demo HKLID
layout=$(wine64 reg query 'HKCU\Software\Tevra\Demo' /v HKLID | tr -d '\r' | awk '/HKLID/ {print $3}')
echo
echo "== seeding the preload list with ${layout^^} at entry 3"
wine64 reg add 'HKCU\Keyboard Layout\Preload' /v 2 /d 00000804 /f >/dev/null
wine64 reg add 'HKCU\Keyboard Layout\Preload' /v 3 /d "${layout^^}" /f >/dev/null
wine64 reg add 'HKCU\Keyboard Layout\Preload' /v 4 /d 00000411 /f >/dev/null
run wine64 "$(winpath "$dist/x64/kbreg.exe")" uninstall tevra.ime 中文输入法 Demo HKLID
run wine "$(winpath "$dist/x86/kbreg.exe")" install tevra.ime 中文输入法 Demo32 HKLID
run wine "$(winpath "$dist/x86/kbreg.exe")" uninstall tevra.ime 中文输入法 Demo32 HKLID
# wine quotes an argument that holds a blank, and halfkey keeps quotation
# marks as text; an installer starting it with CreateProcess passes blanks as they are.
run wine "$(winpath "$dist/x86/halfkey.exe")" 'Demo,ImePath,C:\Tevra\tevra.ime'
