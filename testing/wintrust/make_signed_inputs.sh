#!/usr/bin/env bash
# make_signed_inputs.sh PROGRAM OUTDIR
# Writes, from PROGRAM, into OUTDIR:
#   unsigned.exe  PROGRAM with a 16-byte overlay
#   signed.exe    unsigned.exe signed (SHA-256) by a code-signing certificate of a
#                 self-made root; the overlay sits between the last section and the
#                 certificate table, so only the system's verification can say "signed"
#   member.exe    PROGRAM with another 16-byte overlay, unsigned
#   kvprobe.cat   a catalog listing member.exe, signed (SHA-1) by the same certificate
set -euo pipefail
program=$(realpath "$1")
out=$2
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$out"
cd "$out"
rm -f ./*.key ./*.crt ./*.csr ./*.pem ./*.exe ./*.cat ./*.srl

openssl req -x509 -newkey rsa:2048 -nodes -keyout root.key -out root.crt -days 3650 \
  -subj "/CN=Kavro Test Root" -addext "basicConstraints=critical,CA:TRUE" \
  -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
openssl req -newkey rsa:2048 -nodes -keyout sign.key -out sign.csr \
  -subj "/CN=Kavro Test Code Signing" 2>/dev/null
printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' \
  >sign.ext
openssl x509 -req -in sign.csr -CA root.crt -CAkey root.key -CAcreateserial -out sign.crt \
  -days 3650 -extfile sign.ext 2>/dev/null
cat sign.crt root.crt >chain.pem

cp "$program" unsigned.exe
printf 'KVPROBE-OVERLAY1' >>unsigned.exe
osslsigncode sign -certs chain.pem -key sign.key -h sha256 -in unsigned.exe -out signed.exe \
  >/dev/null

cp "$program" member.exe
printf 'KVPROBE-MEMBER-1' >>member.exe
/usr/bin/python3 "$here/make_catalog.py" unsigned.cat member.exe
# Wine's catalog search reads installed catalogs with a provider that has no SHA-256;
# a catalog it cannot read makes the search crash the caller, so sign with SHA-1.
osslsigncode sign -certs chain.pem -key sign.key -h sha1 -in unsigned.cat -out kvprobe.cat \
  >/dev/null
rm -f unsigned.cat
