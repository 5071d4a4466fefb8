#!/usr/bin/env bash
# Cross-builds libdeflate from Debian's source package for one mingw target and
# installs libdeflate.h and libdeflate.a under build/deps/<target>/.
# Runs once per clone: a finished build leaves a stamp file and is reused.
#   usage: build-libdeflate.sh win64|win32 BUILD_ROOT
set -euo pipefail
target=$1
root=$(realpath -m "$2")
case $target in
  win64) triplet=x86_64-w64-mingw32 ;;
  win32) triplet=i686-w64-mingw32 ;;
  *) echo "unknown target $target" >&2; exit 2 ;;
esac
prefix=$root/deps/$target
stamp=$prefix/.libdeflate-done
[ -f "$stamp" ] && exit 0

srcroot=$root/deps/src
mkdir -p "$srcroot"
if [ ! -d "$srcroot/libdeflate" ]; then
  tmp=$(mktemp -d "$srcroot/fetch.XXXX")
  (cd "$tmp" && apt-get source --download-only -qq libdeflate >/dev/null 2>&1)
  mkdir -p "$tmp/x"
  tar -xzf "$tmp"/libdeflate_*.orig.tar.gz -C "$tmp/x"
  top=$(find "$tmp/x" -maxdepth 2 -name libdeflate.h -printf '%h\n' | head -1)
  # -T: if a parallel run for the other target got there first, keep its copy.
  mv -T "$top" "$srcroot/libdeflate" 2>/dev/null || true
  rm -rf "$tmp"
fi

work=$root/deps/work-libdeflate-$target
rm -rf "$work"
cp -r "$srcroot/libdeflate" "$work"
echo "building libdeflate for $target..." >&2
# Upstream's Makefile names the static library libdeflatestatic.lib when CC is
# a mingw compiler; only that target is built (no DLL, no programs).
make -C "$work" -j"$(nproc)" libdeflatestatic.lib \
  CC="$triplet-gcc-posix" AR="$triplet-ar" CFLAGS="-O2 -DNDEBUG -g0" \
  >"$root/deps/libdeflate-$target.log" 2>&1 \
  || { tail -30 "$root/deps/libdeflate-$target.log" >&2; exit 1; }
mkdir -p "$prefix/include" "$prefix/lib"
cp "$work/libdeflate.h" "$prefix/include/"
cp "$work/libdeflatestatic.lib" "$prefix/lib/libdeflate.a"
"$triplet-ranlib" "$prefix/lib/libdeflate.a"
rm -rf "$work"
touch "$stamp"
