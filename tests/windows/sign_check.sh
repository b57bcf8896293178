#!/usr/bin/env bash
# A signing round as script/build does it, with a throwaway self-signed certificate:
# the signature verifies against that certificate, and the version resource is the
# one the file had before.
#   sign_check.sh WINDRES FILE
set -euo pipefail
windres=$1 file=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=ZAV test signing" \
  -addext "extendedKeyUsage=codeSigning" -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -passout pass:throwaway \
  -out "$work/cert.p12" 2>/dev/null
copy="$work/$(basename "$file")"
cp "$file" "$copy"
before=$("$windres" -i "$copy" -O rc)
ZAV_SIGN_PKCS12="$work/cert.p12" ZAV_SIGN_PASSWORD=throwaway \
  bash "$(dirname "$0")/../../script/sign-windows" "$copy"
osslsigncode verify -CAfile "$work/cert.pem" -in "$copy" >"$work/verify.txt" 2>&1 ||
  { cat "$work/verify.txt" >&2; echo "the signature does not verify" >&2; exit 1; }
grep -q 'Signature verification: ok' "$work/verify.txt" || { cat "$work/verify.txt" >&2; exit 1; }
grep -qi 'sha256' "$work/verify.txt" || { echo "not a SHA-256 signature" >&2; exit 1; }
[ "$("$windres" -i "$copy" -O rc)" = "$before" ] || { echo "the version resource changed" >&2; exit 1; }
# A wrong password signs nothing and fails.
cp "$file" "$work/again.exe"
if ZAV_SIGN_PKCS12="$work/cert.p12" ZAV_SIGN_PASSWORD=wrong \
    bash "$(dirname "$0")/../../script/sign-windows" "$work/again.exe" 2>/dev/null; then
  echo "a wrong password was taken" >&2
  exit 1
fi
cmp -s "$file" "$work/again.exe" || { echo "a failed signing changed the file" >&2; exit 1; }
echo "signed with SHA-256, verified against the test certificate, version resource unchanged"
