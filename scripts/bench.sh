#!/bin/bash
# Size and speed of the programs under Wine against two floors built with the
# same flags and manifest (bench/CMakeLists.txt): an empty WinMain program,
# and one that only imports the tool's system DLLs. Builds everything in a
# throwaway folder and runs in a throwaway prefix. A measurement, not a test.
#   scripts/bench.sh [rounds, default 20]     (BENCH_SETTLE_MS: pause before each run, default 100)
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-20}
settle=${BENCH_SETTLE_MS:-100}
work=$(mktemp -d /tmp/kbreg-bench.XXXXXX)
export WINEPREFIX=$work/prefix WINEDEBUG=-all
# Wine's null graphics driver: no measured run opens a window, and an X
# server's own load stays out of the times.
unset DISPLAY
PATH=$PWD/cmake/wine-bin:$PATH
trap 'cmake/wine-prefix.sh destroy "$WINEPREFIX"; rm -rf "$work"' EXIT

for arch in x64 x86; do
    cmake --preset "$arch" -B "$work/build-$arch" -DBUILD_TESTING=OFF -DDIST_ROOT="$work/dist" >/dev/null
    cmake --build "$work/build-$arch" -j"$(nproc)" >/dev/null
    cmake -S bench -B "$work/bench-$arch" --toolchain "$PWD/cmake/mingw-$arch.cmake" \
          -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$work/bench-$arch" -j"$(nproc)" >/dev/null
done
dist=$work/dist b64=$work/bench-x64 b32=$work/bench-x86
echo "$(date -u +%Y-%m-%d), $(wine64 --version), $(nproc) cores"
# 32-bit programs run under qemu where the machine cannot run them itself:
# their times then hold the emulator's start-up.
if [ -e /proc/sys/fs/binfmt_misc/qemu-i386 ] && grep -qx enabled /proc/sys/fs/binfmt_misc/qemu-i386; then
    echo "32-bit programs run under CPU emulation ($(sed -n 's/^interpreter //p' /proc/sys/fs/binfmt_misc/qemu-i386)):"
    echo "compare 32-bit times only with the 32-bit floors of this run"
fi

echo
echo "== size (bytes); the floors have the manifest but no version resource"
printf '%-16s %7s %7s %6s %8s %6s\n' program size empty ratio imports ratio
for row in "x64/kbreg.exe $b64/imports_kbreg" "x86/kbreg.exe $b32/imports_kbreg" \
           "x86/halfkey.exe $b32/imports_halfkey"; do
    read -r file floor <<<"$row"
    size=$(stat -c %s "$dist/$file") empty=$(stat -c %s "$(dirname "$floor")/empty.exe")
    imports=$(stat -c %s "$floor.exe")
    printf '%-16s %7d %7d %6.2f %8d %6.2f\n' "$file" "$size" "$empty" \
        "$(bc -l <<<"$size / $empty")" "$imports" "$(bc -l <<<"$size / $imports")"
done

cmake/wine-prefix.sh create "$WINEPREFIX" win64 "$work/dist/ime"
win() { echo "Z:${1//\//\\}"; }
# launch OUT (exe, command line)...: every program once per round, in turn.
launch() { wine64 "$b64/time_runs.exe" "$rounds" "$settle" "${@:2}" | tr -d '\r' > "$work/$1"; }
ms() { awk -v k="$2" '$1 == "time" && $2 == k {printf "%.2f [%.2f-%.2f]", $3, $4, $5}' "$work/$1"; }
ratio() { awk -v k="$2" -v j="$3" '$1 == "ratio" && $2 == k && $3 == j {printf "%.2f [%.2f-%.2f]", $4, $5, $6}' "$work/$1"; }
row() { printf '%-34s %-22s %-19s %s\n' "$1" "$(ms "$2" "$3")" "${4:+$(ratio "$2" "$3" "$4")}" "${5:+$(ratio "$2" "$3" "$5")}"; }
kb64=$(win "$dist/x64/kbreg.exe") half=$(win "$dist/x86/halfkey.exe")
reg32=$(win "$WINEPREFIX/drive_c/windows/syswow64/reg.exe")

launch x64 "$(win "$b64/empty.exe")" empty "$(win "$b64/imports_kbreg.exe")" imports \
    "$kb64" "kbreg install tevra.ime Bench Bench HKLID" "$kb64" "kbreg uninstall tevra.ime Bench Bench HKLID"
launch x86 "$(win "$b32/empty.exe")" empty "$(win "$b32/imports_halfkey.exe")" imports \
    "$reg32" 'reg add HKLM\Software\Tevra\Bench /v Value /d C:\Tevra\tevra.ime /f /reg:32' \
    "$half" "halfkey Bench,Value,C:\\Tevra\\tevra.ime"

echo
echo "== wall time under Wine, $rounds rounds taking turns, median [interquartile range]"
echo "   (ratios: of the runs in the same round; floors: empty, and empty with the tool's DLLs)"
printf '%-34s %-22s %-19s %s\n' run ms "x empty" "x imports floor"
row "empty WinMain (64-bit)" x64 0
row "imports ADVAPI32 IMM32 USER32" x64 1 0
row "kbreg install (x64)" x64 2 0 1
row "kbreg uninstall (x64)" x64 3 0 1
row "empty WinMain (32-bit)" x86 0
row "imports ADVAPI32 USER32 (32-bit)" x86 1 0
row "halfkey" x86 3 0 1
row "reg add /reg:32" x86 2 0 1
printf '%-34s %-22s %s\n' "halfkey x reg add /reg:32" "" "$(ratio x86 3 2)"

echo
echo "== kbreg uninstall (x64) against the preload list length, match last"
layout=$(wine64 reg query 'HKCU\Software\Tevra\Bench' /v HKLID | tr -d '\r' | awk '/HKLID/ {print $3}')
for count in 10 1000 10000; do
    {
        echo 'Windows Registry Editor Version 5.00'
        echo '[-HKEY_CURRENT_USER\Keyboard Layout\Preload]'
        echo '[HKEY_CURRENT_USER\Keyboard Layout\Preload]'
        for ((i = 1; i < count; i++)); do echo "\"$i\"=\"00000804\""; done
        echo "\"$count\"=\"${layout^^}\""
    } > "$work/preload.reg"
    wine64 regedit /S "$(win "$work/preload.reg")"
    # The warm-up run removes the match; the counted ones read every entry.
    launch walk "$(win "$b64/empty.exe")" empty "$(win "$b64/imports_kbreg.exe")" imports \
        "$kb64" "kbreg uninstall tevra.ime Bench Bench HKLID"
    row "$count entries" walk 2 0 1
done
