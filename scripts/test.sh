#!/bin/bash
# Installs what is missing, builds both architectures with their tests and runs
# every test under Wine, each build in a throwaway prefix of its own.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
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

# One CTest run over both build trees, so there is one summary.
printf 'subdirs("x64" "x86" "fuzz")\n' > build/CTestTestfile.cmake
ctest --test-dir build -j2 --output-on-failure "$@"
