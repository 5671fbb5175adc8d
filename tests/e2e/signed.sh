#!/usr/bin/env bash
# Makes BUILD_DIR/updaters/Setup-signed.exe (and its .payload) as a release
# engineer would, with `yppack bundle --sign`, under a throwaway certificate
# made here with openssl, and checks the signature with `osslsigncode
# verify`. On any failure no Setup-signed.exe is left, and the scenario that
# runs it fails saying so.
#
#   tests/e2e/signed.sh BUILD_DIR
set -uo pipefail
build=$1
updaters=$build/updaters
rm -f "$updaters/Setup-signed.exe" "$updaters/Setup-signed.payload"
keys=$(mktemp -d /tmp/signed.XXXXXX)
trap 'rm -rf "$keys"' EXIT

fail() {
    echo "signed.sh: $*"
    exit 1
}
printf 'throwaway\n' >"$keys/pass"
openssl req -x509 -newkey rsa:2048 -noenc -keyout "$keys/key.pem" -out "$keys/cert.pem" -days 2 \
    -subj "/CN=Vesperlin test signer" -addext "extendedKeyUsage=codeSigning" >/dev/null 2>&1 &&
    openssl pkcs12 -export -inkey "$keys/key.pem" -in "$keys/cert.pem" -out "$keys/key.p12" \
        -passout "file:$keys/pass" >/dev/null 2>&1 ||
    fail "openssl could not make the throwaway certificate"
"$build/host-yppack/yppack" bundle --sign "$keys/key.p12" --pass-file "$keys/pass" \
    "$updaters/Setup-stub.exe" "$updaters/Setup.payload" "$keys/Setup-signed.exe" >"$keys/bundle.log" 2>&1 ||
    fail "yppack bundle --sign failed: $(cat "$keys/bundle.log")"
osslsigncode verify -CAfile "$keys/cert.pem" -in "$keys/Setup-signed.exe" >"$keys/verify.log" 2>&1 ||
    fail "osslsigncode verify failed: $(tail -5 "$keys/verify.log")"
grep -q '^Signature verification: ok' "$keys/verify.log" || fail "osslsigncode verify did not say ok"
cp "$keys/Setup-signed.exe" "$updaters/Setup-signed.exe" &&
    cp "$updaters/Setup.payload" "$updaters/Setup-signed.payload" || fail "cannot copy into $updaters"
echo "signed.sh: Setup-signed.exe, $(stat -c %s "$updaters/Setup-signed.exe") bytes, osslsigncode verify: ok"
