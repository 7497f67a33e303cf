#!/usr/bin/env bash
# Installs everything the build and the tests need on a fresh Debian 12 machine.
# Idempotent: a second run only checks and returns within seconds.
set -euo pipefail

need=()
have() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

if [ "$(id -u)" -ne 0 ]; then
  echo "setup.sh must run as root (it installs Debian packages)" >&2
  exit 1
fi

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi

for p in cmake ninja-build g++-mingw-w64-i686 g++-mingw-w64-x86-64 libz-mingw-w64-dev googletest \
         wine wine32:i386 wine64 fonts-wine xvfb xauth x11-apps imagemagick fonts-wqy-microhei \
         openssl python3 dpkg-dev; do
  have "$p" || need+=("$p")
done

# libpng is cross-built from Debian's own source, fetched through a deb-src entry.
srclist=/etc/apt/sources.list.d/qinglan-src.sources
fresh_src=
if [ ! -f "$srclist" ]; then
  cat > "$srclist" <<'SRC'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
  fresh_src=1
fi

if [ ${#need[@]} -gt 0 ] || [ -n "$fresh_src" ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  [ ${#need[@]} -gt 0 ] && apt-get install -y -q --no-install-recommends "${need[@]}" </dev/null
fi
echo "setup: packages present"
