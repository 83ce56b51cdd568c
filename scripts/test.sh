#!/bin/bash
# Installs what is missing, builds both architectures with their tests and runs
# every test under Wine, each build in a throwaway prefix of its own; then the
# Wine tests once more under Debian 13's Wine 10 (build/debian13), reported apart.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh --wine10
# Wine's 32-bit loader is itself a 32-bit x86 program: without it no 32-bit
# Windows program (halfkey, the x86 kbreg, the NSIS installer) can run.
if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
    echo "test: this machine cannot run 32-bit x86 programs (/usr/lib/wine/wine --version fails)," >&2
    echo "      so no 32-bit Windows program can run; scripts/setup.sh sets up CPU emulation as root" >&2
    exit 1
fi
scripts/build.sh ON >/dev/null
# The command-line scanners, fuzzed on the host for FUZZ_SECONDS each (60 by default).
cmake -S fuzz -B build/fuzz -DCMAKE_CXX_COMPILER=clang++ -DFUZZ_SECONDS="${FUZZ_SECONDS:-60}" >/dev/null
cmake --build build/fuzz -j"$(nproc)" >/dev/null

# Message boxes need an X display; bring up a private one when there is none.
xvfb_pid=
if [ -z "${DISPLAY:-}" ]; then
    exec 3< <(Xvfb -displayfd 1 -nolisten tcp -screen 0 1024x768x24 2>/dev/null)
    xvfb_pid=$!
    read -r display <&3
    export DISPLAY=":$display"
fi
trap '[ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null; true' EXIT

# One CTest run over both build trees, so there is one summary. A test that
# fails runs once more, and fails only if it fails again: Wine now and then
# fails to start a program while both trees' prefixes start programs at once
# on a loaded machine (seen: a test program that ended before its first line
# of output, a CreateProcessW refused at once), while every check here is
# deterministic. Both attempts are in the output.
retry=(--repeat until-pass:2)
printf 'subdirs("x64" "x86" "fuzz")\n' > build/CTestTestfile.cmake
status=0
echo "== Debian 12's $(/usr/lib/wine/wine64 --version), and the host's checks"
ctest --test-dir build -j2 --output-on-failure "${retry[@]}" "$@" || status=$?

# The same Wine tests (not the host's release and fuzz checks) in the Debian
# 13 tree: cmake/wine-bin runs every wine command there.
echo
echo "== Debian 13's $(KBREG_WINE_ROOT=$PWD/build/debian13 cmake/wine-bin/wine64 --version)"
printf 'subdirs("x64" "x86")\n' > build/CTestTestfile.cmake
KBREG_WINE_ROOT=$PWD/build/debian13 ctest --test-dir build -j2 --output-on-failure -LE host "${retry[@]}" "$@" || status=$?
exit $status
