#!/usr/bin/env bash
# The stubs load no DLL from the folder they are started from (a download folder):
#   - their import tables name only DLLs that Windows always takes from System32
#     (KnownDLLs), plus comctl32, and that one only while the embedded manifest
#     asks for common controls 6, which resolves it from the side-by-side store;
#   - our sources load DLLs at run time only through LoadSystemLibrary
#     (LoadLibraryExW restricted to System32), never with plain LoadLibrary.
# Prints "imports: N passed, M failed".
set -uo pipefail
repo=$(cd -- "$(dirname -- "${BASH_SOURCE[0]}")/../.." && pwd -P)
cd "$repo" || exit 1
passed=0 failed=0
pass() { echo "ok: $*"; passed=$((passed + 1)); }
fail() { echo "FAILED: $*" >&2; failed=$((failed + 1)); }

allowed=" kernel32.dll user32.dll gdi32.dll advapi32.dll shell32.dll ole32.dll oleaut32.dll "
allowed+="comdlg32.dll shlwapi.dll msvcrt.dll comctl32.dll "

for target in win32 win64; do
  case $target in
    win32) objdump=i686-w64-mingw32-objdump ;;
    win64) objdump=x86_64-w64-mingw32-objdump ;;
  esac
  exe=build/$target/bin/kestrum-sfx.exe
  if [ ! -f "$exe" ]; then
    fail "$exe is missing (make $target)"
    continue
  fi
  # "DLL Name:" lines list both the import and the delay-import tables.
  dlls=$("$objdump" -p "$exe" | awk '/DLL Name:/ { print tolower($3) }' | sort -u)
  if [ -z "$dlls" ]; then
    fail "$target: no import table read from $exe"
    continue
  fi
  bad=
  for dll in $dlls; do
    case $allowed in *" $dll "*) ;; *) bad="$bad $dll" ;; esac
  done
  if [ -z "$bad" ]; then
    pass "$target stub imports only system DLLs: $(echo $dlls)"
  else
    fail "$target stub imports DLLs that may come from its own folder:$bad"
  fi
  if echo "$dlls" | grep -qx comctl32.dll &&
    ! grep -aq 'name="Microsoft.Windows.Common-Controls" version="6.0.0.0"' "$exe"; then
    fail "$target stub imports comctl32 without the common-controls 6 manifest"
  fi
done

# Run-time loads: only LoadLibraryExW with a System32-only search, in one place.
plain=$(grep -rnE '\bLoadLibrary(A|W)?\s*\(' --include='*.cpp' --include='*.h' \
  app ui archive i18n images platform 2>/dev/null)
if [ -z "$plain" ]; then
  pass "no plain LoadLibrary call in the stub's sources"
else
  fail "plain LoadLibrary calls: $plain"
fi

echo "imports: $passed passed, $failed failed"
[ "$failed" = 0 ]
