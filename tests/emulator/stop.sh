#!/usr/bin/env bash
# Stops the emulator that start.sh started. Usage: stop.sh <state directory>
exec bash "$(dirname "$0")/../background-server.sh" stop "$1" emulator ready ports
