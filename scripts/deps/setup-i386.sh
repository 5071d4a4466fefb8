#!/usr/bin/env bash
# Makes sure this machine can start i386 Linux programs, which Wine's 32-bit
# loader is (the release stub and the 32-bit tests run through it), and prints
# one line saying how they run. Safe to run again.
#
# Some kernels of this machine's kind run i386 programs themselves; they are
# left as they are. Others answer "Exec format error": there the i386 programs
# run under qemu-user, through a binfmt_misc entry. Bookworm's own qemu 7.2
# hangs on Wine's loader, so qemu comes from bookworm-backports; Debian's
# qemu-user-binfmt registers no i386 entry on amd64, so the entry is ours.
set -euo pipefail

binfmt=/proc/sys/fs/binfmt_misc
entry=$binfmt/qemu-i386
qemu=/usr/bin/qemu-i386
probe=/lib/ld-linux.so.2 # from libc6:i386, which wine32:i386 brings

runs_i386() { "$probe" --version >/dev/null 2>&1; }
entry_enabled() { [[ -f $entry ]] && head -1 "$entry" | grep -qx enabled; }

if [[ ! -x $probe ]]; then
  echo "i386 programs: cannot tell, $probe is missing (is wine32:i386 installed?)" >&2
  exit 1
fi
if entry_enabled && runs_i386; then
  echo "i386 programs: run under $(sed -n 's/^interpreter //p' "$entry") (binfmt_misc)"
  exit 0
fi
if runs_i386; then
  echo "i386 programs: run natively by this kernel"
  exit 0
fi

# qemu-user 10 or newer, from backports.
have=$(dpkg-query -W -f='${Version}' qemu-user 2>/dev/null || true)
if [[ -z $have ]] || dpkg --compare-versions "$have" lt 1:10; then
  backports=/etc/apt/sources.list.d/kestrum-backports.sources
  if ! grep -rqs 'bookworm-backports' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    cat >"$backports" <<'SRC'
Types: deb
URIs: http://deb.debian.org/debian
Suites: bookworm-backports
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  echo "installing: qemu-user from bookworm-backports" >&2
  apt-get install -y -qq --no-install-recommends -t bookworm-backports qemu-user >/dev/null
fi

if [[ ! -f $binfmt/register ]]; then
  mount -t binfmt_misc binfmt_misc "$binfmt"
fi
# A stale or disabled entry of that name is replaced by ours.
if [[ -f $entry ]]; then echo -1 >"$entry"; fi
# i386 ELF executables and shared objects (e_type 2 or 3, e_machine 3). F: the
# kernel opens qemu now, so it is found from any mount namespace later.
magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
printf '%s' ":qemu-i386:M::$magic:$mask:$qemu:F" >"$binfmt/register"

if ! runs_i386; then
  echo "i386 programs: cannot run, even under $qemu" >&2
  exit 1
fi
echo "i386 programs: run under $qemu (binfmt_misc; this kernel cannot run them itself)"
