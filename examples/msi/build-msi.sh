#!/bin/bash
# Builds the sample package with wixl, then runs the module's fix-up script
# on it (Debian: wixl, msitools, python3).
#   build-msi.sh x64|x86 DIST_DIR OUT.msi
# DIST_DIR holds a release of the tools (x64/, x86/) and ime/x64/tevra.ime,
# ime/x86/tevra.ime.
set -euo pipefail
arch=$1 dist=$2 out=$3
case $arch in x64|x86) ;; *) echo "usage: $0 x64|x86 DIST_DIR OUT.msi" >&2; exit 2 ;; esac
here=$(cd "$(dirname "$0")" && pwd)
modules=$(cd "$here/../../modules" && pwd)
mkdir -p "$(dirname "$out")"
out=$(cd "$(dirname "$out")" && pwd)/$(basename "$out")

# What ime-setup.wxi needs, for wixl and ime-setup-wixl.sh alike. wixl finds
# File sources only relative to the folder it runs in: both run in DIST_DIR.
defines=(-D Arch="$arch" -D ImeFile=tevra.ime -D ImeSection=Ime -D ImeValueName=HKLID
         -D ImeTools=. -D ImeX64=ime/x64/tevra.ime -D ImeX86=ime/x86/tevra.ime)
# The product version is the IME file's, less the fourth field: Windows
# Installer compares only the first three, so a release raises one of them.
# (The file version sits after the VS_FIXEDFILEINFO signature 0xFEEF04BD.)
version=$(python3 -c '
import struct, sys
data = open(sys.argv[1], "rb").read()
at = data.find(struct.pack("<II", 0xFEEF04BD, 0x00010000))
ms, ls = struct.unpack_from("<II", data, at + 8)
print(f"{ms >> 16}.{ms & 0xFFFF}.{ls >> 16}")' "$dist/ime/$arch/tevra.ime")

cd "$dist"
wixl -a "$arch" "${defines[@]}" -D Version="$version" -I "$modules" -o "$out" "$here/tevra-ime.wxs"
# The display name goes to the script alone: wixl dies on non-ASCII text in a define.
"$modules/ime-setup-wixl.sh" "$out" "${defines[@]}" -D ImeName=中文输入法
