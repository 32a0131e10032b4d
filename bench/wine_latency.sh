#!/usr/bin/env bash
# Reaction latency of the Windows agent under Wine: from the left button's release (a low-level
# hook in the test pad stamps it) to the WM_KEYDOWN of the C that the copy chord types into the
# pad's text field, both on the same performance counter. Prints the median and the 99th
# percentile over N copy gestures (default 200). Usage: bench/wine_latency.sh BUILD_DIR [N]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../tests/platform/win32/wine_session.sh"
count=${2:-200}
wine_session_start "$1"
start_pad
start_agent

# Ctrl stays down; every click's release is a copy gesture.
xdotool mousemove "$FIELD_RIGHT" "$FIELD_Y" keydown ctrl
for ((i = 0; i < count; i++)); do
  xdotool click 1
  sleep 0.05
done
wait_for 30 "all $count copies reach the pad" \
  bash -c "[ \$(tr -d '\r' <'$WINE_SESSION_DIR/pad.log' | grep -c '^down 67 ') -ge $count ]"
xdotool keyup ctrl

# Each release with Ctrl held is followed by its C.
log_lines pad | awk -v count="$count" '
  /^release / {release = $2; waiting = 1}
  /^down 67 / && waiting {print ($3 - release) / 1000; waiting = 0}' |
  sort -n >"$WINE_SESSION_DIR/latency"
samples=$(wc -l <"$WINE_SESSION_DIR/latency")
[ "$samples" -ge "$count" ] || wine_session_fail "only $samples of $count gestures were measured"
median=$(awk -v n="$samples" 'NR == int((n + 1) / 2) {print}' "$WINE_SESSION_DIR/latency")
p99=$(awk -v n="$samples" 'NR == int(n * 0.99 + 0.999) {print}' "$WINE_SESSION_DIR/latency")
printf 'Wine reaction latency, release to WM_KEYDOWN, %d gestures: median %.2f ms, p99 %.2f ms\n' \
  "$samples" "$median" "$p99"
