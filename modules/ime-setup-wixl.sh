#!/bin/bash
# ime-setup-wixl.sh: what wixl cannot write into a package that includes
# ime-setup.wxi. Run it after wixl, in the folder wixl ran in, with the
# defines wixl got and the display name ImeName (which wixl cannot take):
#   wixl -a ARCH -D Arch=ARCH -D ImeFile=... ... -I FOLDER_OF_THE_INCLUDE -o PACKAGE.msi product.wxs
#   ime-setup-wixl.sh PACKAGE.msi -D Arch=ARCH -D ImeFile=... ... -D ImeName=中文输入法
# Other defines are ignored. It
#   - gives the database the code page 936 and stores ImeName in IMESETUPNAME
#     (wixl drops non-ASCII text and ignores Codepage);
#   - writes the version and language of each of the include's files into the
#     File table, read from the files (wixl leaves them empty);
#   - lets a package of the same version replace the installed one (the
#     MajorUpgrade's Upgrade row gets attribute 512) and moves
#     RemoveExistingProducts after InstallFinalize;
#   - adds the two rollback actions, which run the Binary-table kbreg.
# It changes only the include's rows and the upgrade's, and may run again on
# its own output. Needs msitools (msibuild, msiinfo) and python3.
set -euo pipefail

die() { echo "ime-setup-wixl.sh: $*" >&2; exit 1; }
[ $# -ge 1 ] || die "usage: ime-setup-wixl.sh PACKAGE.msi -D Name=Value ..."
msi=$1
shift
declare -A define
while [ $# -gt 0 ]; do
    case $1 in
    -D) [ $# -ge 2 ] || die "-D needs Name=Value"; pair=$2; shift 2 ;;
    -D*) pair=${1#-D}; shift ;;
    *) die "unknown argument $1: give PACKAGE.msi, then -D Name=Value ..." ;;
    esac
    [[ $pair == ?*=* ]] || die "-D $pair: give Name=Value"
    define[${pair%%=*}]=${pair#*=}
done
for name in Arch ImeFile ImeSection ImeValueName ImeTools ImeX64 ImeX86 ImeName; do
    [ -n "${define[$name]:-}" ] || die "define $name (-D $name=...): give the defines wixl got, and ImeName"
done
arch=${define[Arch]}
case $arch in x64|x86) ;; *) die "Arch is $arch: x64 or x86" ;; esac
# kbreg's arguments are split at blanks and keep quotation marks; an
# apostrophe would end the text of the SQL below.
for name in ImeFile ImeName ImeSection ImeValueName; do
    [[ ${define[$name]} != *[[:space:]\"\']* ]] ||
        die "$name holds a blank, a quotation mark or an apostrophe, which kbreg cannot take"
done
[ -f "$msi" ] || die "$msi: no such file"

query() { msibuild "$msi" -q "$1" || die "$msi: msibuild failed on: $1"; }
rows() {  # rows TABLE: the table's rows, tab-separated (none for a missing table)
    msiinfo export "$msi" "$1" 2>/dev/null | tr -d '\r' | tail -n +4 || true
}
column() {  # column TABLE KEY COLUMN: that column of the row whose first column is KEY
    rows "$1" | awk -F'\t' -v k="$2" -v c="$3" '$1 == k {print $c}'
}

[ -n "$(column CustomAction ImeSetupKbregInstall 1)" ] ||
    die "$msi holds no rows of ime-setup.wxi (no action ImeSetupKbregInstall): include it in the Product and build with wixl first"
if [ -n "$(column File ImeSetupImeFile32 1)" ]; then built=x64; else built=x86; fi
[ "$built" = "$arch" ] || die "$msi is a package for $built, and Arch is $arch: give the defines wixl got"

# The code page: without it the display name cannot be stored.
if [ "$(msiinfo export "$msi" _ForceCodepage | tr -d '\r' | sed -n 3p | cut -f1)" != 936 ]; then
    tmp=$(mktemp -d)
    trap 'rm -rf "$tmp"' EXIT
    printf '\r\n\r\n936\t_ForceCodepage\r\n' >"$tmp/_ForceCodepage.idt"
    msibuild "$msi" -i "$tmp/_ForceCodepage.idt" || die "$msi: could not set the code page"
fi
query "UPDATE \`Property\` SET \`Value\`='${define[ImeName]}' WHERE \`Property\`='IMESETUPNAME'"

# version_of FILE: "VERSION LANGUAGE" from the file's version resource: the
# fixed file version (VS_FIXEDFILEINFO, after its signature 0xFEEF04BD) and
# the language of the first translation.
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
# Windows Installer replaces an installed file only with a newer version,
# and never a versioned file with an unversioned one.
file_version() {  # file_version FILE_KEY PATH
    local size version
    [ -f "$2" ] || die "$2: no such file (path defines are relative to the folder wixl ran in)"
    size=$(column File "$1" 4)
    [ "$size" = "$(stat -c %s "$2")" ] ||
        die "$2 is not the file the package holds as $1 ($size bytes): give the defines wixl got, from the folder it ran in"
    version=$(version_of "$2") || die "$2 has no version resource"
    query "UPDATE \`File\` SET \`Version\`='${version% *}', \`Language\`='${version#* }' WHERE \`File\`='$1'"
}
tools=${define[ImeTools]}
file_version ImeSetupKbreg.exe "$tools/$arch/kbreg.exe"
file_version ImeSetupHalfkey.exe "$tools/x86/halfkey.exe"
if [ "$arch" = x64 ]; then
    file_version ImeSetupImeFile "${define[ImeX64]}"
    file_version ImeSetupImeFile32 "${define[ImeX86]}"
else
    file_version ImeSetupImeFile "${define[ImeX86]}"
fi

# The upgrade. wixl's MajorUpgrade detects older versions only; a package
# of the same version built again would install beside the installed one.
# Attribute 512 (VersionMax inclusive) adds it. The Upgrade table's key holds
# the attributes, hence delete and insert. (Debian 13's wixl writes a row of
# its own for the same version: then nothing changes here.)
version=$(column Property ProductVersion 2)
upgrade=$(rows Upgrade | awk -F'\t' '$7 == "WIX_UPGRADE_DETECTED"')
same=$(rows Upgrade | awk -F'\t' -v v="$version" 'int($5 / 512) % 2 == 1 && int($5 / 2) % 2 == 0 && $3 == v')
if [ -z "$upgrade" ]; then
    echo "ime-setup-wixl.sh: $msi has no MajorUpgrade: a newer package would install beside it and find the layout registered by it" >&2
elif [ -z "$same" ]; then
    # Split at each tab: empty columns are NULL, and stay out of the INSERT.
    IFS=$'\x1f' read -r code minimum maximum language attributes remove property <<<"${upgrade//$'\t'/$'\x1f'}"
    names='`UpgradeCode`, `Attributes`, `ActionProperty`' values="'$code', $((attributes | 512)), '$property'"
    for pair in "VersionMin:$minimum" "VersionMax:$maximum" "Language:$language" "Remove:$remove"; do
        [ -z "${pair#*:}" ] || names+=", \`${pair%%:*}\`" values+=", '${pair#*:}'"
    done
    query "INSERT INTO \`Upgrade\` ($names) VALUES ($values)"
    query "DELETE FROM \`Upgrade\` WHERE \`ActionProperty\`='$property' AND \`Attributes\`=$attributes"
fi
# RemoveExistingProducts after InstallFinalize: the older product is removed
# only once this one is installed, so when this install fails and rolls back,
# the older one was never touched and still works. (Windows Installer would
# also roll back a removal placed after InstallInitialize, but Wine's
# msiexec removes the older product at once, in an msiexec of its own.)
finalize=$(column InstallExecuteSequence InstallFinalize 3)
removal=$(column InstallExecuteSequence RemoveExistingProducts 3)
if [ -n "$removal" ] && [ "$removal" -lt "$finalize" ]; then
    query "UPDATE \`InstallExecuteSequence\` SET \`Sequence\`=$((finalize + 1)) WHERE \`Action\`='RemoveExistingProducts'"
fi

# Rollback: when the install or removal fails later on, msiexec runs these to
# put the layout back as it was. Type 3394: a program from the Binary table
# (2), exit code ignored (64), rollback only (256), deferred (1024), as the
# system account (2048). msiexec starts the Binary-table copy by a quoted
# temporary path, which kbreg reads as one token.
# (msiinfo export of the Binary table would write its streams into the folder.)
msiinfo streams "$msi" | grep -qx Binary.ImeSetupKbregBin ||
    die "$msi holds no Binary row ImeSetupKbregBin: build it with this ime-setup.wxi"
# rollback ACTION UNDOES OPPOSITE: just before UNDOES, with its condition,
# running OPPOSITE's kbreg command line.
rollback() {
    [ -n "$(column CustomAction "$1" 1)" ] ||
        query "INSERT INTO \`CustomAction\` (\`Action\`, \`Type\`, \`Source\`, \`Target\`) VALUES ('$1', 3394, 'ImeSetupKbregBin', '$(column CustomAction "$3" 4)')"
    [ -n "$(column InstallExecuteSequence "$1" 1)" ] ||
        query "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Condition\`, \`Sequence\`) VALUES ('$1', '$(column InstallExecuteSequence "$2" 2)', $(($(column InstallExecuteSequence "$2" 3) - 5)))"
}
# A failed install takes the layout back, before the files go; an install
# that found the layout registered (an upgrade, a repair) leaves it alone.
rollback ImeSetupKbregInstallRollback ImeSetupKbregInstall ImeSetupKbregUninstall
# A failed removal registers the layout again; kbreg records the new handle.
# Windows restores the IME file (RemoveFiles' rollback) before this runs, so
# the system finds it. Wine runs this first: after a failure later than
# RemoveFiles, Wine 10 finds no file and refuses the layout (Wine 8 does not
# read the file).
rollback ImeSetupKbregUninstallRollback ImeSetupKbregUninstall ImeSetupKbregInstall
