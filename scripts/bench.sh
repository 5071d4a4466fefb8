#!/usr/bin/env bash
# Extraction benchmark (make bench). On a cached ~500 MiB corpus it packs an
# archive, then times `kestrum extract` and `kestrum test` against `tar xzf` of
# the same files and a plain `cp -r`, best of BENCH_RUNS runs each, and prints
# seconds, MiB/s, speed relative to cp -r and peak resident memory. It checks
# once that the extracted tree equals the corpus; a mismatch or a failing
# command makes it exit non-zero. A kestrum subcommand that does not exist yet
# is reported as not available.
set -euo pipefail
repo=$(cd -- "$(dirname -- "${BASH_SOURCE[0]}")/.." && pwd -P)
cd "$repo"
build=${KESTRUM_BUILD:-build}
runs=${BENCH_RUNS:-3}
bench=$build/bench
corpus=$bench/corpus
stamp=$bench/corpus.stamp
exe=$bench/corpus.exe
targz=$bench/corpus.tar.gz
kestrum=$build/native/bin/kestrum
stub=$build/win64/bin/kestrum-sfx.exe

[ -x "$kestrum" ] || make native
[ -f "$stub" ] || make win64
if [ ! -x /usr/bin/time ]; then
  echo "bench: /usr/bin/time is missing (Debian package 'time'; make deps installs it)" >&2
  exit 1
fi
mkdir -p "$bench"

# Wall-clock microseconds; stripping the separator also copes with a locale's decimal comma.
now_us() { now=${EPOCHREALTIME//[!0-9]/}; }
# Formats microseconds as seconds, and a rate in MiB/s for $corpus_bytes.
secs() { LC_ALL=C awk -v u="$1" 'BEGIN { printf "%.3f", u / 1e6 }'; }
rate() { LC_ALL=C awk -v u="$1" -v b="$corpus_bytes" 'BEGIN { printf "%.1f", b / 1048576 / (u / 1e6) }'; }
mib() { LC_ALL=C awk -v b="$1" 'BEGIN { printf "%.1f", b / 1048576 }'; }

# Output folders of the timed runs; removed on exit, except a mismatching extraction.
keep_extract=0
cleanup() {
  for d in "$bench"/out-*; do
    [ -e "$d" ] || continue
    [ $keep_extract = 1 ] && [ "$d" = "$bench/out-extract" ] && continue
    rm -rf "$d"
  done
}
trap cleanup EXIT

# 1. The corpus, regenerated only when the generator's version changes. The stamp
#    is written last, so an interrupted generation is redone.
want="make-corpus version $(python3 scripts/make-corpus.py --version)"
if [ ! -d "$corpus" ] || [ ! -f "$stamp" ] || [ "$(cat "$stamp")" != "$want" ]; then
  echo "generating $corpus ($want)"
  rm -rf "$corpus" "$stamp" "$targz"
  python3 scripts/make-corpus.py "$corpus"
  echo "$want" >"$stamp"
fi
corpus_bytes=$(find "$corpus/" -type f -printf '%s\n' | awk '{ s += $1 } END { print s + 0 }')
corpus_files=$(find "$corpus/" -type f | wc -l)

# The tar.gz to compare with, made once per corpus (gzip -6, as the packer's default).
if [ ! -f "$targz" ] || [ ! "$targz" -nt "$stamp" ]; then
  echo "making $targz (once per corpus)"
  tar -C "$corpus" --sort=name -cf - . | gzip -6 -n >"$targz.tmp"
  mv "$targz.tmp" "$targz"
fi

# 2. Pack with the default settings.
rm -f "$exe"
now_us
t0=$now
if ! /usr/bin/time -f %M -o "$bench/time.txt" \
  "$kestrum" pack "$corpus" -o "$exe" --stub "$stub" >"$bench/pack.log" 2>&1; then
  echo "bench: kestrum pack failed:" >&2
  cat "$bench/pack.log" >&2
  exit 1
fi
now_us
pack_us=$((now - t0))
pack_rss=$(tail -n 1 "$bench/time.txt")
exe_bytes=$(stat -L -c %s "$exe")
targz_bytes=$(stat -L -c %s "$targz")
listed=$("$kestrum" list --json "$exe" | grep -Ec '"name" *:' || true)

echo
echo "corpus: $corpus_files files, $(mib "$corpus_bytes") MiB in $corpus"
echo "host:   $(nproc) cores, load average $(cut -d ' ' -f 1-3 /proc/loadavg) before packing"
echo "pack:   $(secs $pack_us) s, $(rate $pack_us) MiB/s, peak RSS $(mib $((pack_rss * 1024))) MiB"
echo "        $exe: $(mib "$exe_bytes") MiB" \
  "($(LC_ALL=C awk -v a="$exe_bytes" -v b="$corpus_bytes" 'BEGIN { printf "%.1f", 100 * a / b }')% of the corpus)," \
  "$listed entries listed"
echo "        $targz: $(mib "$targz_bytes") MiB" \
  "($(LC_ALL=C awk -v a="$targz_bytes" -v b="$corpus_bytes" 'BEGIN { printf "%.1f", 100 * a / b }')%)"

# 3. Timed runs. Warm the page cache first (it cannot be dropped here), so every
#    run reads from memory.
cat "$exe" "$targz" >/dev/null
find "$corpus/" -type f -exec cat {} + >/dev/null

cases=(cp tar extract test)
declare -A label=([cp]="cp -r" [tar]="tar xzf" [extract]="kestrum extract" [test]="kestrum test")
declare -A best=() rss=() times=() state=() cpu=()
for c in "${cases[@]}"; do state[$c]=ok; rss[$c]=0; times[$c]=""; done
status=0

# Runs case $1 once into a fresh output folder; sets run_us, run_rc, run_rss (KiB)
# and run_cpu (CPU time / wall time, as a percentage).
run_case() {
  local c=$1 out=$bench/out-$1
  rm -rf "$out"
  mkdir -p "$out"
  sync  # start every run with nothing waiting to be written
  local cmd
  case $c in
    cp) cmd=(cp -r "$corpus/." "$out/") ;;
    tar) cmd=(tar xzf "$targz" -C "$out") ;;
    extract) cmd=("$kestrum" extract "$exe" -o "$out") ;;
    test) cmd=("$kestrum" test "$exe") ;;
  esac
  now_us
  local t0=$now
  run_rc=0
  /usr/bin/time -f '%M %P' -o "$bench/time.txt" "${cmd[@]}" >"$bench/$c.log" 2>&1 || run_rc=$?
  now_us
  run_us=$((now - t0))
  read -r run_rss run_cpu < <(tail -n 1 "$bench/time.txt")
  run_cpu=${run_cpu%\%}
}

# Rounds interleave the cases, so slow drifts of the machine hit all of them alike.
for ((round = 1; round <= runs; round++)); do
  for c in "${cases[@]}"; do
    [ "${state[$c]}" = ok ] || continue
    run_case "$c"
    if [ $run_rc != 0 ]; then
      if grep -q "unknown command" "$bench/$c.log"; then
        state[$c]="not available"
      else
        state[$c]="failed (exit $run_rc, log: $bench/$c.log)"
        status=1
        echo "bench: ${label[$c]} failed:" >&2
        tail -n 20 "$bench/$c.log" >&2
      fi
      rm -rf "$bench/out-$c"
      continue
    fi
    # Delete the output while it is still only in the page cache: once written
    # back, removing it costs seconds on a file system mounted with discard.
    # The last extraction stays for the check below.
    [ $c = extract ] && [ $round = "$runs" ] || rm -rf "$bench/out-$c"
    times[$c]+=" $(secs $run_us)"
    if [ -z "${best[$c]:-}" ] || [ $run_us -lt "${best[$c]}" ]; then
      best[$c]=$run_us
      cpu[$c]=$run_cpu
    fi
    if [ "$run_rss" -gt "${rss[$c]}" ]; then rss[$c]=$run_rss; fi
  done
done

# 4. The table.
echo
printf '%-17s %9s %9s %9s %10s %6s   %s\n' "best of $runs" seconds MiB/s "vs cp -r" "peak RSS" CPU "runs (s)"
for c in "${cases[@]}"; do
  if [ "${state[$c]}" != ok ]; then
    printf '%-17s %s\n' "${label[$c]}" "${state[$c]}"
    continue
  fi
  ratio=-
  [ "${state[cp]}" = ok ] &&
    ratio=$(LC_ALL=C awk -v a="${best[cp]}" -v b="${best[$c]}" 'BEGIN { printf "%.2fx", a / b }')
  printf '%-17s %9s %9s %9s %6s MiB %5s%%   %s\n' "${label[$c]}" "$(secs "${best[$c]}")" \
    "$(rate "${best[$c]}")" "$ratio" "$(mib $((rss[$c] * 1024)))" "${cpu[$c]}" "${times[$c]# }"
done
echo "(MiB/s = corpus bytes / seconds; vs cp -r = cp's time / this time; peak RSS is the"
echo " largest of the runs; CPU = CPU time / wall time of the best run, 100% = one core busy)"

# 5. The last extraction must equal the corpus.
echo
for c in "${cases[@]}"; do
  [ "${state[$c]}" = "not available" ] && echo "${label[$c]#kestrum }: not available"
done
if [ "${state[extract]}" = ok ]; then
  root=$bench/out-extract
  # Accept the files either directly in the output folder or in one folder named after the archive.
  mapfile -t top < <(ls -A "$root")
  if [ ${#top[@]} = 1 ] && [ -d "$root/${top[0]}" ] && [ ! -e "$corpus/${top[0]}" ]; then
    root=$root/${top[0]}
  fi
  if diff -rq "$corpus" "$root" >"$bench/verify.log" 2>&1; then
    echo "verify: the extracted tree equals the corpus ($corpus_files files, diff -rq)"
  else
    echo "verify: MISMATCH between $corpus and $root; first differences:"
    head -n 20 "$bench/verify.log"
    echo "(full list in $bench/verify.log; the extracted tree is kept)"
    keep_extract=1
    status=1
  fi
elif [ "${state[extract]}" = "not available" ]; then
  echo "verify: skipped (extract not available)"
else
  echo "verify: skipped (extract failed)"
fi
exit $status
