#!/usr/bin/env bash
# Configures and builds one architecture into build/<arch>.
# Usage: scripts/build.sh <i686|x86_64> [extra cmake args]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
arch=$1; shift
build=${QL_BUILD_ROOT:-$root/build}/$arch
"$root/scripts/deps.sh" "$arch" "$build"
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-toolchain.cmake" \
    -DQL_ARCH="$arch" -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
elif [ $# -gt 0 ]; then
  # Settings given later (the deployment hosts, for instance) reach a tree
  # that is already configured too; they stay in its cache.
  cmake -S "$root" -B "$build" "$@" >/dev/null
fi
cmake --build "$build"
