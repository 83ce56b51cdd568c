#!/bin/bash
# Installs what building and testing need on Debian 12, and only what is
# missing; on a machine that cannot run 32-bit x86 programs, sets up CPU
# emulation for them. A second run changes nothing.
#   scripts/setup.sh [--wine10]
# --wine10 also makes (or brings up to date) build/debian13, a Debian 13 tree
# with Wine 10 that the tests run in a second time.
set -euo pipefail
wine10=
[ "${1:-}" = --wine10 ] && wine10=1

PACKAGES=(cmake make g++-mingw-w64-x86-64 g++-mingw-w64-i686 googletest
          wine wine64 wine32:i386 xvfb nsis wixl msitools osslsigncode openssl
          clang libclang-rt-14-dev python3 bc debootstrap)

# Inno Setup's compiler for the sample setup comes from npm (below).
command -v npm >/dev/null || PACKAGES+=(npm)

SUDO=
[ "$(id -u)" -eq 0 ] || SUDO=sudo
root=$(cd "$(dirname "$0")/.." && pwd -P)

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
# The archive of the machine's own Debian 12 entries (none is written here).
debian_archive() {
    { awk '/^URIs:/ {uri = $2} /^Suites:/ && / bookworm( |$)/ {print uri; exit}' \
          /etc/apt/sources.list.d/*.sources 2>/dev/null
      awk '$1 == "deb" && $3 == "bookworm" {print $2; exit}' /etc/apt/sources.list 2>/dev/null || true; } | head -n1
}
set_up_emulation() {
    # Debian 12's own qemu (7.2) takes about 50 s to start each 32-bit Windows
    # process; bookworm-backports' takes well under a second. The backports entry
    # uses the archive and keyring of the machine's own Debian entries.
    backports=/etc/apt/sources.list.d/bookworm-backports.sources
    if [ ! -e "$backports" ] && ! grep -rqs 'bookworm-backports' /etc/apt/sources.list /etc/apt/sources.list.d/; then
        archive=$(debian_archive)
        keyring=$(awk '/^Signed-By:/ {print $2; exit}' /etc/apt/sources.list.d/debian.sources 2>/dev/null || true)
        if [ -z "$archive" ]; then
            echo "setup: this machine cannot run 32-bit x86 programs, and no Debian bookworm entry in its apt sources names an archive for bookworm-backports' qemu-user" >&2
            exit 1
        fi
        { printf 'Types: deb\nURIs: %s\nSuites: bookworm-backports\nComponents: main\n' "$archive"
          [ -z "$keyring" ] || printf 'Signed-By: %s\n' "$keyring"; } | $SUDO tee "$backports" >/dev/null
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
}
runs_32bit || set_up_emulation

# The npm package innosetup ships Inno Setup's compiler itself (ISCC.exe, run
# under Wine); package-lock.json pins its version and integrity. npm ci starts
# node_modules/ afresh, so it runs only when node_modules/ is missing or was
# made from another lock file; a stamp holds the lock file's hash.
lock_hash=$(sha256sum <"$root/package-lock.json")
if [ ! -f "$root/node_modules/innosetup/bin/ISCC.exe" ] ||
   [ "$(cat "$root/node_modules/.kbreg-lock" 2>/dev/null)" != "$lock_hash" ]; then
    echo "setup: installing Inno Setup's compiler from npm into node_modules/"
    (cd "$root" && npm ci --ignore-scripts --no-audit --no-fund >/dev/null)
    echo "$lock_hash" >"$root/node_modules/.kbreg-lock"
fi

[ -n "$wine10" ] || exit 0
# The tree is made once and kept; a stamp holds what was installed in it.
tree=$root/build/debian13
tree_packages="wine wine64 wine32:i386"
[ "$(cat "$tree/.kbreg-packages" 2>/dev/null)" = "$tree_packages" ] && exit 0
in_tree() {
    $SUDO unshare -m --propagation private sh -c 'root=$1; shift
        mount --bind /proc "$root/proc" && mount --rbind /dev "$root/dev" && exec chroot "$root" "$@"' \
        sh "$tree" env DEBIAN_FRONTEND=noninteractive "$@"
}
if [ ! -x "$tree/usr/bin/apt-get" ]; then
    archive=$(debian_archive)
    [ -n "$archive" ] || { echo "setup: no Debian archive in this machine's apt sources to make the Debian 13 tree from" >&2; exit 1; }
    echo "setup: making a Debian 13 tree with Wine 10 in $tree (a few minutes, 2.5 GB)"
    # No bind mounts live in a tree that is removed: every command entered it
    # in a mount namespace of its own.
    $SUDO rm -rf "$tree"
    mkdir -p "$(dirname "$tree")"
    $SUDO debootstrap --variant=minbase trixie "$tree" "$archive" >"$tree.log" 2>&1 ||
        { echo "setup: debootstrap failed; see $tree.log" >&2; exit 1; }
    in_tree dpkg --add-architecture i386
fi
for try in 1 2 3; do
    in_tree apt-get update -qq >/dev/null 2>&1 && break
    sleep $((try * 10))
done
in_tree apt-get install -y -qq --no-install-recommends $tree_packages >/dev/null ||
    { echo "setup: could not install $tree_packages in the Debian 13 tree $tree" >&2; exit 1; }
echo "$tree_packages" | $SUDO tee "$tree/.kbreg-packages" >/dev/null
echo "setup: Debian 13 tree ready: $(in_tree wine --version 2>/dev/null) in $tree"
