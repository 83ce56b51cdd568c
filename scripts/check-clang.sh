#!/bin/bash
# The product code compiles warning-free with clang for both Windows targets,
# against the MinGW-w64 headers.
set -euo pipefail
cd "$(dirname "$0")/.."
status=0
for target in x86_64-w64-windows-gnu:x86_64-w64-mingw32 i686-w64-windows-gnu:i686-w64-mingw32; do
    for source in kbreg/*.cpp settings/*.cpp halfkey/*.cpp imecheck/*.cpp; do
        clang++ --target="${target%%:*}" -isystem "/usr/${target##*:}/include" -std=c++17 \
            -fsyntax-only -Wall -Wextra -Werror -fno-exceptions -fno-rtti "$source" || status=1
    done
    echo "${target%%:*}: $(ls kbreg/*.cpp settings/*.cpp halfkey/*.cpp imecheck/*.cpp | wc -l) sources checked"
done
exit $status
