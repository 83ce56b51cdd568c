#!/bin/bash
# Installs what building and testing need on Debian 12, and only what is
# missing; on a machine that cannot run 32-bit x86 programs, sets up CPU
# emulation for them. A second run changes nothing.
set -euo pipefail

PACKAGES=(cmake make g++-mingw-w64-x86-64 g++-mingw-w64-i686 googletest
          wine wine64 wine32:i386 xvfb nsis wixl msitools osslsigncode openssl
          clang libclang-rt-14-dev python3 bc)

SUDO=
[ "$(id -u)" -eq 0 ] || SUDO=sudo

# A mirror in the middle of a sync answers with files of the wrong size for a
# while: try again a few times, then go on with the lists apt could fetch
# (it keeps the older ones of the rest) and let the install say whether they do.
apt_update() {
    local try log
    log=$(mktemp)
    for try in 1 2 3; do
        if $SUDO apt-get update -qq >"$log" 2>&1 && ! grep -q '^E:' "$log"; then
            rm -f "$log"; return 0
        fi
        echo "setup: apt-get update failed (try $try of 3):" >&2
        grep '^E:' "$log" | sed 's/^/    /' >&2
        [ $try -eq 3 ] || sleep $((try * 10))
    done
    rm -f "$log"
    echo "setup: going on with the package lists apt has" >&2
}
# A package list that could not be fetched can leave the two halves of a
# multiarch pair (libssl3 and libssl3:i386) at different candidates; Debian's
# main suite alone still has a version of both.
apt_install() {
    local codename
    $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$@" >/dev/null && return 0
    codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
    echo "setup: trying again with the packages of $codename's main suite only" >&2
    $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends -t "$codename" "$@" >/dev/null
}

missing=()
for package in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
        missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "installing: ${missing[*]}"
    dpkg --print-foreign-architectures | grep -qx i386 || $SUDO dpkg --add-architecture i386
    apt_update
    apt_install "${missing[@]}"
fi

# Wine's 32-bit loader is a 32-bit x86 Linux program: where the kernel cannot
# run it (IA32 emulation switched off), qemu's user-mode emulator runs it.
runs_32bit() { /usr/lib/wine/wine --version >/dev/null 2>&1; }
runs_32bit && exit 0

# Debian 12's own qemu (7.2) takes about 50 s to start each 32-bit Windows
# process; bookworm-backports' takes well under a second. The backports entry
# uses the archive and keyring of the machine's own Debian entries.
backports=/etc/apt/sources.list.d/bookworm-backports.sources
if [ ! -e "$backports" ] && ! grep -rqs 'bookworm-backports' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    archive=$(awk '/^URIs:/ {uri = $2} /^Suites:/ && / bookworm( |$)/ {print uri; exit}' \
                  /etc/apt/sources.list.d/*.sources 2>/dev/null || true)
    keyring=$(awk '/^Signed-By:/ {print $2; exit}' /etc/apt/sources.list.d/debian.sources 2>/dev/null || true)
    [ -n "$archive" ] ||
        archive=$(awk '$1 == "deb" && $3 == "bookworm" {print $2; exit}' /etc/apt/sources.list 2>/dev/null || true)
    if [ -z "$archive" ]; then
        echo "setup: this machine cannot run 32-bit x86 programs, and no Debian bookworm entry in its apt sources names an archive for bookworm-backports' qemu-user" >&2
        exit 1
    fi
    printf 'Types: deb\nURIs: %s\nSuites: bookworm-backports\nComponents: main\n%s' \
        "$archive" "${keyring:+Signed-By: $keyring
}" | $SUDO tee "$backports" >/dev/null
    apt_update
    fresh=1
fi
if [ ! -x /usr/bin/qemu-i386 ]; then
    [ -n "${fresh:-}" ] || apt_update
    $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
        -t bookworm-backports qemu-user >/dev/null
fi

# Register the static emulator for 32-bit x86 ELF executables (qemu's own
# magic and mask). F: the kernel opens it now, so it works inside chroots and
# other mount namespaces; P: argv[0] is kept; C: credentials of the program.
binfmt=/proc/sys/fs/binfmt_misc
[ -e $binfmt/register ] || $SUDO mount -t binfmt_misc binfmt_misc $binfmt
if [ ! -e $binfmt/qemu-i386 ]; then
    magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
    mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
    echo ":qemu-i386:M::$magic:$mask:/usr/bin/qemu-i386:FPC" | $SUDO tee $binfmt/register >/dev/null
fi
if ! runs_32bit; then
    echo "setup: this machine still cannot run 32-bit x86 programs (/usr/lib/wine/wine --version fails)," >&2
    echo "       although /usr/bin/qemu-i386 is registered in $binfmt/qemu-i386: check that binfmt_misc works here" >&2
    exit 1
fi
echo "setup: this machine cannot run 32-bit x86 programs itself; they run under qemu-i386 $(/usr/bin/qemu-i386 --version | sed -n '1s/.*version \([^ ]*\).*/\1/p') (binfmt_misc handler $binfmt/qemu-i386)"
