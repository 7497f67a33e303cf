#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds the program and starts it under Wine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh" i686
arch=$("$root/scripts/host-arch.sh")
[ "$arch" = i686 ] || "$root/scripts/build.sh" "$arch"
QL_ARCH=$arch QL_BUILD=${QL_BUILD_ROOT:-$root/build}/$arch
. "$root/scripts/wine-env.sh"
[ -f "$WINEPREFIX/system.reg" ] || ql_wine wineboot -i >/dev/null 2>&1
[ -n "${DISPLAY:-}" ] || . "$root/scripts/xvfb.sh"
echo "starting build/$arch/bin/qinglan.exe (DISPLAY=$DISPLAY)"
ql_wine "$QL_BUILD/bin/qinglan.exe"
