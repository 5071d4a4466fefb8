#!/usr/bin/env bash
# Cross-builds libpng from Debian's source package (with Debian's patches) for
# one mingw target, against the static zlib of libz-mingw-w64-dev, and installs
# png.h, pngconf.h, pnglibconf.h and libpng.a under build/deps/<target>/.
# The packer reads --icon and --banner pictures with it.
# Runs once per clone: a finished build leaves a stamp file and is reused.
#   usage: build-libpng.sh win64|win32 BUILD_ROOT
set -euo pipefail
target=$1
# shellcheck source=scripts/deps/deps-source.sh
source "$(dirname -- "${BASH_SOURCE[0]}")/deps-source.sh"
dep_setup "$target" "$2" libpng
flags="-O2 -DNDEBUG -g0 -ffunction-sections -fdata-sections -DPNG_ARM_NEON_OPT=0"
stamp_matches && exit 0

fetch_source libpng1.6 libpng pngrutil.c patched

work=$root/deps/work-libpng-$target
rm -rf "$work"
mkdir -p "$work"
echo "building libpng for $target..." >&2
# The library is the png*.c files of the top folder with the configuration
# upstream ships prebuilt; its own build systems would add tools and a DLL.
cp "$srcroot/libpng/scripts/pnglibconf.h.prebuilt" "$work/pnglibconf.h"
sources="png pngerror pngget pngmem pngpread pngread pngrio pngrtran pngrutil pngset
         pngtrans pngwio pngwrite pngwtran pngwutil"
(
  cd "$work" || exit 1
  for s in $sources; do
    "$triplet-gcc-posix" $flags -I. -I"$srcroot/libpng" -I/usr/$triplet/include \
      -c "$srcroot/libpng/$s.c" -o "$s.o"
  done
  "$triplet-ar" rcs libpng.a ./*.o
) >"$root/deps/libpng-$target.log" 2>&1 \
  || { tail -30 "$root/deps/libpng-$target.log" >&2; exit 1; }
mkdir -p "$prefix/include" "$prefix/lib"
cp "$srcroot/libpng/png.h" "$srcroot/libpng/pngconf.h" "$work/pnglibconf.h" "$prefix/include/"
cp "$work/libpng.a" "$prefix/lib/"
rm -rf "$work"
printf '%s\n' "$flags" >"$stamp"
