#!/bin/bash
# Installs what building and testing need on Debian 12, and only what is missing.
set -euo pipefail

PACKAGES=(cmake make g++-mingw-w64-x86-64 g++-mingw-w64-i686 googletest
          wine wine64 wine32:i386 xvfb nsis wixl msitools osslsigncode openssl
          clang libclang-rt-14-dev python3 bc)

missing=()
for package in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
        missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=
[ "$(id -u)" -eq 0 ] || SUDO=sudo
echo "installing: ${missing[*]}"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
fi
$SUDO apt-get update -qq
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
    "${missing[@]}" >/dev/null
