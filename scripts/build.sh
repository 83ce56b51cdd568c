#!/bin/bash
# Builds both architectures into dist/x64 and dist/x86. Pass ON to build the tests too.
set -euo pipefail
cd "$(dirname "$0")/.."
tests=${1:-OFF}
for arch in x64 x86; do
    cmake --preset "$arch" -DBUILD_TESTING="$tests" >/dev/null
    cmake --build --preset "$arch" -j"$(nproc)"
done
