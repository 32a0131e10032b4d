#!/usr/bin/env bash
# Runs every desktop benchmark under a private Xvfb and prints a Markdown table: reaction latency
# against the peer a Linux user would otherwise script (xbindkeys running xdotool), a burst of
# events, idle cost, memory against a bare Qt tray icon, and start-up time.
#   bench/run_all.sh [BUILD_DIR] [IDLE_SECONDS]      (defaults: build, 600)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build}" && pwd)
idle=${2:-600}
for tool in xbindkeys xdotool; do
  command -v "$tool" >/dev/null || { echo "bench: $tool is missing (apt-get install $tool)" >&2; exit 1; }
done
source "$here/../tests/platform/desktop/lib.sh" "$build"
bin=$build/bench
settings=$XDG_CONFIG_HOME/Snaplark/Snaplark.conf
mkdir -p "$(dirname "$settings")"

field() { sed -n "s/.*$1=\([^ ]*\).*/\1/p"; }
rss_kb() { awk '/^VmRSS/ { print $2 }' "/proc/$1/status"; }
switches() { cat /proc/"$1"/task/*/status | awk '/ctxt_switches/ { n += $2 } END { print n }'; }
cpu_ms() { awk -v hz="$(getconf CLK_TCK)" '{ print ($14 + $15) * 1000 / hz }' "/proc/$1/stat"; }

start_x -screen 0 1024x768x24
start_tray

echo "Measuring the peer (xbindkeys + xdotool)..." >&2
cat >"$work/xbindkeysrc" <<'RC'
"xdotool key ctrl+c"
  control + b:1 + Release
RC
xbindkeys -n -f "$work/xbindkeysrc" &
peer=$!
started+=($peer)
sleep 0.5  # xbindkeys gives no sign of readiness
peer_latency=$("$bin/reaction_latency" 500)
kill "$peer"

echo "Measuring Snaplark..." >&2
start_agent
agent_start_rss=$(rss_kb "$agent_pid")
latency=$("$bin/reaction_latency" 500)
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
agent_dialogs_rss=$(rss_kb "$agent_pid")
chords=$("$bin/burst" "$agent_out" 10000 chords 2>/dev/null || true)
stop_agent

# The unpaced burst runs with both gestures switched off, so that no chord of the agent's changes
# the modifiers the burst holds.
printf '[General]\nboolEnableCopy=false\nboolEnablePaste=false\n' >"$settings"
start_agent burst
bursts=()
for i in $(seq 10); do
  bursts+=("$("$bin/burst" "$agent_out" 10000 lines 2>/dev/null || true)")
  burst_rss[$i]=$(rss_kb "$agent_pid")
done
stop_agent
rm -f "$settings"

echo "Idle for $idle s..." >&2
start_agent idle
cpu0=$(cpu_ms "$agent_pid") sw0=$(switches "$agent_pid")
sleep "$idle"
cpu1=$(cpu_ms "$agent_pid") sw1=$(switches "$agent_pid")
stop_agent

"$build/bench/bare_tray" &
bare=$!
started+=($bare)
wait_until "the bare tray icon" 10 bash -c "xwininfo -root -tree | grep -q bare_tray"
bare_rss=$(rss_kb "$bare")
kill "$bare"

startups=() bare_startups=()
for _ in 1 2 3 4 5; do
  startups+=("$("$bin/startup_time" "$agent")")
  bare_startups+=("$("$bin/startup_time" "$bin/bare_tray")")
done
median() { printf '%s\n' "$@" | sort -n | sed -n "$(( ($# + 1) / 2 ))p"; }

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.0f×", b / a }'; }
cat <<TABLE
| measure | Snaplark | peer: xbindkeys + xdotool | peer / Snaplark |
|---|---|---|---|
| reaction latency, median (500 gestures) | $(field median_us <<<"$latency") µs | $(field median_us <<<"$peer_latency") µs | $(ratio "$(field median_us <<<"$latency")" "$(field median_us <<<"$peer_latency")") |
| reaction latency, p99 | $(field p99_us <<<"$latency") µs | $(field p99_us <<<"$peer_latency") µs | $(ratio "$(field p99_us <<<"$latency")" "$(field p99_us <<<"$peer_latency")") |
| reaction latency, max | $(field max_us <<<"$latency") µs | $(field max_us <<<"$peer_latency") µs | |
| gestures not answered within 1 s | $(field missed <<<"$latency") of 500 | $(field missed <<<"$peer_latency") of 500 | |

| measure | result |
|---|---|
| burst, 10 × 10,000 pairs as fast as XTEST allows | $(field events_per_s <<<"${bursts[0]}") events/s sustained (first burst); lines: $(printf '%s\n' "${bursts[@]}" | field lines | sort | uniq -c | awk '{ printf "%s %s ", $1, $2 }') |
| burst, 10,000 paced pairs with chords | $(field gestures <<<"$chords") gestures, $(field chords <<<"$chords") chords, lines $(field lines <<<"$chords") |
| idle $idle s: CPU time | $(awk -v a="$cpu0" -v b="$cpu1" 'BEGIN { print b - a }') ms |
| idle $idle s: context switches (all threads) | $((sw1 - sw0)), against $((idle / 60)) minute ticks |
| resident set after start-up | $agent_start_rss kB (bare Qt tray icon: $bare_rss kB) |
| resident set after every dialog once | $agent_dialogs_rss kB |
| resident set after bursts 1, 5 and 10 | ${burst_rss[1]} / ${burst_rss[5]} / ${burst_rss[10]} kB |
| start-up to icon embedded, median of 5 | $(median "${startups[@]}") ms (bare Qt tray icon: $(median "${bare_startups[@]}") ms) |
TABLE
