#!/bin/bash
# Release of both architectures in OUT (default dist/): a clean build in a
# throwaway folder, the checks of the executables, an Authenticode signature
# when a certificate is given, and OUT/SHA256SUMS of the files as shipped.
#   scripts/release.sh [--out DIR] [--from DIR]
#                      [--pkcs12 FILE | --cert FILE --key FILE] [--password-file FILE]
#                      [--timestamp URL] [--url URL]
# The password of the PKCS#12 file or of the key is the first line of
# --password-file, or else $TEVRA_SIGN_PASSWORD. --timestamp names an RFC 3161
# time-stamp server; --url the product page named in the signature.
# --from takes the executables of an earlier build (DIR/x64, DIR/x86) instead
# of building. OUT is emptied first and filled only once every step succeeded;
# it then holds the executables, the installer modules of modules/ beside
# them (what an installer includes, with IME_TOOLS naming the release as
# unpacked) and SHA256SUMS, nothing else.
set -euo pipefail
TEVRA_SIGN_PASSWORD=${TEVRA_SIGN_PASSWORD:-}
EXECUTABLES=(x64/kbreg.exe x86/kbreg.exe x86/halfkey.exe x64/imecheck.dll x86/imecheck.dll)
mapfile -t MODULES < <(cd "$(dirname "$0")/../modules" && ls)
PRODUCT="Tevra IME"
out= from= pkcs12= cert= key= password_file= timestamp= url=https://tevra.example/ime/

die() { echo "release.sh: $*" >&2; exit 1; }
# Paths are the caller's, taken before the change to the source folder.
while [ $# -gt 0 ]; do
    [ $# -ge 2 ] || die "$1 needs a value"
    case $1 in
    --out) out=$(realpath -m "$2") ;;
    --from) from=$(realpath -m "$2") ;;
    --pkcs12) pkcs12=$(realpath -m "$2") ;;
    --cert) cert=$(realpath -m "$2") ;;
    --key) key=$(realpath -m "$2") ;;
    --password-file) password_file=$(realpath -m "$2") ;;
    --timestamp) timestamp=$2 ;;
    --url) url=$2 ;;
    *) die "unknown option $1 (the options are listed at the top of $0)" ;;
    esac
    shift 2
done
cd "$(dirname "$0")/.."
out=${out:-$PWD/dist}
if [ -n "$pkcs12" ] && [ -n "$cert$key" ]; then die "give --pkcs12, or --cert and --key, not both"; fi
[ -z "$cert" ] || [ -n "$key" ] || die "--cert needs --key"
[ -z "$key" ] || [ -n "$cert" ] || die "--key needs --cert"

# OUT is replaced as a whole: it must hold nothing but an earlier release or
# a build's output (scripts/build.sh adds the samples' placeholder IME, ime/).
if [ -e "$out" ]; then
    [ -d "$out" ] || die "$out is not a folder"
    extra=$(find "$out" -mindepth 1 -maxdepth 1 ! -name x64 ! -name x86 ! -name ime ! -name SHA256SUMS \
                 $(printf -- '! -name %s ' "${MODULES[@]}") -print -quit)
    [ -z "$extra" ] || die "not replacing $out: it holds $extra, which is no part of a release or a build"
fi
mkdir -p "$(dirname "$out")"
# Staged beside OUT, so that the finished release moves in by one rename.
stage=$(mktemp -d "$(dirname "$out")/.release.XXXXXX")
work=$(mktemp -d "${TMPDIR:-/tmp}/tevra-release.XXXXXX")
trap 'rm -rf "$stage" "$work"' EXIT
# --from may name OUT itself (a build in dist/, signed in place): its
# executables are staged before OUT goes.
for file in "${EXECUTABLES[@]}"; do
    if [ -n "$from" ] && [ -f "$from/$file" ] && [ -r "$from/$file" ]; then
        mkdir -p "$stage/$(dirname "$file")"
        cp "$from/$file" "$stage/$file"
    fi
done
rm -rf "$out"

readable() {  # readable WHAT FILE
    [ -e "$2" ] || die "$1 $2: no such file"
    [ -f "$2" ] && [ -r "$2" ] || die "$1 $2: not a readable file"
}
# The tools read the password from a pipe: it is never an argument.
password() {
    if [ -n "$password_file" ]; then
        head -n 1 "$password_file" | tr -d '\r\n'
    else
        printf '%s' "$TEVRA_SIGN_PASSWORD"
    fi
}
# openssl_with_password ARGUMENTS...: openssl with the password, or an empty
# one (rather than a prompt) when none is given.
openssl_with_password() {
    if [ -n "$password_file$TEVRA_SIGN_PASSWORD" ]; then
        openssl "$@" -passin file:<(password)
    else
        openssl "$@" -passin pass:
    fi
}

# The certificate, the key and the password are tried before the build.
signing=
if [ -n "$pkcs12$cert" ]; then
    signing=yes
    [ -z "$password_file" ] || readable "password file" "$password_file"
    if [ -n "$pkcs12" ]; then
        readable certificate "$pkcs12"
        key_options=(-pkcs12 "$pkcs12")
        if ! errors=$(openssl_with_password pkcs12 -in "$pkcs12" -noout 2>&1) &&
           ! openssl_with_password pkcs12 -legacy -in "$pkcs12" -noout >/dev/null 2>&1; then
            case $errors in
            *"invalid password"*) die "certificate $pkcs12: wrong password" ;;
            *) die "certificate $pkcs12: not a PKCS#12 file" ;;
            esac
        fi
    else
        readable certificate "$cert"
        readable key "$key"
        key_options=(-certs "$cert" -key "$key")
        public=$(openssl x509 -in "$cert" -noout -pubkey 2>/dev/null) ||
            die "certificate $cert: not a PEM certificate"
        if ! key_public=$(openssl_with_password pkey -in "$key" -pubout 2>/dev/null); then
            grep -q ENCRYPTED "$key" && die "key $key: wrong password"
            die "key $key: not a PEM private key"
        fi
        [ "$key_public" = "$public" ] || die "key $key does not belong to certificate $cert"
    fi
    sign_options=(-h sha256 -n "$PRODUCT" -i "$url")
    [ -z "$timestamp" ] || sign_options+=(-ts "$timestamp")
fi
sign() {  # sign IN OUT
    if [ -n "$password_file$TEVRA_SIGN_PASSWORD" ]; then
        osslsigncode sign "${key_options[@]}" -readpass <(password) "${sign_options[@]}" -in "$1" -out "$2"
    else
        osslsigncode sign "${key_options[@]}" "${sign_options[@]}" -in "$1" -out "$2"
    fi
}

scripts/setup.sh
# A build also makes the samples' placeholder IME: only the executables are taken.
if [ -z "$from" ]; then
    from=$work/dist
    for arch in x64 x86; do
        cmake --preset "$arch" -B "$work/build-$arch" -DBUILD_TESTING=OFF -DDIST_ROOT="$from" >/dev/null
        cmake --build "$work/build-$arch" -j"$(nproc)" >/dev/null
    done
fi
for file in "${EXECUTABLES[@]}"; do
    [ ! -f "$stage/$file" ] || continue
    readable executable "$from/$file"
    mkdir -p "$stage/$(dirname "$file")"
    cp "$from/$file" "$stage/$file"
done
python3 tests/release/check_executables.py "$stage" || die "the executables failed their checks"

if [ -n "$signing" ]; then
    for file in "${EXECUTABLES[@]}"; do
        if ! log=$(sign "$stage/$file" "$stage/$file.signed" 2>&1); then
            die "signing $file failed, nothing released:"$'\n'"$(sed 's/^/    /' <<<"$log")"
        fi
        mv "$stage/$file.signed" "$stage/$file"
    done
    if [ -n "$timestamp" ]; then
        echo "signed: SHA-256, \"$PRODUCT\", $url, time stamp from $timestamp"
    else
        echo "signed: SHA-256, \"$PRODUCT\", $url, no time stamp (the signature lapses with the certificate)"
    fi
fi
cp "${MODULES[@]/#/modules/}" "$stage/"
(cd "$stage" && sha256sum "${EXECUTABLES[@]}" "${MODULES[@]}" > SHA256SUMS)
rm -rf "$out"
mv -T "$stage" "$out"
cat "$out/SHA256SUMS"
echo "released in $out"
