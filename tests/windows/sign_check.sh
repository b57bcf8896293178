#!/usr/bin/env bash
# Signing rounds as script/dist makes them, with throwaway certificates, under the
# osslsigncode of Debian 12's main archive (2.5, fetched into TOOLS_DIR when another
# one is installed) and under the installed one: a good certificate signs, the
# signature verifies, the file keeps its mode and its version resource; a wrong
# password, an expired certificate and one without the code-signing purpose fail
# with the reason and leave the file as it was, and the password reaches no
# program's environment.
#   sign_check.sh WINDRES FILE TOOLS_DIR
set -euo pipefail
windres=$1 file=$2 tools=$3
sign="$(dirname "$0")/../../script/sign-windows"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

debian12=$tools/osslsigncode-2.5/usr/bin/osslsigncode
if osslsigncode --version 2>/dev/null | grep -q '^osslsigncode 2\.5,'; then
  debian12=$(command -v osslsigncode)
elif [ ! -x "$debian12" ]; then
  mkdir -p "$tools"
  (cd "$work" && apt-get download -q osslsigncode=2.5-4 >/dev/null 2>&1) ||
    { echo "could not fetch Debian 12's osslsigncode 2.5-4 (apt-get download)" >&2; exit 1; }
  dpkg-deb -x "$work"/osslsigncode_2.5-4_*.deb "$tools/osslsigncode-2.5"
fi
"$debian12" --version 2>&1 | grep -q '^osslsigncode 2\.5,' || { echo "$debian12 is not osslsigncode 2.5" >&2; exit 1; }

# certificate NAME OPENSSL-ARGS...: a self-signed certificate and its PKCS#12 file.
certificate() {
  local name=$1
  shift
  openssl req -x509 -newkey rsa:2048 -nodes -subj "/CN=ZAV test $name" -keyout "$work/$name.key" \
    -out "$work/$name.pem" "$@" 2>/dev/null
  openssl pkcs12 -export -inkey "$work/$name.key" -in "$work/$name.pem" -passout pass:throwaway \
    -out "$work/$name.p12" 2>/dev/null
}
certificate good -days 2 -addext "extendedKeyUsage=codeSigning"
certificate tls -days 2 -addext "extendedKeyUsage=serverAuth"
# Expired: valid for January 2020 only, made through a one-off CA database.
openssl req -new -newkey rsa:2048 -nodes -subj "/CN=ZAV test old" -keyout "$work/expired.key" \
  -out "$work/expired.csr" 2>/dev/null
mkdir -p "$work/ca/new"
: >"$work/ca/index.txt"
echo 01 >"$work/ca/serial"
printf '[ca]\ndefault_ca=d\n[d]\ndatabase=%s\nnew_certs_dir=%s\nserial=%s\ndefault_md=sha256\npolicy=p\n[p]\ncommonName=supplied\n[x]\nextendedKeyUsage=codeSigning\n' \
  "$work/ca/index.txt" "$work/ca/new" "$work/ca/serial" >"$work/ca.cnf"
openssl ca -batch -config "$work/ca.cnf" -selfsign -keyfile "$work/expired.key" -in "$work/expired.csr" \
  -startdate 20200101000000Z -enddate 20200201000000Z -extensions x -out "$work/expired.pem" >/dev/null 2>&1
openssl pkcs12 -export -inkey "$work/expired.key" -in "$work/expired.pem" -passout pass:throwaway \
  -out "$work/expired.p12" 2>/dev/null

failures=0
check() { if eval "$2"; then echo "ok   $1"; else echo "FAIL $1"; failures=$((failures + 1)); fi; }
# signs OSSLSIGNCODE CERT PASSWORD: signs a fresh 0755 copy as $copy, output in
# $work/out; the osslsigncode run is wrapped to record its environment.
signs() {
  copy="$work/copy.exe"
  cp "$file" "$copy"
  chmod 0755 "$copy"
  printf '#!/bin/sh\nenv >>"%s"\nexec "%s" "$@"\n' "$work/env" "$1" >"$work/wrapped"
  chmod +x "$work/wrapped"
  ZAV_OSSLSIGNCODE="$work/wrapped" ZAV_SIGN_PKCS12="$work/$2.p12" ZAV_SIGN_CA="$work/$2.pem" ZAV_SIGN_PASSWORD=$3 \
    bash "$sign" "$copy" >"$work/out" 2>&1
}

before=$("$windres" -i "$file" -O rc)
versions=("$debian12")
installed=$(command -v osslsigncode || true)
[ -z "$installed" ] || [ "$installed" = "$debian12" ] || versions+=("$installed")
for tool in "${versions[@]}"; do
  v=$("$tool" --version 2>&1 | head -n 1 | cut -d, -f1)
  check "$v: a good certificate signs" 'signs "$tool" good throwaway'
  check "$v: the signature verifies" '"$tool" verify -CAfile "$work/good.pem" -in "$copy" 2>&1 | grep -q "Signature verification: ok"'
  check "$v: SHA-256" '"$tool" verify -CAfile "$work/good.pem" -in "$copy" 2>&1 | grep -qi sha256'
  check "$v: the mode is kept" '[ "$(stat -c %a "$copy")" = 755 ]'
  check "$v: the version resource is unchanged" '[ "$("$windres" -i "$copy" -O rc)" = "$before" ]'
  check "$v: no time-stamp server is said once" '[ "$(grep -c "no time stamp" "$work/out")" = 1 ]'
  for bad in "tls throwaway purpose" "expired throwaway expired" "good wrong password"; do
    read -r cert password reason <<<"$bad"
    what="$v: $cert certificate, password $password"
    check "$what: refused" '! signs "$tool" "$cert" "$password"'
    check "$what: the reason is given ($reason)" 'grep -qi "$reason" "$work/out"'
    check "$what: the file is as it was" 'cmp -s "$file" "$copy"'
  done
done
check "the password is in no program's environment" '[ -s "$work/env" ] && ! grep -q ZAV_SIGN_PASSWORD "$work/env"'
check "no signed copy is left beside the file" '[ -z "$(find "$work" -name ".*.signing")" ]'
[ "$failures" = 0 ]
