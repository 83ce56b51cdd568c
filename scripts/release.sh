#!/bin/bash
# Clean release build of both architectures into dist/, with dist/SHA256SUMS.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
rm -rf build/x64 build/x86 dist
scripts/build.sh >/dev/null
python3 tests/release/check_executables.py dist
(cd dist && sha256sum x64/kbreg.exe x86/kbreg.exe x86/halfkey.exe > SHA256SUMS)
cat dist/SHA256SUMS
