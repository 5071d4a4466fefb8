#!/usr/bin/env bash
# make release: builds what ships reproducibly and writes release/ with both
# stubs, both kestrum.exe, the Debian package and SHA256SUMS. SOURCE_DATE_EPOCH
# is the last commit's time unless set, so two clones of the same commit, in
# any folders, write the same checksums.
set -euo pipefail
repo=$(cd -- "$(dirname -- "${BASH_SOURCE[0]}")/.." && pwd -P)
cd "$repo"
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git log -1 --format=%ct)
fi
export SOURCE_DATE_EPOCH
echo "release: SOURCE_DATE_EPOCH=$SOURCE_DATE_EPOCH ($(date -u -d "@$SOURCE_DATE_EPOCH" '+%F %T') UTC)"
if [ -n "$(git status --porcelain --untracked-files=no)" ]; then
  echo "release: warning: the working tree differs from the commit" >&2
fi

make -s deb
cmake --build --preset win32 --target kestrum
cmake --build --preset win64 --target kestrum

rm -rf release
mkdir release
cp build/win32/bin/kestrum-sfx.exe release/kestrum-sfx-win32.exe
cp build/win64/bin/kestrum-sfx.exe release/kestrum-sfx-win64.exe
cp build/win32/bin/kestrum.exe release/kestrum-win32.exe
cp build/win64/bin/kestrum.exe release/kestrum-win64.exe
version=$(sed -n 's/^project(kestrum VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
cp "build/package/kestrum_${version}_"*.deb release/
(cd release && sha256sum -- * >SHA256SUMS)
cat release/SHA256SUMS
