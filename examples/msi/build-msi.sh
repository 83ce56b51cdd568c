#!/bin/sh
# Builds the sample package with wixl and msibuild (Debian: wixl, msitools,
# python3).
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

# version_of FILE: prints "VERSION LANGUAGE" from the file's version resource:
# the fixed file version (VS_FIXEDFILEINFO, after its signature 0xFEEF04BD)
# and the language of the first translation.
version_of() {
    python3 - "$1" <<'EOF'
import struct, sys
data = open(sys.argv[1], "rb").read()
fixed = data.find(struct.pack("<II", 0xFEEF04BD, 0x00010000))
key = data.find("Translation\0".encode("utf-16-le"))
if fixed < 0 or key < 0:
    sys.exit(sys.argv[1] + ": no version resource")
ms, ls = struct.unpack_from("<II", data, fixed + 8)
language = struct.unpack_from("<H", data, key + 24 + (-(key + 24) % 4))[0]
print(f"{ms >> 16}.{ms & 0xFFFF}.{ls >> 16}.{ls & 0xFFFF} {language}")
EOF
}
query() { msibuild "$out" -q "$1"; }
# The product version is the IME file's, less the fourth field: Windows
# Installer compares only the first three, so a release raises one of them.
set -- $(version_of "$dist/ime/$arch/tevra.ime")
version=${1%.*}

# wixl 0.101 finds File sources only relative to the current folder.
(cd "$dist" && wixl -a "$arch" -D Arch="$arch" -D Version="$version" -o "$out" "$here/tevra-ime.wxs")

# wixl drops non-ASCII text and ignores Codepage: give the database code page
# 936 (GBK), then store the display name again. msiexec hands it to kbreg as
# Unicode text.
printf '\r\n\r\n936\t_ForceCodepage\r\n' >"$tmp/_ForceCodepage.idt"
msibuild "$out" -i "$tmp/_ForceCodepage.idt"
query "UPDATE \`Property\` SET \`Value\`='中文输入法' WHERE \`Property\`='IMENAME'"

# wixl leaves every file's version empty. Windows Installer replaces an
# installed file only with a newer version, and never a versioned file with
# an unversioned one: give each file the version and language of its resource.
file_version() {  # file_version FILE_KEY PATH_IN_DIST
    set -- "$1" $(version_of "$dist/$2")
    query "UPDATE \`File\` SET \`Version\`='$2', \`Language\`='$3' WHERE \`File\`='$1'"
}
file_version kbreg.exe "$arch/kbreg.exe"
file_version halfkey.exe x86/halfkey.exe
file_version tevra.ime "ime/$arch/tevra.ime"
[ "$arch" = x86 ] || file_version tevra32.ime ime/x86/tevra.ime

# The upgrade. RemoveExistingProducts after InstallFinalize: the older product
# is removed only once this one is installed, so when this install fails and
# rolls back, the older one was never touched and still works. (Windows
# Installer would also roll back a removal placed after InstallInitialize,
# but Wine's msiexec removes the older product at once, in an msiexec of its
# own, whatever the install does later.) Components keep their GUIDs from
# version to version (Guid="*" derives them from the target path), so the
# removal leaves the files this product installed.
query "UPDATE \`InstallExecuteSequence\` SET \`Sequence\`=6700 WHERE \`Action\`='RemoveExistingProducts'"
# wixl detects older versions only: 513 adds the same version (512, maximum
# inclusive) to migrating the features (1). The Upgrade table's key holds the
# attributes, hence delete and insert.
upgrade_code=$(msiinfo export "$out" Property | tr -d '\r' | awk -F'\t' '$1 == "UpgradeCode" {print $2}')
query "DELETE FROM \`Upgrade\` WHERE \`ActionProperty\`='WIX_UPGRADE_DETECTED'"
query "INSERT INTO \`Upgrade\` (\`UpgradeCode\`, \`VersionMax\`, \`Attributes\`, \`ActionProperty\`) VALUES ('$upgrade_code', '$version', 513, 'WIX_UPGRADE_DETECTED')"

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
row() {  # row TABLE ACTION COLUMN: that column of ACTION's row
    msiinfo export "$out" "$1" | tr -d '\r' | awk -F'\t' -v a="$2" -v c="$3" '$1 == a {print $c}'
}
# rollback ACTION UNDOES OPPOSITE: just before UNDOES, with its condition,
# running OPPOSITE's kbreg command line.
rollback() {
    query "INSERT INTO \`CustomAction\` (\`Action\`, \`Type\`, \`Source\`, \`Target\`) VALUES ('$1', 3394, 'KbregBin', '$(row CustomAction "$3" 4)')"
    query "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Condition\`, \`Sequence\`) VALUES ('$1', '$(row InstallExecuteSequence "$2" 2)', $(($(row InstallExecuteSequence "$2" 3) - 5)))"
}
# A failed install takes the layout back, before the files go; an install
# that found the layout registered (an upgrade, a repair) leaves it alone.
rollback KbregInstallRollback KbregInstall KbregUninstall
# A failed removal registers the layout again; kbreg records the new handle.
# Windows restores tevra.ime (RemoveFiles' rollback) before this runs, so the
# system finds the file. Wine runs this first: after a failure later than
# RemoveFiles, Wine 10 finds no file and refuses the layout (Wine 8 does not
# read the file).
rollback KbregUninstallRollback KbregUninstall KbregInstall
