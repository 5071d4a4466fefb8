#!/usr/bin/env bash
# Cross-builds libdeflate from Debian's source package for one mingw target and
# installs libdeflate.h and libdeflate.a under build/deps/<target>/.
# Runs once per clone: a finished build leaves a stamp file and is reused.
#   usage: build-libdeflate.sh win64|win32 BUILD_ROOT
set -euo pipefail
target=$1
# shellcheck source=scripts/deps/deps-source.sh
source "$(dirname -- "${BASH_SOURCE[0]}")/deps-source.sh"
dep_setup "$target" "$2" libdeflate
flags="-O2 -DNDEBUG -g0 -ffunction-sections -fdata-sections"
stamp_matches && exit 0

fetch_source libdeflate libdeflate libdeflate.h

work=$root/deps/work-libdeflate-$target
rm -rf "$work"
cp -r "$srcroot/libdeflate" "$work"
echo "building libdeflate for $target..." >&2
# Upstream's Makefile names the static library libdeflatestatic.lib when CC is
# a mingw compiler; only that target is built (no DLL, no programs).
make -C "$work" -j"$(nproc)" libdeflatestatic.lib \
  CC="$triplet-gcc-posix" AR="$triplet-ar" CFLAGS="$flags" \
  >"$root/deps/libdeflate-$target.log" 2>&1 \
  || { tail -30 "$root/deps/libdeflate-$target.log" >&2; exit 1; }
mkdir -p "$prefix/include" "$prefix/lib"
cp "$work/libdeflate.h" "$prefix/include/"
cp "$work/libdeflatestatic.lib" "$prefix/lib/libdeflate.a"
"$triplet-ranlib" "$prefix/lib/libdeflate.a"
rm -rf "$work"
printf '%s\n' "$flags" >"$stamp"
