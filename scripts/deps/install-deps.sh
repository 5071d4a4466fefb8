#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need. Safe to run again:
# it only calls apt when something is missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config dpkg-dev
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
  libcrypto++-dev libdeflate-dev zlib1g-dev libz-mingw-w64-dev libpng-dev
  googletest clang libclang-rt-14-dev
  wine64 wine32:i386 fonts-wine xvfb xauth imagemagick xdotool fonts-wqy-microhei
  locales python3 python3-pil fonts-open-sans file time bc patch
  osslsigncode openssl shellcheck python3-pytest lintian
)

# The release stub is 32-bit: it runs under the i386 half of Wine, which needs
# the i386 architecture before apt can see wine32:i386.
need_update=0
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
  need_update=1
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

# Source packages (Crypto++, libdeflate, libpng) are cross-built for Windows, so apt needs
# a deb-src entry next to the binary one.
src_list=/etc/apt/sources.list.d/kestrum-src.sources
if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ && ! grep -qs '^deb-src' /etc/apt/sources.list; then
  cat >"$src_list" <<'SRC'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
  need_update=1
fi

if [ ${#missing[@]} -gt 0 ] || [ $need_update = 1 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  if [ ${#missing[@]} -gt 0 ]; then
    echo "installing: ${missing[*]}" >&2
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  fi
fi

# Locales for starting the stub on systems in another language: German (one
# of the nine) and Portuguese (none of them).
for loc in de_DE pt_BR; do
  if ! locale -a 2>/dev/null | grep -qi "^$loc.utf8\$"; then
    sed -i "s/^# *$loc.UTF-8 UTF-8/$loc.UTF-8 UTF-8/" /etc/locale.gen
    grep -q "^$loc.UTF-8 UTF-8" /etc/locale.gen || echo "$loc.UTF-8 UTF-8" >>/etc/locale.gen
    need_locales=1
  fi
done
if [ "${need_locales:-0}" = 1 ]; then locale-gen >/dev/null; fi

# The 32-bit programs need i386 execution; the 64-bit ones do not, so a machine
# where it cannot be had still builds and runs them (the 32-bit suites say why not).
bash "$(dirname -- "${BASH_SOURCE[0]}")/setup-i386.sh" ||
  echo "install-deps: 32-bit Windows programs will not run on this machine" >&2
