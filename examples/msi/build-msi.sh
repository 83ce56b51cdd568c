#!/bin/sh
# Builds the sample package with wixl and msibuild (Debian: wixl, msitools).
#   build-msi.sh x64|x86 DIST_DIR OUT.msi
# DIST_DIR holds x64/kbreg.exe, x86/kbreg.exe, x86/halfkey.exe and
# ime/x64/tevra.ime, ime/x86/tevra.ime.
set -eu
arch=$1 dist=$2 out=$3
case $arch in x64|x86) ;; *) echo "usage: $0 x64|x86 DIST_DIR OUT.msi" >&2; exit 2 ;; esac
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$(dirname "$out")"
out=$(cd "$(dirname "$out")" && pwd)/$(basename "$out")
dist=$(cd "$dist" && pwd)
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
# wixl leaves the File table's version empty, and Windows Installer never
# replaces a versioned file with an unversioned one: give tevra.ime the version
# and language of its resource (examples/ime/placeholder_ime.rc).
msibuild "$out" -q "UPDATE \`File\` SET \`Version\`='1.0.0.0', \`Language\`='2052' WHERE \`File\`='tevra.ime'"

# Rollback: when the install or removal fails later on, msiexec runs these to
# put the layout back as it was. wixl cannot write them, so they are added
# here. Type 3394: a program from the Binary table (2), exit code ignored
# (64), rollback only (256), deferred (1024), as the system account (2048).
# From the Binary table, not the installed kbreg.exe: Wine's msiexec runs the
# rollback script in written order, not backwards as Windows does, so the
# installed file is already gone when the action starts. msiexec starts the
# copy by a quoted temporary path, which kbreg reads as one token.
mkdir "$tmp/Binary"
cp "$dist/$arch/kbreg.exe" "$tmp/Binary/KbregBin.ibd"
printf 'Name\tData\r\ns72\tv0\r\nBinary\tName\r\nKbregBin\tKbregBin.ibd\r\n' >"$tmp/Binary.idt"
(cd "$tmp" && msibuild "$out" -i Binary.idt)
rollback() {  # rollback ACTION SEQUENCE CONDITION KBREG_ARGUMENTS
    msibuild "$out" -q "INSERT INTO \`CustomAction\` (\`Action\`, \`Type\`, \`Source\`, \`Target\`) VALUES ('$1', 3394, 'KbregBin', '$4')"
    msibuild "$out" -q "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Condition\`, \`Sequence\`) VALUES ('$1', '$3', $2)"
}
# A failed install takes the layout back, before the files go.
rollback KbregInstallRollback 4015 'NOT Installed' 'uninstall tevra.ime [IMENAME] Ime HKLID'
# A failed removal registers the layout again; kbreg records the new handle.
# Windows restores tevra.ime (RemoveFiles' rollback) before this runs, so the
# system finds the file. Wine runs this first: after a failure later than
# RemoveFiles, Wine 10 finds no file and refuses the layout (Wine 8 does not
# read the file).
rollback KbregUninstallRollback 3480 'REMOVE="ALL"' 'install tevra.ime [IMENAME] Ime HKLID'
