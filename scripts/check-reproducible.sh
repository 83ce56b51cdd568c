#!/bin/bash
# Builds every executable twice, by two release runs (each in a build folder of
# its own, into different output folders), and fails unless the two builds
# are byte for byte the same; then signs one of them with a throwaway
# self-signed certificate and fails unless removing each signature gives back
# exactly the unsigned bytes.
set -euo pipefail
cd "$(dirname "$0")/.."
work=$(mktemp -d /tmp/kbreg-repro.XXXXXX)
trap 'rm -rf "$work"' EXIT
for run in one two; do
    scripts/release.sh --out "$work/$run" >/dev/null
done
cat "$work/one/SHA256SUMS"
if ! diff "$work/one/SHA256SUMS" "$work/two/SHA256SUMS"; then
    echo "the two builds differ" >&2
    exit 1
fi
echo "two clean builds are byte-identical"

openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/key.pem" -out "$work/cert.pem" -days 2 \
    -subj "/CN=Reproducibility check" -addext extendedKeyUsage=codeSigning 2>/dev/null
scripts/release.sh --from "$work/one" --out "$work/signed" --cert "$work/cert.pem" --key "$work/key.pem" >/dev/null
status=0
for file in x64/kbreg.exe x86/kbreg.exe x86/halfkey.exe x64/imecheck.dll x86/imecheck.dll; do
    # remove-signature refuses a file without one, so this also shows that each was signed.
    if osslsigncode remove-signature -in "$work/signed/$file" -out "$work/stripped.exe" >/dev/null &&
       cmp -s "$work/stripped.exe" "$work/one/$file"; then
        echo "$file: signed; without its signature the bytes of the unsigned build"
    else
        echo "$file: without its signature not the bytes of the unsigned build" >&2
        status=1
    fi
    rm -f "$work/stripped.exe"
done
exit $status
