#!/usr/bin/env bash
# The run command: sets up and builds, starts the local platform emulator (every
# channel and the update manifest of the qinglan_emulated build point at it) and
# the clock under Wine, shows what the clock shows, and ends everything when the
# clock ends. Without a display it runs on a private Xvfb, prints the labels a
# few times, saves a screenshot and closes the clock by itself.
#
# Usage: scripts/run.sh [--keep] [--skew MS] [--version N]
#   --keep      leave the clock running until it is closed (close button or Escape)
#   --skew MS   the emulated platforms' clocks run MS milliseconds ahead (default 1500)
#   --version N the version the emulated manifest announces (default 2; 3 shows the update box)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

keep= skew=1500 version=2
while [ $# -gt 0 ]; do
  case $1 in
    --keep) keep=1 ;;
    --skew) skew=$2; shift ;;
    --version) version=$2; shift ;;
    *) echo "usage: $0 [--keep] [--skew MS] [--version N]" >&2; exit 2 ;;
  esac
  shift
done

. "$root/scripts/prepare.sh"
. "$root/scripts/wine-env.sh"
ql_prepare_prefix
headless=
if [ -z "${DISPLAY:-}" ]; then
  headless=1
  . "$root/scripts/xvfb.sh"
fi

run=$QL_BUILD/run
state=$run/emulator
mkdir -p "$run/clock" "$state"
# The clock keeps its config.ini beside its executable: here, from run to run.
cp "$QL_BUILD/bin/qinglan_emulated.exe" "$run/clock/qinglan.exe"
probe() { ql_wine "$QL_BUILD/bin/probe.exe" "$@"; }

clock_pid=
finish() {
  [ -n "$clock_pid" ] && kill "$clock_pid" 2>/dev/null
  "$root/tests/emulator/stop.sh" "$state"
  if [ -n "${QL_XVFB_PID:-}" ]; then
    # Wine's own processes leave the display first, then the display goes.
    timeout 15 "$(dirname "$QL_WINE")/wineserver" -w 2>/dev/null
    kill "$QL_XVFB_PID" 2>/dev/null
  fi
  return 0
}
trap finish EXIT

if ! "$root/tests/emulator/start.sh" "$state" --http-port 47801 --https-port 47802 --skew-ms "$skew" \
  --version "$version" --lifetime 86400 >/dev/null; then
  echo "the platform emulator did not start (are ports 47801/47802 busy?)" >&2
  exit 1
fi
echo "platform emulator on 127.0.0.1:47801 (http) and :47802 (https), clocks ${skew} ms ahead, manifest version $version"

echo "starting $run/clock/qinglan.exe under Wine (DISPLAY=$DISPLAY)"
(cd "$run/clock" && exec env LC_ALL=zh_CN.UTF-8 "$QL_WINE" qinglan.exe) &
clock_pid=$!

if ! probe wait-window QinglanMainWindow 60000 >/dev/null; then
  if kill -0 "$clock_pid" 2>/dev/null; then
    echo "the clock window did not appear within 60 s" >&2
  else
    echo "the clock ended before showing its window (an unreachable manifest or a newer version ends it)" >&2
  fi
  exit 1
fi
# The labels (1002 name, 1003 time, 1004 channel, 1005 delay) beside this
# machine's own clock, which the emulated platforms run ${skew} ms ahead of.
echo "clock window: name, time, channel, delay       | local time when read"
for _ in 1 2 3 4 5; do
  line=$(probe labels | awk -F'\t' '{ t[$1] = $2 } END { printf "%s  %s  %s  %-10s", t[1002], t[1003], t[1004], t[1005] }')
  echo "$line | $(date +%H:%M:%S.%3N)"
  sleep 0.5
done
shot=$run/clock-screenshot.png
if probe screenshot "$shot" QinglanMainWindow >/dev/null; then
  echo "screenshot: $shot"
fi

if [ -n "$headless" ] && [ -z "$keep" ]; then
  probe close
else
  echo "the clock runs until it is closed (its close button or Escape; its tray menu opens the settings)"
fi
wait "$clock_pid" || true
clock_pid=
echo "the clock has ended"
