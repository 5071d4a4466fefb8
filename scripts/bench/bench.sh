#!/usr/bin/env bash
# Speed benchmark (make bench): kestrum against the usual tools, in one run and
# one table.
#
# Three deterministic corpora, generated once and cached under build/bench:
#   large  256 MiB in 250 files (three of them 64-96 MiB): text, tables, random data
#   small  64 MiB in 8,000 files of a few KiB each
#   few    240 MiB in 3 files: random data, text and machine code
# Extraction: cp -r, tar c | tar x, kestrum extract (also of the archive split
# into volumes, and of one packed without the manifest), kestrum test (the
# decoding limit: everything but the writes), tar xzf, pigz -dc | tar x, unzip
# and 7z x (a Deflate zip), on every corpus.
# Packing (large corpus): kestrum pack against tar czf, tar | pigz -6, zip -6
# and 7z a -tzip, with the sizes they reach.
#
# Every timed run starts with its target removed (or new) and a sync; its time
# includes a sync at the end (the data has reached the disk). Rounds interleave
# the cases so drifts of a shared machine hit all of them alike; the table
# shows medians, and ratios taken round by round (cp -r's time / this time,
# tar | pigz's time / this time), then their median. It checks once that
# kestrum's extraction equals each corpus; a mismatch or a failing command
# makes it exit non-zero.
#   BENCH_RUNS=N  rounds (default 3)
set -euo pipefail
repo=$(cd -- "$(dirname -- "${BASH_SOURCE[0]}")/../.." && pwd -P)
cd "$repo" || exit 1
build=${KESTRUM_BUILD:-build}
runs=${BENCH_RUNS:-3}
bench=$repo/$build/bench
kestrum=$repo/$build/native/bin/kestrum
# The 32-bit stub: the one users get and the one the tool packs by default.
stub=$repo/$build/win32/bin/kestrum-sfx.exe

[ -x "$kestrum" ] || make native
[ -f "$stub" ] || make win32

# The peers and the timer, installed once.
need=()
command -v pigz >/dev/null || need+=(pigz)
command -v zip >/dev/null || need+=(zip)
command -v unzip >/dev/null || need+=(unzip)
command -v 7z >/dev/null || need+=(p7zip-full)
[ -x /usr/bin/time ] || need+=(time)
if [ ${#need[@]} -gt 0 ]; then
  echo "bench: installing ${need[*]}" >&2
  sudo=""
  [ "$(id -u)" = 0 ] || sudo=sudo
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
    "${need[@]}" >/dev/null
fi
mkdir -p "$bench"

now_us() { now=${EPOCHREALTIME//[!0-9]/}; }
mib() { LC_ALL=C awk -v b="$1" 'BEGIN { printf "%.1f", b / 1048576 }'; }
# Median of the numbers given.
median() { printf '%s\n' "$@" | sort -g | LC_ALL=C awk '{ a[NR] = $1 }
  END { if (NR % 2) print a[(NR + 1) / 2]; else print (a[NR / 2] + a[NR / 2 + 1]) / 2 }'; }

# 1. The corpora, regenerated when the generator or its arguments change; the
#    stamp is written last, so an interrupted generation is redone. The peers'
#    archives of the small corpus are made once per corpus (untimed); those of
#    the large one come from the timed packing runs.
declare -A corpus_args=([large]="--size-mib 256 --files 250"
  [small]="--size-mib 64 --files 8000 --no-large" [few]="--few")
corpora=(large small few)
declare -A bytes=() count=()
for k in "${corpora[@]}"; do
  dir=$bench/corpus-$k stamp=$bench/corpus-$k.stamp
  want="make-corpus $(python3 scripts/bench/make-corpus.py --version) ${corpus_args[$k]}"
  if [ ! -d "$dir" ] || [ ! -f "$stamp" ] || [ "$(cat "$stamp")" != "$want" ]; then
    echo "generating $dir ($want)"
    rm -rf "$dir" "$stamp" "$bench/peers-$k"
    # shellcheck disable=SC2086
    python3 scripts/bench/make-corpus.py "$dir" ${corpus_args[$k]} >/dev/null
    echo "$want" >"$stamp"
  fi
  bytes[$k]=$(find "$dir/" -type f -printf '%s\n' | awk '{ s += $1 } END { print s + 0 }')
  count[$k]=$(find "$dir/" -type f | wc -l)
done
# The folder that holds corpus $1's archives: the large corpus's come from the
# timed packing runs, the others' are made untimed.
packs_of() { if [ "$1" = large ]; then echo "$bench/packs"; else echo "$bench/peers-$1"; fi; }
for k in small few; do
  peers=$(packs_of $k)
  if [ ! -f "$peers/done.2" ]; then
    echo "making the peers' archives of the $k corpus (once)"
    rm -rf "$peers" && mkdir -p "$peers"
    tar -C "$bench/corpus-$k" -cf - . | pigz -6 >"$peers/pack-targz.tar.gz"
    (cd "$bench/corpus-$k" && zip -q -r -6 "$peers/pack-zip.zip" .)
    (cd "$bench/corpus-$k" && 7z a -tzip -bd -bso0 "$peers/pack-7z.zip" .)
    touch "$peers/done.2"
  fi
  "$kestrum" pack "$bench/corpus-$k" -o "$peers/pack-kestrum.exe" --stub "$stub" >/dev/null
done
# The same corpora split into volumes, and without the manifest (untimed,
# made once per run): the cost of reading across volumes and of the SHA-256.
mkdir -p "$bench/packs"
for k in "${corpora[@]}"; do
  dest=$(packs_of $k)
  rm -f "$dest"/pack-kestrum-split.*
  "$kestrum" pack "$bench/corpus-$k" -o "$dest/pack-kestrum-split.exe" --stub "$stub" \
    --split 32M >/dev/null
  "$kestrum" pack "$bench/corpus-$k" -o "$dest/pack-kestrum-plain.exe" --stub "$stub" \
    --no-manifest >/dev/null
done
# Split extraction runs with TMP here: it must stay empty.
tmp_watch=$bench/tmp-watch
rm -rf "$tmp_watch" && mkdir -p "$tmp_watch"

out_root=$bench/out packs=$bench/packs out='' next_out=0
mkdir -p "$packs"
cleanup() { rm -rf "$out_root"; }
# Where the next extraction of corpus $1 goes ($out). Once thousands of files
# are removed, ext4 creates files slowly for some minutes (it passes over the
# recently deleted), which would measure the removal of the run before: the
# small corpus is extracted into a new folder every time, all removed at the
# end. The corpora of large files share one folder.
next_out_for() {
  if [ "$1" = small ]; then
    next_out=$((next_out + 1))
    out=$out_root/small-$next_out
  else
    out=$out_root/large-files
  fi
}
trap cleanup EXIT

# The file that packing case $1 writes (and extraction reads).
pack_file() {
  case $1 in
    kestrum) echo pack-kestrum.exe ;;
    targz | tarpigz) echo pack-$1.tar.gz ;;
    zip | 7z) echo pack-$1.zip ;;
  esac
}

# The command of case $1 on corpus $2, packing into / extracting from the
# files in folder $3.
command_of() {
  local c=$1 src=$bench/corpus-$2 p=$3
  case $c in
    cp) echo "cp -r '$src/.' '$out/'" ;;
    tarcopy) echo "tar -C '$src' -cf - . | tar -C '$out' -xf -" ;;
    extract) echo "'$kestrum' extract '$p/pack-kestrum.exe' -o '$out'" ;;
    split) echo "TMP='$tmp_watch' '$kestrum' extract '$p/pack-kestrum-split.exe' -o '$out'" ;;
    plain) echo "'$kestrum' extract '$p/pack-kestrum-plain.exe' -o '$out'" ;;
    test) echo "'$kestrum' test '$p/pack-kestrum.exe' >/dev/null" ;;
    tarxzf) echo "tar -C '$out' -xzf '$p/pack-targz.tar.gz'" ;;
    pigzx) echo "pigz -dc '$p/pack-targz.tar.gz' | tar -C '$out' -xf -" ;;
    unzip) echo "unzip -q '$p/pack-zip.zip' -d '$out'" ;;
    7zx) echo "7z x -y -bd -bso0 -o'$out' '$p/pack-7z.zip'" ;;
    kestrum) echo "'$kestrum' pack '$src' -o '$p/pack-kestrum.exe' --stub '$stub' >/dev/null" ;;
    targz) echo "tar -C '$src' -czf '$p/pack-targz.tar.gz' ." ;;
    tarpigz) echo "tar -C '$src' -cf - . | pigz -6 >'$p/pack-tarpigz.tar.gz'" ;;
    zip) echo "cd '$src' && zip -q -r -6 '$p/pack-zip.zip' ." ;;
    7z) echo "cd '$src' && 7z a -tzip -bd -bso0 '$p/pack-7z.zip' ." ;;
  esac
}

extract_cases=(cp tarcopy extract split plain test tarxzf pigzx unzip 7zx)
pack_cases=(kestrum targz tarpigz zip 7z)
declare -A label=([cp]="cp -r" [tarcopy]="tar c | tar x" [extract]="kestrum extract"
  [split]="  split in volumes" [plain]="  no manifest"
  [test]="kestrum test" [tarxzf]="tar xzf" [pigzx]="pigz -dc | tar x" [unzip]="unzip"
  [7zx]="7z x (Deflate zip)" [kestrum]="kestrum pack" [targz]="tar czf"
  [tarpigz]="tar | pigz -6" [zip]="zip -6" [7z]="7z a -tzip")
declare -A times=() rss=() size=()
status=0

# Runs one case: its target ($2: the output folder or the packed file)
# removed, a sync, then the command ($3) and a sync, timed. Appends the seconds
# to times[$1] and keeps the largest peak RSS (KiB) in rss[$1].
run_case() {
  local key=$1 target=$2 cmd=$3
  rm -rf "$target"
  [ "$target" = "$out" ] && mkdir -p "$out"
  sync
  now_us
  local t0=$now rc=0
  /usr/bin/time -f '%M' -o "$bench/time.txt" bash -c "$cmd" >"$bench/run.log" 2>&1 || rc=$?
  sync
  now_us
  if [ $rc != 0 ]; then
    echo "bench: ${label[${key#*:}]} failed (exit $rc): $cmd" >&2
    tail -n 20 "$bench/run.log" >&2
    status=1
    return 0
  fi
  times[$key]+=" $(LC_ALL=C awk -v u=$((now - t0)) 'BEGIN { printf "%.3f", u / 1e6 }')"
  local r
  r=$(tail -n 1 "$bench/time.txt")
  [ "${rss[$key]:-0}" -ge "$r" ] || rss[$key]=$r
}

# Checks that the extraction left in $out equals corpus $1.
verify() {
  if diff -rq "$bench/corpus-$1" "$out" >"$bench/verify-$1.log" 2>&1; then
    echo "verify: kestrum extract of the $1 corpus equals it (${count[$1]} files, diff -rq)"
  else
    echo "verify: MISMATCH in the $1 corpus; first differences:"
    head -n 10 "$bench/verify-$1.log"
    status=1
  fi
}

echo "host: $(nproc) cores, load average $(cut -d ' ' -f 1-3 /proc/loadavg) at the start"
echo "$runs rounds: ${#pack_cases[@]} packers on the large corpus, ${#extract_cases[@]} extractions on both..."
for ((round = 1; round <= runs; round++)); do
  for c in "${pack_cases[@]}"; do
    target=$packs/$(pack_file $c)
    run_case "pack:$c" "$target" "$(command_of "$c" large "$packs")"
    [ -e "$target" ] && size[$c]=$(stat -L -c %s "$target")
  done
  for k in "${corpora[@]}"; do
    from=$(packs_of $k)
    for c in "${extract_cases[@]}"; do
      next_out_for $k
      run_case "$k:$c" "$out" "$(command_of "$c" $k "$from")"
      if [ $round = "$runs" ] && [ $c = extract ]; then verify $k; fi
    done
  done
  echo "round $round done"
done
echo "host: load average $(cut -d ' ' -f 1-3 /proc/loadavg) at the end"
if [ -z "$(ls -A "$tmp_watch")" ]; then
  echo "TMP during split extraction: untouched (nothing was ever left there)"
else
  echo "TMP during split extraction: NOT EMPTY"
  status=1
fi

# Median of the per-round ratios times[$2] / times[$1] (how many times faster
# case $1 is than the reference $2), as "1.23x".
ratio() {
  local a b r=() i
  read -r -a a <<<"${times[$1]:-}"
  read -r -a b <<<"${times[$2]:-}"
  [ ${#a[@]} = ${#b[@]} ] && [ ${#a[@]} -gt 0 ] || { echo "-"; return; }
  for ((i = 0; i < ${#a[@]}; i++)); do
    r+=("$(LC_ALL=C awk -v x="${b[$i]}" -v y="${a[$i]}" 'BEGIN { printf "%.4f", x / y }')")
  done
  LC_ALL=C awk -v m="$(median "${r[@]}")" 'BEGIN { printf "%.2fx", m }'
}
# Median seconds and MiB/s of key $1 over $2 bytes.
secs_of() { [ -n "${times[$1]:-}" ] && median ${times[$1]} || echo; }
rate_of() {
  local s
  s=$(secs_of "$1")
  [ -n "$s" ] && LC_ALL=C awk -v s="$s" -v b="$2" 'BEGIN { printf "%.0f", b / 1048576 / s }' || echo "-"
}
fmt_secs() { [ -n "$1" ] && LC_ALL=C printf '%.2f' "$1" || echo "failed"; }

# 2. The table.
echo
line=""
for k in "${corpora[@]}"; do line+="$k: ${count[$k]} files, $(mib "${bytes[$k]}") MiB; "; done
echo "${line}median of $runs rounds"
printf '%-20s' "extraction"
for k in "${corpora[@]}"; do printf ' | %8s %6s %8s' "$k s" "MiB/s" "× cp -r"; done
printf ' | %9s\n' "peak RSS"
for c in "${extract_cases[@]}"; do
  printf '%-20s' "${label[$c]}"
  peak=0
  for k in "${corpora[@]}"; do
    printf ' | %8s %6s %8s' "$(fmt_secs "$(secs_of "$k:$c")")" \
      "$(rate_of "$k:$c" "${bytes[$k]}")" "$(ratio "$k:$c" "$k:cp")"
    [ "${rss[$k:$c]:-0}" -le $peak ] || peak=${rss[$k:$c]}
  done
  printf ' | %5s MiB\n' "$(mib $((peak * 1024)))"
done
printf '%-20s | %8s %6s %8s | %8s %6s %8s | %9s\n' "packing (large)" "s" "MiB/s" "× pigz" \
  "size MiB" "%" "" "peak RSS"
for c in "${pack_cases[@]}"; do
  sz=${size[$c]:-0}
  printf '%-20s | %8s %6s %8s | %8s %6s %8s | %5s MiB\n' "${label[$c]}" \
    "$(fmt_secs "$(secs_of pack:$c)")" "$(rate_of pack:$c "${bytes[large]}")" "$(ratio pack:$c pack:tarpigz)" \
    "$(mib "$sz")" "$(LC_ALL=C awk -v a="$sz" -v b="${bytes[large]}" 'BEGIN { printf "%.1f", 100 * a / b }')" "" \
    "$(mib $((${rss[pack:$c]:-0} * 1024)))"
done
echo "(split in volumes: the same archive in 32 MiB volumes, read in place; no manifest: packed"
echo " with --no-manifest, no SHA-256 checked; split's speed × single's: $(ratio large:split large:extract)"
echo " large, $(ratio small:split small:extract) small; with the manifest × without: $(ratio large:extract large:plain) large,"
echo " $(ratio small:extract small:plain) small, $(ratio few:extract few:plain) few)"
echo "(× cp -r: cp's time / this time, × pigz: tar | pigz's time / this time, each the median"
echo " of the per-round ratios; times include a final sync; peak RSS: largest of the runs,"
echo " of the biggest process of a pipeline; kestrum test writes nothing; kestrum pack's size"
echo " includes the $(mib "$(stat -L -c %s "$stub")") MiB stub)"
echo "raw seconds:"
for key in "${!times[@]}"; do echo "  $key:${times[$key]}"; done | sort
exit $status
