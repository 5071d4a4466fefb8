#!/usr/bin/env bash
# The million-file case (make bench-million): 1,000,000 small files in 1,000
# folders, generated once and cached under build/bench. Times kestrum pack,
# kestrum list (with its peak memory beside the archive's table), kestrum test,
# and kestrum extract against cp -r, each extraction from an empty folder after
# a sync and with a sync at its end; then checks the count of files and a
# sample of them against the corpus. Last, the 64-bit stub's window under
# Wine on a table of as many entries: seconds from the start until it shows.
#   BENCH_RUNS=N            pairs of extraction rounds, each order once (default 1)
#   BENCH_MILLION_FILES=N   how many files (default 1000000)
set -euo pipefail
repo=$(cd -- "$(dirname -- "${BASH_SOURCE[0]}")/../.." && pwd -P)
cd "$repo" || exit 1
build=${KESTRUM_BUILD:-build}
bench=$repo/$build/bench
kestrum=$repo/$build/native/bin/kestrum
stub=$repo/$build/win32/bin/kestrum-sfx.exe
stub64=$repo/$build/win64/bin/kestrum-sfx.exe
runs=${BENCH_RUNS:-1}
count=${BENCH_MILLION_FILES:-1000000}
[ -x "$kestrum" ] || make native
[ -f "$stub" ] || make win32
[ -f "$stub64" ] || make win64
mkdir -p "$bench"

corpus=$bench/corpus-million stamp=$bench/corpus-million.stamp
if [ ! -f "$stamp" ] || [ "$(cat "$stamp")" != "$count" ]; then
  echo "generating $count files in $corpus"
  rm -rf "$corpus" "$stamp"
  python3 - "$corpus" "$count" <<'PY'
import os, sys
root, count = sys.argv[1], int(sys.argv[2])
for f in range(1000):
    os.makedirs(os.path.join(root, f"folder{f:03d}"), exist_ok=True)
for i in range(count):
    # A few dozen to a few hundred bytes each, text that compresses a little.
    with open(os.path.join(root, f"folder{i % 1000:03d}", f"file{i:07d}.txt"), "w") as out:
        out.write(f"file {i} of the million-file corpus\n" * (1 + i % 7))
PY
  echo "$count" >"$stamp"
fi

now_us() { now=${EPOCHREALTIME//[!0-9]/}; }
secs() { LC_ALL=C awk -v u="$1" 'BEGIN { printf "%.2f", u / 1e6 }'; }
# Runs "$@" with a sync before and after; prints the seconds. Its peak memory
# (KiB) is then the output of peak.
timed() {
  sync
  now_us
  local t0=$now
  /usr/bin/time -f '%M' -o "$bench/million-time.txt" "$@" >/dev/null
  sync
  now_us
  secs $((now - t0))
}
peak() { tail -n 1 "$bench/million-time.txt"; }

archive=$bench/million.exe out=$bench/out-million
trap 'rm -rf "$out"-*' EXIT
echo "host: $(nproc) cores, load average $(cut -d ' ' -f 1-3 /proc/loadavg) at the start"
rm -f "$archive"
t=$(timed "$kestrum" pack "$corpus" -o "$archive" --stub "$stub")
rss=$(peak)
echo "pack:    $t s, peak memory $((rss / 1024)) MiB, archive $(($(stat -c %s "$archive") / 1048576)) MiB"
# The table's own bytes: each record's 21 fixed bytes and its name.
table=$("$kestrum" list --json "$archive" | python3 -c '
import json, sys
print(sum(21 + len(e["name"].encode()) for e in json.load(sys.stdin)["entries"]))')
t=$(timed "$kestrum" list "$archive")
rss=$(peak)
echo "list:    $t s, peak memory $((rss / 1024)) MiB ($(LC_ALL=C awk -v r="$rss" -v b="$table" \
  'BEGIN { printf "%.1f", r * 1024 / b }') x the table's $((table / 1048576)) MiB)"
t=$(timed "$kestrum" test "$archive")
rss=$(peak)
echo "test:    $t s, peak memory $((rss / 1024)) MiB"
# A file system that has just deleted many files finds inodes for new ones
# slowly for some minutes (ext4 passes over the recently deleted), so every
# run writes into a folder of its own and all are deleted at the end; the
# two take turns going first, and the totals over all rounds give the ratio.
status=0
# Kestrum's output: the count of files and a sample.
verify_output() {
  local found i f
  found=$(find "$1" -type f | wc -l)
  [ "$found" = "$count" ] || { echo "extracted $found files, not $count"; status=1; }
  for i in 0 1 $((count / 2)) $((count - 1)); do
    f=folder$(printf '%03d' $((i % 1000)))/file$(printf '%07d' "$i").txt
    cmp -s "$corpus/$f" "$1/$f" || { echo "differs: $f"; status=1; }
  done
  [ $status = 0 ] && echo "verify: $found files, a sample of 4 equal to the corpus"
}
run_cp() { t_cp=$(timed cp -r "$corpus" "$out-$round-cp"); }
run_x() {
  t_x=$(timed "$kestrum" extract "$archive" -o "$out-$round-x")
  rss=$(peak)
}
sum_cp=0 sum_x=0
for ((round = 1; round <= runs * 2; round++)); do
  if ((round % 2)); then
    run_cp && run_x
    what="cp -r first"
  else
    run_x && run_cp
    what="kestrum first"
  fi
  sum_cp=$(LC_ALL=C awk -v a="$sum_cp" -v b="$t_cp" 'BEGIN { print a + b }')
  sum_x=$(LC_ALL=C awk -v a="$sum_x" -v b="$t_x" 'BEGIN { print a + b }')
  echo "round $round ($what): cp -r $t_cp s, kestrum extract $t_x s ($(LC_ALL=C awk \
    -v a="$t_cp" -v b="$t_x" 'BEGIN { printf "%.2f", a / b }') x cp -r), peak memory $((rss / 1024)) MiB"
  if ((round == 1)); then verify_output "$out-$round-x"; fi
done
echo "extract: $(LC_ALL=C awk -v a="$sum_cp" -v b="$sum_x" 'BEGIN { printf "%.2f", a / b }') x cp -r over $((runs * 2)) rounds"
rm -rf "$out"-*

# The window: the same count of entries (empty files in nested folders) on the
# 64-bit stub, timed from the start until its window is mapped.
listing=$bench/million-listing-win64.exe
"$repo/$build/native/bin/make_listing_archive" "$stub64" "$listing" "$count" >/dev/null
# shellcheck source=../wine/wine-gui.sh
source scripts/wine/wine-gui.sh "$build"
wine_xvfb_start --force >/dev/null
for ((round = 1; round <= runs; round++)); do
  now_us
  t0=$now
  wine_gui_start "$listing"
  if wine_wait_window Kestrum 120 >/dev/null; then
    now_us
    echo "window: $(secs $((now - t0))) s until the 64-bit stub's window shows $count entries"
  else
    echo "window: did not show within 120 s"
    status=1
  fi
  wine_gui_stop
done
exit $status
