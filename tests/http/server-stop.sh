#!/usr/bin/env bash
# Stops the test server that server-start.sh started. Usage: server-stop.sh <state directory>
set -uo pipefail
dir=$1
[ -f "$dir/server.pid" ] || exit 0
pid=$(cat "$dir/server.pid")
if kill -0 "$pid" 2>/dev/null; then
  kill -TERM "$pid"
  for _ in $(seq 1 50); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$pid" 2>/dev/null && kill -KILL "$pid"
fi
rm -f "$dir/server.pid" "$dir/ports.txt"
exit 0
