#!/usr/bin/env bash
# The stubs against the tool (make bench-stub-vs-tool): the 64-bit and the 32-bit
# stub under Wine extract the benchmark corpora, timed from the Extract press
# to the finished view (winctl clicks the button and watches for the view's
# "Open catalog" button), against `kestrum.exe extract` (the 64-bit tool) under
# the same Wine and `kestrum extract` natively, in the same run. The Windows
# tool's time leaves out its start-up (the median of `kestrum.exe --version`
# runs), since the stub's clock starts with its window already up.
# Every run starts in a new empty folder after a sync and ends with a sync, which
# is included in the time. Prints medians and the stub's time over the tool's,
# and beside them the extraction engine's own time inside each program (from
# the worker's start to its end, as KESTRUM_TIMING reports it): the stub's
# engine time against the tool's is what Wine and the Win32 file calls cost;
# the rest of a stub's time is the window, mostly its one-second timer.
#   BENCH_RUNS=N  rounds (default 3)
#   BENCH_STUB_CORPORA="large small"  which of make bench's corpora (default both)
set -euo pipefail
repo=$(cd -- "$(dirname -- "${BASH_SOURCE[0]}")/../.." && pwd -P)
cd "$repo" || exit 1
build=$repo/build
bench=$build/bench
runs=${BENCH_RUNS:-3}
kestrum=$build/native/bin/kestrum
winctl=$build/win64/bin/winctl.exe
outs=$bench/out-stub-vs-tool out=
read -r -a corpora <<<"${BENCH_STUB_CORPORA:-large small}"

# The corpora are those of make bench (made there and cached).
for k in "${corpora[@]}"; do
  if [ ! -f "$bench/corpus-$k.stamp" ]; then
    echo "bench-stub-vs-tool: no $k corpus yet; run make bench first" >&2
    exit 1
  fi
done

# shellcheck source=wine-gui.sh
source scripts/wine/wine-gui.sh "$build"
wine_xvfb_start --force >/dev/null
stubs=(win64)
if [ -f "$build/win32/bin/kestrum-sfx.exe" ] && wine_check_i386 2>"$bench/i386.log"; then
  stubs+=(win32)
else
  echo "bench-stub-vs-tool: the 32-bit stub is not measured: $(cat "$bench/i386.log" 2>/dev/null)" \
    "${build}/win32/bin/kestrum-sfx.exe $([ -f "$build/win32/bin/kestrum-sfx.exe" ] || echo missing)" >&2
fi
rm -rf "$outs"
trap 'wine_gui_stop; rm -rf "$outs"' EXIT

now_us() { now=${EPOCHREALTIME//[!0-9]/}; }
median() { printf '%s\n' "$@" | sort -g | LC_ALL=C awk '{ a[NR] = $1 }
  END { if (NR % 2) print a[(NR + 1) / 2]; else print (a[NR / 2] + a[NR / 2 + 1]) / 2 }'; }
declare -A times=() engine=()
status=0

# A file system that has just deleted many files finds inodes for new ones
# slowly for some minutes (ext4 passes over the recently deleted), so every
# run writes into a new folder of its own and all are deleted at the end.
fresh_out() {
  out=$outs/run-$((++fresh_outs))
  mkdir -p "$out"
  sync
}
fresh_outs=0

# One stub run of archive $2 into $out; appends seconds to times[$1].
run_stub() {
  local key=$1 exe=$2 ms t0
  fresh_out
  cd "$out" || exit 1
  KESTRUM_TIMING=1 wine_gui_start "$exe"
  cd "$repo" || exit 1
  if ! wine_wait_window Kestrum 60 >/dev/null; then
    echo "bench-stub-vs-tool: $key: no window" >&2
    status=1
    wine_gui_stop
    return 0
  fi
  # winctl times from the click to the finished view; the sync is added here.
  if ! ms=$("$WINE64" "$winctl" clickwait Kestrum 1001 1003 600 2>/dev/null | tr -d '\r'); then
    echo "bench-stub-vs-tool: $key: no finished view" >&2
    status=1
    wine_gui_stop
    return 0
  fi
  now_us
  t0=$now
  sync
  now_us
  times[$key]+=" $(LC_ALL=C awk -v ms="$ms" -v u=$((now - t0)) 'BEGIN { printf "%.3f", ms / 1000 + u / 1e6 }')"
  wine_gui_stop
  engine_time "$key" "$WINE_GUI_LOG"
}

# Appends the engine's run time that log $2 reports to engine[$1].
engine_time() {
  local run
  run=$(sed -n 's/^extraction stages, seconds (run \([0-9.]*\)).*/\1/p' "$2" | tail -n 1)
  [ -n "$run" ] && engine[$1]+=" $run"
  return 0
}

# kestrum.exe under Wine, its start-up taken off.
run_wine_tool() {
  local key=$1 exe=$2 t0
  fresh_out
  # The wineserver warm, as when the start-up below was measured: each stub's
  # run stops it, and starting it again took about 0.4 s of this time.
  "$WINE64" "$wintool" --version >/dev/null 2>&1
  now_us
  t0=$now
  KESTRUM_TIMING=1 "$WINE64" "$wintool" extract "Z:${exe//\//\\}" -o "Z:${out//\//\\}" \
    >/dev/null 2>"$bench/wintool-timing.log"
  sync
  now_us
  times[$key]+=" $(LC_ALL=C awk -v u=$((now - t0)) -v s="$wine_startup" \
    'BEGIN { printf "%.3f", u / 1e6 - s }')"
  engine_time "$key" "$bench/wintool-timing.log"
}

run_tool() {
  local key=$1 exe=$2 t0
  fresh_out
  now_us
  t0=$now
  KESTRUM_TIMING=1 "$kestrum" extract "$exe" -o "$out" >/dev/null 2>"$bench/tool-timing.log"
  sync
  now_us
  times[$key]+=" $(LC_ALL=C awk -v u=$((now - t0)) 'BEGIN { printf "%.3f", u / 1e6 }')"
  engine_time "$key" "$bench/tool-timing.log"
}

for k in "${corpora[@]}"; do
  for s in "${stubs[@]}"; do
    "$kestrum" pack "$bench/corpus-$k" -o "$bench/stub-$k-$s.exe" \
      --stub "$build/$s/bin/kestrum-sfx.exe" >/dev/null
  done
done
wintool=$build/win64/bin/kestrum.exe
startups=()
for _ in 1 2 3 4 5; do
  now_us
  t0=$now
  "$WINE64" "$wintool" --version >/dev/null 2>&1
  now_us
  startups+=("$(LC_ALL=C awk -v u=$((now - t0)) 'BEGIN { printf "%.3f", u / 1e6 }')")
done
wine_startup=$(median "${startups[@]}")
echo "kestrum.exe start-up under Wine: ${wine_startup} s (median of 5), left out of its times"
echo "host: $(nproc) cores, load average $(cut -d ' ' -f 1-3 /proc/loadavg) at the start"
for ((round = 1; round <= runs; round++)); do
  for k in "${corpora[@]}"; do
    run_tool "$k:tool" "$bench/stub-$k-win64.exe"
    run_wine_tool "$k:wintool" "$bench/stub-$k-win64.exe"
    for s in "${stubs[@]}"; do
      run_stub "$k:$s" "$bench/stub-$k-$s.exe"
      if [ $round = 1 ] && ! diff -rq "$bench/corpus-$k" "$out" >/dev/null 2>&1; then
        echo "bench-stub-vs-tool: the $s stub's extraction of the $k corpus differs from it" >&2
        status=1
      fi
    done
  done
done
echo "host: load average $(cut -d ' ' -f 1-3 /proc/loadavg) at the end"

echo
printf '%-28s %9s %9s %10s %9s %10s\n' "median of $runs rounds" seconds MiB/s "vs exe" engine "vs exe"
for k in "${corpora[@]}"; do
  bytes=$(find "$bench/corpus-$k/" -type f -printf '%s\n' | awk '{ s += $1 } END { print s + 0 }')
  files=$(find "$bench/corpus-$k/" -type f | wc -l)
  echo "$k corpus: $files files, $(LC_ALL=C awk -v b="$bytes" 'BEGIN { printf "%.1f", b / 1048576 }') MiB"
  tool=$(median ${times[$k:wintool]})
  tool_engine=$(median ${engine[$k:wintool]:-0})
  for key in tool wintool "${stubs[@]}"; do
    [ -n "${times[$k:$key]:-}" ] || { printf '  %-26s failed\n' "$key"; continue; }
    t=$(median ${times[$k:$key]})
    case $key in
      tool) name="kestrum extract (native)" ;;
      wintool) name="kestrum.exe under Wine" ;;
      *) name="$key stub under Wine" ;;
    esac
    e=$(median ${engine[$k:$key]:-0})
    LC_ALL=C awk -v n="$name" -v t="$t" -v b="$bytes" -v r="$tool" -v e="$e" -v re="$tool_engine" \
      'BEGIN { printf "  %-26s %9.2f %9.0f %9.2fx %9.2f %9.2fx\n", n, t, b / 1048576 / t, t / r,
               e, (re > 0 ? e / re : 0) }'
  done
done
echo "(vs exe: this time / kestrum.exe's under Wine, 1.25x = 25% slower; a stub time runs from"
echo " the Extract press to the finished view, plus a sync; the tools' times include a sync as"
echo " well, kestrum.exe's without its start-up; engine: the extraction run inside the program,"
echo " without start-up, window or sync)"
echo "raw seconds:"
for key in "${!times[@]}"; do echo "  $key:${times[$key]} (engine:${engine[$key]:-})"; done | sort
exit $status
