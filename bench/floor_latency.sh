#!/usr/bin/env bash
# Reaction latency of the agent against the floor (bench/floor: RECORD + XTEST, nothing else), the
# floor with the one batch of looks a chord needs (bench/floor --look), and the peer a Linux user would otherwise script (xbindkeys running xdotool), in one private Xvfb,
# interleaved in rounds so that all three see the same machine. Prints a Markdown table with the
# median, p90 and p99 of each and the ratios, and the agent's CPU time per 1,000 plain clicks.
#   bench/floor_latency.sh [BUILD_DIR] [ROUNDS] [GESTURES_PER_ROUND]   (defaults: build, 5, 100)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build}" && pwd)
rounds=${2:-5}
per_round=${3:-100}
for tool in xbindkeys xdotool; do
  command -v "$tool" >/dev/null || { echo "bench: $tool is missing (apt-get install $tool)" >&2; exit 1; }
done
source "$here/../tests/platform/desktop/lib.sh" "$build"
bin=$build/bench
cpu_ms() { awk -v hz="$(getconf CLK_TCK)" '{ print ($14 + $15) * 1000 / hz }' "/proc/$1/stat"; }

start_x -screen 0 1024x768x24
cat >"$work/xbindkeysrc" <<'RC'
"xdotool key ctrl+c"
  control + b:1 + Release
RC

measure() {  # measure NAME: one round of the program already running
  REACTION_SAMPLES=$work/$1.samples "$bin/reaction_latency" "$per_round" >/dev/null
}

for ((round = 1; round <= rounds; round++)); do
  echo "round $round of $rounds" >&2
  "$bin/floor" >"$work/floor.out" 2>&1 &
  floor=$!
  started+=($floor)
  wait_until "the floor program" 10 grep -q ready "$work/floor.out"
  measure floor
  kill "$floor"; wait "$floor" 2>/dev/null || true

  "$bin/floor" --look >"$work/looking.out" 2>&1 &
  floor=$!
  started+=($floor)
  wait_until "the floor program with looks" 10 grep -q ready "$work/looking.out"
  measure looking
  kill "$floor"; wait "$floor" 2>/dev/null || true

  start_agent
  measure agent
  stop_agent

  xbindkeys -n -f "$work/xbindkeysrc" &
  peer=$!
  started+=($peer)
  sleep 0.5  # xbindkeys gives no sign of readiness
  measure peer
  kill "$peer"; wait "$peer" 2>/dev/null || true
done

# The agent's own cost of a plain click, which it only classifies and reports.
start_agent
xdotool mousemove 500 500
before=$(cpu_ms "$agent_pid")
lines=$(wc -l <"$agent_out")
xdotool click --repeat 1000 --delay 0 1
deadline=$((SECONDS + 30))
while [ "$(wc -l <"$agent_out")" -lt $((lines + 2000)) ] && [ $SECONDS -lt $deadline ]; do sleep 0.1; done
cpu_per_1000="$(awk -v a="$before" -v b="$(cpu_ms "$agent_pid")" 'BEGIN { print b - a }') ms"
seen=$(($(wc -l <"$agent_out") - lines))
[ "$seen" = 2000 ] || cpu_per_1000="$cpu_per_1000 (only $seen of 2,000 lines within 30 s)"
stop_agent

stats() {  # stats FILE: median p90 p99 count
  sort -n "$1" | awk '{ v[NR] = $1 } END {
    printf "%.0f %.0f %.0f %d\n", v[int(0.5 * (NR - 1)) + 1], v[int(0.9 * (NR - 1)) + 1], v[int(0.99 * (NR - 1)) + 1], NR }'
}
read -r fm f90 f99 fn < <(stats "$work/floor.samples")
read -r lm l90 l99 ln < <(stats "$work/looking.samples")
read -r am a90 a99 an < <(stats "$work/agent.samples")
read -r pm p90 p99 pn < <(stats "$work/peer.samples")
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.1f", a / b }'; }
cat <<TABLE
| program | gestures | median | p90 | p99 |
|---|---|---|---|---|
| floor (RECORD + XTEST only) | $fn | $fm µs | $f90 µs | $f99 µs |
| floor + one batch of looks | $ln | $lm µs | $l90 µs | $l99 µs |
| Snaplark | $an | $am µs | $a90 µs | $a99 µs |
| xbindkeys + xdotool | $pn | $pm µs | $p90 µs | $p99 µs |

agent / floor at the median: $(ratio "$am" "$fm")× (floor with looks / floor: $(ratio "$lm" "$fm")×), at p99: $(ratio "$a99" "$f99")×; peer / agent at the median: $(ratio "$pm" "$am")×.
Agent CPU time per 1,000 plain clicks: $cpu_per_1000.
TABLE
