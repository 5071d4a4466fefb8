#!/usr/bin/env bash
# Cross-builds Crypto++ from Debian's source package for one mingw target and
# installs headers and the static library under build/deps/<target>/.
# Runs once per clone: a finished build leaves a stamp file and is reused.
#   usage: build-cryptopp.sh win64|win32 BUILD_ROOT
set -euo pipefail
target=$1
root=$(realpath -m "$2")
case $target in
  win64) triplet=x86_64-w64-mingw32 ;;
  win32) triplet=i686-w64-mingw32 ;;
  *) echo "unknown target $target" >&2; exit 2 ;;
esac
prefix=$root/deps/$target
stamp=$prefix/.cryptopp-done
[ -f "$stamp" ] && exit 0

srcroot=$root/deps/src
mkdir -p "$srcroot"
if [ ! -d "$srcroot/cryptopp" ]; then
  tmp=$(mktemp -d "$srcroot/fetch.XXXX")
  (cd "$tmp" && apt-get source --download-only -qq libcrypto++ >/dev/null 2>&1)
  mkdir -p "$tmp/x"
  tar -xzf "$tmp"/libcrypto++_*.orig.tar.gz -C "$tmp/x"
  # The tarball may or may not hold a top-level folder.
  top=$(find "$tmp/x" -maxdepth 2 -name GNUmakefile-cross -printf '%h\n' | head -1)
  mv "$top" "$srcroot/cryptopp"
  rm -rf "$tmp"
fi

work=$root/deps/work-cryptopp-$target
rm -rf "$work"
cp -r "$srcroot/cryptopp" "$work"
jobs=$(nproc)
echo "building Crypto++ for $target ($jobs jobs)..." >&2
make -C "$work" -f GNUmakefile-cross -j"$jobs" static \
  CXX="$triplet-g++-posix" AR="$triplet-ar" RANLIB="$triplet-ranlib" \
  CXXFLAGS="-O2 -DNDEBUG -g0 -Wno-deprecated-declarations" >"$root/deps/cryptopp-$target.log" 2>&1 \
  || { tail -30 "$root/deps/cryptopp-$target.log" >&2; exit 1; }
mkdir -p "$prefix/include/cryptopp" "$prefix/lib"
cp "$work"/*.h "$prefix/include/cryptopp/"
cp "$work/libcryptopp.a" "$prefix/lib/"
rm -rf "$work"
touch "$stamp"
