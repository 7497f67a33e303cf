#!/usr/bin/env bash
# Stops the test server that server-start.sh started. Usage: server-stop.sh <state directory>
exec bash "$(dirname "$0")/../background-server.sh" stop "$1" server ports.txt ports.txt
