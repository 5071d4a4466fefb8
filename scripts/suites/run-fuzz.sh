#!/usr/bin/env bash
# Runs every fuzz target for the given number of seconds, from a corpus kept
# in the build tree (seeded with small valid archives on the first run).
set -euo pipefail
seconds=${1:-30}
repo=$(cd -- "$(dirname -- "${BASH_SOURCE[0]}")/../.." && pwd -P)
bin=$repo/build/fuzz/bin
corpus=$repo/build/fuzz/corpus
for target in load_fuzzer extract_fuzzer qtf_fuzzer; do
  mkdir -p "$corpus/$target"
  "$bin/make_seeds" "$corpus/$target"
  echo "fuzzing $target for ${seconds}s"
  # Memory: the 64 MiB the program may use, plus the sanitizer's own. ASan's
  # quarantine of freed blocks (256 MiB by default) is kept small, or it alone
  # can pass the RSS limit on a long run and fail it with no fault of ours.
  ASAN_OPTIONS=${ASAN_OPTIONS:-quarantine_size_mb=32} "$bin/$target" -max_total_time="$seconds" -max_len=4096 -print_final_stats=1 \
    -rss_limit_mb=192 -malloc_limit_mb=64 \
    "$corpus/$target" 2>"$repo/build/fuzz/$target.log" ||
    { tail -40 "$repo/build/fuzz/$target.log" >&2; exit 1; }
  grep -E 'stat::number_of_executed_units|Done' "$repo/build/fuzz/$target.log" | tail -2
done
