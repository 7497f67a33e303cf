#!/usr/bin/env bash
# Benchmarks of the running clock (qinglan_emulated, every host on the local
# platform emulator), on the build this host can execute, under a private Xvfb:
#   1. start-up: from CreateProcess to the clock window being visible, RUNS runs;
#   2. synchronisation error on loopback: (time shown on the label) minus (true
#      server time = local time at the read + the emulator's skew), median and
#      95th percentile over SAMPLES label reads in each of the same runs, after
#      the start-up synchronisation and again after a second synchronisation
#      (chosen in the settings window) in the same process;
#   3. CPU share of one core used by one running clock over 60 s (its own
#      process, and the wineserver that carries its timer and window messages);
#   4. private memory (committed private regions), handles in use and resident
#      memory of that clock at 1 and at LONG_S seconds (default 10 minutes).
# Usage: bench/clock_app_bench.sh [RUNS (default 5)] [SAMPLES (default 250)] [LONG_S (default 600)]
# Uses the ports 47801/47802 and the build tree's Wine prefix: run it alone.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-5}
samples=${2:-250}
long_s=${3:-600}
skew=1500

. "$root/scripts/prepare.sh"
. "$root/scripts/wine-env.sh"
ql_prepare_prefix
unset DISPLAY
. "$root/scripts/xvfb.sh"

work=$QL_BUILD/bench/clock_app
state=$work/emulator
rm -rf "$work"
mkdir -p "$work" "$state"
probe() { ql_wine "$QL_BUILD/bin/probe.exe" "$@"; }
finish() {
  "$root/tests/emulator/stop.sh" "$state"
  [ -n "${QL_XVFB_PID:-}" ] && kill "$QL_XVFB_PID" 2>/dev/null
  return 0
}
trap finish EXIT
"$root/tests/emulator/start.sh" "$state" --http-port 47801 --https-port 47802 --skew-ms "$skew" \
  --lifetime $((long_s + 600)) >/dev/null

# The Unix process of the Windows program whose command line (a Windows path,
# Z:\...\bench\clock_app\long\qinglan.exe) only this run uses.
unix_pid() { pgrep -f 'bench.clock_app.long.qinglan[.]exe' | head -n1; }
# user + system CPU seconds of a Unix process.
cpu_seconds() { awk -v hz="$(getconf CLK_TCK)" '{ printf "%.2f", ($14 + $15) / hz }' "/proc/$1/stat"; }
# The wineserver of this prefix: its working directory is the prefix's server directory.
wineserver_pid() {
  local id p
  id=$(printf 'server-%x-%x' "$(stat -c %d "$WINEPREFIX")" "$(stat -c %i "$WINEPREFIX")")
  for p in $(pgrep '^wineserver'); do
    case $(readlink "/proc/$p/cwd" 2>/dev/null) in */"$id") echo "$p"; return ;; esac
  done
}
field() { sed -n "s/.*\b$1=\([^ ]*\).*/\1/p"; }

echo "== start-up and synchronisation error ($runs runs, $samples samples each, emulator ${skew} ms ahead)"
starts=() medians=() p95s=() warm_medians=() warm_p95s=()
for i in $(seq 1 "$runs"); do
  dir=$work/run$i
  mkdir -p "$dir"
  cp "$QL_BUILD/bin/qinglan_emulated.exe" "$dir/qinglan.exe"
  # Into a file: the clock inherits the probe's output, and a pipe would stay
  # open for as long as the clock runs.
  probe launch "$dir/qinglan.exe" 60000 >"$dir/launch.txt"
  launched=$(cat "$dir/launch.txt")
  pid=$(echo "$launched" | field pid)
  start_ms=$(echo "$launched" | field startup_ms)
  probe --pid "$pid" wait-window QinglanMainWindow 20000 >/dev/null
  sleep 0.5  # past the first ticks
  sync=$(probe --pid "$pid" sync-error "$skew" "$samples")
  echo "run $i: startup_ms=$start_ms"
  echo "  after the start-up synchronisation: $sync"
  # A second synchronisation in the running (warm) process: choose 淘宝 again
  # in the settings window, which synchronises, and close the window.
  probe --pid "$pid" tray 3
  probe --pid "$pid" menu 0
  probe --pid "$pid" wait-window QinglanSettingsWindow 20000 >/dev/null
  probe --pid "$pid" click QinglanSettingsWindow 1202
  sleep 0.5
  probe --pid "$pid" escape QinglanSettingsWindow
  probe --pid "$pid" wait-gone QinglanSettingsWindow 20000
  sleep 0.3
  warm=$(probe --pid "$pid" sync-error "$skew" "$samples")
  echo "  after a second synchronisation:     $warm"
  starts+=("$start_ms")
  medians+=("$(echo "$sync" | field median_ms)")
  p95s+=("$(echo "$sync" | field p95_abs_ms)")
  warm_medians+=("$(echo "$warm" | field median_ms)")
  warm_p95s+=("$(echo "$warm" | field p95_abs_ms)")
  probe --pid "$pid" close
  probe --pid "$pid" wait-gone QinglanMainWindow 20000 || true
  sleep 0.5
done
summary() { printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END { printf "min %s median %s max %s", v[1], v[int((NR + 1) / 2)], v[NR] }'; }
echo "start-up ms: $(summary "${starts[@]}")"
echo "sync error after start-up, median ms per run: ${medians[*]}; 95th percentile of |error|: ${p95s[*]}"
echo "sync error after a second synchronisation, median ms per run: ${warm_medians[*]}; 95th percentile of |error|: ${warm_p95s[*]}"

echo "== CPU, memory and handles of one running clock"
dir=$work/long
mkdir -p "$dir"
cp "$QL_BUILD/bin/qinglan_emulated.exe" "$dir/qinglan.exe"
probe launch "$dir/qinglan.exe" 60000 >"$dir/launch.txt"
pid=$(field pid <"$dir/launch.txt")
sleep 2
upid=$(unix_pid)
spid=$(wineserver_pid)
echo "clock: Windows pid $pid, Unix pid $upid; wineserver $spid"
usage() {
  echo "$1: $(probe --pid "$pid" usage QinglanMainWindow) rss_kb=$(awk '/^VmRSS/ { print $2 }' "/proc/$upid/status")" \
    "rss_anon_kb=$(awk '/^RssAnon/ { print $2 }' "/proc/$upid/status")"
}
c0=$(cpu_seconds "$upid") s0=$(cpu_seconds "$spid") t0=$(date +%s.%N)
sleep 60
c1=$(cpu_seconds "$upid") s1=$(cpu_seconds "$spid") t1=$(date +%s.%N)
awk -v c0="$c0" -v c1="$c1" -v s0="$s0" -v s1="$s1" -v t0="$t0" -v t1="$t1" 'BEGIN {
  w = t1 - t0
  printf "CPU over %.1f s: clock %.2f%% of one core, wineserver %.2f%%\n", w, 100 * (c1 - c0) / w, 100 * (s1 - s0) / w }'
usage "at 60 s"
sleep $((long_s - 60 > 0 ? long_s - 60 : 0))
usage "at $long_s s"
probe --pid "$pid" close
