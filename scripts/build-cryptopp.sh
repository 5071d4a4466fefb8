#!/usr/bin/env bash
# Cross-builds Crypto++ from Debian's source package for one mingw target and
# installs headers and the static library under build/deps/<target>/.
# Runs once per clone: a finished build leaves a stamp file and is reused.
#   usage: build-cryptopp.sh win64|win32 BUILD_ROOT
set -euo pipefail
target=$1
root=$(realpath -m "$2")
source "$(dirname -- "${BASH_SOURCE[0]}")/deps-source.sh"
cross_target "$target"
prefix=$root/deps/$target
stamp=$prefix/.cryptopp-done
# One build at a time per target, also across work trees sharing build/deps.
mkdir -p "$root/deps"
exec 9>"$root/deps/.lock-$(basename "$0" .sh)-$target"
flock 9
# The stamp holds the flags: a change of flags builds the library again.
flags="-O2 -DNDEBUG -g0 -ffunction-sections -fdata-sections -Wno-deprecated-declarations"
[ -f "$stamp" ] && [ "$(cat "$stamp")" = "$flags" ] && exit 0

srcroot=$root/deps/src
fetch_source libcrypto++ cryptopp GNUmakefile-cross

work=$root/deps/work-cryptopp-$target
rm -rf "$work"
cp -r "$srcroot/cryptopp" "$work"
jobs=$(nproc)
echo "building Crypto++ for $target ($jobs jobs)..." >&2
make -C "$work" -f GNUmakefile-cross -j"$jobs" static \
  CXX="$triplet-g++-posix" AR="$triplet-ar" RANLIB="$triplet-ranlib" \
  CXXFLAGS="$flags" >"$root/deps/cryptopp-$target.log" 2>&1 \
  || { tail -30 "$root/deps/cryptopp-$target.log" >&2; exit 1; }
mkdir -p "$prefix/include/cryptopp" "$prefix/lib"
cp "$work"/*.h "$prefix/include/cryptopp/"
cp "$work/libcryptopp.a" "$prefix/lib/"
rm -rf "$work"
printf '%s\n' "$flags" >"$stamp"
