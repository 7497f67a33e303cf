#!/usr/bin/env bash
# Starts the platform emulator in the background and waits until it listens.
# Usage: start.sh <state directory> [emulator arguments, e.g. --http-port 0 --https-port 0]
# Prints the ports line ("http=<port> https=<port>"). Usable as a CTest fixture setup.
here=$(cd "$(dirname "$0")" && pwd)
dir=$1
shift
exec bash "$here/../background-server.sh" start "$dir" emulator ready ports \
  python3 "$here/platform_emulator.py" --dir "$dir" "$@"
