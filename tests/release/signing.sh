#!/usr/bin/env bash
# A release signed with a throwaway self-signed certificate, given once as a PEM certificate and
# key and once as a password-protected PKCS#12 file: both programs in the zip and the installer
# must carry signatures that osslsigncode verifies against that certificate, and SHA256SUMS must
# be over the signed files. The unsigned release's installer must fail the same check.
set -euo pipefail
: "${RELEASE_SOURCE:?}" "${RELEASE_DIST:?}" "${RELEASE_WORK:?}"
python=${VESPERINE_PYTHON:-/usr/bin/python3}
rm -rf "$RELEASE_WORK"
mkdir -p "$RELEASE_WORK"
cd "$RELEASE_WORK"

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

openssl req -x509 -newkey rsa:2048 -sha256 -days 2 -nodes -subj "/CN=Vesperine Light test signer" \
  -addext extendedKeyUsage=codeSigning -keyout key.pem -out cert.pem 2>/dev/null
openssl pkcs12 -export -in cert.pem -inkey key.pem -out cert.p12 -passout pass:throwaway

# Newer osslsigncode fetches CRLs named in the certificate unless told not to; older ones never do.
verify_options=(-CAfile cert.pem)
if osslsigncode verify --help 2>&1 | grep -q -- -ignore-cdp; then
  verify_options+=(-ignore-cdp)
fi
verify() {
  osslsigncode verify "${verify_options[@]}" -in "$1" >verify.log 2>&1
}

for form in pem pkcs12; do
  echo "-- signed with a $form certificate"
  if [[ $form == pem ]]; then
    VESPERINE_SIGN_CERT=cert.pem VESPERINE_SIGN_KEY=key.pem \
      bash "$RELEASE_SOURCE/scripts/release.sh" --out "$form" >"$form.log" 2>&1 ||
      fail "release.sh failed (see $RELEASE_WORK/$form.log)"
  else
    VESPERINE_SIGN_CERT=cert.p12 VESPERINE_SIGN_PASS=throwaway \
      bash "$RELEASE_SOURCE/scripts/release.sh" --out "$form" >"$form.log" 2>&1 ||
      fail "release.sh failed (see $RELEASE_WORK/$form.log)"
  fi
  "$python" -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])' \
    "$form"/*-windows.zip "$form/unpacked"
  for file in "$form"/*.msi "$form/unpacked/x64/Vesperine.scr" "$form/unpacked/x86/Vesperine.scr"; do
    verify "$file" || fail "$file: $(cat verify.log)"
    grep -q 'Message digest algorithm *: SHA256' verify.log || fail "$file is not signed with SHA-256"
    echo "verified $file"
  done
  (cd "$form" && sha256sum --quiet -c SHA256SUMS) || fail "$form/SHA256SUMS is not over the signed files"
done

if verify "$RELEASE_DIST"/*.msi; then
  fail "the unsigned installer passes the signature check"
fi
echo "PASS"
