#!/usr/bin/env bash
# Builds every target and runs every test:
#   native unit and tool tests, the same under ASan/UBSan, a short fuzz run,
#   and for both Windows targets (win32 is the release stub, run by the i386
#   loader) the unit tests, the stub and the window under Wine; the Windows
#   kestrum.exe (64- and 32-bit) under Wine against the Linux tool.
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
    return 1
  fi
}

# The Windows unit tests print GoogleTest's summary; a crash under Wine may still
# exit 0, so the success line itself is required.
wine_unit_tests() {
  local log=build/$1/unit-tests.log
  bash scripts/wine-run.sh "build/$1/bin/kestrum_tests.exe" >"$log" 2>&1
  local status=$?
  tail -3 "$log"
  [ $status = 0 ] && grep -q '^\[  PASSED  \]' "$log" && ! grep -q '^\[  FAILED  \]' "$log"
}

# The release stub must be a 32-bit GUI program; its size is printed.
win32_build() {
  make -s win32 || return 1
  local exe=build/win32/bin/kestrum-sfx.exe
  [ -f "$exe" ] && file "$exe" | grep -q 'PE32 executable (GUI) Intel 80386' &&
    echo "win32 stub: $(stat -c %s "$exe") bytes"
}

# Without an i386 loader that works the 32-bit suites cannot run: one line says why.
i386_wine() {
  (source scripts/wine-env.sh build && wine_check_i386)
}

bash scripts/install-deps.sh || exit 1
suite "layers run one way" python3 scripts/check-layers.py
suite "native build" make -s native
suite "native tests" bash scripts/run-tests.sh native
suite "win64 build" make -s win64
suite "win64 unit tests under Wine" wine_unit_tests win64
suite "win64 stub under Wine" bash scripts/test-stub.sh win64
suite "win64 extraction from the window under Wine" bash scripts/test-window-extract.sh win64
suite "win32 build" win32_build
suite "stub imports" bash scripts/test-imports.sh
suite "stub version" bash scripts/test-version.sh
if suite "i386 Wine" i386_wine; then
  suite "win32 unit tests under Wine" wine_unit_tests win32
  suite "win32 stub under Wine" bash scripts/test-stub.sh win32
  suite "win32 extraction from the window under Wine" bash scripts/test-window-extract.sh win32
  suite "Windows tool under Wine" bash scripts/test-windows-tool.sh
  suite "signed archives" bash scripts/test-signing.sh
fi
suite "sanitizer tests" make -s asan
suite "thread sanitizer tests" make -s tsan
suite "fuzzing (${fuzz_seconds}s a target)" make -s fuzz FUZZ_SECONDS="$fuzz_seconds"

echo
[ ${#failures[@]} -gt 0 ] && echo "failed: ${failures[*]}"
echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
