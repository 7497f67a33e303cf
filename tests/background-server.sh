#!/usr/bin/env bash
# Runs one loopback test server in the background, for CTest fixtures and the
# run and benchmark scripts.
#
#   background-server.sh start <state dir> <name> <ready file> <print file> <command...>
#     Stops a server left in the directory by an interrupted run, starts the
#     command with setsid (the server outlives this script and must end by
#     itself), waits until it has written <ready file> in the state directory,
#     and prints <print file> (its ports). Output goes to <name>.log there.
#   background-server.sh stop <state dir> <name> <ready file> <print file>
#     Stops it; a server removes its ready file as its last step, and an ended
#     process may stay visible until it is reaped, so either one ends the wait.
set -uo pipefail
action=$1 dir=$2 name=$3 ready=$4 print=$5
shift 5
pidfile=$dir/$name.pid

stop() {
  [ -f "$pidfile" ] || return 0
  local pid
  pid=$(cat "$pidfile")
  if kill -0 "$pid" 2>/dev/null; then
    kill -TERM "$pid"
    for _ in $(seq 1 50); do
      kill -0 "$pid" 2>/dev/null && [ -e "$dir/$ready" ] || break
      sleep 0.1
    done
    kill -0 "$pid" 2>/dev/null && kill -KILL "$pid"
  fi
  rm -f "$pidfile" "$dir/$ready" "$dir/$print"
}

case $action in
  stop)
    stop
    exit 0
    ;;
  start)
    mkdir -p "$dir"
    stop
    setsid "$@" >"$dir/$name.log" 2>&1 </dev/null &
    echo $! >"$pidfile"
    for _ in $(seq 1 200); do
      if [ -s "$dir/$ready" ]; then
        cat "$dir/$print"
        exit 0
      fi
      kill -0 "$(cat "$pidfile")" 2>/dev/null || break
      sleep 0.1
    done
    echo "$name did not start:" >&2
    cat "$dir/$name.log" >&2
    exit 1
    ;;
esac
echo "usage: $0 start|stop <state dir> <name> <ready file> <print file> [command...]" >&2
exit 2
