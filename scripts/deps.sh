#!/usr/bin/env bash
# Cross-builds libpng from Debian's own source into <build>/deps (once; later runs
# only check the stamp). zlib comes from libz-mingw-w64-dev.
# Usage: scripts/deps.sh <i686|x86_64> <build dir>
set -euo pipefail
arch=$1 build=$(realpath -m "$2")
root=$(cd "$(dirname "$0")/.." && pwd)
prefix=$build/deps
[ -f "$prefix/.libpng-done" ] && exit 0

version=$(apt-cache showsrc libpng1.6 | sed -n 's/^Version: //p' | head -n1)
src=$build/deps-src
mkdir -p "$src" && cd "$src"
if ! ls libpng1.6_*.orig.tar.* >/dev/null 2>&1; then
  apt-get source --download-only "libpng1.6=$version" >/dev/null 2>&1 \
    || apt-get source --download-only libpng1.6 >/dev/null
fi
rm -rf libpng && mkdir libpng
tar -xf libpng1.6_*.orig.tar.* -C libpng --strip-components=1
cmake -S libpng -B libpng-build -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-toolchain.cmake" -DQL_ARCH="$arch" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
  -DPNG_SHARED=OFF -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF -DSKIP_INSTALL_PROGRAMS=ON \
  -DSKIP_INSTALL_FILES=ON >/dev/null
cmake --build libpng-build --target install >/dev/null
touch "$prefix/.libpng-done"
echo "deps: libpng $version built for $arch in $prefix"
