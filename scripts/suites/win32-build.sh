#!/usr/bin/env bash
# Builds the win32 target; the release stub must be a 32-bit GUI program. Its
# size is printed.
set -uo pipefail
repo=$(cd -- "$(dirname -- "${BASH_SOURCE[0]}")/../.." && pwd -P)
cd "$repo" || exit 1
make -s win32 || exit 1
exe=build/win32/bin/kestrum-sfx.exe
[ -f "$exe" ] && file "$exe" | grep -q 'PE32 executable (GUI) Intel 80386' &&
  echo "win32 stub: $(stat -c %s "$exe") bytes"
