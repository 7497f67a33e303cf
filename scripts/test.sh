#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds, and runs every test under Wine.
# Extra arguments go to ctest.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/prepare.sh"
echo "tests run on the $arch build"
. "$root/scripts/xvfb.sh"
cd "$QL_BUILD"
ctest --output-on-failure "$@"
