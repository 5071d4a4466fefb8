#!/usr/bin/env bash
# Extraction from the window, driven under Wine the way a person does it:
# Enter and clicks on the Extract button, answers to the overwrite question, Cancel
# with both answers, a damaged archive and Ctrl+I. The real stub of one target
# runs on archives made by the packer:
#   scripts/suites/test-window-extract.sh [win64|win32]   (default win64)
# Screenshots land in build/window-tests/ (win32: build/window-tests-win32/).
# Prints "window (TARGET): N passed, M failed".
set -uo pipefail
repo=$(cd -- "$(dirname -- "${BASH_SOURCE[0]}")/../.." && pwd -P)
cd "$repo" || exit 1
target=${1:-win64}
case $target in
  win64) suffix= ;;
  win32) suffix=-win32 ;;
  *) echo "usage: $0 [win64|win32]" >&2; exit 2 ;;
esac
build=$repo/build
out=$build/window-tests$suffix
rm -rf "$out" && mkdir -p "$out"
kestrum=$build/native/bin/kestrum
stub=$build/$target/bin/kestrum-sfx.exe
winctl=$build/$target/bin/winctl.exe
passed=0 failed=0
pass() { echo "ok: $*"; passed=$((passed + 1)); }
fail() { echo "FAILED: $*" >&2; failed=$((failed + 1)); }

# shellcheck source=wine-gui.sh
source scripts/wine/wine-gui.sh "$build"
wine_xvfb_start --force >/dev/null
[ "$target" = win32 ] && { wine_check_i386 || exit 1; }
winctl_loader=$(wine_loader_for "$winctl") || exit 1
ctl() { "$winctl_loader" "$winctl" "$@" 2>/dev/null | tr -d '\r'; }
shown() { ctl dump "$1" | awk -v id="$2" '$1 == id {print $3}'; }
# Waits up to $3 seconds until control $2 of window $1 is shown.
wait_shown() {
  local i
  for ((i = 0; i < $3 * 4; i++)); do
    [ "$(shown "$1" "$2")" = shown ] && return 0
    sleep 0.25
  done
  return 1
}

# 1. Extract the sample and wait for the finished view.
mkdir -p "$out/one"
"$kestrum" pack sample -o "$out/sample.exe" --stub "$stub" --name "Kestrum sample" >/dev/null
cd "$out/one" || exit 1
wine_gui_start "$out/sample.exe"
cd "$repo" || exit 1
if wid=$(wine_wait_window Kestrum 60); then
  # Enter: the Extract button has the focus.
  xdotool windowfocus --sync "$wid" 2>/dev/null || true
  xdotool key Return
  if wait_shown Kestrum 1003 60; then
    wine_screenshot "$out/finished.png"
    if diff -r sample "$out/one" >/dev/null; then
      pass "Enter extracts the sample byte for byte and shows the finished view ($out/finished.png)"
    else
      fail "the extracted tree differs from the sample"
    fi
  else
    fail "no finished view after Extract"
  fi
else
  fail "sample: no window"
fi
wine_gui_stop

# 2. The overwrite question: a name that exists is refused, a new one taken;
#    "Rewrite" replaces.
mkdir -p "$out/src2" "$out/two"
printf 'archive a\n' >"$out/src2/a.txt"
printf 'archive b\n' >"$out/src2/b.txt"
"$kestrum" pack "$out/src2" -o "$out/two.exe" --stub "$stub" >/dev/null
printf 'my a\n' >"$out/two/a.txt"
printf 'my b\n' >"$out/two/b.txt"
cd "$out/two" || exit 1
wine_gui_start "$out/two.exe"
cd "$repo" || exit 1
if wine_wait_window Kestrum 60 >/dev/null; then
  ctl click Kestrum 1001 >/dev/null
  if wine_wait_window "File already exist" 30 >/dev/null; then
    wine_screenshot "$out/overwrite.png"
    ctl settext "File already exist" 11 b.txt >/dev/null
    ctl click "File already exist" 1 >/dev/null
    sleep 1
    if [ -n "$(ctl dump "File already exist")" ]; then
      pass "a new name that exists too is refused"
      wine_screenshot "$out/overwrite-refused.png"
    else
      fail "the existing name b.txt was accepted"
    fi
    ctl settext "File already exist" 11 c.txt >/dev/null
    ctl click "File already exist" 1 >/dev/null
    sleep 1
    # The second question, for b.txt: Rewrite.
    if wine_wait_window "File already exist" 30 >/dev/null; then
      ctl click "File already exist" 2 >/dev/null
    fi
    if wait_shown Kestrum 1003 30 && [ "$(cat "$out/two/a.txt")" = "my a" ] &&
       [ "$(cat "$out/two/c.txt")" = "archive a" ] && [ "$(cat "$out/two/b.txt")" = "archive b" ]; then
      pass "new name and Rewrite: a.txt kept, c.txt written, b.txt replaced"
    else
      fail "overwrite answers: a='$(cat "$out/two/a.txt")' b='$(cat "$out/two/b.txt")' c='$(cat "$out/two/c.txt" 2>/dev/null)'"
    fi
  else
    fail "no overwrite question"
  fi
else
  fail "overwrite archive: no window"
fi
wine_gui_stop

# 3. Cancel during a long extraction: "Cancel" goes on, "Close" stops and ends.
#    Many small files keep the worker busy for a while under Wine.
mkdir -p "$out/src3" "$out/three"
python3 - "$out/src3" <<'PY'
import os, sys
for d in range(40):
    os.makedirs(f"{sys.argv[1]}/d{d}", exist_ok=True)
    for f in range(1000):
        with open(f"{sys.argv[1]}/d{d}/f{f}.txt", "w") as out:
            out.write(f"file {d} {f}\n" * 40)
PY
"$kestrum" pack "$out/src3" -o "$out/big.exe" --stub "$stub" >/dev/null
rm -rf "$out/src3"
cd "$out/three" || exit 1
wine_gui_start "$out/big.exe"
cd "$repo" || exit 1
if wine_wait_window Kestrum 60 >/dev/null; then
  ctl click Kestrum 1001 >/dev/null
  sleep 1.3  # past the first tick: the window knows files are being written
  wine_screenshot "$out/progress.png"
  ctl click Kestrum 1004 >/dev/null
  if wine_wait_window "Kestrum Vondrel" 20 >/dev/null; then
    wine_screenshot "$out/break-question.png"
    ctl click "Kestrum Vondrel" 1000 >/dev/null  # Cancel: go on
    sleep 0.5
    if [ -n "$(ctl dump Kestrum)" ]; then pass "Cancel in the question keeps extracting"; else fail "the window went away"; fi
    ctl click Kestrum 1004 >/dev/null
    if wine_wait_window "Kestrum Vondrel" 20 >/dev/null; then
      ctl click "Kestrum Vondrel" 8 >/dev/null  # Close: stop
      wine_gui_wait_exit 60 >/dev/null
      status=$?
      left=$(find "$out/three" -type f | wc -l)
      temps=$(find "$out/three" -name '.kestrum-*' | wc -l)
      if [ "$status" != 124 ] && [ "$left" -lt 40000 ] && [ "$temps" = 0 ]; then
        pass "Close stops the run before the end and the program ends ($left of 40000 files written)"
      else
        fail "after Close: status $status, left: $(ls "$out/three")"
      fi
    else
      fail "no second question"
    fi
  else
    fail "no question on Cancel while extracting"
  fi
else
  fail "big archive: no window"
fi
wine_gui_stop
rm -f "$out/big.exe"

# 4. A damaged member: "Very fail", the window stays, nothing half-written.
mkdir -p "$out/four"
python3 - "$out/two.exe" "$out/damaged.exe" <<'PY'
import sys
data = bytearray(open(sys.argv[1], 'rb').read())
data[-1] ^= 0x40  # the last byte of the last member: its length field
open(sys.argv[2], 'wb').write(data)
PY
cd "$out/four" || exit 1
wine_gui_start "$out/damaged.exe"
cd "$repo" || exit 1
if wine_wait_window Kestrum 60 >/dev/null; then
  ctl click Kestrum 1001 >/dev/null
  if wine_wait_window "Kestrum Vondrel" 30 >/dev/null; then
    wine_screenshot "$out/very-fail.png"
    ctl click "Kestrum Vondrel" 8 >/dev/null
    sleep 2
    wine_screenshot "$out/after-fail.png"  # the views stay, without pieces of the logo
    if [ -n "$(ctl dump Kestrum)" ] && [ "$(shown Kestrum 1003)" = hidden ] &&
       [ "$(cat "$out/four/a.txt")" = "archive a" ] && [ ! -e "$out/four/b.txt" ]; then
      pass "a damaged archive says Very fail; the window stays; the damaged file is not left"
    else
      fail "damaged: $(ls "$out/four")"
    fi
  else
    fail "no failure message"
  fi
else
  fail "damaged archive: no window"
fi
wine_gui_stop

# 5. Ctrl+I opens the About dialog.
wine_gui_start "$out/sample.exe"
if wid=$(wine_wait_window Kestrum 60); then
  xdotool windowfocus --sync "$wid" 2>/dev/null || true
  xdotool key --clearmodifiers ctrl+i
  if wine_wait_window "Kestrum " 20 >/dev/null; then
    wine_screenshot "$out/about.png"
    pass "Ctrl+I opens the About dialog ($out/about.png)"
  else
    fail "Ctrl+I: no About dialog"
  fi
else
  fail "Ctrl+I: no window"
fi
wine_gui_stop

# 6. Browse opens the shell's folder browser; OK puts the chosen folder into
#    the path field. (Wine's browser does not always honour the folder it is
#    asked to preselect, so the test checks the round trip, not the folder.)
mkdir -p "$out/six/chosen"
cd "$out/six/chosen" || exit 1
wine_gui_start "$out/sample.exe"
cd "$repo" || exit 1
if wine_wait_window Kestrum 60 >/dev/null; then
  ctl settext Kestrum 1014 "Z:\\nowhere" >/dev/null
  ctl click Kestrum 1002 >/dev/null
  if wine_wait_window "Browse for Folder" 20 >/dev/null; then
    wine_screenshot "$out/browse.png"
    ctl click "Browse for Folder" 1 >/dev/null
    sleep 1
    path=$(ctl dump Kestrum | awk '$1 == 1014 {$1=$2=$3=$4=""; sub(/^ +/, ""); print}')
    case $path in
      'Z:\nowhere' | '') fail "Browse: OK did not change the path field ('$path')" ;;
      Z:*) pass "Browse: OK puts the chosen folder into the path field ($path)" ;;
      *) fail "Browse: the path field reads '$path'" ;;
    esac
  else
    fail "Browse: no folder browser"
  fi
else
  fail "Browse: no window"
fi
wine_gui_stop

echo "window ($target): $passed passed, $failed failed"
[ "$failed" = 0 ]
