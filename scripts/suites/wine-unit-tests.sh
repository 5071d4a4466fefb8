#!/usr/bin/env bash
# One Windows target's unit tests under Wine. A crash under Wine may still
# exit 0, so GoogleTest's own success line is required.
set -uo pipefail
repo=$(cd -- "$(dirname -- "${BASH_SOURCE[0]}")/../.." && pwd -P)
cd "$repo" || exit 1
target=${1:?usage: wine-unit-tests.sh win64|win32}
log=build/$target/unit-tests.log
bash scripts/wine/wine-run.sh "build/$target/bin/kestrum_tests.exe" >"$log" 2>&1
status=$?
tail -3 "$log"
[ "$status" = 0 ] && grep -q '^\[  PASSED  \]' "$log" && ! grep -q '^\[  FAILED  \]' "$log"
