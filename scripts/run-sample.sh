#!/usr/bin/env bash
# Packs sample/ with the project's packer onto the 64-bit stub and starts the
# result under Wine. Without a display it runs on a virtual one, saves a
# screenshot of the window and prints the PNG's path.
set -euo pipefail
repo=$(cd -- "$(dirname -- "${BASH_SOURCE[0]}")/.." && pwd -P)
cd "$repo" || exit 1
build=${KESTRUM_BUILD:-build}
out=$build/sample
mkdir -p "$out"
exe=$out/Kestrum-sample.exe

"$build/native/bin/kestrum" pack sample -o "$exe" --stub "$build/win64/bin/kestrum-sfx.exe" \
  --name "Kestrum sample"
"$build/native/bin/kestrum" list "$exe"

headless=0
[ -z "${DISPLAY:-}" ] && headless=1
# shellcheck source=wine-gui.sh
source scripts/wine/wine-gui.sh "$build"
wine_gui_start "$exe"
if ! wine_wait_window "Kestrum" 60 >/dev/null; then
  echo "run-sample: the window did not appear; program log:" >&2
  cat "$WINE_GUI_LOG" >&2 || true
  exit 1
fi
if [ $headless = 1 ]; then
  png=$(realpath -m "$out/screenshot.png")
  wine_screenshot "$png"
  wine_gui_stop
  echo "screenshot: $png"
else
  echo "the window is open; close it to finish"
  wine_gui_wait_exit 86400 || true
fi
