# shellcheck shell=bash
# Shared by the cross-build scripts of the Windows dependencies; sourced.
#   cross_target TARGET           sets $triplet for win64 or win32
#   dep_setup TARGET ROOT NAME    also sets $root, $prefix, $srcroot and $stamp,
#                                 and holds NAME's lock for TARGET until the script ends
#   stamp_matches                 true when $stamp holds $flags: the build is current
#   fetch_source PKG NAME MARKER [patched]
#                                 unpacks Debian's source package PKG once into
#                                 $srcroot/NAME (the folder holding MARKER);
#                                 with "patched", Debian's patches are applied

# $triplet and the variables below are the sourcing script's to read.
# shellcheck disable=SC2034
cross_target() {
  case $1 in
    win64) triplet=x86_64-w64-mingw32 ;;
    win32) triplet=i686-w64-mingw32 ;;
    *) echo "unknown target $1" >&2; exit 2 ;;
  esac
}

fetch_source() {
  local pkg=$1 name=$2 marker=$3 patched=${4:-} tmp top patch
  mkdir -p "$srcroot"
  [ -d "$srcroot/$name" ] && return 0
  tmp=$(mktemp -d "$srcroot/fetch.XXXX")
  (cd "$tmp" && apt-get source --download-only -qq "$pkg" >/dev/null 2>&1)
  mkdir -p "$tmp/x"
  tar -xzf "$tmp"/*.orig.tar.gz -C "$tmp/x"
  # The tarball may or may not hold a top-level folder.
  top=$(find "$tmp/x" -maxdepth 2 -name "$marker" -printf '%h\n' | head -1)
  if [ "$patched" = patched ] && ls "$tmp"/*.debian.tar.* >/dev/null 2>&1; then
    tar -xf "$tmp"/*.debian.tar.* -C "$top"
    if [ -f "$top/debian/patches/series" ]; then
      while read -r patch _; do
        case $patch in '' | '#'*) continue ;; esac
        patch -d "$top" -p1 -s <"$top/debian/patches/$patch"
      done <"$top/debian/patches/series"
    fi
  fi
  # -T: if a parallel run for the other target got there first, keep its copy.
  mv -T "$top" "$srcroot/$name" 2>/dev/null || true
  rm -rf "$tmp"
}

dep_setup() {
  cross_target "$1"
  root=$(realpath -m "$2")
  prefix=$root/deps/$1
  srcroot=$root/deps/src
  stamp=$prefix/.$3-done
  # One build at a time per target, also across work trees sharing build/deps.
  mkdir -p "$root/deps"
  exec 9>"$root/deps/.lock-build-$3-$1"
  flock 9
}

# The stamp holds the flags (set by the sourcing script): a change of flags
# builds the library again.
# shellcheck disable=SC2154
stamp_matches() {
  [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$flags" ]
}
