#!/usr/bin/env bash
# Wine environment for running the Windows builds headless.
#
#   source scripts/wine/wine-env.sh [BUILD_ROOT]   # default: $KESTRUM_BUILD, else "build"
#   scripts/wine/wine-env.sh [BUILD_ROOT]          # only create the prefix (e.g. a CI step)
#
# Exports WINEPREFIX=<root>/wine/prefix, HOME and XDG_* under <root>/wine/home (so
# Wine never writes to the real home), WINEDEBUG, WINEDLLOVERRIDES, WINE64 and WINE32
# (the 64-bit and i386 loaders) and WINESERVER. Where this machine can start the i386
# loader the prefix is a WoW64 one that runs 32-bit and 64-bit programs alike
# (wine_loader_for picks the loader for a program); elsewhere it has only the 64-bit
# half, which is all the 64-bit programs need, and wine_check_i386 says why 32-bit
# ones cannot run. Creates the prefix on first use; a stamp file makes later calls
# cheap. Creation holds a flock, so parallel callers wait for one another. A creation
# that fails leaves no prefix behind: the next call makes it again.
#
# Pass BUILD_ROOT explicitly when sourcing from a script: "source" without arguments
# hands the file the caller's own "$@". Sourced, the file leaves the caller's shell
# options alone (each step checks its status); executed, it runs with set -euo pipefail.
# wine_session_begin/wine_session_end (below) bracket runs that share the prefix.

# Bump when the prefix setup below changes: existing prefixes are then rebuilt.
KESTRUM_WINE_SETUP_VERSION=4

# Builds the prefix. Runs in a subshell under the lock; stdout/stderr go to a log.
# Every step checks its status itself: set -e does not work inside "if ! (...)".
_kestrum_wine_create() {
  local stamp=$1 want=$2 i386=$3
  # Stop a server still attached to a half-built prefix, then start clean.
  if [[ -d $WINEPREFIX ]]; then "$WINESERVER" -k 9>&- 2>/dev/null; fi
  rm -rf -- "$WINEPREFIX" || return 1
  mkdir -p -- "$HOME" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" || return 1

  # No display while booting: faster, and no "updating configuration" window.
  # fd 9 is the creation lock: Wine processes must not inherit it. With an i386
  # loader that starts, wineboot also fills syswow64: the prefix's 32-bit half.
  env -u DISPLAY -u WAYLAND_DISPLAY "$WINE64" wineboot -i 9>&- || return 1
  if [[ $i386 == yes && ! -f $WINEPREFIX/drive_c/windows/syswow64/kernel32.dll ]]; then
    echo "the prefix has no 32-bit half (syswow64) although the i386 loader starts" >&2
    return 1
  fi

  # Managed=N: unmanaged windows; otherwise hiding a window stalls ~2 s under a bare Xvfb.
  # ShowCrashDialog=0: a crash prints a backtrace instead of opening a dialog that hangs.
  # FontLink: the usual UI faces take CJK glyphs they lack from WenQuanYi Micro Hei;
  # without it Chinese shows as boxes. FontSubstitutes: CJK faces asked for by name.
  local reg=$WINEPREFIX/drive_c/windows/temp/kestrum-setup.reg face link
  link=$(_kestrum_multi_sz "wqy-microhei.ttc,WenQuanYi Micro Hei")
  mkdir -p -- "${reg%/*}" || return 1
  {
    printf '%s\n' REGEDIT4 ''
    printf '%s\n' '[HKEY_CURRENT_USER\Software\Wine\X11 Driver]' '"Managed"="N"' ''
    printf '%s\n' '[HKEY_CURRENT_USER\Software\Wine\WineDbg]' '"ShowCrashDialog"=dword:00000000' ''
    printf '%s\n' '[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink]'
    for face in "Tahoma" "Microsoft Sans Serif" "MS Shell Dlg" "MS Shell Dlg 2" "Segoe UI" "Arial"; do
      printf '"%s"=hex(7):%s\n' "$face" "$link"
    done
    printf '\n%s\n' '[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes]'
    for face in "SimSun" "NSimSun" "SimHei" "Microsoft YaHei" "Microsoft YaHei UI"; do
      printf '"%s"="WenQuanYi Micro Hei"\n' "$face"
    done
  } >"$reg" || return 1
  env -u DISPLAY -u WAYLAND_DISPLAY "$WINE64" regedit /S 'C:\windows\temp\kestrum-setup.reg' 9>&- || return 1
  rm -f -- "$reg"

  # Wine's own fonts (Tahoma, Marlett for the title-bar buttons) and a CJK font must
  # sit in the prefix's Fonts folder; the system-wide copies are not enough.
  local fonts=$WINEPREFIX/drive_c/windows/Fonts
  mkdir -p -- "$fonts" || return 1
  cp -f /usr/share/wine/fonts/*.ttf /usr/share/fonts/truetype/wqy/wqy-microhei.ttc "$fonts/" ||
    return 1
  # Wine's own bold Tahoma draws thin glyphs with wide spacing; without it Wine
  # emboldens the regular face, which looks like the real bold Tahoma.
  rm -f -- "$fonts/tahomabd.ttf"

  # Stop the server: it writes the registry to disk on the way out. (-w would also
  # wait ~5 s for the services wineboot started to wind down, for the same result.)
  "$WINESERVER" -k 9>&- || return 1
  # The registry on disk must hold our values before the prefix counts as ready.
  grep -q '^"Managed"="N"' "$WINEPREFIX/user.reg" || { echo "settings not saved" >&2; return 1; }
  printf '%s\n' "$want" >"$stamp"
}

# Prints a REG_MULTI_SZ value (UTF-16LE, double NUL end) as regedit hex bytes.
_kestrum_multi_sz() {
  local s=$1 out='' i c
  for ((i = 0; i < ${#s}; i++)); do
    printf -v c '%02x,00,' "'${s:i:1}"
    out+=$c
  done
  printf '%s' "${out}00,00,00,00"
}

# Sets up the environment for build root $1 and makes sure the prefix exists.
_kestrum_wine_env() {
  local root=${1:-${KESTRUM_BUILD:-build}}
  mkdir -p -- "$root/wine" || return 1
  root=$(cd -- "$root" && pwd -P) || return 1
  local dir=$root/wine

  export KESTRUM_WINE_DIR=$dir
  export WINEPREFIX=$dir/prefix
  export WINEARCH=win64
  export HOME=$dir/home
  export XDG_CONFIG_HOME=$HOME/.config
  export XDG_DATA_HOME=$HOME/.local/share
  export XDG_CACHE_HOME=$HOME/.cache
  export WINEDEBUG=-all
  # No Mono/Gecko install prompts, no desktop menu entries.
  export WINEDLLOVERRIDES='mscoree,mshtml=;winemenubuilder.exe=d'

  # Call the 64-bit loader directly (the "wine" wrapper wants wine32).
  if [[ -z ${WINE64:-} ]]; then
    if [[ -x /usr/lib/wine/wine64 ]]; then WINE64=/usr/lib/wine/wine64
    else WINE64=$(command -v wine64) || { echo "wine-env: wine64 not found" >&2; return 1; }
    fi
  fi
  if [[ -z ${WINESERVER:-} ]]; then
    local d=${WINE64%/*} s
    WINESERVER=
    for s in "$d/wineserver64" "$d/wineserver" "$(command -v wineserver || true)"; do
      if [[ -n $s && -x $s ]]; then WINESERVER=$s; break; fi
    done
    [[ -n $WINESERVER ]] || { echo "wine-env: wineserver not found" >&2; return 1; }
  fi
  # The i386 loader runs the 32-bit programs (the release stub among them).
  if [[ -z ${WINE32:-} ]]; then
    if [[ -x /usr/lib/wine/wine ]]; then WINE32=/usr/lib/wine/wine
    else WINE32=$(command -v wine) || { echo "wine-env: the i386 loader (wine32) not found" >&2; return 1; }
    fi
  fi
  export WINE64 WINE32 WINESERVER

  # Fast path: the stamp names the setup version, the Wine version and whether the
  # i386 loader could start when the prefix was made; a prefix made without its
  # 32-bit half is made again once the machine can run i386 programs.
  local stamp=$dir/prefix.stamp want i386=no
  if _kestrum_i386_starts; then i386=yes; fi
  want="setup=$KESTRUM_WINE_SETUP_VERSION $("$WINE64" --version) i386=$i386"
  if [[ -f $stamp && $(<"$stamp") == "$want" ]]; then return 0; fi

  local log=$dir/prefix-setup.log
  if ! (
    exec 9>"$dir/prefix.lock"
    flock 9
    # Another caller may have finished while we waited for the lock.
    if [[ -f $stamp && $(<"$stamp") == "$want" ]]; then exit 0; fi
    echo "wine-env: creating Wine prefix $WINEPREFIX" >&2
    rm -f -- "$stamp"
    if ! _kestrum_wine_create "$stamp" "$want" "$i386" >"$log" 2>&1; then
      "$WINESERVER" -k 9>&- 2>/dev/null
      rm -rf -- "$WINEPREFIX"
      exit 1
    fi
  ); then
    echo "wine-env: creating the prefix failed; log follows" >&2
    cat "$log" >&2
    return 1
  fi
}

# True when this machine starts i386 Linux programs (natively or through qemu-user's
# binfmt entry): the i386 Wine loader needs that. ld.so of libc6:i386 is the probe.
_kestrum_i386_starts() {
  [[ -x $WINE32 ]] && /lib/ld-linux.so.2 --version >/dev/null 2>&1
}

# Prints the loader for a PE program: WINE32 for i386 code, WINE64 otherwise.
# The machine type is the u16 at the PE header, whose offset is the u32 at 0x3C.
wine_loader_for() {
  local pe machine
  pe=$(od -An -tu4 -j60 -N4 -- "$1" 2>/dev/null | tr -d ' ') || return 1
  machine=$(od -An -tx2 -j$((pe + 4)) -N2 -- "$1" 2>/dev/null | tr -d ' ') || return 1
  case $machine in
    014c) printf '%s\n' "$WINE32" ;;
    8664) printf '%s\n' "$WINE64" ;;
    *) echo "wine-env: $1: not a PE program for i386 or x86-64" >&2; return 1 ;;
  esac
}

# Fails with one line when this machine cannot start i386 Windows programs (no
# i386 loader, a kernel without 32-bit support, a prefix without syswow64).
wine_check_i386() {
  local probe=$KESTRUM_WINE_DIR/i386-probe.log rc=0
  if [[ ! -x $WINE32 ]]; then
    echo "cannot run 32-bit Windows programs: no i386 Wine loader ($WINE32); run scripts/deps/install-deps.sh" >&2
    return 1
  fi
  if ! _kestrum_i386_starts; then
    echo "cannot run 32-bit Windows programs: this machine starts no i386 program; run scripts/deps/install-deps.sh" >&2
    return 1
  fi
  wine_session_begin || return 1
  env -u DISPLAY -u WAYLAND_DISPLAY "$WINE32" cmd /c exit 7 </dev/null >"$probe" 2>&1 || rc=$?
  wine_session_end
  if [[ $rc != 7 ]]; then
    echo "cannot run 32-bit Windows programs: the i386 Wine loader fails on this machine (exit $rc, log $probe)" >&2
    return 1
  fi
}

# Sessions let parallel runs share one prefix: each run registers itself before it
# starts Wine and unregisters when done; the last one out stops the wineserver, which
# also ends any processes left behind. The lock is only held for these short steps,
# never across a Wine process (a held fd would be inherited by the wineserver).
wine_session_begin() {
  local dir=$KESTRUM_WINE_DIR/sessions
  mkdir -p -- "$dir" &&
    ( flock 9 && : >"$dir/$$" ) 9>>"$KESTRUM_WINE_DIR/session.lock"
}

wine_session_end() {
  local dir=$KESTRUM_WINE_DIR/sessions
  (
    flock 9 || exit 1
    rm -f -- "$dir/$$"
    # Another live session still uses the server; a file whose process is gone is stale.
    for f in "$dir"/*; do
      [[ -e $f ]] || continue
      if kill -0 "${f##*/}" 2>/dev/null; then exit 0; fi
      rm -f -- "$f"
    done
    "$WINESERVER" -k 2>/dev/null || true
  ) 9>>"$KESTRUM_WINE_DIR/session.lock"
}

if [[ ${BASH_SOURCE[0]} != "$0" ]]; then
  _kestrum_wine_env "$@"
else
  set -euo pipefail
  _kestrum_wine_env "$@"
  echo "WINEPREFIX=$WINEPREFIX"
fi
