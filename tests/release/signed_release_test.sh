#!/bin/bash
# The signed release: scripts/release.sh builds and signs the executables with
# a throwaway self-signed certificate; the release holds them, the installer
# modules and SHA256SUMS only, each verifies against the certificate and stops verifying after a
# flipped byte, a second release into the same folder and one into a build's
# dist/ replace what is there, signed kbreg still works under Wine in a fresh
# prefix, and bad input stops the release with a message naming the file,
# leaving no release behind.
#   signed_release_test.sh SOURCE_DIR DIST_ROOT WORK_DIR
set -euo pipefail
source_dir=$1 dist=$2 work=$3
export WINEDEBUG=-all
rm -rf "$work" && mkdir -p "$work"
trap '"$source_dir/cmake/wine-prefix.sh" destroy "$work/prefix"' EXIT

source "$source_dir/tests/support/checks.sh"
# release OUT OPTIONS...: signs DIST_ROOT's executables into OUT; the output goes to OUT.log.
release() { "$source_dir/scripts/release.sh" --from "$dist" --out "$@" > "$1.log" 2>&1; }
# built OUT OPTIONS...: the same from a clean build, as a release is made.
built() { "$source_dir/scripts/release.sh" --out "$@" > "$1.log" 2>&1; }
# holds_release OUT: the executables, each file of modules/ as it is
# and SHA256SUMS, nothing else.
holds_release() {
    diff <(cd "$1" && find . -mindepth 1 | LC_ALL=C sort) \
         <(printf './%s\n' SHA256SUMS x64 x64/imecheck.dll x64/kbreg.exe x86 x86/halfkey.exe x86/imecheck.dll x86/kbreg.exe \
                  $(ls "$source_dir/modules") | LC_ALL=C sort) &&
    for module in $(ls "$source_dir/modules"); do cmp "$source_dir/modules/$module" "$1/$module" || return 1; done
}
# refused OUT MESSAGE OPTIONS...: the release fails, says MESSAGE, and leaves
# neither OUT nor its staging folder.
refused() {
    ! release "$1" "${@:3}" || return 1
    grep -qF -- "$2" "$1.log" || { cat "$1.log"; return 1; }
    [ ! -e "$1" ] && ! compgen -G "$(dirname "$1")/.release.*" >/dev/null
}
fails() { ! "$@"; }
with_password() { TEVRA_SIGN_PASSWORD=$1 "${@:2}"; }  # with_password PASSWORD COMMAND...

password=tevra-test-$$
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/key.pem" -out "$work/cert.pem" -days 2 \
    -subj "/CN=Tevra test" -addext extendedKeyUsage=codeSigning 2>/dev/null
printf '%s\n' "$password" > "$work/password"
openssl pkcs12 -export -in "$work/cert.pem" -inkey "$work/key.pem" -out "$work/cert.p12" \
    -passout file:"$work/password"

echo "== signing"
check "release from a clean build with a PKCS#12 file and a password file" \
    built "$work/signed" --pkcs12 "$work/cert.p12" --password-file "$work/password"
check "it holds the executables, the modules and SHA256SUMS only" holds_release "$work/signed"
for file in $(awk '$2 ~ /\.(exe|dll)$/ {print $2}' "$work/signed/SHA256SUMS"); do
    check "$file verifies against the certificate" \
        osslsigncode verify -CAfile "$work/cert.pem" "$work/signed/$file"
done
check "SHA256SUMS lists the signed files" sh -c "cd '$work/signed' && sha256sum -c SHA256SUMS"
cp "$work/signed/x64/kbreg.exe" "$work/flipped.exe"
python3 -c 'import sys; f = open(sys.argv[1], "r+b"); f.seek(1024); b = f.read(1); f.seek(1024); f.write(bytes([b[0] ^ 1]))' \
    "$work/flipped.exe"
check "one flipped byte in the code fails verification" \
    fails osslsigncode verify -CAfile "$work/cert.pem" "$work/flipped.exe"

echo "== replacing"
cp -r "$work/signed" "$work/again"
check "a second release into the same folder" release "$work/again"
check "it holds the executables, the modules and SHA256SUMS only" holds_release "$work/again"
# A build's dist/ holds the samples' placeholder IME too; released in place.
mkdir "$work/dist" && cp -r "$dist/x64" "$dist/x86" "$dist/ime" "$work/dist/"
check "a release into a build's dist/, from that build" \
    "$source_dir/scripts/release.sh" --from "$work/dist" --out "$work/dist"
check "it holds the executables, the modules and SHA256SUMS only" holds_release "$work/dist"

echo "== signed kbreg under Wine"
"$source_dir/cmake/wine-prefix.sh" create "$work/prefix"
PATH="$source_dir/cmake/wine-bin:$PATH"
WINEPREFIX=$work/prefix wine64 "$work/signed/x64/kbreg.exe" install tevra.ime Name Sec HKLID || true
record=$(WINEPREFIX=$work/prefix wine64 reg query 'HKCU\Software\Tevra\Sec' /v HKLID 2>/dev/null |
         tr -d '\r' | awk '$1 == "HKLID" {print $3}')
check "install records a layout handle (${record:-none})" test -n "$record" -a "$record" != 0

echo "== bad input"
echo garbage > "$work/garbage.p12"
check "missing certificate" refused "$work/bad" "missing.p12: no such file" \
    --pkcs12 "$work/missing.p12" --password-file "$work/password"
check "not a certificate" refused "$work/bad" "garbage.p12: not a PKCS#12 file" \
    --pkcs12 "$work/garbage.p12" --password-file "$work/password"
check "wrong password" with_password wrong \
    refused "$work/bad" "cert.p12: wrong password" --pkcs12 "$work/cert.p12"
# A complete earlier release in OUT is not left to pass for this one.
cp -r "$work/signed" "$work/replaced"
check "unreachable time-stamp server, over an earlier release" with_password "$password" \
    refused "$work/replaced" "signing x64/kbreg.exe failed" --pkcs12 "$work/cert.p12" \
    --timestamp http://127.0.0.1:9/
check "the time-stamp server is named as the reason" grep -qF "http://127.0.0.1:9/" "$work/replaced.log"
check "no output shows the password" fails grep -qF "$password" "$work"/*.log

finish
