#!/bin/bash
# Fuzzes the command-line scanners on the host for a longer run than CI's:
#   scripts/fuzz.sh [seconds per target, default 600]
# Each target starts from a scratch copy of fuzz/corpus/<target> in
# build/fuzz/work/<target>, which keeps what the run found. An input that
# crashes a target is written to build/fuzz/crashes/<target>/crash-<sha1>;
# replay it with build/fuzz/<target> <file>. FUZZ_BUILD_DIR moves build/fuzz.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-600}
build=${FUZZ_BUILD_DIR:-build/fuzz}
scripts/setup.sh
cmake -S fuzz -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DFUZZ_SECONDS="$seconds" >/dev/null
cmake --build "$build" -j"$(nproc)"
ctest --test-dir "$build" --output-on-failure
