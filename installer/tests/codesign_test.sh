#!/usr/bin/env bash
# The signatures of what the installer packs, and the signing command as a
# bank uses it with a certificate of its own.
#   codesign_test.sh SETUP_EXE STAGE_DIR   (the files scripts/pack-installer signed)
set -uo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
codesign=(bash "$top/scripts/codesign")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
setup=$1
mapfile -t signed < "$2/signed-files"
failures=0
check() {  # check DESCRIPTION COMMAND...
  local what=$1; shift
  if "$@" >/dev/null 2>&1; then echo "ok   $what"; else echo "FAIL $what"; failures=$((failures + 1)); fi
}
fails() { ! "$@"; }
change_one_byte() {  # FILE: the byte in the middle, which the digest covers
  local at=$(($(stat -c %s "$1") / 2)) byte
  byte=$(od -An -tu1 -j "$at" -N1 "$1" | tr -d ' ')
  printf "\\x$(printf %02x $(((byte + 1) % 256)))" | dd of="$1" bs=1 seek="$at" conv=notrunc 2>/dev/null
}

for file in "$setup" "${signed[@]}"; do
  name=$(basename "$file")
  check "$name: signed, SHA-256, chain to the test CA, digest matches" "${codesign[@]}" verify "$file"
  cp "$file" "$work/$name"
  change_one_byte "$work/$name"
  check "$name with one byte changed: refused" fails "${codesign[@]}" verify "$work/$name"
  osslsigncode remove-signature -in "$file" -out "$work/unsigned-$name" >/dev/null
  check "$name without its signature: refused" fails "${codesign[@]}" verify "$work/unsigned-$name"
done

# A bank's own certificate, from a PKCS#12 file with a password.
openssl req -x509 -new -newkey rsa:2048 -nodes -sha256 -days 30 -keyout "$work/bank-ca.key" -out "$work/bank-ca.crt" \
  -subj "/CN=Bank Root" -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign" 2>/dev/null
openssl req -new -newkey rsa:2048 -nodes -keyout "$work/bank.key" -out "$work/bank.csr" -subj "/CN=Bank" 2>/dev/null
printf '%s\n' "keyUsage=critical,digitalSignature" "extendedKeyUsage=codeSigning" > "$work/ext"
openssl x509 -req -in "$work/bank.csr" -CA "$work/bank-ca.crt" -CAkey "$work/bank-ca.key" -CAcreateserial \
  -sha256 -days 30 -extfile "$work/ext" -out "$work/bank.crt" 2>/dev/null
openssl pkcs12 -export -inkey "$work/bank.key" -in "$work/bank.crt" -certfile "$work/bank-ca.crt" \
  -passout pass:'pa$$ word' -out "$work/bank.pfx"
export BREVANT_SIGN_PFX=$work/bank.pfx BREVANT_SIGN_CA=$work/bank-ca.crt
program=$work/bank-signed.exe
osslsigncode remove-signature -in "$1" -out "$program" >/dev/null 2>&1 || cp "$1" "$program"
cp "$program" "$work/before.exe"
check "the bank's certificate with a wrong password: signing fails" \
  fails env BREVANT_SIGN_PASSWORD=wrong "${codesign[@]}" sign "$program"
check "  and leaves the file as it was" cmp "$program" "$work/before.exe"
check "signed with the bank's certificate" env BREVANT_SIGN_PASSWORD='pa$$ word' "${codesign[@]}" sign "$program"
check "  names the bank as signer" bash -c "osslsigncode verify -in '$program' -CAfile '$work/bank-ca.crt' | grep -q 'Subject: /CN=Bank$'"
check "  refused against the test CA" fails env -u BREVANT_SIGN_PFX -u BREVANT_SIGN_CA "${codesign[@]}" verify "$program"

echo "codesign test: $failures failed"
[ "$failures" -eq 0 ]
