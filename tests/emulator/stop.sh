#!/usr/bin/env bash
# Stops the emulator that start.sh started. Usage: stop.sh <state directory>
set -uo pipefail
dir=$1
[ -f "$dir/emulator.pid" ] || exit 0
pid=$(cat "$dir/emulator.pid")
if kill -0 "$pid" 2>/dev/null; then
  kill -TERM "$pid"
  # The emulator removes its ready file as its last step, after closing its
  # ports; a process that has ended may stay visible until it is reaped.
  for _ in $(seq 1 50); do
    kill -0 "$pid" 2>/dev/null && [ -e "$dir/ready" ] || break
    sleep 0.1
  done
  kill -0 "$pid" 2>/dev/null && kill -KILL "$pid"
fi
rm -f "$dir/emulator.pid" "$dir/ready" "$dir/ports"
exit 0
