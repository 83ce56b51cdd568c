#!/bin/sh
# Builds the sample package with wixl and msibuild (Debian: wixl, msitools).
#   build-msi.sh x64|x86 DIST_DIR OUT.msi
# DIST_DIR holds x64/kbreg.exe, x86/kbreg.exe and x86/halfkey.exe.
set -eu
arch=$1 dist=$2 out=$3
case $arch in x64|x86) ;; *) echo "usage: $0 x64|x86 DIST_DIR OUT.msi" >&2; exit 2 ;; esac
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$(dirname "$out")"
out=$(cd "$(dirname "$out")" && pwd)/$(basename "$out")
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# wixl 0.101 finds File sources only relative to the current folder.
(cd "$dist" && wixl -a "$arch" -D Arch="$arch" -o "$out" "$here/tevra-ime.wxs")

# wixl drops non-ASCII text and ignores Codepage: give the database code page
# 936 (GBK), then store the display name again. msiexec hands it to kbreg as
# Unicode text.
printf '\r\n\r\n936\t_ForceCodepage\r\n' >"$tmp/_ForceCodepage.idt"
msibuild "$out" -i "$tmp/_ForceCodepage.idt"
msibuild "$out" -q "UPDATE \`Property\` SET \`Value\`='中文输入法' WHERE \`Property\`='IMENAME'"
