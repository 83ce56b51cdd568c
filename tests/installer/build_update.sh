#!/bin/bash
# The update the repair and upgrade tests install over the first install: a
# dist folder (x64/, x86/, ime/) built with the file version VERSION, so that
# every program file and IME file is newer and differs.
#   build_update.sh SOURCE_DIR WORK_DIR VERSION
set -euo pipefail
source_dir=$1 work=$2 version=$3
cd "$source_dir"
for arch in x64 x86; do
    cmake --preset "$arch" -B "$work/build-$arch" -DBUILD_TESTING=OFF \
        -DTEVRA_VERSION="$version" -DDIST_ROOT="$work/dist" >/dev/null
    cmake --build "$work/build-$arch" -j"$(nproc)" >/dev/null
done
