#!/usr/bin/env bash
# Cross-builds Crypto++ from Debian's source package for one mingw target and
# installs headers and the static library under build/deps/<target>/, beside
# libcryptopp-stream.a: the stream-cipher part alone, which the programs link
# (see the end of this file).
# Runs once per clone: a finished build leaves a stamp file and is reused.
#   usage: build-cryptopp.sh win64|win32 BUILD_ROOT
set -euo pipefail
target=$1
# shellcheck source=scripts/deps/deps-source.sh
source "$(dirname -- "${BASH_SOURCE[0]}")/deps-source.sh"
dep_setup "$target" "$2" cryptopp
flags="-O2 -DNDEBUG -g0 -ffunction-sections -fdata-sections -Wno-deprecated-declarations"

if ! stamp_matches; then
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
  rm -f "$prefix/.cryptopp-stream-done"
  printf '%s\n' "$flags" >"$stamp"
fi

# libcryptopp-stream.a: the objects Sosemanuk and SHA-256 need, taken from the full library,
# plus a glue object standing in for dll.o and integer.o (see the glue's comment).
# Linked whole, the library puts ~2 MB of public-key code and iostreams into the
# stub for a 100 KB cipher. A symbol this set lacks fails the link loudly.
glue=$(cd -- "$(dirname -- "${BASH_SOURCE[0]}")" && pwd -P)/cryptopp-stream-glue.cpp
stream_objects="cryptlib.o sosemanuk.o serpent.o strciphr.o misc.o allocate.o cpu.o algparam.o
  sse_simd.o fips140.o filters.o queue.o mqueue.o sha.o sha_simd.o iterhash.o"
stream_stamp=$prefix/.cryptopp-stream-done
stream_want="$flags $(sha256sum <"$glue" | cut -c1-16) $(echo $stream_objects)"
[ -f "$stream_stamp" ] && [ "$(cat "$stream_stamp")" = "$stream_want" ] && exit 0
fetch_source libcrypto++ cryptopp GNUmakefile-cross
parts=$root/deps/work-cryptopp-stream-$target
rm -rf "$parts" && mkdir -p "$parts"
# shellcheck disable=SC2086  # the object names are words
(cd "$parts" && "$triplet-ar" x "$prefix/lib/libcryptopp.a" $stream_objects) || exit 1
# The glue includes strciphr.cpp through strciphr.h: compile it against the sources.
"$triplet-g++-posix" $flags -I"$srcroot/cryptopp" -c "$glue" -o "$parts/stream-glue.o" || exit 1
rm -f "$prefix/lib/libcryptopp-stream.a"
# shellcheck disable=SC2086
(cd "$parts" && "$triplet-ar" rcs "$prefix/lib/libcryptopp-stream.a" stream-glue.o $stream_objects) ||
  exit 1
rm -rf "$parts"
printf '%s\n' "$stream_want" >"$stream_stamp"
