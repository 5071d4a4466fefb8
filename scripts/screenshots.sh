#!/usr/bin/env bash
# Screenshots of the main window under Wine, for looking at: the design size
# without and with a description (pictures in it, the archive's own icon and
# banner), no entries, 100,000 entries, enlarged to 1400 x 900, several
# languages, the finished view, the About dialog, and at 150 % scaling.
# Also writes the README's pictures: docs/window.png, docs/finished.png and
# docs/german.png.
# Also times how long the window of the 100,000-entry archive takes to come up.
# Writes build/screenshots/*.png and prints their paths.
set -euo pipefail
repo=$(cd -- "$(dirname -- "${BASH_SOURCE[0]}")/.." && pwd -P)
cd "$repo" || exit 1
build=build
out=$build/screenshots
rm -rf "$out" && mkdir -p "$out/archives" "$out/empty-folder"
kestrum=$build/native/bin/kestrum
stub=$build/win64/bin/kestrum-sfx.exe
winctl=$build/win64/bin/winctl.exe

"$kestrum" pack sample -o "$out/archives/plain.exe" --stub "$stub" --name "Kestrum sample" >/dev/null
# A description with a picture (PNG data in the markup) and a damaged one.
{
  printf '%s' "[* Sample files] for the [/ self-extractor]: text, data and names in [@(0.96.160) Cyrillic] and Chinese. See [^https://www.kestrum.org^ the web site].&"
  printf '@@PNG:0&0(%s) a damaged picture: @@PNG:120&120(AAAA)' "$(base64 -w0 images/png/MaxIcon.png)"
} >"$out/archives/description.qtf"
"$kestrum" pack sample -o "$out/archives/described.exe" --stub "$stub" --name "Kestrum sample" \
  --description "@$out/archives/description.qtf" \
  --icon images/png/MinIcon.png --banner images/png/unpack_de.png >/dev/null
"$kestrum" pack sample -o "$out/archives/readme.exe" --stub "$stub" --name "Kestrum sample" \
  --description "@$out/archives/description.qtf" >/dev/null
"$kestrum" pack "$out/empty-folder" -o "$out/archives/empty.exe" --stub "$stub" --name "Nothing inside" >/dev/null
"$build/native/bin/make_listing_archive" "$stub" "$out/archives/big.exe" 100000 >/dev/null

# shellcheck source=wine-gui.sh
source scripts/wine/wine-gui.sh "$build"
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

# The finished view, the About dialog, and the pictures for the README: the
# window alone, reduced to a small palette, in docs/. They run from a
# Downloads folder under a user's profile, as a user's would; the path field
# shows it.
downloads=$WINEPREFIX/drive_c/users/Anna/Downloads
rm -rf "$downloads" && mkdir -p "$downloads" docs
cd "$downloads" || exit 1
wine_gui_start "$repo/$out/archives/readme.exe"
cd "$repo" || exit 1
wid=$(wine_wait_window "Kestrum" 60)
wine_screenshot "$out/readme.png"  # waits until the window is drawn
import -silent -window "$wid" "$out/readme-window.png"
xdotool windowfocus --sync "$wid" 2>/dev/null || true
xdotool key --clearmodifiers ctrl+i
wine_wait_window "Kestrum " 20 >/dev/null && wine_screenshot "$out/about.png" && echo "$out/about.png"
xdotool key Return
sleep 0.5
xdotool windowfocus --sync "$wid" 2>/dev/null || true
xdotool key Return  # Extract has the focus
for _ in $(seq 60); do
  "$WINE64" "$winctl" dump Kestrum | tr -d '\r' | grep -q '^1003 Button shown' && break
  sleep 0.5
done
wine_screenshot "$out/finished.png"
echo "$out/finished.png"
import -silent -window "$wid" "$out/readme-finished.png"
wine_gui_stop
"$kestrum" pack sample -o "$out/archives/readme-zhCN.exe" --stub "$stub" --name "Kestrum sample" \
  --language zhCN --description "@$out/archives/description.qtf" >/dev/null
for lang in deDE:german readme-zhCN:chinese; do
  rm -rf "$downloads" && mkdir -p "$downloads"
  cd "$downloads" || exit 1
  wine_gui_start "$repo/$out/archives/${lang%%:*}.exe"
  cd "$repo" || exit 1
  wid=$(wine_wait_window "Kestrum" 60)
  wine_screenshot "$out/${lang#*:}.png"
  import -silent -window "$wid" "$out/readme-${lang#*:}.png"
  wine_gui_stop
done
rm -rf "$downloads"
for name in window finished german chinese; do
  convert "$out/readme-$name.png" -strip -colors 96 "PNG8:docs/$name.png"
  echo "docs/$name.png"
done

# 150 %: the prefix's DPI for one run.
"$WINE64" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144 /f >/dev/null 2>&1
sizes=()
shot scaled-150 "$out/archives/described.exe" || true
"$kestrum" pack sample -o "$out/archives/ruRU.exe" --stub "$stub" --name "Kestrum sample" \
  --language ruRU --description "@$out/archives/description.qtf" >/dev/null
shot scaled-150-ruRU "$out/archives/ruRU.exe" || true
"$WINE64" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 96 /f >/dev/null 2>&1
"$WINESERVER" -w 2>/dev/null || true
