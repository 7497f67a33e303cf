#!/usr/bin/env bash
# Starts the platform emulator on the ports the test variants were built for,
# waits until it listens, and writes the browser stand-in beside its state.
# Usage: emulator-start.sh <state directory>
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
dir=$1
emulator=${QL_EMULATOR:-$here/../emulator/platform_emulator.py}
mkdir -p "$dir"
# One left from an interrupted run is stopped first.
"$here/emulator-stop.sh" "$dir"
rm -f "$dir/ready" "$dir/browser.log"

# Wine's winebrowser runs the programs listed in HKCU\Software\Wine\WineBrowser
# "Browsers" with the address as their last argument; the tests list this one.
cat >"$dir/browser.sh" <<'SCRIPT'
#!/bin/sh
printf '%s\n' "$1" >>"$(dirname "$0")/browser.log"
SCRIPT
chmod +x "$dir/browser.sh"

# setsid: the emulator outlives this script; it ends by itself after its lifetime.
setsid python3 "$emulator" --dir "$dir" --http-port 47801 --https-port 47802 --lifetime 900 \
  >"$dir/emulator.log" 2>&1 </dev/null &
echo $! >"$dir/emulator.pid"
for _ in $(seq 1 200); do
  [ -s "$dir/ready" ] && exit 0
  kill -0 "$(cat "$dir/emulator.pid")" 2>/dev/null || break
  sleep 0.1
done
echo "the platform emulator did not start:" >&2
cat "$dir/emulator.log" >&2 || true
exit 1
