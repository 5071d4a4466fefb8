#!/usr/bin/env bash
# Runs the real stub of one target under Wine on archives made by the packer:
#   scripts/suites/test-stub.sh [win64|win32]      (default win64; win32 is the release stub)
#   - the sample archive opens a window titled "Kestrum";
#   - the bare stub ends at once without a window;
#   - a damaged archive shows one message, "The archive is damaged." in the
#     system's language, and ends when it is closed.
# Screenshots land in build/stub-tests/ (win32: build/stub-tests-win32/).
# Prints "stub (TARGET): N passed, M failed".
set -uo pipefail
repo=$(cd -- "$(dirname -- "${BASH_SOURCE[0]}")/../.." && pwd -P)
cd "$repo" || exit 1
target=${1:-win64}
case $target in
  win64) suffix= ;;
  win32) suffix=-win32 ;;
  *) echo "usage: $0 [win64|win32]" >&2; exit 2 ;;
esac
build=build
out=$build/stub-tests$suffix
rm -rf "$out" && mkdir -p "$out"
kestrum=$build/native/bin/kestrum
stub=$build/$target/bin/kestrum-sfx.exe
passed=0 failed=0
pass() { echo "ok: $*"; passed=$((passed + 1)); }
fail() { echo "FAILED: $*" >&2; failed=$((failed + 1)); }

# shellcheck source=wine-gui.sh
source scripts/wine/wine-gui.sh "$build"
wine_xvfb_start --force >/dev/null

[ "$target" = win32 ] && { wine_check_i386 || exit 1; }
winctl=$build/$target/bin/winctl.exe
winctl_loader=$(wine_loader_for "$winctl") || exit 1
# Prints "visibility rectangle" of the control with that id.
control() { "$winctl_loader" "$winctl" dump Kestrum | tr -d '\r' | awk -v id="$1" '$1 == id {print $3, $4}'; }
# The tree's shown items: "open|closed IMAGE X,Y TEXT" (image 0 closed, 1 open folder).
tree_items() { "$winctl_loader" "$winctl" tree Kestrum 1016 | tr -d '\r' | grep -v '^ok$'; }
# The text of the control with that id.
text_of() { "$winctl_loader" "$winctl" dump Kestrum | tr -d '\r' | awk -v id="$1" '$1 == id {$1=$2=$3=$4=""; sub(/^ +/, ""); print}'; }

# 1. The sample archive opens its window: the tree in the compact place at the
#    design size, the table hidden; "Table" swaps them.
"$kestrum" pack sample -o "$out/sample.exe" --stub "$stub" --name "Kestrum sample" >/dev/null
wine_gui_start "$out/sample.exe"
if wine_wait_window "Kestrum" 60 >/dev/null; then
  wine_screenshot "$out/sample.png" && pass "sample archive opens the window ($out/sample.png)"
  tree=$(control 1016) table=$(control 1012)
  if [ "$tree" = "shown 60,136,540,404" ] && [ "${table%% *}" = hidden ]; then
    pass "the tree stands at 60,136,540,404 with the table hidden"
  else
    fail "tree '$tree', table '$table'"
  fi
  # The folder pictures follow the folders' state however it changes: clicks
  # on a picture (every time, the root's too) and the arrow keys.
  states=""
  for step in 1 1 2 2 Left Right; do
    case $step in
      Left | Right) xdotool key "$step" ;;
      *) read -r x y < <(tree_items | awk -v n="$step" 'NR == n {split($3, p, ","); print p[1], p[2]}')
         xdotool mousemove "$x" "$y" click 1 ;;
    esac
    sleep 0.4
    states+="$(tree_items | awk 'NR <= 2 {printf "%s:%s ", $1, $2}')/ "
  done
  want="closed:0 / open:1 closed:0 / open:1 open:1 / open:1 closed:0 / closed:0 / open:1 closed:0 / "
  [ "$states" = "$want" ] && pass "folder pictures follow clicks and keys" || fail "folder pictures: '$states'"
  "$winctl_loader" "$winctl" click Kestrum 1101 >/dev/null
  sleep 0.5
  tree=$(control 1016) table=$(control 1012)
  if [ "${tree%% *}" = hidden ] && [ "$table" = "shown 60,136,540,404" ]; then
    pass "the Table switch shows the table in the same place"
  else
    fail "after Table: tree '$tree', table '$table'"
  fi
else
  fail "sample archive: no window titled Kestrum"
fi
wine_gui_stop

# 1b. With a description the views move down to 220.
"$kestrum" pack sample -o "$out/described.exe" --stub "$stub" --description "[* Bold] words" >/dev/null
wine_gui_start "$out/described.exe"
if wine_wait_window "Kestrum" 60 >/dev/null; then
  tree=$(control 1016) label=$(control 1010)
  if [ "$tree" = "shown 60,220,540,404" ] && [ "${label%% *}" = shown ]; then
    pass "a description moves the views to 220 and shows its label"
  else
    fail "described: tree '$tree', label '$label'"
  fi
else
  fail "described archive: no window"
fi
wine_gui_stop

# 1c. Languages: the archive's own (German), then Kazakh picked from the list;
#     and the system's when the archive names none (Portuguese gives English).
"$kestrum" pack sample -o "$out/german.exe" --stub "$stub" --language deDE >/dev/null
wine_gui_start "$out/german.exe"
if wine_wait_window "Kestrum" 60 >/dev/null; then
  lang=$(text_of 1007) cancel=$(text_of 1004) list=$(text_of 1000)
  if [ "$lang" = "Sprache:" ] && [ "$cancel" = "Stornieren" ] && [ "$list" = "Deutsch (German)" ]; then
    pass "a German archive starts in German"
  else
    fail "German archive: '$lang' '$cancel' '$list'"
  fi
  # Picking the shown language again runs the language change all the same.
  "$winctl_loader" "$winctl" settext Kestrum 1007 stale >/dev/null
  read -r x y < <("$winctl_loader" "$winctl" point Kestrum 1000 | tr -d '\r')
  xdotool mousemove "$x" "$y" click 1
  sleep 0.5
  xdotool key Return
  sleep 0.5
  lang=$(text_of 1007)
  [ "$lang" = "Sprache:" ] && pass "picking the shown language again re-applies it" || fail "re-pick: '$lang'"
  "$winctl_loader" "$winctl" select Kestrum 1000 6 >/dev/null
  sleep 0.5
  lang=$(text_of 1007) table=$(text_of 1101)
  if [ "$lang" = "Language:" ] && [ "$table" = "Table" ]; then
    pass "picking Kazakh switches the texts (English where the catalogue has none)"
  else
    fail "after Kazakh: '$lang' '$table'"
  fi
else
  fail "German archive: no window"
fi
wine_gui_stop
# An archive without a language follows the system's.
for case in "de_DE Deutsch (German)" "pt_BR English (English)"; do
  loc=${case%% *} want=${case#* }
  LANG=$loc.UTF-8 LC_ALL=$loc.UTF-8 wine_gui_start "$out/sample.exe"
  if wine_wait_window "Kestrum" 60 >/dev/null; then
    list=$(text_of 1000)
    [ "$list" = "$want" ] && pass "a $loc system gives $want" || fail "$loc system: '$list'"
  else
    fail "$loc system: no window"
  fi
  wine_gui_stop
done

# 1d. An empty archive: the root alone, open.
mkdir -p "$out/nothing"
"$kestrum" pack "$out/nothing" -o "$out/empty.exe" --stub "$stub" --name "Nothing inside" >/dev/null
wine_gui_start "$out/empty.exe"
if wine_wait_window "Kestrum" 60 >/dev/null; then
  root=$(tree_items)
  if echo "$root" | grep -qx 'open 1 [0-9-]*,[0-9-]* Nothing inside'; then
    pass "an empty archive's root shows the open folder"
  else
    fail "empty archive tree: '$root'"
  fi
else
  fail "empty archive: no window"
fi
wine_gui_stop

# 2. The bare stub ends by itself, silently.
cp "$stub" "$out/bare.exe"
wine_gui_start "$out/bare.exe"
wine_gui_wait_exit 30 >/dev/null
status=$?
if [ "$status" != 124 ]; then
  if [ -z "$(xdotool search --onlyvisible --name . 2>/dev/null)" ]; then
    pass "bare stub ends silently"
  else
    fail "bare stub left a window"
  fi
else
  fail "bare stub did not end"
  wine_gui_stop
fi

# 3. A damaged archive: an entry name that climbs out of the destination.
python3 - "$out/sample.exe" "$out/damaged.exe" <<'PY'
import sys
data = bytearray(open(sys.argv[1], 'rb').read())
table = int.from_bytes(data[32:36], 'little')
name_len = int.from_bytes(data[table:table + 4], 'little')
first = table + 4 + name_len + 4          # first record
name_at = first + 1 + 8 + 8 + 4           # its name bytes
data[name_at:name_at + 3] = b'..\\'       # "Data\\empty.dat" -> "..\\a\\empty.dat"
open(sys.argv[2], 'wb').write(data)
PY
LANG=de_DE.UTF-8 LC_ALL=de_DE.UTF-8 wine_gui_start "$out/damaged.exe"
if wid=$(wine_wait_window "Kestrum Vondrel" 60); then
  wine_screenshot "$out/damaged.png"
  if "$winctl_loader" "$winctl" dump "Kestrum Vondrel" | grep -q "Das Archiv ist beschädigt."; then
    pass "the damaged-archive message speaks the system's language (German)"
  else
    fail "damaged-archive message not in German"
  fi
  xdotool key --window "$wid" Return 2>/dev/null || true
  wine_gui_wait_exit 20 >/dev/null
  if [ $? != 124 ]; then
    pass "damaged archive shows one message and ends ($out/damaged.png)"
  else
    fail "damaged archive: the program did not end after the message"
  fi
else
  fail "damaged archive: no message box titled Kestrum Vondrel"
fi
wine_gui_stop

echo "stub ($target): $passed passed, $failed failed"
[ "$failed" = 0 ]
