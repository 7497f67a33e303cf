#!/usr/bin/env bash
# Stops the emulator of emulator-start.sh. Usage: emulator-stop.sh <state directory>
exec "$(dirname "$0")/../emulator/stop.sh" "$1"
