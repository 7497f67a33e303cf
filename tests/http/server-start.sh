#!/usr/bin/env bash
# Starts the loopback test server in the background and waits until it has
# written its ports. Usage: server-start.sh <state directory>
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
dir=$1
mkdir -p "$dir"
# A server left from an interrupted run is stopped first.
"$here/server-stop.sh" "$dir"
rm -f "$dir/ports.txt"
if [ ! -f "$dir/cert.pem" ]; then
  openssl req -x509 -newkey rsa:2048 -nodes -days 30 -subj "/CN=127.0.0.1" \
    -addext "subjectAltName=IP:127.0.0.1" -keyout "$dir/key.pem" -out "$dir/cert.pem" >/dev/null 2>&1
fi
# setsid: the server outlives this script; it stops itself after its lifetime.
setsid python3 "$here/server.py" --dir "$dir" --lifetime 600 >"$dir/server.log" 2>&1 </dev/null &
echo $! >"$dir/server.pid"
for _ in $(seq 1 150); do
  if [ -s "$dir/ports.txt" ]; then
    cat "$dir/ports.txt"
    exit 0
  fi
  kill -0 "$(cat "$dir/server.pid")" 2>/dev/null || break
  sleep 0.1
done
echo "test server did not start:" >&2
cat "$dir/server.log" >&2 || true
exit 1
