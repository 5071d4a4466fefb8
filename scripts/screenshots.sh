#!/usr/bin/env bash
# Screenshots of the main window under Wine, for looking at: the design size
# without and with a description (and the archive's own icon and banner), no
# entries, 100,000 entries, enlarged to 1400 x 900, and at 150 % scaling.
# Also times how long the window of the 100,000-entry archive takes to come up.
# Writes build/screenshots/*.png and prints their paths.
set -euo pipefail
repo=$(cd -- "$(dirname -- "${BASH_SOURCE[0]}")/.." && pwd -P)
cd "$repo"
build=build
out=$build/screenshots
rm -rf "$out" && mkdir -p "$out/archives" "$out/empty-folder"
kestrum=$build/native/bin/kestrum
stub=$build/win64/bin/kestrum-sfx.exe
winctl=$build/win64/bin/winctl.exe

"$kestrum" pack sample -o "$out/archives/plain.exe" --stub "$stub" --name "Kestrum sample" >/dev/null
"$kestrum" pack sample -o "$out/archives/described.exe" --stub "$stub" --name "Kestrum sample" \
  --description "[* Sample files] for the [/ self-extractor]: text, data and names in [@(0.96.160) Cyrillic] and Chinese.&See [^https://www.kestrum.org^ the web site]." \
  --icon images/png/MinIcon.png --banner images/png/unpack_de.png >/dev/null
"$kestrum" pack "$out/empty-folder" -o "$out/archives/empty.exe" --stub "$stub" --name "Nothing inside" >/dev/null
"$build/native/bin/make_listing_archive" "$stub" "$out/archives/big.exe" 100000 >/dev/null

# shellcheck source=wine-gui.sh
source scripts/wine-gui.sh "$build"
wine_xvfb_start --force >/dev/null

shot() {  # NAME ARCHIVE [winctl arguments...]
  local name=$1 exe=$2
  shift 2
  wine_gui_start "$exe"
  wine_wait_window "Kestrum" 60 >/dev/null
  if [ $# -gt 0 ]; then "$WINE64" "$winctl" "$@" Kestrum "${sizes[@]}" >/dev/null; sleep 1; fi
  wine_screenshot "$out/$name.png"
  wine_gui_stop
  echo "$out/$name.png"
}

sizes=()
shot plain "$out/archives/plain.exe"
shot described "$out/archives/described.exe"
shot empty "$out/archives/empty.exe"

start=$(date +%s.%N)
wine_gui_start "$out/archives/big.exe"
wine_wait_window "Kestrum" 60 >/dev/null
up=$(date +%s.%N)
wine_screenshot "$out/big.png"
wine_gui_stop
echo "$out/big.png"
start_small=$(date +%s.%N)
wine_gui_start "$out/archives/empty.exe"
wine_wait_window "Kestrum" 60 >/dev/null
up_small=$(date +%s.%N)
wine_gui_stop
printf 'window up: 100,000 entries %.2f s, no entries %.2f s (Wine start included)\n' \
  "$(echo "$up - $start" | bc)" "$(echo "$up_small - $start_small" | bc)"

sizes=(1400 900)
shot enlarged "$out/archives/described.exe" resize

# Languages: the archive's own (German, Chinese, Kazakh), none on a Portuguese
# system, and a switch to Chinese through the language list.
for lang in deDE zhCN kkKZ; do
  "$kestrum" pack sample -o "$out/archives/$lang.exe" --stub "$stub" --name "Kestrum sample" \
    --language "$lang" >/dev/null
  shot "lang-$lang" "$out/archives/$lang.exe"
done
LANG=pt_BR.UTF-8 LC_ALL=pt_BR.UTF-8 shot lang-system-pt "$out/archives/plain.exe"
wine_gui_start "$out/archives/deDE.exe"
wine_wait_window "Kestrum" 60 >/dev/null
"$WINE64" "$winctl" select Kestrum 1000 8 >/dev/null
sleep 1
wine_screenshot "$out/lang-switched-zhCN.png"
wine_gui_stop
echo "$out/lang-switched-zhCN.png"

# 150 %: the prefix's DPI for one run.
"$WINE64" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144 /f >/dev/null 2>&1
sizes=()
shot scaled-150 "$out/archives/described.exe" || true
"$WINE64" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 96 /f >/dev/null 2>&1
"$WINESERVER" -w 2>/dev/null || true
