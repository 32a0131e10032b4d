#!/usr/bin/env bash
# A user who lets go of Shift and Control while the agent types a paste, at random moments around
# the chord, many times: never a key left pressed, and never a V without Control alone. And a
# click whose release lands inside the paste chord, while the chord has let go of the user's
# Shift: that release still reads Control and Shift, so it is no copy.
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
pastes=$(grep -c '^keypress v ' "$rec")

xdotool keydown ctrl keydown shift
for run in $(seq 40); do xdotool mousedown 1 mouseup 1; done
xdotool keyup shift keyup ctrl
sync_recorder
[ "$(grep -c '^keypress v ' "$rec")" = $((pastes + 40)) ] || fail "fast clicks: not 40 pastes"
grep -q "^keypress c " "$rec" && fail "fast clicks: a copy during a paste: $(grep -c '^keypress c ' "$rec")"
echo "ok ($pastes pastes in 60 runs; 40 fast clicks, no copy)"
