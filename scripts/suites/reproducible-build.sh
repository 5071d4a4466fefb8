#!/usr/bin/env bash
# Builds the 32-bit release stub and kestrum.exe twice, from two copies of the
# sources in folders of different names and lengths (each with its own copy of
# the cross-built dependencies, as a second clone has), with the same
# SOURCE_DATE_EPOCH, and compares the outputs byte for byte. Two builds from
# scratch, about 3.5 minutes on two cores: label "reproducible" of its own.
set -uo pipefail
repo=$(cd -- "$(dirname -- "${BASH_SOURCE[0]}")/../.." && pwd -P)
cd "$repo" || exit 1
deps=build/deps/win32
if [ ! -f "$deps/lib/libcryptopp.a" ]; then
  echo "reproducible-build: $deps missing; run make win32 first" >&2
  exit 1
fi
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct)
export SOURCE_DATE_EPOCH
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

build() {
  local src=$1
  mkdir -p "$src/build/deps"
  git ls-files -z | tar --null -T - -cf - | tar -xf - -C "$src" || return 1
  cp -r "$deps" "$src/build/deps/win32" || return 1
  cmake -G Ninja -S "$src" -B "$src/build/win32" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$src/cmake/mingw-w32.cmake" \
    -DKESTRUM_DEPS="$src/build/deps/win32" -DKESTRUM_TESTS=OFF >/dev/null || return 1
  cmake --build "$src/build/win32" -j2 --target kestrum-sfx kestrum >"$src.log" 2>&1 || {
    tail -20 "$src.log"
    return 1
  }
}

first=$scratch/a
second=$scratch/a-second-folder-with-a-longer-name/b
build "$first" && build "$second" || exit 1
rc=0
for exe in kestrum-sfx.exe kestrum.exe; do
  one=$first/build/win32/bin/$exe two=$second/build/win32/bin/$exe
  if cmp -s "$one" "$two"; then
    echo "$exe: identical, $(sha256sum <"$one" | cut -c1-64)"
  else
    echo "$exe: the two builds differ: $(cmp "$one" "$two" | head -1)" >&2
    rc=1
  fi
  if strings -a "$one" | grep -q "$scratch"; then
    echo "$exe: carries the build folder" >&2
    rc=1
  fi
done
exit "$rc"
