#!/usr/bin/env bash
# Self-test of the Wine scripts. Cross-builds the two programs in tests/wine-smoke,
# checks that wine-run.sh passes output and exit code through, then shows the GUI
# program on Xvfb and saves a screenshot to <build>/wine/smoke.png for a look.
#
#   scripts/suites/smoke-wine.sh          # build root: $KESTRUM_BUILD or "build"
set -euo pipefail

repo=$(cd -- "$(dirname -- "${BASH_SOURCE[0]}")/../.." && pwd -P)
root=${KESTRUM_BUILD:-build}
[[ $root == /* ]] || root=$repo/$root
export KESTRUM_BUILD=$root
cxx=${KESTRUM_MINGW_CXX:-x86_64-w64-mingw32-g++-posix}

fail() {
  echo "smoke-wine: FAIL: $*" >&2
  exit 1
}
now_ms() { echo $(($(date +%s%N) / 1000000)); }

# Prefix: the first call may create it, the second must be cheap.
t0=$(now_ms)
source "$repo/scripts/wine/wine-env.sh" "$root"
t1=$(now_ms)
source "$repo/scripts/wine/wine-env.sh" "$root"
t2=$(now_ms)
echo "smoke-wine: prefix ready in $((t1 - t0)) ms, cached call $((t2 - t1)) ms"

bin=$KESTRUM_WINE_DIR/smoke
mkdir -p -- "$bin"
"$cxx" -O2 -static -municode -o "$bin/smoke_console.exe" "$repo/tests/wine-smoke/smoke_console.cpp"
"$cxx" -O2 -static -municode -mwindows -o "$bin/smoke_gui.exe" "$repo/tests/wine-smoke/smoke_gui.cpp"

# Console: exact bytes on both streams (CRLF gone) and the exit code.
rc=0
t0=$(now_ms)
"$repo/scripts/wine/wine-run.sh" "$bin/smoke_console.exe" >"$bin/out.txt" 2>"$bin/err.txt" || rc=$?
t1=$(now_ms)
[[ $rc == 3 ]] || fail "console exit code $rc, expected 3"
[[ $(od -An -c "$bin/out.txt" | tr -d ' \n') == 'hello\n' ]] || fail "stdout: $(od -An -c "$bin/out.txt")"
[[ $(od -An -c "$bin/err.txt" | tr -d ' \n') == 'smokestderr\n' ]] || fail "stderr: $(od -An -c "$bin/err.txt")"
echo "smoke-wine: console run OK (stdout 'hello', exit 3) in $((t1 - t0)) ms"

# GUI: always on a private Xvfb, so the result does not depend on the caller's display.
source "$repo/scripts/wine/wine-gui.sh" "$root"
wine_xvfb_start --force || fail "Xvfb did not start"
t0=$(now_ms)
wine_gui_start "$bin/smoke_gui.exe"
win=$(wine_wait_window "Smoke Test" 30) || fail "window did not appear"
t1=$(now_ms)
shot=$KESTRUM_WINE_DIR/smoke.png
wine_screenshot "$shot" || fail "screenshot failed"
t2=$(now_ms)
echo "smoke-wine: window $win mapped after $((t1 - t0)) ms, screenshot in $((t2 - t1)) ms"

grep -q 'smoke window shown' "$WINE_GUI_LOG" || fail "no success line in $WINE_GUI_LOG"
[[ $(identify -format '%wx%h' "$shot") == 1280x1024 ]] || fail "screenshot size"
# A blank screen has one colour; text and a title bar give many more.
colours=$(convert "$shot" -format '%k' info:)
((colours > 20)) || fail "screenshot looks empty ($colours colours)"
echo "smoke-wine: screenshot $shot ($colours colours)"

t0=$(now_ms)
wine_gui_stop
t1=$(now_ms)
wine_xvfb_stop
echo "smoke-wine: GUI stopped in $((t1 - t0)) ms"

# Nothing of this prefix may be left running (zombies have no exe link and are skipped).
left=
for p in /proc/[0-9]*; do
  exe=$(readlink "$p/exe" 2>/dev/null) || continue
  [[ $exe == *wine* ]] || continue
  if tr '\0' '\n' <"$p/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX"; then
    left+=" ${p#/proc/}"
  fi
done
[[ -z $left ]] || fail "Wine processes left behind:$left"

echo "smoke-wine: OK"
