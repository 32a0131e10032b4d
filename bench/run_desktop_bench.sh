#!/usr/bin/env bash
# Measures the desktop agent under a private Xvfb: reaction latency, resident memory after
# start-up and after every dialog has been opened once, and CPU time while idle.
#   bench/run_desktop_bench.sh [BUILD_DIR] [IDLE_SECONDS]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build}" && pwd)
idle=${2:-300}
source "$here/../tests/platform/desktop/lib.sh" "$build"

start_x
start_tray
start_agent
rss() { awk '/^VmRSS/ { print $2 " kB" }' "/proc/$agent_pid/status"; }
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$agent_pid/stat"; }

echo "resident after start-up: $(rss)"
"$build/bench/reaction_latency" 200

for entry in 7 8 9; do  # Preference, About, How to use
  menu_choose $entry
  if [ $entry = 7 ]; then
    wait_until "the preferences window" 10 xdotool search --onlyvisible --name "Snaplark Preferences"
  else
    wait_until "the alert" 10 alert_open
    xdotool windowfocus --sync "$(alert_open)" key Return
    wait_until "the alert to close" 10 test -z "$(alert_open)"
  fi
done
echo "resident after every dialog once: $(rss)"

before=$(cpu_ticks)
sleep "$idle"
after=$(cpu_ticks)
echo "CPU over $idle idle seconds: $(( (after - before) * 1000 / $(getconf CLK_TCK) )) ms"
