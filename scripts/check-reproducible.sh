#!/bin/bash
# Builds every executable twice, in two different build and output folders,
# and fails unless the two builds are byte for byte the same.
set -euo pipefail
cd "$(dirname "$0")/.."
work=$(mktemp -d /tmp/kbreg-repro.XXXXXX)
trap 'rm -rf "$work"' EXIT
for run in one two; do
    for arch in x64 x86; do
        cmake --preset "$arch" -B "$work/$run-build-$arch" -DBUILD_TESTING=OFF \
              -DDIST_ROOT="$work/$run-dist" >/dev/null
        cmake --build "$work/$run-build-$arch" -j"$(nproc)" >/dev/null
    done
    (cd "$work/$run-dist" && sha256sum x64/kbreg.exe x86/kbreg.exe x86/halfkey.exe) > "$work/$run.sums"
done
cat "$work/one.sums"
if ! diff "$work/one.sums" "$work/two.sums"; then
    echo "the two builds differ" >&2
    exit 1
fi
echo "two clean builds are byte-identical"
