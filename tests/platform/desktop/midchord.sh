#!/usr/bin/env bash
# A user who lets go of Shift and Control while the agent types a paste, at random moments around
# the chord, many times: never a key left pressed, and never a V without Control alone.
source "$(dirname "$0")/lib.sh"
start_x
start_agent
start_recorder
rec=$work/recorder.out
RANDOM=7
xdotool mousemove 200 200
for run in $(seq 60); do
  pause=$(printf '0.%04d' $((RANDOM % 30)))  # 0 to 3 ms
  xdotool keydown ctrl keydown shift mousedown 1 sleep "$pause" keyup shift sleep "$pause" \
    keyup ctrl mouseup 1
  sync_recorder
  down=$(keys_down)
  [ "$down" = "down" ] || fail "run $run (pause $pause s): keys left down: $down"
done
grep -E "^keypress v state=0x[^4]" "$rec" && fail "a paste without Control alone"
echo "ok ($(grep -c '^keypress v ' "$rec") pastes in 60 runs)"
