#!/usr/bin/env bash
# Starts the platform emulator in the background and waits until it listens.
# Usage: start.sh <state directory> [emulator arguments, e.g. --http-port 0 --https-port 0]
# Prints the ports line ("http=<port> https=<port>"). Usable as a CTest fixture setup.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
dir=$1; shift
mkdir -p "$dir"
# An emulator left from an interrupted run is stopped first.
"$here/stop.sh" "$dir"
rm -f "$dir/ready" "$dir/ports"
# setsid: the emulator outlives this script; it stops itself after its lifetime.
setsid python3 "$here/platform_emulator.py" --dir "$dir" "$@" >"$dir/emulator.log" 2>&1 </dev/null &
echo $! >"$dir/emulator.pid"
for _ in $(seq 1 200); do
  if [ -s "$dir/ready" ]; then
    cat "$dir/ports"
    exit 0
  fi
  kill -0 "$(cat "$dir/emulator.pid")" 2>/dev/null || break
  sleep 0.1
done
echo "platform emulator did not start:" >&2
cat "$dir/emulator.log" >&2 || true
exit 1
