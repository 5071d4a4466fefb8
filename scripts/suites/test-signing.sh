#!/usr/bin/env bash
# A publisher signs what it ships: archives signed after packing keep working.
# With a certificate made here, it signs a packed 32-bit archive and the
# executable part of a split one with osslsigncode, verifies the signatures, and
# runs `kestrum list`, `test` and `extract` on the signed files; the 32-bit stub
# must open its window on the signed archive (screenshot in build/signing-tests/).
# Prints "signing: N passed, M failed".
set -uo pipefail
repo=$(cd -- "$(dirname -- "${BASH_SOURCE[0]}")/../.." && pwd -P)
cd "$repo" || exit 1
build=build
out=$build/signing-tests
rm -rf "$out" && mkdir -p "$out"
kestrum=$build/native/bin/kestrum
stub=$build/win32/bin/kestrum-sfx.exe
passed=0 failed=0
pass() { echo "ok: $*"; passed=$((passed + 1)); }
fail() { echo "FAILED: $*" >&2; failed=$((failed + 1)); }

# A self-signed code-signing certificate, as a publisher's test certificate.
if ! openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Kestrum test publisher" \
  -addext extendedKeyUsage=codeSigning -keyout "$out/key.pem" -out "$out/cert.pem" \
  >"$out/openssl.log" 2>&1; then
  fail "openssl could not make a certificate: $(tail -1 "$out/openssl.log")"
  echo "signing: $passed passed, $failed failed"
  exit 1
fi

# Signs $1 in place; the signature goes into the certificate table at the end.
sign() {
  osslsigncode sign -certs "$out/cert.pem" -key "$out/key.pem" -n "Kestrum sample" \
    -in "$1" -out "$1.signed" >"$out/sign.log" 2>&1 && mv -f "$1.signed" "$1"
}
verified() { osslsigncode verify -CAfile "$out/cert.pem" -in "$1" >"$out/verify.log" 2>&1; }
# list, test and extract the signed archive $1; the extracted tree must equal sample/.
reads_back() {
  local dest
  dest=$out/extract-$(basename "$1" .exe)
  "$kestrum" list "$1" >"$out/list.log" 2>&1 && grep -q 'README.txt' "$out/list.log" &&
    "$kestrum" test "$1" >/dev/null 2>&1 &&
    "$kestrum" extract "$1" -o "$dest" >/dev/null 2>&1 && diff -r sample "$dest" >/dev/null
}

# 1. A single-file archive.
"$kestrum" pack sample -o "$out/sample.exe" --stub "$stub" --name "Kestrum sample" >/dev/null
size=$(stat -c %s "$out/sample.exe")
if sign "$out/sample.exe" && verified "$out/sample.exe"; then
  pass "the signed archive verifies ($size bytes, $(stat -c %s "$out/sample.exe") signed)"
else
  fail "signing or verifying: $(tail -n 2 "$out/sign.log" "$out/verify.log")"
fi
if reads_back "$out/sample.exe"; then
  pass "kestrum lists, tests and extracts the signed archive byte for byte"
else
  fail "the signed archive does not read back: $(tail -n 2 "$out/list.log")"
fi

# 2. A split archive: its executable part signs the same way.
# Volumes a little larger than the stub: the rest of the sample goes to volume files.
"$kestrum" pack sample -o "$out/split.exe" --stub "$stub" \
  --split $(($(stat -c %s "$stub") + 256 * 1024)) >/dev/null
volumes=$(find "$out" -name 'split.[0-9][0-9][0-9]' | wc -l)
if [ "$volumes" -gt 0 ] && sign "$out/split.exe" && verified "$out/split.exe" &&
  reads_back "$out/split.exe"; then
  pass "a split archive's signed executable part verifies and reads back ($volumes volumes)"
else
  fail "split archive ($volumes volumes): $(tail -n 2 "$out/sign.log" "$out/verify.log" "$out/list.log")"
fi

# 3. The 32-bit stub opens its window on the signed archive.
# shellcheck source=wine-gui.sh
source scripts/wine/wine-gui.sh "$build"
wine_xvfb_start --force >/dev/null
if wine_check_i386; then
  wine_gui_start "$out/sample.exe"
  if wine_wait_window "Kestrum" 60 >/dev/null; then
    wine_screenshot "$out/signed-window.png"
    pass "the 32-bit stub opens its window on the signed archive ($out/signed-window.png)"
  else
    fail "the 32-bit stub shows no window on the signed archive"
  fi
  wine_gui_stop
else
  fail "the 32-bit stub cannot run here"
fi

echo "signing: $passed passed, $failed failed"
[ "$failed" = 0 ]
