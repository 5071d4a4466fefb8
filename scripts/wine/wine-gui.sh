#!/usr/bin/env bash
# Helpers for running Windows GUI programs under Wine on a virtual X display.
#
#   source scripts/wine/wine-gui.sh [BUILD_ROOT]   # default $KESTRUM_BUILD or "build", a
#                                             # relative path taken from the repo root
#   wine_xvfb_start [--force]      start Xvfb (1280x1024x24) unless DISPLAY is set
#   wine_gui_start EXE [ARGS...]   start EXE (32- or 64-bit) in the background; pid in WINE_GUI_PID,
#                                  its stdout/stderr go to $WINE_GUI_LOG
#   wine_wait_window TITLE [SECS]  wait for a mapped window with exactly TITLE; prints its id
#   wine_screenshot OUT.png        grab the whole screen once it stops changing
#   wine_gui_wait_exit [SECS]      wait for the program to exit by itself; returns its status
#   wine_gui_stop                  kill the program, then stop the wineserver
#
# Sourcing also sources wine-env.sh (pass BUILD_ROOT explicitly from a script).
# An EXIT trap, chained after any the caller set, stops the program and Xvfb.
# Functions return non-zero on failure and leave the caller's shell options alone.

_wine_gui_repo=$(cd -- "$(dirname -- "${BASH_SOURCE[0]}")/../.." && pwd -P)
_wine_gui_root=${1:-${KESTRUM_BUILD:-build}}
[[ $_wine_gui_root == /* ]] || _wine_gui_root=$_wine_gui_repo/$_wine_gui_root
# shellcheck source-path=SCRIPTDIR source=wine-env.sh
source "$_wine_gui_repo/scripts/wine/wine-env.sh" "$_wine_gui_root" || return 1

WINE_GUI_PID=${WINE_GUI_PID:-}
WINE_XVFB_PID=${WINE_XVFB_PID:-}
_wine_gui_trap_set=${_wine_gui_trap_set:-}

# Runs once: stops everything on exit, after whatever EXIT trap the caller had set.
# shellcheck disable=SC2120  # its $3 comes from "set --" below
_wine_gui_install_trap() {
  [[ -z $_wine_gui_trap_set ]] || return 0
  _wine_gui_trap_set=1
  local prev
  prev=$(trap -p EXIT)
  if [[ -n $prev ]]; then
    eval "set -- $prev"   # "trap -- 'CMD' EXIT" -> $3 is CMD
    _wine_gui_prev_trap=$3
  else
    _wine_gui_prev_trap=
  fi
  trap '_wine_gui_cleanup; eval "$_wine_gui_prev_trap"' EXIT
  # Turn INT/TERM into a normal exit so the EXIT trap runs, unless the caller traps them.
  [[ -n $(trap -p INT) ]] || trap 'exit 130' INT
  [[ -n $(trap -p TERM) ]] || trap 'exit 143' TERM
}

_wine_gui_cleanup() {
  wine_gui_stop
  wine_xvfb_stop
}

# Starts Xvfb on a free display and exports DISPLAY. Does nothing when DISPLAY is
# already set, unless --force is given.
# shellcheck disable=SC2120  # callers outside this file pass --force
wine_xvfb_start() {
  if [[ -n $WINE_XVFB_PID ]]; then return 0; fi
  if [[ -n ${DISPLAY:-} && ${1:-} != --force ]]; then return 0; fi
  _wine_gui_install_trap
  local num_file=$KESTRUM_WINE_DIR/xvfb.display i num=
  : >"$num_file"
  # -displayfd: Xvfb picks a free display itself and writes its number once ready.
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset \
    3>"$num_file" </dev/null >"$KESTRUM_WINE_DIR/xvfb.log" 2>&1 &
  WINE_XVFB_PID=$!
  for ((i = 0; i < 100; i++)); do
    num=$(<"$num_file")
    [[ -n $num ]] && break
    if ! kill -0 "$WINE_XVFB_PID" 2>/dev/null; then break; fi
    sleep 0.1
  done
  if [[ -z $num ]]; then
    echo "wine-gui: Xvfb did not start; log follows" >&2
    cat "$KESTRUM_WINE_DIR/xvfb.log" >&2
    wine_xvfb_stop
    return 1
  fi
  export DISPLAY=:$num
}

wine_xvfb_stop() {
  [[ -n $WINE_XVFB_PID ]] || return 0
  kill "$WINE_XVFB_PID" 2>/dev/null || true
  wait "$WINE_XVFB_PID" 2>/dev/null || true
  WINE_XVFB_PID=
  return 0
}

# Starts EXE [ARGS...] in the background (Xvfb first if there is no display).
wine_gui_start() {
  if [[ $# -lt 1 ]]; then echo "usage: wine_gui_start EXE [ARGS...]" >&2; return 2; fi
  if [[ -n $WINE_GUI_PID ]]; then echo "wine-gui: a program is already running" >&2; return 1; fi
  _wine_gui_install_trap
  wine_xvfb_start || return 1
  local exe=$1
  shift
  [[ -f $exe ]] && exe=$(realpath -- "$exe")
  local loader
  loader=$(wine_loader_for "$exe") || return 1
  WINE_GUI_LOG=${WINE_GUI_LOG:-$KESTRUM_WINE_DIR/gui.log}
  wine_session_begin || return 1
  "$loader" "$exe" "$@" </dev/null >"$WINE_GUI_LOG" 2>&1 &
  WINE_GUI_PID=$!
}

# Waits until a mapped X window is named exactly TITLE; prints its X window id.
wine_wait_window() {
  local title=$1 timeout=${2:-30} re id deadline
  # xdotool matches a case-insensitive regex: escape it, anchor it, then compare exactly.
  re=$(printf '%s' "$title" | sed 's/[][\.|$(){}?+*^]/\\&/g')
  deadline=$((SECONDS + timeout))
  while :; do
    for id in $(xdotool search --onlyvisible --name "^$re\$" 2>/dev/null); do
      if [[ $(xdotool getwindowname "$id" 2>/dev/null) == "$title" ]]; then
        echo "$id"
        return 0
      fi
    done
    if [[ -n $WINE_GUI_PID ]] && ! kill -0 "$WINE_GUI_PID" 2>/dev/null; then
      echo "wine-gui: program exited before window \"$title\" appeared" >&2
      return 1
    fi
    if ((SECONDS >= deadline)); then
      echo "wine-gui: no window \"$title\" after ${timeout}s" >&2
      return 1
    fi
    sleep 0.1
  done
}

# Saves the whole screen as OUT (PNG by extension), once two grabs in a row match,
# so a window that is still painting is not caught half drawn.
wine_screenshot() {
  local out=$1 prev='' cur i
  mkdir -p -- "$(dirname -- "$out")" || return 1
  for ((i = 0; i < 30; i++)); do
    cur=$(import -silent -window root -depth 8 rgb:- | md5sum) || return 1
    [[ $cur == "$prev" ]] && break
    prev=$cur
    sleep 0.1
  done
  import -silent -window root "$out"
}

# Waits up to SECS (default 60) for the program to exit; returns its exit status
# (124 on timeout). Crashed programs may still exit 0 under Wine: check the log too.
wine_gui_wait_exit() {
  local timeout=${1:-60} deadline rc=0
  [[ -n $WINE_GUI_PID ]] || return 0
  deadline=$((SECONDS + timeout))
  while kill -0 "$WINE_GUI_PID" 2>/dev/null; do
    ((SECONDS < deadline)) || return 124
    sleep 0.1
  done
  wait "$WINE_GUI_PID" || rc=$?
  WINE_GUI_PID=
  wine_session_end
  return "$rc"
}

# Kills the program (if still running) and stops the wineserver unless another
# run is still using the prefix.
wine_gui_stop() {
  local i
  if [[ -n $WINE_GUI_PID ]]; then
    kill "$WINE_GUI_PID" 2>/dev/null || true
    for ((i = 0; i < 50; i++)); do
      kill -0 "$WINE_GUI_PID" 2>/dev/null || break
      sleep 0.1
    done
    kill -KILL "$WINE_GUI_PID" 2>/dev/null || true
    wait "$WINE_GUI_PID" 2>/dev/null || true
    WINE_GUI_PID=
    wine_session_end
  fi
  return 0
}
