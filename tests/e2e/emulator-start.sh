#!/usr/bin/env bash
# Starts the platform emulator on the ports the test variants were built for
# and writes the browser stand-in beside its state.
# Usage: emulator-start.sh <state directory>
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
dir=$1
mkdir -p "$dir"
rm -f "$dir/browser.log"
# Wine's winebrowser runs the programs listed in HKCU\Software\Wine\WineBrowser
# "Browsers" with the address as their last argument; the tests list this one.
cat >"$dir/browser.sh" <<'SCRIPT'
#!/bin/sh
printf '%s\n' "$1" >>"$(dirname "$0")/browser.log"
SCRIPT
chmod +x "$dir/browser.sh"
# It ends by itself after its lifetime if the fixture's stop never runs.
exec "$here/../emulator/start.sh" "$dir" --http-port 47801 --https-port 47802 --lifetime 900
