#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds the program and starts it under Wine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/prepare.sh"
. "$root/scripts/wine-env.sh"
ql_prepare_prefix
[ -n "${DISPLAY:-}" ] || . "$root/scripts/xvfb.sh"
echo "starting $QL_BUILD/bin/qinglan.exe (DISPLAY=$DISPLAY)"
ql_wine "$QL_BUILD/bin/qinglan.exe"
