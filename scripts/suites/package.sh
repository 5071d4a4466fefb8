#!/usr/bin/env bash
# The Debian package as a user gets it: built by make deb, checked by lintian
# (no error), unpacked into a scratch root, where the installed kestrum packs,
# lists and tests an archive without --stub, onto the stub it installed; its
# manual page renders and its completion offers values. The same for
# cmake --install with DESTDIR and another prefix.
set -uo pipefail
repo=$(cd -- "$(dirname -- "${BASH_SOURCE[0]}")/../.." && pwd -P)
cd "$repo" || exit 1
make -s deb >/dev/null || exit 1
mapfile -t debs < <(ls build/package/kestrum_*.deb)
[ ${#debs[@]} = 1 ] || {
  echo "package: expected one package in build/package, found ${#debs[@]}" >&2
  exit 1
}
deb=${debs[0]}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
rc=0
fail() {
  echo "package: $*" >&2
  rc=1
}

echo "lintian $(basename "$deb"):"
lintian --fail-on error "$deb" || fail "lintian reports errors"

# The installed tool, run from another folder, packs onto its own stub: the
# archive starts with that stub, its 32-byte stamp at offset 28 aside.
check_tree() {
  local what=$1 tool=$2 stub=$3
  [ -f "$stub" ] || {
    fail "$what: no stub at $stub"
    return
  }
  local out=$scratch/$what.exe size
  (cd "$scratch" && "$tool" pack "$repo/sample" -o "$out" --name Sample >/dev/null) ||
    fail "$what: kestrum pack without --stub failed"
  size=$(stat -c %s "$stub")
  cmp -s -n 28 "$stub" "$out" && cmp -s -i 60 -n $((size - 60)) "$stub" "$out" ||
    fail "$what: the archive does not start with the installed stub"
  "$tool" list --json "$out" | grep -qF '"archive_name": "Sample"' ||
    fail "$what: kestrum list does not show the archive"
  "$tool" test "$out" >/dev/null || fail "$what: kestrum test failed"
  echo "$what: kestrum packed, listed and tested an archive on its own stub"
}

root=$scratch/root
dpkg -x "$deb" "$root" || exit 1
check_tree deb "$root/usr/bin/kestrum" "$root/usr/lib/kestrum/kestrum-sfx.exe"
[ -f "$root/usr/lib/kestrum/kestrum-sfx-win64.exe" ] || fail "deb: no 64-bit stub"
[ -f "$root/usr/share/doc/kestrum/copyright" ] || fail "deb: no copyright file"

manual=$(MANWIDTH=100 man -l "$root/usr/share/man/man1/kestrum.1.gz" 2>&1)
for want in "EXIT STATUS" "ARCHIVE LAYOUT" "EXAMPLES" "--reproducible" "kestrum 1"; do
  grep -qF -- "$want" <<<"$manual" || fail "manual page: no '$want'"
done

# Completion as bash calls it: the words so far, the index of the current one.
complete_words() {
  bash -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _kestrum
           echo "${COMPREPLY[*]}"' _ "$root/usr/share/bash-completion/completions/kestrum" "$@"
}
[ "$(complete_words kestrum ex)" = "extract" ] || fail "completion: commands"
[ "$(complete_words kestrum extract a.exe --overwrite '')" = "replace skip rename" ] ||
  fail "completion: --overwrite values"
[ "$(complete_words kestrum pack src --language de)" = "deDE" ] || fail "completion: --language"
[ "$(complete_words kestrum pack src --rep)" = "--reproducible" ] || fail "completion: options"

dest=$scratch/dest
DESTDIR=$dest cmake --install build/native --prefix /opt/kestrum >/dev/null ||
  fail "cmake --install failed"
check_tree destdir "$dest/opt/kestrum/bin/kestrum" "$dest/opt/kestrum/lib/kestrum/kestrum-sfx.exe"
exit "$rc"
