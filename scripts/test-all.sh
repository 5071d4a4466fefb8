#!/usr/bin/env bash
# Builds every target and runs every test:
#   native unit and tool tests, the same under ASan/UBSan, a short fuzz run,
#   the win64 unit tests under Wine, the real win64 stub under Wine, and a
#   link of the win32 release stub (its size is printed).
# Ends with "N passed, M failed" over the suites and exits non-zero on any failure.
set -uo pipefail
repo=$(cd -- "$(dirname -- "${BASH_SOURCE[0]}")/.." && pwd -P)
cd "$repo"
fuzz_seconds=${FUZZ_SECONDS:-20}
passed=0 failed=0
failures=()

suite() {
  local name=$1
  shift
  echo "=== $name"
  local start=$SECONDS
  if "$@"; then
    passed=$((passed + 1))
    echo "=== $name: ok ($((SECONDS - start)) s)"
  else
    failed=$((failed + 1))
    failures+=("$name")
    echo "=== $name: FAILED ($((SECONDS - start)) s)" >&2
  fi
}

# The win64 unit tests print GoogleTest's summary; a crash under Wine may still
# exit 0, so the success line itself is required.
wine_unit_tests() {
  local log=build/win64/unit-tests.log
  bash scripts/wine-run.sh build/win64/bin/kestrum_tests.exe >"$log" 2>&1
  local status=$?
  tail -3 "$log"
  [ $status = 0 ] && grep -q '^\[  PASSED  \]' "$log" && ! grep -q '^\[  FAILED  \]' "$log"
}

win32_link() {
  make -s win32 || return 1
  local exe=build/win32/bin/kestrum-sfx.exe
  [ -f "$exe" ] && file "$exe" | grep -q 'PE32 executable (GUI) Intel 80386' &&
    echo "win32 stub: $(stat -c %s "$exe") bytes"
}

bash scripts/install-deps.sh || exit 1
suite "layers run one way" python3 scripts/check-layers.py
suite "native build" make -s native
suite "native tests" bash scripts/run-tests.sh native
suite "win64 build" make -s win64
suite "win64 unit tests under Wine" wine_unit_tests
suite "win64 stub under Wine" bash scripts/test-stub.sh
suite "extraction from the window under Wine" bash scripts/test-window-extract.sh
suite "win32 stub link" win32_link
suite "sanitizer tests" make -s asan
suite "thread sanitizer tests" make -s tsan
suite "fuzzing (${fuzz_seconds}s a target)" make -s fuzz FUZZ_SECONDS="$fuzz_seconds"

echo
[ ${#failures[@]} -gt 0 ] && echo "failed: ${failures[*]}"
echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
