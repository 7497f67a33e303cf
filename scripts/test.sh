#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds, and runs every test under Wine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"

# The product is the 32-bit build; it is always compiled. The tests run on the
# architecture this host can execute (see host-arch.sh).
"$root/scripts/build.sh" i686
arch=$("$root/scripts/host-arch.sh")
[ "$arch" = i686 ] || "$root/scripts/build.sh" "$arch"
echo "tests run on the $arch build"

. "$root/scripts/xvfb.sh"
cd "${QL_BUILD_ROOT:-$root/build}/$arch"
ctest --output-on-failure "$@"
