#!/usr/bin/env bash
# Runs a console Windows program (32- or 64-bit) under Wine, headless:
#
#   scripts/wine/wine-run.sh EXE [ARGS...]
#
# The program's stdout and stderr are passed through with CRLF turned into LF, and
# the exit status is the program's (Wine keeps only its low 8 bits). The prefix lives
# in $KESTRUM_BUILD/wine (default build root "build"; a relative path is taken from
# the repository root). Several runs may share the prefix at once; the last one to
# finish stops the wineserver.
set -euo pipefail

if [[ $# -lt 1 ]]; then
  echo "usage: $0 EXE [ARGS...]" >&2
  exit 2
fi
exe=$1
shift
if [[ ! -f $exe ]]; then
  echo "wine-run: $exe: no such file" >&2
  exit 2
fi
exe=$(realpath -- "$exe")

repo=$(cd -- "$(dirname -- "${BASH_SOURCE[0]}")/../.." && pwd -P)
root=${KESTRUM_BUILD:-build}
[[ $root == /* ]] || root=$repo/$root
# shellcheck source-path=SCRIPTDIR source=wine-env.sh
source "$repo/scripts/wine/wine-env.sh" "$root"
loader=$(wine_loader_for "$exe") || exit 2

# The output goes through files, not pipes: Wine hands our stderr on to the
# wineserver and its service processes, so a pipe would only reach EOF once they exit.
tmp=$(mktemp -d "$KESTRUM_WINE_DIR/run.XXXXXX")
prog=
# shellcheck disable=SC2317  # called from the EXIT trap
cleanup() {
  if [[ -n $prog ]]; then kill "$prog" 2>/dev/null || true; fi
  wine_session_end
  rm -rf -- "$tmp"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

wine_session_begin

# A terminal on stdin would make Wine set up a console on it; give it /dev/null then.
if [[ -t 0 ]]; then exec </dev/null; fi
: >"$tmp/out"
: >"$tmp/err"
# No display: console programs never need one. "<&0" keeps stdin for the background job.
env -u DISPLAY -u WAYLAND_DISPLAY "$loader" "$exe" "$@" <&0 >"$tmp/out" 2>"$tmp/err" &
prog=$!

# Stream both files while the program runs; tail stops once the program is gone.
crlf() { LC_ALL=C sed -u 's/\r$//'; }
tail -s 0.1 --pid="$prog" -n +1 -f "$tmp/out" | crlf &
out_pid=$!
tail -s 0.1 --pid="$prog" -n +1 -f "$tmp/err" | crlf >&2 &
err_pid=$!

rc=0
wait "$prog" || rc=$?
prog=
wait "$out_pid" "$err_pid" || true
exit "$rc"
