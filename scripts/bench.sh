#!/bin/bash
# Size and speed of the built programs against an empty WinMain program built
# the same way, under Wine in a throwaway prefix. A measurement, not a test.
#   scripts/bench.sh [runs per measurement, default 20]
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-20}
scripts/build.sh >/dev/null
work=$(mktemp -d /tmp/kbreg-bench.XXXXXX)
export WINEPREFIX=$work/prefix WINEDEBUG=-all
trap 'wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT

flags=(-Os -s -static -mwindows -ffunction-sections -fdata-sections -Wl,--gc-sections -Wl,--no-insert-timestamp)
x86_64-w64-mingw32-windres cmake/manifest.rc -O coff -o "$work/manifest64.o"
i686-w64-mingw32-windres cmake/manifest.rc -O coff -o "$work/manifest32.o"
x86_64-w64-mingw32-g++-posix "${flags[@]}" bench/empty.cpp "$work/manifest64.o" -o "$work/empty64.exe"
i686-w64-mingw32-g++-posix "${flags[@]}" bench/empty.cpp "$work/manifest32.o" -o "$work/empty32.exe"
x86_64-w64-mingw32-g++-posix -O2 -static -municode bench/time_runs.cpp -o "$work/time_runs.exe"

echo "== size (bytes)"
printf '%-16s %8s %8s %6s\n' program size empty ratio
for pair in "x64/kbreg.exe:empty64" "x86/kbreg.exe:empty32" "x86/halfkey.exe:empty32"; do
    size=$(stat -c %s "dist/${pair%%:*}") empty=$(stat -c %s "$work/${pair##*:}.exe")
    printf '%-16s %8d %8d %6.2f\n' "${pair%%:*}" "$size" "$empty" "$(echo "$size / $empty" | bc -l)"
done

mkdir -p "$WINEPREFIX" && wineserver -p </dev/null >/dev/null 2>&1
wineboot -i >/dev/null 2>&1
win() { echo "Z:${1//\//\\}"; }
timed() { wine "$work/time_runs.exe" "$runs" "$(win "$1")" "$2" | tr -d "\r" | tail -1; }
kb64=$(win "$PWD/dist/x64/kbreg.exe") half=$(win "$PWD/dist/x86/halfkey.exe")
reg32=$(win "$WINEPREFIX/drive_c/windows/syswow64/reg.exe")

empty=$(timed "$work/empty64.exe" "empty")
empty32=$(timed "$work/empty32.exe" "empty")
install=$(timed "$PWD/dist/x64/kbreg.exe" "kbreg install bench.ime Bench Bench HKLID")
layout=$(wine reg query 'HKCU\Software\Tevra\Bench' /v HKLID | tr -d '\r' | awk '/HKLID/ {print $3}')
uninstall=$(timed "$PWD/dist/x64/kbreg.exe" "kbreg uninstall bench.ime Bench Bench HKLID")
halfkey=$(timed "$PWD/dist/x86/halfkey.exe" "halfkey Bench,Value,C:\\Tevra\\bench.ime")
regadd=$(wine "$work/time_runs.exe" "$runs" "$reg32" \
         'reg add HKLM\Software\Tevra\Bench /v Value /d C:\Tevra\bench.ime /f /reg:32' | tr -d '\r' | tail -1)

echo
echo "== wall time under Wine, median of $runs runs (ms)"
printf '%-34s %8s %8s\n' run ms ratio
row() { printf '%-34s %8.2f %8.2f\n' "$1" "$2" "$(echo "$2 / $3" | bc -l)"; }
row "empty WinMain (64-bit)" "$empty" "$empty"
row "empty WinMain (32-bit)" "$empty32" "$empty32"
row "kbreg install (x64) / empty" "$install" "$empty"
row "kbreg uninstall (x64) / empty" "$uninstall" "$empty"
row "halfkey / empty 32-bit" "$halfkey" "$empty32"
row "halfkey / reg add /reg:32" "$halfkey" "$regadd"
row "reg add /reg:32 / empty 32-bit" "$regadd" "$empty32"

echo
echo "== kbreg uninstall (x64) against the preload list length, match last (ms)"
for count in 10 1000 10000; do
    {
        echo 'Windows Registry Editor Version 5.00'
        echo '[-HKEY_CURRENT_USER\Keyboard Layout\Preload]'
        echo '[HKEY_CURRENT_USER\Keyboard Layout\Preload]'
        for ((i = 1; i < count; i++)); do echo "\"$i\"=\"00000804\""; done
        echo "\"$count\"=\"${layout^^}\""
    } > "$work/preload.reg"
    wine regedit /S "$(win "$work/preload.reg")"
    # Each run after the first finds no match: the walk reads every entry.
    ms=$(timed "$PWD/dist/x64/kbreg.exe" "kbreg uninstall bench.ime Bench Bench HKLID")
    printf '%6d entries %10.2f ms %8.2f x empty\n' "$count" "$ms" "$(echo "$ms / $empty" | bc -l)"
done
