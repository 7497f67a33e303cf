#!/usr/bin/env bash
# Starts the loopback test server in the background and waits until it has
# written its ports. Usage: server-start.sh <state directory>
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
dir=$1
mkdir -p "$dir"
if [ ! -f "$dir/cert.pem" ]; then
  openssl req -x509 -newkey rsa:2048 -nodes -days 30 -subj "/CN=127.0.0.1" \
    -addext "subjectAltName=IP:127.0.0.1" -keyout "$dir/key.pem" -out "$dir/cert.pem" >/dev/null 2>&1
fi
exec bash "$here/../background-server.sh" start "$dir" server ports.txt ports.txt \
  python3 "$here/server.py" --dir "$dir" --lifetime 600
