#!/usr/bin/env bash
# Both stubs carry the version `kestrum --version` prints, in a version resource
# with the product name, description and copyright line, and a manifest that
# names the supported Windows versions (7, 8, 8.1, 10/11).
# Prints "version: N passed, M failed".
set -uo pipefail
repo=$(cd -- "$(dirname -- "${BASH_SOURCE[0]}")/../.." && pwd -P)
cd "$repo" || exit 1
passed=0 failed=0
pass() { echo "ok: $*"; passed=$((passed + 1)); }
fail() { echo "FAILED: $*" >&2; failed=$((failed + 1)); }

tool_line=$(build/native/bin/kestrum --version)
version=${tool_line#kestrum }
if [[ $tool_line =~ ^kestrum\ [0-9]+\.[0-9]+\.[0-9]+$ ]]; then
  pass "kestrum --version prints '$tool_line'"
else
  fail "kestrum --version prints '$tool_line'"
fi

for target in win32 win64; do
  exe=build/$target/bin/kestrum-sfx.exe
  [ -f "$exe" ] || { fail "$exe is missing (make $target)"; continue; }
  # The string table of VERSIONINFO holds UTF-16 "Key\0" then the value, padded
  # to 4 bytes; the fixed part starts with the signature 0xFEEF04BD, followed by
  # u32 struct version and the file version as u32 MS (major.minor), u32 LS (patch.0).
  info=$(python3 - "$exe" <<'PY'
import struct, sys
data = open(sys.argv[1], "rb").read()
def value(key):
    k = (key + "\0").encode("utf-16-le")
    at = data.find(k)
    if at < 0:
        return ""
    at += len(k)
    while data[at:at + 2] == b"\0\0":
        at += 2
    end = at
    while data[end:end + 2] != b"\0\0":
        end += 2
    return data[at:end].decode("utf-16-le")
fixed = data.find(struct.pack("<I", 0xFEEF04BD))
ms, ls = struct.unpack_from("<II", data, fixed + 8) if fixed >= 0 else (0, 0)
print(f"{ms >> 16}.{ms & 0xffff}.{ls >> 16}")
for key in ("ProductName", "FileDescription", "ProductVersion", "FileVersion", "LegalCopyright"):
    print(value(key))
PY
  )
  { read -r fixed; read -r product; read -r description; read -r product_version
    read -r file_version; read -r copyright; } <<<"$info"
  if [ "$fixed" = "$version" ] && [ "$product_version" = "$version" ] &&
    [ "$file_version" = "$version" ] && [ "$product" = Kestrum ] &&
    [ -n "$description" ] && [[ $copyright == Copyright* ]]; then
    pass "$target stub: $product $product_version, \"$description\", \"$copyright\""
  else
    fail "$target stub version resource: fixed '$fixed', '$product' '$product_version' '$file_version' '$description' '$copyright' (tool: $version)"
  fi
  # The four supportedOS ids: Windows 7, 8, 8.1, 10/11.
  missing=
  for id in 35138b9a-5d96-4fbd-8e2d-a2440225f93a 4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38 \
    1f676c76-80e1-4239-95bb-83d0f6d0da78 8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a; do
    grep -aq "supportedOS Id=\"{$id}\"" "$exe" || missing="$missing $id"
  done
  if [ -z "$missing" ] && grep -aq "name=\"Kestrum.SelfExtractor\" version=\"$version.0\"" "$exe"; then
    pass "$target stub manifest: version $version.0, Windows 7 to 11"
  else
    fail "$target stub manifest: missing$missing or version other than $version.0"
  fi
done

echo "version: $passed passed, $failed failed"
[ "$failed" = 0 ]
