#!/usr/bin/env bash
# How fast the real stub extracts under Wine (make bench-stub):
#   scripts/bench/bench-stub.sh [win32|win64]      (default win32, the release stub)
# Packs a deterministic corpus (BENCH_STUB_MIB MiB, default 300) onto the stub,
# then, BENCH_RUNS times (default 3), opens the archive's window under Xvfb,
# clicks Extract and waits until every file stands complete in the destination.
# Prints each run and the best in seconds and MiB/s; checks once that the
# extracted tree equals the corpus. Figures only: it asserts no speed.
# BENCH_STUB=PATH times another stub of that target (e.g. an older build).
set -uo pipefail
repo=$(cd -- "$(dirname -- "${BASH_SOURCE[0]}")/../.." && pwd -P)
cd "$repo" || exit 1
target=${1:-win32}
mib=${BENCH_STUB_MIB:-300}
runs=${BENCH_RUNS:-3}
build=$repo/build
bench=$build/bench-stub
corpus=$bench/corpus-$mib
stub=${BENCH_STUB:-$build/$target/bin/kestrum-sfx.exe}
winctl=$build/$target/bin/winctl.exe
kestrum=$build/native/bin/kestrum
for f in "$stub" "$winctl" "$kestrum"; do
  [ -f "$f" ] || { echo "bench-stub: $f is missing (make native $target)" >&2; exit 1; }
done
mkdir -p "$bench"

# The corpus, made again only when the generator's version changes.
want="make-corpus version $(python3 scripts/bench/make-corpus.py --version) files 500"
if [ ! -f "$corpus.stamp" ] || [ "$(cat "$corpus.stamp")" != "$want" ]; then
  rm -rf "$corpus" "$corpus.stamp"
  python3 scripts/bench/make-corpus.py "$corpus" --size-mib "$mib" --files 500 >/dev/null || exit 1
  echo "$want" >"$corpus.stamp"
fi
bytes=$(find "$corpus/" -type f -printf '%s\n' | awk '{ s += $1 } END { print s + 0 }')
files=$(find "$corpus/" -type f | wc -l)
exe=$bench/corpus-$target.exe
"$kestrum" pack "$corpus" -o "$exe" --stub "$stub" >/dev/null || exit 1

# shellcheck source=wine-gui.sh
source scripts/wine/wine-gui.sh "$build"
wine_xvfb_start --force >/dev/null
winctl_loader=$(wine_loader_for "$winctl") || exit 1
out=$bench/out
trap 'rm -rf "$out"' EXIT

# Done when every corpus byte stands in finished files and no temporary file is
# left (files are written under a temporary name and renamed when complete).
# Watching the folder is finer than the window's one-second timer.
extracted() {
  [ -z "$(find "$out" -name '.kestrum-*' -print -quit)" ] &&
    [ "$(find "$out" -type f -printf '%s\n' | awk '{ s += $1 } END { print s + 0 }')" = "$bytes" ]
}

best=
for ((run = 1; run <= runs; run++)); do
  rm -rf "$out" && mkdir -p "$out"
  cd "$out" && wine_gui_start "$exe"
  cd "$repo" || exit 1
  wine_wait_window Kestrum 60 >/dev/null || { echo "bench-stub: no window" >&2; exit 1; }
  start=${EPOCHREALTIME//[!0-9]/}
  "$winctl_loader" "$winctl" click Kestrum 1001 >/dev/null 2>&1
  deadline=$((SECONDS + 600))
  until extracted; do
    ((SECONDS < deadline)) || { echo "bench-stub: extraction did not finish" >&2; exit 1; }
    sleep 0.05
  done
  end=${EPOCHREALTIME//[!0-9]/}
  wine_gui_stop
  us=$((end - start))
  LC_ALL=C awk -v u="$us" -v b="$bytes" -v r="$run" \
    'BEGIN { printf "run %d: %.2f s, %.1f MiB/s\n", r, u / 1e6, b / 1048576 / (u / 1e6) }'
  if [ -z "$best" ] || [ "$us" -lt "$best" ]; then best=$us; fi
  if [ "$run" = 1 ] && ! diff -r "$corpus" "$out" >/dev/null; then
    echo "bench-stub: the extracted tree differs from the corpus" >&2
    exit 1
  fi
done
LC_ALL=C awk -v u="$best" -v b="$bytes" -v f="$files" -v t="$target" -v n="$runs" \
  'BEGIN { printf "stub extraction (%s): %.1f MiB in %d files, best of %d: %.2f s, %.1f MiB/s\n",
           t, b / 1048576, f, n, u / 1e6, b / 1048576 / (u / 1e6) }'
