#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds, and runs every test under Wine on
# the build this host executes (the 32-bit product itself where it can). Where
# the host also runs the x86_64 build, the unit suites run on it too, so that
# every run shows the two builds computing alike. Extra arguments go to both
# ctest runs.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/prepare.sh"
. "$root/scripts/xvfb.sh"
status=0
echo "tests run on the $arch build"
(cd "$QL_BUILD" && ctest --output-on-failure "$@") || status=$?
second=$("$root/scripts/host-arch.sh" --second)
if [ -n "$second" ]; then
  started=$SECONDS
  "$root/scripts/build.sh" "$second"
  echo "the $second build took $((SECONDS - started)) s; unit suites run again on it"
  # ctest's own summary stays the last thing printed.
  (cd "${QL_BUILD_ROOT:-$root/build}/$second" && ctest --output-on-failure -L unit "$@") || status=$?
fi
exit $status
